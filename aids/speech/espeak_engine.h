// The built-in engine: libespeak-ng synthesises each sentence on a worker thread, and the
// sound goes to the default audio device (Qt Multimedia), into memory (tests, the tool) or
// nowhere at the pace it would be heard (a desktop with no sound, looked at by eye).
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "aids/speech/espeak_synth.h"
#include "aids/speech/speech_engine.h"

class QAudioSink;
class QIODevice;

namespace varnelo {

class EspeakEngine : public QObject, public SpeechEngine {
 public:
  enum class Output { Device, Memory, Silent };

  explicit EspeakEngine(Output output, QObject* parent = nullptr);
  ~EspeakEngine() override;

  void Prepare() override;
  QString Problem() const override;
  void Say(int serial, const QString& text) override;
  void Stop() override;
  void Pause() override;
  void Resume() override;
  void SetRate(int rate) override { params_.rate = rate; }
  void SetPitch(int pitch) override { params_.pitch = pitch; }
  void SetVolume(int volume) override { params_.volume = volume; }
  std::vector<SpeechVoice> Voices() const override;
  void SetVoice(const QString& id) override;

  // Memory output: every sample said so far, and the span of each sentence in it.
  struct Span {
    int serial;
    std::size_t begin, end;
  };
  const std::vector<std::int16_t>& Samples() const { return samples_; }
  const std::vector<Span>& Spans() const { return spans_; }
  int SampleRate() const { return sampleRate_; }

 private:
  struct Job {
    unsigned generation;
    int serial;
    std::string text;
    SpeechParams params;
  };
  void WorkerLoop();
  void OnChunk(unsigned generation, const QByteArray& pcm, int sampleRate);
  void OnDone(unsigned generation, const SynthResult& result);
  void Tick();
  std::size_t PlayedSamples() const;
  void Finish();

  Output output_;
  SpeechParams params_;
  int sampleRate_ = 0;

  // The worker and its queue.
  std::thread worker_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool quitting_ = false;
  std::atomic<bool> cancel_{false};

  // The sentence being said (GUI thread only).
  unsigned generation_ = 0;
  int serial_ = 0;
  bool active_ = false;
  bool startedSent_ = false;
  bool synthDone_ = false;
  bool paused_ = false;
  bool finishDue_ = false;  // memory output: finished while paused
  QByteArray pending_;       // made, not yet handed to the device
  std::size_t total_ = 0;    // samples made for this sentence
  std::vector<WordMark> words_;
  std::size_t nextWord_ = 0;
  QTimer tick_;
  QElapsedTimer clock_;      // silent output: time heard so far
  qint64 heardMs_ = 0;
  QAudioSink* sink_ = nullptr;
  QIODevice* device_ = nullptr;
  qint64 playedBase_ = 0;    // the sink's processed time when this sentence began, in us

  std::vector<std::int16_t> samples_;
  std::vector<Span> spans_;
};

}  // namespace varnelo
