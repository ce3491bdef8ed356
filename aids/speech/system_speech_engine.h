// The desktop's speech service (speech-dispatcher) through Qt TextToSpeech: the voices the
// user installed and chose there. It gives no word events here.
#pragma once

#include <QObject>

#include "aids/speech/speech_engine.h"

class QTextToSpeech;

namespace varnelo {

class SystemSpeechEngine : public QObject, public SpeechEngine {
 public:
  explicit SystemSpeechEngine(QObject* parent = nullptr);
  ~SystemSpeechEngine() override;

  QString Problem() const override;
  void Say(int serial, const QString& text) override;
  void Stop() override;
  void Pause() override;
  void Resume() override;
  void SetRate(int rate) override;
  void SetPitch(int pitch) override;
  void SetVolume(int volume) override;
  std::vector<SpeechVoice> Voices() const override;
  void SetVoice(const QString& id) override;

 private:
  QTextToSpeech* speech_ = nullptr;
  bool serviceReachable_ = false;
  int serial_ = 0;
  bool saying_ = false;
  bool heardSpeaking_ = false;
};

}  // namespace varnelo
