// CSettingsDlg ("设置", F2): the quotation line's source and options, the kind and
// interval of automatic scrolling, and the eye-rest reminder interval. It edits the shared
// [Quote] settings in place when closed with OK; ReadingSettings opens it and then
// restarts the quotation line and re-arms automatic scrolling.
#pragma once

#include <QDialog>

#include <string>

#include "text/view_part.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QCheckBox;
class QSpinBox;

namespace varnelo {

class AutoScroll;
class CVarneloView;
class QuotationLine;
struct ConfigValues;
struct QuoteSettings;

class CSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  // With `reading`, the dialog also sets the [Reading] options (the book's place, turning
  // at the bottom of a page).
  CSettingsDlg(QuoteSettings& quote, QWidget* parent = nullptr, ConfigValues* reading = nullptr);

  void accept() override;

 private:
  QRect Units(int x, int y, int width, int height) const;
  void BuildControls();
  void OnInitDialog();
  void Browse();
  void EnableFileSettings(bool enable);
  void PresetInterval(int selection);
  // "页面边距": its own block under the reader's options; returns where it ends.
  int BuildMarginControls(int top);

  QuoteSettings& quote_;
  ConfigValues* reading_;
  int radioIndex_;  // 0 built-in, 1 file, 2 off
  std::string path_;
  double baseX_ = 1;
  double baseY_ = 1;

  QButtonGroup* radios_ = nullptr;
  QRadioButton* builtIn_ = nullptr;
  QRadioButton* fromFile_ = nullptr;
  QRadioButton* off_ = nullptr;
  QLineEdit* pathBox_ = nullptr;
  QCheckBox* scroll_ = nullptr;
  QCheckBox* loop_ = nullptr;
  QComboBox* rollType_ = nullptr;
  QLineEdit* interval_ = nullptr;
  QLineEdit* reminder_ = nullptr;
  QCheckBox* returnToPlace_ = nullptr;
  QCheckBox* turnAtPageEnd_ = nullptr;
  QSpinBox* pageMargin_ = nullptr;
  QSpinBox* maxLineChars_ = nullptr;
  QList<QWidget*> fileSettings_;
};

// Command 32809 "更多设置".
class ReadingSettings : public ViewPart {
 public:
  ReadingSettings(CVarneloView& view, QuotationLine& quotation, AutoScroll& autoScroll);
  void Open();

 private:
  void ApplyMarginChoice(ConfigValues& config, const std::string& path);

  CVarneloView& view_;
  QuotationLine& quotation_;
  AutoScroll& autoScroll_;
};

}  // namespace varnelo
