#include "aids/immersive/immersive_settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

#include "aids/immersive/reading_theme.h"
#include "platform/dialog_buttons.h"

namespace varnelo {

QStringList ReadingFaceChoices() {
  QStringList faces;
  const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  for (const std::string& face : PreferredReadingFaces()) {
    const QString name = QString::fromStdString(face);
    if (installed.contains(name)) faces << name;
  }
  for (const QString& face : installed) {
    if (!faces.contains(face) && !QFontDatabase::isPrivateFamily(face)) faces << face;
  }
  return faces;
}

ImmersiveSettingsDialog::ImmersiveSettingsDialog(const ImmersiveSettings& settings, QWidget* parent)
    : QDialog(parent), start_(settings), theme_(new QComboBox(this)), face_(new QComboBox(this)),
      size_(new QSpinBox(this)), lineHeight_(new QSpinBox(this)), paragraph_(new QSpinBox(this)),
      twoColumns_(new QCheckBox(QStringLiteral("窗口够宽时分两栏显示（双栏）"), this)) {
  setWindowTitle(QStringLiteral("沉浸阅读设置"));
  setObjectName(QStringLiteral("immersiveSettings"));
  theme_->setObjectName(QStringLiteral("comboTheme"));
  face_->setObjectName(QStringLiteral("comboFace"));
  size_->setObjectName(QStringLiteral("spinFontSize"));
  lineHeight_->setObjectName(QStringLiteral("spinLineHeight"));
  paragraph_->setObjectName(QStringLiteral("spinParagraph"));
  twoColumns_->setObjectName(QStringLiteral("checkTwoColumns"));

  theme_->addItems({QStringLiteral("日间"), QStringLiteral("羊皮纸"), QStringLiteral("青草绿"),
                    QStringLiteral("夜间"), QStringLiteral("跟随系统")});
  theme_->setCurrentIndex(static_cast<int>(ThemeOfNumber(settings.theme)));
  const QStringList faces = ReadingFaceChoices();
  face_->addItem(QStringLiteral("默认（系统的中文衬线字体）"), QString());
  for (const QString& face : faces) face_->addItem(face, face);
  const int chosen = face_->findData(QString::fromStdString(settings.face));
  face_->setCurrentIndex(chosen >= 0 ? chosen : 0);
  size_->setRange(kLowestReadingPoints, kHighestReadingPoints);
  size_->setSuffix(QStringLiteral(" 磅"));
  size_->setValue(settings.fontPoints);
  lineHeight_->setRange(100, 300);
  lineHeight_->setSingleStep(5);
  lineHeight_->setSuffix(QStringLiteral(" %"));
  lineHeight_->setValue(settings.lineHeight);
  paragraph_->setRange(0, 200);
  paragraph_->setSingleStep(10);
  paragraph_->setSuffix(QStringLiteral(" %"));
  paragraph_->setValue(settings.paragraphSpacing);
  twoColumns_->setChecked(settings.twoColumns != 0);

  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("主题"), theme_);
  form->addRow(QStringLiteral("字体"), face_);
  form->addRow(QStringLiteral("字号"), size_);
  form->addRow(QStringLiteral("行高"), lineHeight_);
  form->addRow(QStringLiteral("段间距"), paragraph_);
  form->addRow(QString(), twoColumns_);
  QDialogButtonBox* buttons = OkCancelButtons(this);
  form->addRow(buttons);
}

ImmersiveSettings ImmersiveSettingsDialog::Chosen() const {
  ImmersiveSettings chosen = start_;
  chosen.theme = theme_->currentIndex();
  chosen.face = face_->currentData().toString().toStdString();
  chosen.fontPoints = size_->value();
  chosen.lineHeight = lineHeight_->value();
  chosen.paragraphSpacing = paragraph_->value();
  chosen.twoColumns = twoColumns_->isChecked() ? 1 : 0;
  return chosen;
}

}  // namespace varnelo
