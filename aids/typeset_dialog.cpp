#include "aids/typeset_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/dialog_buttons.h"
#include "store/config_schema.h"

namespace varnelo {

TypesetDialog::TypesetDialog(int paraSpacing, bool justify, bool headingApart, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("排版设置"));
  auto* form = new QFormLayout;
  spacing_ = new QSpinBox(this);
  spacing_->setObjectName(QStringLiteral("spinParaSpacing"));
  spacing_->setRange(0, kMaxParaSpacing);
  spacing_->setSuffix(QStringLiteral(" 像素"));
  spacing_->setValue(paraSpacing);
  form->addRow(QStringLiteral("段间距："), spacing_);
  justify_ = new QCheckBox(QStringLiteral("两端对齐"), this);
  justify_->setObjectName(QStringLiteral("checkJustify"));
  justify_->setChecked(justify);
  heading_ = new QCheckBox(QStringLiteral("章节标题醒目（加大、加粗、居中，上方留空）"), this);
  heading_->setObjectName(QStringLiteral("checkHeadingApart"));
  heading_->setChecked(headingApart);
  auto* note = new QLabel(QStringLiteral("只改变页面的显示，书本身不变。"), this);
  QDialogButtonBox* buttons = OkCancelButtons(this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(justify_);
  layout->addWidget(heading_);
  layout->addWidget(note);
  layout->addWidget(buttons);
}

int TypesetDialog::ParaSpacing() const { return spacing_->value(); }
bool TypesetDialog::Justify() const { return justify_->isChecked(); }
bool TypesetDialog::HeadingApart() const { return heading_->isChecked(); }

}  // namespace varnelo
