#include "platform/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnelo {

FindDialog::FindDialog(QWidget* owner, std::function<void(const FindRequest&)> onRequest)
    : QDialog(owner), onRequest_(std::move(onRequest)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(QStringLiteral("查找"));

  auto* label = new QLabel(QStringLiteral("查找内容(&N):"), this);
  text_ = new QLineEdit(this);
  label->setBuddy(text_);
  wholeWord_ = new QCheckBox(QStringLiteral("全字匹配(&W)"), this);
  matchCase_ = new QCheckBox(QStringLiteral("区分大小写(&C)"), this);
  auto* direction = new QGroupBox(QStringLiteral("方向"), this);
  up_ = new QRadioButton(QStringLiteral("向上(&U)"), direction);
  down_ = new QRadioButton(QStringLiteral("向下(&D)"), direction);
  down_->setChecked(true);
  auto* directionLayout = new QHBoxLayout(direction);
  directionLayout->addWidget(up_);
  directionLayout->addWidget(down_);

  findNext_ = new QPushButton(QStringLiteral("查找下一个(&F)"), this);
  findNext_->setDefault(true);
  findNext_->setEnabled(false);  // nothing to find yet
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0);
  grid->addWidget(text_, 0, 1, 1, 2);
  grid->addWidget(findNext_, 0, 3);
  auto* boxes = new QVBoxLayout;
  boxes->addWidget(wholeWord_);
  boxes->addWidget(matchCase_);
  grid->addLayout(boxes, 1, 0, 1, 2);
  grid->addWidget(direction, 1, 2);
  grid->addWidget(cancel, 1, 3, Qt::AlignTop);

  connect(text_, &QLineEdit::textChanged, this,
          [this](const QString& text) { findNext_->setEnabled(!text.isEmpty()); });
  connect(findNext_, &QPushButton::clicked, this, [this] { onRequest_(Request()); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

FindRequest FindDialog::Request() const {
  FindRequest request;
  request.text = text_->text();
  request.down = down_->isChecked();
  request.matchCase = matchCase_->isChecked();
  request.wholeWord = wholeWord_->isChecked();
  return request;
}

void FindDialog::done(int result) {
  FindRequest closing = Request();
  closing.findNext = false;
  closing.closing = true;
  onRequest_(closing);
  QDialog::done(result);
}

}  // namespace varnelo
