// 听书 in the whole reader, through its keys, menu actions and the page's right-click
// menu: a scripted engine for the reading logic, the real espeak-ng for the sound.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "aids/read_aloud.h"
#include "aids/speech/espeak_engine.h"
#include "aids/speech/system_speech_engine.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "platform/start_environment.h"
#include "res/command_ids.h"
#include "tests/gui/test_support.h"
#include "text/sentences.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

using namespace varnelo::testing;

// Says nothing: records what it was asked, and the test finishes each sentence.
struct ScriptedEngine : SpeechEngine {
  void Prepare() override { preparedOn->push_back(std::this_thread::get_id()); }
  QString Problem() const override { return problem; }
  void Say(int serial, const QString& text) override {
    said.push_back(text);
    current = serial;
    Started(serial);
  }
  void Stop() override { current = 0; }
  void Pause() override { paused = true; }
  void Resume() override { paused = false; }
  void SetRate(int r) override { rate = r; }
  void SetPitch(int) override {}
  void SetVolume(int) override {}
  std::vector<SpeechVoice> Voices() const override { return {}; }
  void SetVoice(const QString&) override {}
  void Finish() { Finished(current); }
  void Fail(const QString& why) { Failed(current, why); }

  QString problem;
  std::vector<std::thread::id>* preparedOn = nullptr;
  std::vector<QString> said;
  int current = 0;
  bool paused = false;
  int rate = 0;
};

class ReadAloudTest : public ::testing::Test, protected ReaderSession {
 protected:
  void SetUp() override {
    SpeechEngineMakerSlot() = [this](int) -> std::unique_ptr<SpeechEngine> {
      if (useEspeak) {
        auto engine = std::make_unique<EspeakEngine>(EspeakEngine::Output::Memory);
        espeak = engine.get();
        return engine;
      }
      auto engine = std::make_unique<ScriptedEngine>();
      engine->problem = problem;
      engine->preparedOn = &preparedOn_;
      engine_ = engine.get();
      return engine;
    };
    ASSERT_TRUE(StartReader());
    app_.MainFrame()->OnTimer(CMainFrame::kPlacementTimer);
    OpenByKeys(CorpusBook("三国演义.txt"));
    ASSERT_GT(view_->PageCount(), 2);
  }
  void TearDown() override { SpeechEngineMakerSlot() = MakeSpeechEngine; }

  void Key(QKeyCombination key) { PressKey(view_->Pane(), key); }
  ReadAloud::State State() const { return app_.MainFrame()->Aids().readAloud->CurrentState(); }
  // The text under the highlight.
  QString Highlighted() const {
    const auto marks = view_->Pane()->extraSelections();
    return marks.size() == 1 ? marks[0].cursor.selectedText() : QString();
  }
  std::vector<QString> PageSentences() const {
    const QString text = view_->Pane()->PaneText();
    std::vector<QString> out;
    for (const Sentence& s : SplitSentences(text.toStdU16String())) out.push_back(text.mid(s.begin, s.end - s.begin));
    return out;
  }
  void Settle() { QCoreApplication::processEvents(); }
  // The first chapter, by the Right key.
  void ShowPageByKeys() {
    if (view_->CurrentPage() < 1) {
      ASSERT_TRUE(TurnPagesTo(*view_, 1));
    }
  }
  bool Checked(int id) { return app_.MainFrame()->Router().StateOf(id).checked; }

  ScriptedEngine* engine_ = nullptr;
  std::vector<std::thread::id> preparedOn_;  // where each engine was prepared
  EspeakEngine* espeak = nullptr;
  bool useEspeak = false;
  QString problem;
};

TEST_F(ReadAloudTest, ReadsFromTheVisibleLineHighlightingAndTurnsThePage) {
  Key(QKeyCombination(Qt::Key_Return));  // auto-scroll on
  ASSERT_TRUE(Checked(cmd::kAutoScroll));
  RichPane* pane = view_->Pane();
  pane->LineScroll(3);  // the page moved down: reading starts at the line now on top
  const int top = pane->LineIndex(pane->FirstVisibleLine());
  const std::vector<QString> sentences = PageSentences();
  const std::size_t first = SentenceAt(SplitSentences(pane->PaneText().toStdU16String()), top);
  ASSERT_LT(first, sentences.size());
  Key(QKeyCombination(Qt::Key_F9));
  ASSERT_NE(engine_, nullptr);
  EXPECT_EQ(State(), ReadAloud::State::Reading);
  EXPECT_FALSE(Checked(cmd::kAutoScroll)) << "auto-scroll stops while reading";
  ASSERT_EQ(engine_->said.size(), 1u);
  EXPECT_EQ(engine_->said[0], sentences[first]);
  EXPECT_EQ(Highlighted(), sentences[first]);

  // Each finished sentence gives the next one, highlighted and in view, to the page's end.
  const int page = view_->CurrentPage();
  for (std::size_t i = first + 1; i < sentences.size(); ++i) {
    engine_->Finish();
    Settle();
    ASSERT_EQ(engine_->said.back(), sentences[i]) << i;
    EXPECT_EQ(Highlighted(), sentences[i]) << i;
    QTextCursor end(pane->document());
    end.setPosition(pane->extraSelections()[0].cursor.selectionEnd());
    EXPECT_LE(pane->cursorRect(end).bottom(), pane->viewport()->height()) << i;
  }
  engine_->Finish();
  Settle();
  EXPECT_EQ(view_->CurrentPage(), page + 1) << "the next page is shown";
  EXPECT_EQ(engine_->said.back(), PageSentences().front());
  EXPECT_EQ(Highlighted(), PageSentences().front());

  // Next and previous sentence by keys; the user's paging moves the reading there.
  Key(Qt::AltModifier | Qt::Key_Right);
  EXPECT_EQ(engine_->said.back(), PageSentences().at(1));
  Key(Qt::AltModifier | Qt::Key_Left);
  EXPECT_EQ(engine_->said.back(), PageSentences().at(0));
  Key(QKeyCombination(Qt::Key_Right));
  Settle();
  EXPECT_EQ(view_->CurrentPage(), page + 2);
  EXPECT_EQ(engine_->said.back(), PageSentences().front());

  // Pause and resume, faster, then stop: the highlight goes.
  Key(Qt::ControlModifier | Qt::Key_F9);
  EXPECT_TRUE(engine_->paused);
  EXPECT_EQ(State(), ReadAloud::State::Paused);
  engine_->Finish();  // the sentence ended just as the pause came
  Settle();
  EXPECT_EQ(engine_->said.back(), PageSentences().front());
  Key(Qt::ControlModifier | Qt::Key_F9);
  Settle();
  EXPECT_EQ(engine_->said.back(), PageSentences().at(1)) << "resumed at the next sentence";
  Key(Qt::AltModifier | Qt::Key_Up);
  EXPECT_EQ(engine_->rate, 1);
  EXPECT_EQ(profile::GetInt("Speech", "Rate", 0, home_.ConfigPath()), 1);
  Key(Qt::ShiftModifier | Qt::Key_F9);
  EXPECT_EQ(State(), ReadAloud::State::Idle);
  EXPECT_TRUE(pane->extraSelections().isEmpty());
  EXPECT_EQ(view_->CurrentPage(), page + 2) << "the page stays";
}

TEST_F(ReadAloudTest, StartsWhereThePageWasRightClicked) {
  RichPane* pane = view_->Pane();
  const auto sentences = SplitSentences(pane->PaneText().toStdU16String());
  ASSERT_GT(sentences.size(), 4u);
  QTextCursor at(pane->document());
  at.setPosition(sentences[3].begin + 1);
  const QPoint point = pane->cursorRect(at).center();
  QContextMenuEvent click(QContextMenuEvent::Mouse, point, pane->viewport()->mapToGlobal(point));
  QCoreApplication::sendEvent(pane->viewport(), &click);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QAction* here = nullptr;
  for (QAction* action : menu->actions()) {
    if (action->data().toInt() == cmd::kReadFromHere) here = action;
  }
  ASSERT_NE(here, nullptr);
  EXPECT_EQ(here->text(), QStringLiteral("从这里开始朗读\t(&R)"));
  here->trigger();
  menu->close();
  ASSERT_NE(engine_, nullptr);
  ASSERT_FALSE(engine_->said.empty());
  EXPECT_EQ(engine_->said.back(), PageSentences()[3]);
}

TEST_F(ReadAloudTest, SleepTimerStopsOnTimeByTheInjectedClock) {
  Action(cmd::kSleep30)->trigger();
  EXPECT_TRUE(Checked(cmd::kSleep30));
  Action(cmd::kReadAloud)->trigger();
  ASSERT_EQ(State(), ReadAloud::State::Reading);
  const struct { int seconds; bool reading; } steps[] = {{60, true}, {29 * 60 - 1, true}, {1, false}};
  for (const auto& step : steps) {
    clock_.now += step.seconds;
    view_->OnTimer(ReadAloud::kSleepTimer);
    EXPECT_EQ(State() != ReadAloud::State::Idle, step.reading) << step.seconds;
  }
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("定时关闭：时间到，朗读停止。"));
  EXPECT_TRUE(Checked(cmd::kSleepOff)) << "the timer is spent";
}

TEST_F(ReadAloudTest, SleepAtChapterEndStopsBeforeTheNextChapter) {
  Action(cmd::kChapterPaging)->trigger();
  ASSERT_EQ(view_->PagingMode(), kChapterPaging);
  ShowPageByKeys();
  const int page = view_->CurrentPage();
  Action(cmd::kSleepChapterEnd)->trigger();
  Key(QKeyCombination(Qt::Key_F9));
  const std::size_t sentences = PageSentences().size();
  for (std::size_t i = 0; i < sentences + 1 && State() != ReadAloud::State::Idle; ++i) {
    engine_->Finish();
    Settle();
  }
  EXPECT_EQ(State(), ReadAloud::State::Idle);
  EXPECT_EQ(view_->CurrentPage(), page) << "the next chapter is not shown";
  EXPECT_EQ(engine_->said.back(), PageSentences().back()) << "the chapter was read to its end";
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("定时关闭：本章已读完，朗读停止。"));
}

TEST_F(ReadAloudTest, EngineProblemsAreToldAndNothingMoves) {
  const int page = view_->CurrentPage();
  const QString text = view_->Pane()->PaneText();
  problem = QStringLiteral("找不到可用的音频输出设备（声卡或声音服务），无法朗读。");
  Key(QKeyCombination(Qt::Key_F9));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, problem);
  EXPECT_EQ(State(), ReadAloud::State::Idle);

  // An engine that fails while speaking: told once, reading stops, the page stays.
  problem.clear();
  Key(QKeyCombination(Qt::Key_F9));
  ASSERT_EQ(State(), ReadAloud::State::Reading);
  engine_->Fail(QStringLiteral("音频输出设备无法打开，朗读已停止。"));
  EXPECT_EQ(State(), ReadAloud::State::Idle);
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_TRUE(boxes_.shown[1].text.startsWith(QStringLiteral("音频输出设备无法打开")));
  EXPECT_EQ(view_->CurrentPage(), page);
  EXPECT_EQ(view_->Pane()->PaneText(), text);
  EXPECT_TRUE(view_->Pane()->extraSelections().isEmpty());
}

TEST_F(ReadAloudTest, RealSynthesisSaysThePageSentencesInOrderEachAudible) {
  useEspeak = true;
  Key(QKeyCombination(Qt::Key_F9));
  ASSERT_NE(espeak, nullptr);
  ASSERT_TRUE(RunEventLoop(20000, [&] { return espeak->Spans().size() >= 4; }));
  Key(Qt::ShiftModifier | Qt::Key_F9);
  const std::vector<QString> sentences = PageSentences();
  const auto spans = espeak->Spans();
  for (std::size_t i = 0; i + 1 < spans.size(); ++i) {
    ASSERT_LT(spans[i].begin, spans[i].end) << i;
    EXPECT_EQ(spans[i].end, spans[i + 1].begin) << "in order, one after another " << i;
    double energy = 0;
    for (std::size_t k = spans[i].begin; k < spans[i].end; ++k) {
      energy += double(espeak->Samples()[k]) * espeak->Samples()[k];
    }
    EXPECT_GT(std::sqrt(energy / double(spans[i].end - spans[i].begin)), 300.0) << "sentence " << i << " is heard";
  }
  // Longer sentences take longer to say: the spans follow the page's sentences.
  const auto length = [&](std::size_t i) { return spans[i].end - spans[i].begin; };
  std::size_t shortest = 0, longest = 0;
  for (std::size_t i = 1; i < 4; ++i) {
    if (sentences[i].size() < sentences[shortest].size()) shortest = i;
    if (sentences[i].size() > sentences[longest].size()) longest = i;
  }
  ASSERT_GT(sentences[longest].size(), 2 * sentences[shortest].size());
  EXPECT_GT(length(longest), length(shortest));
}

TEST_F(ReadAloudTest, SettingsDialogKeepsTheChoiceInItsOwnSection) {
  ASSERT_TRUE(WithModalDialog([&] { Action(cmd::kSpeechSettings)->trigger(); },
                              [&](QDialog& dialog) {
                                dialog.findChild<QSpinBox*>("rate")->setValue(-4);
                                dialog.findChild<QSpinBox*>("volume")->setValue(70);
                                dialog.accept();
                              }));
  EXPECT_EQ(profile::GetInt("Speech", "Rate", 0, home_.ConfigPath()), -4);
  EXPECT_EQ(profile::GetInt("Speech", "Volume", 0, home_.ConfigPath()), 70);
  Action(cmd::kReadAloud)->trigger();
  ASSERT_NE(engine_, nullptr);
  EXPECT_EQ(engine_->rate, -4) << "the engine speaks at the chosen rate";
  // The dialog's voice list and the start each load the engine off the window's thread.
  ASSERT_EQ(preparedOn_.size(), 2u);
  for (std::thread::id id : preparedOn_) EXPECT_NE(id, std::this_thread::get_id());
}

// No speech-dispatcher to reach or start: the service is not tried (its plugin would start
// a process that fails, on the window's thread) and the built-in engine speaks.
TEST(SpeechServiceTest, WithoutSpeechDispatcherTheBuiltInEngineSpeaks) {
  if (qEnvironmentVariableIsSet("SPEECHD_ADDRESS")) GTEST_SKIP() << "a speech-dispatcher address is set";
  QTemporaryDir empty;
  StartEnvironment environment;
  environment.Set("PATH", empty.path().toUtf8().constData());
  environment.Set("XDG_RUNTIME_DIR", empty.path().toUtf8().constData());
  EXPECT_EQ(SystemSpeechEngine().Problem(),
            QStringLiteral("没有找到系统语音服务 speech-dispatcher，请安装它或改用内置引擎。"));
  EXPECT_NE(dynamic_cast<EspeakEngine*>(MakeSpeechEngine(0).get()), nullptr);
}

}  // namespace
}  // namespace varnelo
