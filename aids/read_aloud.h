// 听书: the page read aloud, sentence by sentence, from the first visible line (or the
// selection, the caret, the place right-clicked), the sentence being read highlighted and
// kept in view; at the end of a page the next one is shown and reading goes on to the end
// of the book. The engine is behind SpeechEngine, so this logic runs the same with any.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "aids/speech/speech_engine.h"
#include "text/sentences.h"
#include "text/view_part.h"

namespace varnelo {

class AutoScroll;
class CVarneloView;

// The engine of a kind (0 the desktop's service, else the built-in one; 1 the service
// alone; 2 built-in alone). Tests install their own maker.
using SpeechEngineMaker = std::function<std::unique_ptr<SpeechEngine>(int kind)>;
SpeechEngineMaker& SpeechEngineMakerSlot();
std::unique_ptr<SpeechEngine> MakeSpeechEngine(int kind);

class ReadAloud : public QObject, public ViewPart {
 public:
  static constexpr int kSleepTimer = 140;
  static constexpr int kSleepAtChapterEnd = -1;
  enum class State { Idle, Reading, Paused };

  ReadAloud(CVarneloView& view, AutoScroll& autoScroll);
  ~ReadAloud() override;

  void OnStartup(StartupStep step) override;
  void OnBookLeaving() override { Stop(); }
  void OnPageShown() override;
  void OnEditModeChanged(bool on) override {
    if (on) Stop();
  }

  State CurrentState() const { return state_; }
  // Starts at the selection, else at the caret the user put on screen, else at the first
  // visible line.
  void Start();
  void StartAt(int panePosition);
  void TogglePause();
  void Stop();
  void Next();
  void Previous();
  void ChangeRate(int step);
  // Minutes until reading stops, kSleepAtChapterEnd, or 0 for none.
  void SetSleep(int minutes);
  int Sleep() const { return sleepMinutes_; }
  void CheckSleep();
  // The settings were changed: the next sentence uses them.
  void SettingsChanged();

  // The sentence being read, in pane positions (begin == end when none).
  Sentence Current() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool EnsureEngine();
  void BuildSentences();
  void Speak();
  void AtPageEnd();
  void Highlight();
  void ClearHighlight();
  void FollowUserPaging();
  void StopWithNotice(const QString& text);
  void Tell(const QString& text);
  std::int64_t OffsetOf(int panePosition) const;
  std::int64_t ChapterEndAfter(std::int64_t offset) const;
  int StartPosition() const;

  CVarneloView& view_;
  AutoScroll& autoScroll_;
  std::unique_ptr<SpeechEngine> engine_;
  bool engineFailed_ = false;
  State state_ = State::Idle;
  QString pageText_;
  std::vector<Sentence> sentences_;
  std::size_t index_ = 0;
  int readingPage_ = -1;
  int serial_ = 0;
  bool turning_ = false;       // our own page turn, not the user's
  bool followPending_ = false;
  bool sayOnResume_ = false;   // the sentence moved while paused: say it anew
  int contextPosition_ = -1;   // where the page was right-clicked
  int sleepMinutes_ = 0;
  std::int64_t sleepDeadline_ = 0;
  std::int64_t chapterEnd_ = -1;  // -1: not yet known for the place being read
};

}  // namespace varnelo
