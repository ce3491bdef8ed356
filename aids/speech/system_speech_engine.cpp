#include "aids/speech/system_speech_engine.h"

#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <QVoice>

namespace varnelo {

namespace {

// speech-dispatcher running, or there to be started. Without either the plugin would still
// start a process that fails, on the window's thread, before it reports an error.
bool ServiceReachable() {
  if (qEnvironmentVariableIsSet("SPEECHD_ADDRESS")) return true;
  if (!QStandardPaths::findExecutable(QStringLiteral("speech-dispatcher")).isEmpty()) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/speech-dispatcher/speechd.sock"));
}

}  // namespace

SystemSpeechEngine::SystemSpeechEngine(QObject* parent) : QObject(parent) {
  serviceReachable_ = ServiceReachable();
  if (serviceReachable_ && QTextToSpeech::availableEngines().contains(QStringLiteral("speechd"))) {
    speech_ = new QTextToSpeech(QStringLiteral("speechd"), this);
  }
  if (speech_ == nullptr) return;
  // The Chinese default of the service, when it has one.
  for (const QLocale& locale : speech_->availableLocales()) {
    if (locale.language() == QLocale::Chinese) {
      speech_->setLocale(locale);
      break;
    }
  }
  connect(speech_, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
    if (!saying_) return;
    switch (state) {
      case QTextToSpeech::Speaking:
        if (!heardSpeaking_) {
          heardSpeaking_ = true;
          Started(serial_);
        }
        break;
      case QTextToSpeech::Ready:
        if (heardSpeaking_) {
          saying_ = false;
          Finished(serial_);
        }
        break;
      case QTextToSpeech::Error:
        saying_ = false;
        Failed(serial_, QStringLiteral("系统语音服务出错：%1").arg(speech_->errorString()));
        break;
      case QTextToSpeech::Paused:
        break;
    }
  });
}

SystemSpeechEngine::~SystemSpeechEngine() {
  saying_ = false;
  if (speech_ != nullptr) speech_->stop();
}

QString SystemSpeechEngine::Problem() const {
  if (!serviceReachable_) {
    return QStringLiteral("没有找到系统语音服务 speech-dispatcher，请安装它或改用内置引擎。");
  }
  if (speech_ == nullptr) {
    return QStringLiteral("没有找到系统语音服务（speech-dispatcher 的 Qt 插件），请改用内置引擎。");
  }
  if (speech_->state() == QTextToSpeech::Error) {
    return QStringLiteral("系统语音服务无法使用（%1），请检查 speech-dispatcher 或改用内置引擎。")
        .arg(speech_->errorString());
  }
  bool chinese = false;
  for (const QLocale& locale : speech_->availableLocales()) chinese |= locale.language() == QLocale::Chinese;
  if (!chinese) return QStringLiteral("系统语音服务中没有中文语音，请安装中文语音或改用内置引擎。");
  return {};
}

void SystemSpeechEngine::Say(int serial, const QString& text) {
  if (speech_ == nullptr) return;
  saying_ = false;
  speech_->stop();
  serial_ = serial;
  saying_ = true;
  heardSpeaking_ = false;
  speech_->say(text);
}

void SystemSpeechEngine::Stop() {
  saying_ = false;
  if (speech_ != nullptr) speech_->stop();
}

void SystemSpeechEngine::Pause() {
  if (speech_ != nullptr) speech_->pause();
}

void SystemSpeechEngine::Resume() {
  if (speech_ != nullptr) speech_->resume();
}

void SystemSpeechEngine::SetRate(int rate) {
  if (speech_ != nullptr) speech_->setRate(rate / 10.0);
}

void SystemSpeechEngine::SetPitch(int pitch) {
  if (speech_ != nullptr) speech_->setPitch(pitch / 10.0);
}

void SystemSpeechEngine::SetVolume(int volume) {
  if (speech_ != nullptr) speech_->setVolume(volume / 100.0);
}

std::vector<SpeechVoice> SystemSpeechEngine::Voices() const {
  std::vector<SpeechVoice> voices;
  if (speech_ == nullptr) return voices;
  const QLocale kept = speech_->locale();
  for (const QLocale& locale : speech_->availableLocales()) {
    if (locale.language() != QLocale::Chinese) continue;
    speech_->setLocale(locale);
    for (const QVoice& voice : speech_->availableVoices()) {
      voices.push_back({voice.name(), voice.name(), locale.name()});
    }
  }
  speech_->setLocale(kept);
  return voices;
}

void SystemSpeechEngine::SetVoice(const QString& id) {
  if (speech_ == nullptr || id.isEmpty()) return;
  for (const QLocale& locale : speech_->availableLocales()) {
    if (locale.language() != QLocale::Chinese) continue;
    speech_->setLocale(locale);
    for (const QVoice& voice : speech_->availableVoices()) {
      if (voice.name() == id) {
        speech_->setVoice(voice);
        return;
      }
    }
  }
}

}  // namespace varnelo
