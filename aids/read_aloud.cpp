#include "aids/read_aloud.h"

#include <QColor>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <limits>

#include "aids/auto_scroll.h"
#include "aids/speech/espeak_engine.h"
#include "aids/speech/system_speech_engine.h"
#include "aids/speech_settings_dlg.h"
#include "platform/long_work.h"
#include "platform/services.h"
#include "platform/window_timers.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "text/chapter_index.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {
namespace {

constexpr int kSleepTickMs = 1000;
constexpr int kNoticeMs = 1500;

struct SleepChoice {
  int id;
  int minutes;
};
constexpr SleepChoice kSleepChoices[] = {
    {cmd::kSleepOff, 0},  {cmd::kSleep15, 15}, {cmd::kSleep30, 30},
    {cmd::kSleep60, 60},  {cmd::kSleep90, 90}, {cmd::kSleepChapterEnd, ReadAloud::kSleepAtChapterEnd},
};

std::unique_ptr<SpeechEngine> BuiltIn() {
  // A desktop without sound can still be watched reading: the sound goes nowhere, in time.
  const bool silent = qEnvironmentVariable("VARNELO_AUDIO") == QStringLiteral("null");
  return std::make_unique<EspeakEngine>(silent ? EspeakEngine::Output::Silent : EspeakEngine::Output::Device);
}

}  // namespace

std::unique_ptr<SpeechEngine> MakeSpeechEngine(int kind) {
  if (kind == 2) return BuiltIn();
  auto service = std::make_unique<SystemSpeechEngine>();
  if (kind == 1 || service->Problem().isEmpty()) return service;
  return BuiltIn();
}

SpeechEngineMaker& SpeechEngineMakerSlot() {
  static SpeechEngineMaker maker = MakeSpeechEngine;
  return maker;
}

ReadAloud::ReadAloud(CVarneloView& view, AutoScroll& autoScroll) : view_(view), autoScroll_(autoScroll) {
  CommandMap& commands = view_.Commands();
  const auto whileReading = [this](int, CommandState& state) { state.enabled = state_ != State::Idle; };
  commands.Add(cmd::kReadAloud, [this](int) { state_ == State::Idle ? Start() : Stop(); },
               [this](int, CommandState& state) {
                 state.checkable = true;
                 state.checked = state_ != State::Idle;
               });
  commands.Add(cmd::kReadFromHere, [this](int) {
    const int position = contextPosition_ >= 0 ? contextPosition_ : StartPosition();
    Stop();
    StartAt(position);
  });
  commands.Add(cmd::kReadPause, [this](int) { TogglePause(); });
  commands.Add(cmd::kReadStop, [this](int) { Stop(); }, whileReading);
  commands.Add(cmd::kReadNext, [this](int) { Next(); }, whileReading);
  commands.Add(cmd::kReadPrevious, [this](int) { Previous(); }, whileReading);
  commands.Add(cmd::kReadFaster, [this](int) { ChangeRate(1); });
  commands.Add(cmd::kReadSlower, [this](int) { ChangeRate(-1); });
  for (const SleepChoice& choice : kSleepChoices) {
    const int minutes = choice.minutes;
    commands.Add(choice.id, [this, minutes](int) { SetSleep(minutes); },
                 [this, minutes](int, CommandState& state) {
                   state.checkable = true;
                   state.checked = sleepMinutes_ == minutes;
                 });
  }
  commands.Add(cmd::kSpeechSettings,
               [this](int) { ChooseSpeechSettings(view_, [this] { SettingsChanged(); }); });
  view_.AddTimerHandler(kSleepTimer, [this] { CheckSleep(); });
  // Where the page is right-clicked is where "从这里开始朗读" starts.
  view_.Pane()->viewport()->installEventFilter(this);
}

ReadAloud::~ReadAloud() {
  if (engine_) engine_->SetEvents({});
}

bool ReadAloud::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::ContextMenu) {
    const auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (mouse == nullptr || mouse->button() == Qt::RightButton) {
      const QPoint at = mouse != nullptr ? mouse->position().toPoint()
                                         : static_cast<QContextMenuEvent*>(event)->pos();
      contextPosition_ = view_.Pane()->cursorForPosition(at).position();
    }
  }
  return QObject::eventFilter(watched, event);
}

void ReadAloud::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  ConfigValues& config = view_.Settings().config;
  const std::string& path = view_.Store().SettingsPath();
  for (ConfigKey key : {ConfigKey::SpeechEngine, ConfigKey::SpeechVoice, ConfigKey::SpeechRate,
                        ConfigKey::SpeechPitch, ConfigKey::SpeechVolume, ConfigKey::SpeechHighlight}) {
    ReadKey(config, key, path);
  }
}

void ReadAloud::Tell(const QString& text) {
  MessageBoxes().Show(&view_, text, QStringLiteral("听书"), MessageButtons::Ok, MessageIcon::Exclamation);
}

bool ReadAloud::EnsureEngine() {
  if (engine_ && !engineFailed_) return true;
  engine_.reset();
  engineFailed_ = false;
  const ConfigValues::Speech& speech = view_.Settings().config.speech;
  std::unique_ptr<SpeechEngine> engine = SpeechEngineMakerSlot()(speech.engine);
  if (engine && RunLongWork(&view_, QStringLiteral("正在准备朗读……"), [&](WorkControl&) { engine->Prepare(); }) ==
                    WorkOutcome::Cancelled)
    return false;
  const QString problem = engine ? engine->Problem() : QStringLiteral("没有可用的语音引擎。");
  if (!problem.isEmpty()) {
    Tell(problem);
    return false;
  }
  engine_ = std::move(engine);
  engine_->SetVoice(QString::fromStdString(speech.voice));
  engine_->SetRate(speech.rate);
  engine_->SetPitch(speech.pitch);
  engine_->SetVolume(speech.volume);
  SpeechEngine::Events events;
  events.finished = [this](int serial) {
    if (serial != serial_ || state_ == State::Idle) return;
    ++index_;
    if (state_ == State::Paused) {  // finished as the pause came: go on from the next one
      sayOnResume_ = true;
      return;
    }
    // Not from inside the engine's own report: the next sentence may replace this engine's state.
    QTimer::singleShot(0, this, [this, serial] {
      if (serial == serial_ && state_ == State::Reading) Speak();
    });
  };
  events.failed = [this](int serial, const QString& message) {
    if (serial != serial_ || state_ == State::Idle) return;
    const QString text = message + QStringLiteral("\n朗读已停止。");
    Stop();
    // Made again at the next start, in case the cause has gone; never destroyed inside
    // its own report.
    engineFailed_ = true;
    Tell(text);
  };
  engine_->SetEvents(std::move(events));
  return true;
}

void ReadAloud::SettingsChanged() {
  const bool wasReading = state_ != State::Idle;
  const int position = Current().begin;
  Stop();
  if (engine_) engine_->SetEvents({});
  engine_.reset();
  if (wasReading) StartAt(position);
}

void ReadAloud::BuildSentences() {
  pageText_ = view_.SpokenPageText();
  sentences_ = SplitSentences(pageText_.toStdU16String());
  readingPage_ = view_.CurrentPage();
  chapterEnd_ = -1;
}

int ReadAloud::StartPosition() const {
  const RichPane* pane = view_.Pane();
  const QTextCursor caret = pane->textCursor();
  if (caret.hasSelection()) return caret.selectionStart();
  const int top = std::max(pane->LineIndex(pane->FirstVisibleLine()), 0);
  // A caret the user put on the visible part of the page.
  const QRect at = pane->cursorRect(caret);
  if (caret.position() > top && at.top() >= 0 && at.bottom() <= pane->viewport()->height()) {
    return caret.position();
  }
  return top;
}

void ReadAloud::Start() { StartAt(StartPosition()); }

void ReadAloud::StartAt(int panePosition) {
  if (state_ != State::Idle) Stop();
  if (view_.CurrentPath().empty() || view_.PageCount() == 0) {
    Tell(QStringLiteral("请先打开要朗读的书。"));
    return;
  }
  if (view_.EditMode()) {
    Tell(QStringLiteral("编辑模式下不能朗读，请先关闭编辑模式。"));
    return;
  }
  if (!EnsureEngine()) return;
  autoScroll_.Stop();
  BuildSentences();
  index_ = SentenceAt(sentences_, panePosition);
  state_ = State::Reading;
  emit view_.StatusChanged();
  Speak();
}

Sentence ReadAloud::Current() const {
  if (state_ == State::Idle || index_ >= sentences_.size()) return {};
  return sentences_[index_];
}

std::int64_t ReadAloud::OffsetOf(int panePosition) const { return OffsetOfPanePosition(view_, panePosition); }

std::int64_t ReadAloud::ChapterEndAfter(std::int64_t offset) const {
  const Pagination* chapters = view_.HeadingsBy(view_.ChapterRule());
  if (chapters == nullptr || chapters->pageCount < 1) return std::numeric_limits<std::int64_t>::max();
  const int chapter = PageHolding(*chapters, offset);
  return chapter < chapters->pageCount ? chapters->PageStart(chapter + 1)
                                       : std::numeric_limits<std::int64_t>::max();
}

void ReadAloud::Speak() {
  if (state_ != State::Reading) return;
  if (autoScroll_.IsOn()) autoScroll_.Stop();
  if (index_ >= sentences_.size()) {
    AtPageEnd();
    return;
  }
  const Sentence sentence = sentences_[index_];
  if (sleepMinutes_ == kSleepAtChapterEnd) {
    const std::int64_t offset = OffsetOf(sentence.begin);
    if (chapterEnd_ < 0) chapterEnd_ = ChapterEndAfter(offset);
    if (offset >= chapterEnd_) {
      StopWithNotice(QStringLiteral("定时关闭：本章已读完，朗读停止。"));
      return;
    }
  }
  Highlight();
  engine_->Say(++serial_, pageText_.mid(sentence.begin, sentence.end - sentence.begin));
}

void ReadAloud::AtPageEnd() {
  if (view_.CurrentPage() >= view_.PageCount()) {
    StopWithNotice(QStringLiteral("全书已经读完。"));
    return;
  }
  if (sleepMinutes_ == kSleepAtChapterEnd) {
    if (chapterEnd_ < 0) chapterEnd_ = ChapterEndAfter(view_.PageStart(view_.CurrentPage()));
    if (view_.PageStart(view_.CurrentPage() + 1) >= chapterEnd_) {
      StopWithNotice(QStringLiteral("定时关闭：本章已读完，朗读停止。"));
      return;
    }
  }
  const int page = view_.CurrentPage();
  const std::int64_t chapterEnd = chapterEnd_;
  turning_ = true;
  view_.NextPage();
  turning_ = false;
  if (view_.CurrentPage() == page) {  // the turn was refused (edits not saved)
    Stop();
    return;
  }
  BuildSentences();
  chapterEnd_ = chapterEnd;
  index_ = 0;
  Speak();
}

void ReadAloud::Highlight() {
  RichPane* pane = view_.Pane();
  const Sentence sentence = Current();
  QTextEdit::ExtraSelection mark;
  mark.cursor = QTextCursor(pane->document());
  mark.cursor.setPosition(sentence.begin);
  mark.cursor.setPosition(sentence.end, QTextCursor::KeepAnchor);
  const QColor colour = ColourOf(view_.Settings().config.speech.highlight);
  mark.format.setBackground(colour);
  // Readable on the highlight whatever the page's colours (night mode's light text).
  mark.format.setForeground(colour.lightness() > 128 ? Qt::black : Qt::white);
  pane->setExtraSelections({mark});
  // Kept in view: the sentence's first line to the top when any of it is out of sight.
  QTextCursor at(pane->document());
  at.setPosition(sentence.begin);
  const QRect first = pane->cursorRect(at);
  at.setPosition(sentence.end);
  const QRect last = pane->cursorRect(at);
  if (first.top() < 0 || last.bottom() > pane->viewport()->height()) ScrollPositionToTop(*pane, sentence.begin);
}

void ReadAloud::ClearHighlight() { view_.Pane()->setExtraSelections({}); }

void ReadAloud::TogglePause() {
  switch (state_) {
    case State::Idle:
      Start();
      return;
    case State::Reading:
      state_ = State::Paused;
      engine_->Pause();
      break;
    case State::Paused:
      state_ = State::Reading;
      if (sayOnResume_) {
        sayOnResume_ = false;
        engine_->Stop();
        Speak();
      } else {
        engine_->Resume();
      }
      break;
  }
  emit view_.StatusChanged();
}

void ReadAloud::Stop() {
  if (state_ == State::Idle) return;
  state_ = State::Idle;
  ++serial_;
  sayOnResume_ = false;
  if (engine_) engine_->Stop();
  ClearHighlight();
  emit view_.StatusChanged();
}

void ReadAloud::StopWithNotice(const QString& text) {
  Stop();
  view_.ShowNotice(text, kNoticeMs);
}

void ReadAloud::Next() {
  if (state_ == State::Idle) return;
  engine_->Stop();
  ++index_;
  if (state_ == State::Reading) {
    Speak();
  } else if (index_ < sentences_.size()) {
    sayOnResume_ = true;
    Highlight();
  } else {
    --index_;  // paused at the last sentence of the page: stay
  }
}

void ReadAloud::Previous() {
  if (state_ == State::Idle) return;
  engine_->Stop();
  if (index_ > 0) {
    --index_;
  } else {
    const int first = view_.PagingMode() == kChapterPaging ? view_.Pages().firstPage : 1;
    if (view_.CurrentPage() > first) {
      const int page = view_.CurrentPage();
      turning_ = true;
      view_.PreviousPage();
      turning_ = false;
      if (view_.CurrentPage() != page) {
        BuildSentences();
        index_ = sentences_.empty() ? 0 : sentences_.size() - 1;
      }
    }
  }
  if (state_ == State::Reading) {
    Speak();
  } else {
    sayOnResume_ = true;
    Highlight();
  }
}

void ReadAloud::ChangeRate(int step) {
  ConfigValues& config = view_.Settings().config;
  const int rate = std::clamp(config.speech.rate + step, kSpeechStepMin, kSpeechStepMax);
  if (rate == config.speech.rate) return;
  config.speech.rate = rate;
  WriteKey(config, ConfigKey::SpeechRate, view_.Store().SettingsPath());
  if (!engine_) return;
  engine_->SetRate(rate);
  // Heard at once: the sentence begins again at the new speed.
  if (state_ == State::Reading) {
    engine_->Stop();
    Speak();
  } else if (state_ == State::Paused) {
    sayOnResume_ = true;
  }
}

void ReadAloud::SetSleep(int minutes) {
  sleepMinutes_ = minutes;
  chapterEnd_ = -1;
  if (minutes > 0) {
    sleepDeadline_ = static_cast<std::int64_t>(CurrentClock().Now()) + std::int64_t{minutes} * 60;
    view_.Timers().SetTimer(kSleepTimer, kSleepTickMs);
  } else {
    view_.Timers().KillTimer(kSleepTimer);
  }
}

void ReadAloud::CheckSleep() {
  if (sleepMinutes_ <= 0 || static_cast<std::int64_t>(CurrentClock().Now()) < sleepDeadline_) return;
  SetSleep(0);
  if (state_ != State::Idle) StopWithNotice(QStringLiteral("定时关闭：时间到，朗读停止。"));
}

void ReadAloud::OnPageShown() {
  if (turning_ || state_ == State::Idle) return;
  // After the page is shown a caller may still scroll it (目录, bookmarks): follow the
  // place once it has settled.
  if (!followPending_) {
    followPending_ = true;
    QTimer::singleShot(0, this, [this] { FollowUserPaging(); });
  }
}

void ReadAloud::FollowUserPaging() {
  followPending_ = false;
  if (state_ == State::Idle) return;
  const bool samePage = view_.CurrentPage() == readingPage_;
  const std::size_t kept = index_;
  BuildSentences();
  if (samePage && kept < sentences_.size()) {
    // The same page shown again (other characters, another font): the highlight comes back.
    index_ = kept;
    Highlight();
    return;
  }
  engine_->Stop();
  const RichPane* pane = view_.Pane();
  index_ = SentenceAt(sentences_, std::max(pane->LineIndex(pane->FirstVisibleLine()), 0));
  if (state_ == State::Reading) {
    Speak();
  } else {
    sayOnResume_ = true;
    if (index_ < sentences_.size()) Highlight();
  }
}

}  // namespace varnelo
