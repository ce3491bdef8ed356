// "沉浸阅读设置": the reading mode's theme, face, size, line height, paragraph spacing and
// two columns.
#pragma once

#include <QDialog>

#include "store/config_schema.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace varnelo {

class ImmersiveSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  ImmersiveSettingsDialog(const ImmersiveSettings& settings, QWidget* parent);
  // The settings as the dialog holds them now.
  ImmersiveSettings Chosen() const;

 private:
  ImmersiveSettings start_;
  QComboBox* theme_;
  QComboBox* face_;
  QSpinBox* size_;
  QSpinBox* lineHeight_;
  QSpinBox* paragraph_;
  QCheckBox* twoColumns_;
};

// The faces offered: the system's CJK faces a reader of Chinese knows first, then every
// other face that has Chinese characters.
QStringList ReadingFaceChoices();

}  // namespace varnelo
