// One small interface over the speech engines, so the reading logic never knows which one
// speaks. An engine says one sentence at a time and reports on the GUI thread; every event
// carries the serial the sentence was given with, so a listener can drop the reports of a
// sentence it has already left.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace varnelo {

struct SpeechVoice {
  QString id;    // what SetVoice takes
  QString name;  // what the user sees
  QString language;
};

// Rate and pitch run from -10 (slowest, lowest) through 0 (the engine's normal) to 10;
// volume from 0 to 100.
inline constexpr int kSpeechStepMin = -10;
inline constexpr int kSpeechStepMax = 10;

class SpeechEngine {
 public:
  struct Events {
    std::function<void(int serial)> started;
    // A word begins: its offset and length in the sentence, in UTF-16 units.
    std::function<void(int serial, int offset, int length)> word;
    std::function<void(int serial)> finished;
    std::function<void(int serial, const QString& message)> failed;
  };

  virtual ~SpeechEngine() = default;
  void SetEvents(Events events) { events_ = std::move(events); }

  // Loads what the engine needs before it can speak or list its voices, where that is slow
  // (a voice's dictionary): called off the window's thread, before anything else is asked.
  virtual void Prepare() {}
  // Why the engine cannot speak Chinese here, in Chinese; empty when it can.
  virtual QString Problem() const = 0;
  // Starts saying `text`, dropping whatever was being said.
  virtual void Say(int serial, const QString& text) = 0;
  virtual void Stop() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual void SetRate(int rate) = 0;
  virtual void SetPitch(int pitch) = 0;
  virtual void SetVolume(int volume) = 0;
  virtual std::vector<SpeechVoice> Voices() const = 0;
  // An id from Voices(); an empty or unknown id keeps the engine's Chinese default.
  virtual void SetVoice(const QString& id) = 0;

 protected:
  void Started(int serial) const {
    if (events_.started) events_.started(serial);
  }
  void Word(int serial, int offset, int length) const {
    if (events_.word) events_.word(serial, offset, length);
  }
  void Finished(int serial) const {
    if (events_.finished) events_.finished(serial);
  }
  void Failed(int serial, const QString& message) const {
    if (events_.failed) events_.failed(serial, message);
  }

 private:
  Events events_;
};

}  // namespace varnelo
