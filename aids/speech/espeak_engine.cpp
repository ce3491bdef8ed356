#include "aids/speech/espeak_engine.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cstring>

namespace varnelo {
namespace {

constexpr int kTickMs = 25;

}  // namespace

EspeakEngine::EspeakEngine(Output output, QObject* parent) : QObject(parent), output_(output) {
  tick_.setInterval(kTickMs);
  connect(&tick_, &QTimer::timeout, this, [this] { Tick(); });
  worker_ = std::thread([this] { WorkerLoop(); });
}

EspeakEngine::~EspeakEngine() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    quitting_ = true;
    jobs_.clear();
  }
  cancel_ = true;
  wake_.notify_all();
  worker_.join();
  if (sink_ != nullptr) sink_->stop();
}

void EspeakEngine::Prepare() {
  // Both keep what they load for the process: asked again on the window's thread, they answer at once.
  (void)EspeakProblem(params_.voice);
  (void)EspeakChineseVoices();
}

QString EspeakEngine::Problem() const {
  const std::string problem = EspeakProblem(params_.voice);
  if (!problem.empty()) return QString::fromStdString(problem);
  if (output_ == Output::Device && QMediaDevices::defaultAudioOutput().isNull()) {
    return QStringLiteral("找不到可用的音频输出设备（声卡或声音服务），无法朗读。");
  }
  return {};
}

std::vector<SpeechVoice> EspeakEngine::Voices() const {
  std::vector<SpeechVoice> voices;
  for (const auto& [name, language] : EspeakChineseVoices()) {
    const QString id = QString::fromStdString(name);
    const QString shown = language == "yue" ? QStringLiteral("粤语（espeak-ng %1）").arg(id)
                                            : QStringLiteral("普通话（espeak-ng %1）").arg(id);
    voices.push_back({id, shown, QString::fromStdString(language)});
  }
  return voices;
}

void EspeakEngine::SetVoice(const QString& id) {
  for (const SpeechVoice& voice : Voices()) {
    if (voice.id == id) {
      params_.voice = id.toStdString();
      return;
    }
  }
  params_.voice = "cmn";
}

void EspeakEngine::Say(int serial, const QString& text) {
  Stop();
  serial_ = serial;
  active_ = true;
  {
    std::lock_guard<std::mutex> hold(lock_);
    cancel_ = false;
    jobs_.push_back(Job{generation_, serial, text.toStdString(), params_});
  }
  wake_.notify_all();
  if (output_ == Output::Memory) spans_.push_back({serial, samples_.size(), samples_.size()});
}

void EspeakEngine::Stop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    jobs_.clear();
  }
  cancel_ = true;
  ++generation_;  // reports of the sentence left are dropped as they arrive
  active_ = startedSent_ = synthDone_ = finishDue_ = false;
  paused_ = false;
  pending_.clear();
  total_ = 0;
  words_.clear();
  nextWord_ = 0;
  heardMs_ = 0;
  tick_.stop();
  if (sink_ != nullptr) {
    sink_->stop();
    device_ = nullptr;
  }
}

void EspeakEngine::Pause() {
  if (!active_ || paused_) return;
  paused_ = true;
  if (output_ == Output::Silent && clock_.isValid()) heardMs_ += clock_.elapsed();
  clock_.invalidate();
  if (sink_ != nullptr) sink_->suspend();
}

void EspeakEngine::Resume() {
  if (!paused_) return;
  paused_ = false;
  if (output_ == Output::Silent) clock_.start();
  if (sink_ != nullptr) sink_->resume();
  if (finishDue_) {
    finishDue_ = false;
    Finish();
  }
}

void EspeakEngine::WorkerLoop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> hold(lock_);
      wake_.wait(hold, [this] { return quitting_ || !jobs_.empty(); });
      if (quitting_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    const unsigned generation = job.generation;
    const SynthResult result = EspeakSynthesise(
        job.text, job.params,
        [&](const SynthChunk& chunk) {
          QByteArray pcm(reinterpret_cast<const char*>(chunk.samples),
                         static_cast<qsizetype>(chunk.count * sizeof(std::int16_t)));
          QMetaObject::invokeMethod(
              this, [this, generation, pcm] { OnChunk(generation, pcm, 0); }, Qt::QueuedConnection);
        },
        &cancel_);
    QMetaObject::invokeMethod(this, [this, generation, result] { OnDone(generation, result); },
                              Qt::QueuedConnection);
  }
}

void EspeakEngine::OnChunk(unsigned generation, const QByteArray& pcm, int) {
  if (generation != generation_ || !active_) return;
  if (!startedSent_) {
    startedSent_ = true;
    Started(serial_);
    if (!active_) return;  // the listener stopped at once
  }
  total_ += static_cast<std::size_t>(pcm.size()) / sizeof(std::int16_t);
  if (output_ == Output::Memory) {
    const auto* begin = reinterpret_cast<const std::int16_t*>(pcm.constData());
    samples_.insert(samples_.end(), begin, begin + pcm.size() / 2);
    if (!spans_.empty()) spans_.back().end = samples_.size();
    return;
  }
  pending_.append(pcm);
  if (!tick_.isActive()) {
    if (output_ == Output::Device && sink_ == nullptr) {
      QAudioFormat format;
      format.setSampleRate(sampleRate_ > 0 ? sampleRate_ : 22050);
      format.setChannelCount(1);
      format.setSampleFormat(QAudioFormat::Int16);
      sink_ = new QAudioSink(QMediaDevices::defaultAudioOutput(), format, this);
    }
    if (sink_ != nullptr && device_ == nullptr) device_ = sink_->start();
    playedBase_ = sink_ != nullptr ? sink_->processedUSecs() : 0;
    if (output_ == Output::Silent && !paused_) clock_.start();
    tick_.start();
  }
  Tick();
}

void EspeakEngine::OnDone(unsigned generation, const SynthResult& result) {
  if (generation != generation_ || !active_) return;
  sampleRate_ = result.sampleRate;
  if (!result.ok) {
    const int serial = serial_;
    Stop();
    Failed(serial, QString::fromStdString(result.error));
    return;
  }
  words_ = result.words;
  synthDone_ = true;
  if (output_ == Output::Memory) {
    if (!startedSent_) {  // nothing to say (a sentence of signs only)
      startedSent_ = true;
      Started(serial_);
      if (!active_) return;
    }
    for (const WordMark& word : words_) Word(serial_, word.offset, word.length);
    if (paused_) {
      finishDue_ = true;
      return;
    }
    Finish();
    return;
  }
  if (!tick_.isActive()) {
    if (!startedSent_) {
      startedSent_ = true;
      Started(serial_);
      if (!active_) return;
    }
    tick_.start();
  }
  Tick();
}

std::size_t EspeakEngine::PlayedSamples() const {
  const qint64 rate = sampleRate_ > 0 ? sampleRate_ : 22050;
  if (output_ == Output::Device) {
    if (sink_ == nullptr) return 0;
    return static_cast<std::size_t>((sink_->processedUSecs() - playedBase_) * rate / 1000000);
  }
  const qint64 ms = heardMs_ + (clock_.isValid() ? clock_.elapsed() : 0);
  return static_cast<std::size_t>(ms * rate / 1000);
}

void EspeakEngine::Tick() {
  if (!active_ || paused_) return;
  if (output_ == Output::Device) {
    if (sink_ == nullptr || device_ == nullptr || sink_->error() == QAudio::OpenError ||
        sink_->error() == QAudio::FatalError) {
      const int serial = serial_;
      Stop();
      Failed(serial, QStringLiteral("音频输出设备无法打开，朗读已停止。"));
      return;
    }
    const qint64 room = std::min<qint64>(sink_->bytesFree(), pending_.size());
    if (room > 0) {
      const qint64 written = device_->write(pending_.constData(), room);
      if (written > 0) pending_.remove(0, written);
    }
  } else {
    pending_.clear();  // nowhere to go: only the pace matters
  }
  const std::size_t played = PlayedSamples();
  while (nextWord_ < words_.size() && words_[nextWord_].sample <= played) {
    const WordMark& word = words_[nextWord_++];
    Word(serial_, word.offset, word.length);
    if (!active_) return;
  }
  if (!synthDone_) return;
  const bool drained = output_ == Output::Device
                           ? pending_.isEmpty() && (played >= total_ || sink_->state() == QAudio::IdleState)
                           : played >= total_;
  if (drained) Finish();
}

void EspeakEngine::Finish() {
  const int serial = serial_;
  active_ = false;
  tick_.stop();
  Finished(serial);
}

}  // namespace varnelo
