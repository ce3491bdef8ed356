// 朗读设置: the engine, its voice (as the engine lists them), rate, pitch, volume and the
// highlight colour, kept in Config.ini's [Speech] on OK.
#pragma once

#include <QDialog>

#include <functional>

#include "store/config_schema.h"

class QComboBox;
class QPushButton;
class QSpinBox;

namespace varnelo {

class CSpeechSettingsDlg : public QDialog {
 public:
  CSpeechSettingsDlg(const ConfigValues::Speech& speech, QWidget* parent);
  ConfigValues::Speech Chosen() const;

 private:
  void ListVoices(const QString& keep);
  void ShowColour();

  QComboBox* engine_ = nullptr;
  QComboBox* voice_ = nullptr;
  QSpinBox* rate_ = nullptr;
  QSpinBox* pitch_ = nullptr;
  QSpinBox* volume_ = nullptr;
  QPushButton* colour_ = nullptr;
  int highlight_ = 0;
};

// Shows the dialog for the view's settings; on OK writes them and tells `changed`.
class CVarneloView;
void ChooseSpeechSettings(CVarneloView& view, const std::function<void()>& changed);

}  // namespace varnelo
