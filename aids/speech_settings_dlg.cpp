#include "aids/speech_settings_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "aids/read_aloud.h"
#include "platform/dialog_buttons.h"
#include "platform/long_work.h"
#include "platform/services.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"

namespace varnelo {

CSpeechSettingsDlg::CSpeechSettingsDlg(const ConfigValues::Speech& speech, QWidget* parent)
    : QDialog(parent), highlight_(speech.highlight) {
  setWindowTitle(QStringLiteral("朗读设置"));
  setObjectName(QStringLiteral("speechSettings"));
  auto* form = new QFormLayout;
  engine_ = new QComboBox(this);
  engine_->setObjectName(QStringLiteral("engine"));
  engine_->addItems({QStringLiteral("自动（系统语音服务，没有则用内置引擎）"),
                     QStringLiteral("系统语音服务（speech-dispatcher）"), QStringLiteral("内置引擎（espeak-ng）")});
  engine_->setCurrentIndex(speech.engine);
  voice_ = new QComboBox(this);
  voice_->setObjectName(QStringLiteral("voice"));
  const auto spin = [this](const char* name, int low, int high, int value) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setValue(value);
    return box;
  };
  rate_ = spin("rate", kSpeechStepMin, kSpeechStepMax, speech.rate);
  pitch_ = spin("pitch", kSpeechStepMin, kSpeechStepMax, speech.pitch);
  volume_ = spin("volume", 0, 100, speech.volume);
  colour_ = new QPushButton(this);
  colour_->setObjectName(QStringLiteral("highlight"));
  form->addRow(QStringLiteral("语音引擎："), engine_);
  form->addRow(QStringLiteral("语音："), voice_);
  form->addRow(QStringLiteral("语速（-10 到 10）："), rate_);
  form->addRow(QStringLiteral("音调（-10 到 10）："), pitch_);
  form->addRow(QStringLiteral("音量（0 到 100）："), volume_);
  form->addRow(QStringLiteral("朗读句子的底色："), colour_);
  QDialogButtonBox* buttons = OkCancelButtons(this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  ListVoices(QString::fromStdString(speech.voice));
  connect(engine_, &QComboBox::currentIndexChanged, this, [this] { ListVoices(QString()); });
  connect(colour_, &QPushButton::clicked, this, [this] {
    int colour = highlight_;
    if (Dialogs().ChooseColour(this, colour)) {
      highlight_ = colour & 0x00FFFFFF;
      ShowColour();
    }
  });
  ShowColour();
}

void CSpeechSettingsDlg::ListVoices(const QString& keep) {
  voice_->clear();
  voice_->addItem(QStringLiteral("默认（中文）"), QString());
  // The engine is asked what it has; one that cannot start lists none.
  if (std::unique_ptr<SpeechEngine> engine = SpeechEngineMakerSlot()(engine_->currentIndex())) {
    if (RunLongWork(this, QStringLiteral("正在列出语音……"), [&](WorkControl&) { engine->Prepare(); }) ==
        WorkOutcome::Done) {
      for (const SpeechVoice& voice : engine->Voices()) voice_->addItem(voice.name, voice.id);
    }
  }
  const int at = voice_->findData(keep);
  voice_->setCurrentIndex(at >= 0 ? at : 0);
}

void CSpeechSettingsDlg::ShowColour() {
  const QColor colour(highlight_ & 0xFF, (highlight_ >> 8) & 0xFF, (highlight_ >> 16) & 0xFF);
  colour_->setText(colour.name());
  colour_->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
}

ConfigValues::Speech CSpeechSettingsDlg::Chosen() const {
  ConfigValues::Speech speech;
  speech.engine = engine_->currentIndex();
  speech.voice = voice_->currentData().toString().toStdString();
  speech.rate = rate_->value();
  speech.pitch = pitch_->value();
  speech.volume = volume_->value();
  speech.highlight = highlight_;
  return speech;
}

void ChooseSpeechSettings(CVarneloView& view, const std::function<void()>& changed) {
  ConfigValues& config = view.Settings().config;
  CSpeechSettingsDlg dialog(config.speech, &view);
  if (dialog.exec() != QDialog::Accepted) return;
  config.speech = dialog.Chosen();
  const std::string& path = view.Store().SettingsPath();
  bool written = true;
  for (ConfigKey key : {ConfigKey::SpeechEngine, ConfigKey::SpeechVoice, ConfigKey::SpeechRate,
                        ConfigKey::SpeechPitch, ConfigKey::SpeechVolume, ConfigKey::SpeechHighlight}) {
    written = WriteKey(config, key, path) && written;
  }
  if (!written) {
    MessageBoxes().Show(&view, NotWrittenMessage(path, QStringLiteral("朗读设置未保存")), QString(),
                        MessageButtons::Ok, MessageIcon::Exclamation);
  }
  changed();
}

}  // namespace varnelo
