// "排版设置": paragraph spacing, justified lines and the chapter heading set apart.
#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

namespace varnelo {

class TypesetDialog : public QDialog {
  Q_OBJECT
 public:
  TypesetDialog(int paraSpacing, bool justify, bool headingApart, QWidget* parent = nullptr);
  int ParaSpacing() const;
  bool Justify() const;
  bool HeadingApart() const;

 private:
  QSpinBox* spacing_ = nullptr;
  QCheckBox* justify_ = nullptr;
  QCheckBox* heading_ = nullptr;
};

}  // namespace varnelo
