#include "text/varnelo_view.h"

#include <QAbstractTextDocumentLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include "res/command_ids.h"
#include "platform/codepage.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "platform/start_timeline.h"
#include "platform/top_level.h"
#include "platform/window_timers.h"
#include "text/bookmark_part.h"
#include "text/book_encoding_part.h"
#include "text/page_editor.h"

namespace varnelo {

CVarneloView::CVarneloView(SharedSettings& settings, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      timers_(std::make_unique<WindowTimers>(this, [this](int id) { OnTimer(id); })) {
  BuildControls();
  RegisterCommands();
  store_.SetClock([] { return CurrentClock().Now(); });
  auto bookmarks = std::make_unique<BookmarkPart>(*this);
  bookmarks_ = bookmarks.get();
  AddPart(std::move(bookmarks));
  AddPart(std::make_unique<PageEditor>(*this));
  AddPart(std::make_unique<EncodingPart>(*this));
}

CVarneloView::~CVarneloView() = default;

void CVarneloView::BuildControls() {
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("list1000"));
  // A list box's scroll bar shows only when its entries overflow.
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  pane_ = new RichPane(this);
  pane_->setObjectName(QStringLiteral("pane1018"));
  pane_->setReadOnly(true);
  pane_->installEventFilter(this);

  bottomFrame_ = new QGroupBox(this);
  bottomFrame_->setObjectName(QStringLiteral("frame1019"));
  bottomFrame_->lower();

  countLabel_ = new QLabel(QStringLiteral("总页数"), this);
  countLabel_->setObjectName(QStringLiteral("label1021"));
  countBox_ = new QLineEdit(this);
  countBox_->setObjectName(QStringLiteral("count1014"));
  countBox_->setReadOnly(true);
  countBox_->setAlignment(Qt::AlignRight);
  countBox_->setFocusPolicy(Qt::ClickFocus);

  numberLabel_ = new QLabel(QStringLiteral("当前页数"), this);
  numberLabel_->setObjectName(QStringLiteral("label1022"));
  numberBox_ = new QLineEdit(this);
  numberBox_->setObjectName(QStringLiteral("number1015"));
  numberBox_->setAlignment(Qt::AlignCenter);

  previousButton_ = new QPushButton(QStringLiteral("上一页"), this);
  previousButton_->setObjectName(QStringLiteral("button1013"));
  screenButton_ = new QPushButton(QStringLiteral("翻屏"), this);
  screenButton_->setObjectName(QStringLiteral("button1052"));
  nextButton_ = new QPushButton(QStringLiteral("下一页"), this);
  nextButton_->setObjectName(QStringLiteral("button1012"));
  for (QPushButton* button : {previousButton_, screenButton_, nextButton_}) {
    // Until skinned the pane keeps the keys after a click; the skin takes the focus as a
    // button does and passes the paging keys on.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
  }

  quoteLine_ = new QLabel(QStringLiteral("名言警句"), this);
  quoteLine_->setObjectName(QStringLiteral("quote1028"));
  quoteHeight_ = quoteLine_->fontMetrics().height();

  connect(previousButton_, &QPushButton::clicked, this,
          [this] { OnCommand(cmd::kPreviousPageButton); });
  connect(screenButton_, &QPushButton::clicked, this,
          [this] { OnCommand(cmd::kNextScreenButton); });
  connect(nextButton_, &QPushButton::clicked, this,
          [this] { OnCommand(cmd::kNextPageButton); });
  // Only the user's own changes: the exchange sets the box with setText, which is silent.
  connect(numberBox_, &QLineEdit::textEdited, this, [this] { GoToTypedPage(); });
  connect(pane_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ReportPlace(); });
  // The page's layout may go on after it shows, moving the lines under a still scroll bar.
  // Asked once the layout step is over, never from inside it.
  connect(pane_->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
          [this] { ReportPlace(); }, Qt::QueuedConnection);
}

void CVarneloView::ReportPlace() {
  // The line the exit save keeps is the one on screen, not the one of the last tick.
  const int line = pane_->FirstVisibleLine();
  settings_.book.firstVisibleLine = line;
  // A pixel step mostly leaves the first character where it was: the status bar has
  // nothing new.
  const std::pair<int, int> place{currentPage_, pane_->LineIndex(line)};
  if (place == reportedPlace_) return;
  reportedPlace_ = place;
  emit PlaceChanged();
}

void CVarneloView::AddPart(std::unique_ptr<ViewPart> part) { parts_.push_back(std::move(part)); }

void CVarneloView::RulesChangedElsewhere() {
  for (const auto& part : parts_) part->OnRulesChangedElsewhere();
}

void CVarneloView::AddTimerHandler(int id, std::function<void()> handler) {
  timerHandlers_[id] = std::move(handler);
}

void CVarneloView::SetEditMode(bool on) {
  const bool changed = on != (editMode_ != 0);
  editMode_ = on ? 1 : 0;
  pane_->setReadOnly(!on);
  if (changed) {
    for (const auto& part : parts_) part->OnEditModeChanged(on);
  }
  emit StatusChanged();  // the check mark of edit mode follows
}

std::optional<bool> CVarneloView::AskToSaveText(QWidget* owner) {
  // A timer (automatic scrolling) may turn the page while the question is open: it stays.
  if (askingToSave_) return std::nullopt;
  askingToSave_ = true;
  const MessageResult answer = MessageBoxes().Show(
      owner != nullptr ? owner : this, QStringLiteral("是否保存文本？"), QString(),
      MessageButtons::YesNo, MessageIcon::Exclamation);
  askingToSave_ = false;
  return answer == MessageResult::Yes;
}

bool CVarneloView::OfferToSaveEdits() {
  if (editMode_ == 0 || !pane_->IsModified()) return true;
  const std::optional<bool> yes = AskToSaveText();
  return yes && (!*yes || !saveEditsInPlace_ || saveEditsInPlace_());
}

bool CVarneloView::OfferToSaveEditsAtExit(QWidget* owner) {
  if (editMode_ == 0) return true;
  const std::optional<bool> yes = AskToSaveText(owner);
  return yes && (!*yes || !saveEditsInPlace_ || saveEditsInPlace_());
}

bool CVarneloView::OfferToSaveBeforeTurning() {
  if (editMode_ == 0 || !pane_->IsModified()) return true;
  const std::optional<bool> yes = AskToSaveText();
  return yes && (!*yes || !saveText_ || saveText_());
}

void CVarneloView::NotifyBookSavedAs() {
  for (const auto& part : parts_) part->OnBookSavedAs();
}

void CVarneloView::NotifyStartup(StartupStep step) {
  for (const auto& part : parts_) part->OnStartup(step);
}

void CVarneloView::NotifyBookmarkOpened(bool loaded) {
  for (const auto& part : parts_) part->OnBookmarkOpened(loaded);
}

void CVarneloView::OnInitialUpdate() {
  pane_->SetTextLimit(kPaneTextLimit);
  list_->setStyleSheet(QStringLiteral("QListWidget::item { height: 25px; }"));

  store_.SetSettingsPath(SettingsPathIn(settings_.programFolder));
  store_.LoadBookmarks();
  ConfigValues& config = settings_.config;
  ReadStartupKeys(config, ReadStage::View, store_.SettingsPath());
  chosenMode_ = pagingMode_ = config.pagingMode == kChapterPaging ? kChapterPaging : kLinePaging;
  chosenRule_ = chapterRule_ = StoredChapterRule(config.chapterRule);
  sideBarHidden_ = config.sideBarHidden != 0;
  appearance_ = config.appearance;
  NotifyStartup(StartupStep::SettingsRead);
  StartMark("view: settings read");
  NotifyStartup(StartupStep::AppearanceLoaded);
  StartMark("view: appearance");
  // The page is laid out at the width it is shown at, once: a pane still at its first size
  // would lay the whole page out a character a line first.
  if (viewWidth_ == 0 && viewHeight_ == 0) {
    viewWidth_ = width();
    viewHeight_ = height();
    LayOut();
  }
  bookmarks_->ReturnToLastPosition();
  StartMark("view: last book returned");
  NotifyStartup(StartupStep::BookReturned);
  LayOut();
}

std::string CVarneloView::PageText(int page) const {
  return varnelo::PageText(text_, pages_, page);
}

void CVarneloView::RegisterCommands() {
  // Every paging pass shows another page: unsaved edits are offered for saving first.
  const auto afterAsking = [this](std::function<void()> pass) {
    return [this, pass = std::move(pass)](int) {
      if (OfferToSaveBeforeTurning()) pass();
    };
  };
  const auto checkedWhile = [](std::function<bool()> on) {
    return [on = std::move(on)](int, CommandState& state) {
      state.checkable = true;
      state.checked = on();
    };
  };
  commands_.Add(cmd::kLinePaging, afterAsking([this] { SwitchPaging(kLinePaging, chapterRule_); }),
                checkedWhile([this] { return pagingMode_ == kLinePaging; }));
  commands_.Add(cmd::kChapterPaging, afterAsking([this] { SwitchPaging(kChapterPaging, chapterRule_); }),
                checkedWhile([this] { return pagingMode_ == kChapterPaging; }));
  commands_.Add(cmd::kTogglePaging, afterAsking([this] {
                  SwitchPaging(pagingMode_ == kLinePaging ? kChapterPaging : kLinePaging, chapterRule_);
                }));
  // The rule commands are not consecutive (32821 is unused).
  const int rules[] = {cmd::kRule1, cmd::kRule2, cmd::kRule3, cmd::kRule4, cmd::kRule5, cmd::kRule6};
  for (int rule = 1; rule <= 6; ++rule) {
    commands_.Add(rules[rule - 1], afterAsking([this, rule] { SwitchPaging(kChapterPaging, rule); }),
                  checkedWhile([this, rule] { return chapterRule_ == rule; }));
  }
  commands_.Add(cmd::kRuleAuto, afterAsking([this] { SwitchPaging(kChapterPaging, kAutoChapterRule); }),
                checkedWhile([this] { return chapterRule_ == kAutoChapterRule; }));
  commands_.Add(cmd::kScrollOneScreen, [this](int) { ScrollOneScreen(); });
  commands_.Add(cmd::kNextScreenButton, [this](int) { ScrollOneScreen(); });
  commands_.Add(cmd::kNextPageButton, [this](int) { NextPage(); });
  commands_.Add(cmd::kPreviousPageButton, [this](int) { PreviousPage(); });
}

bool CVarneloView::HandlesCommand(int id) const { return commands_.HandlesCommand(id); }

void CVarneloView::OnCommand(int id) { commands_.OnCommand(id); }

void CVarneloView::UpdateCommand(int id, CommandState& state) const {
  commands_.UpdateCommand(id, state);
}

void CVarneloView::OnTimer(int id) {
  if (id == kNoticeTimer) {
    CloseTopLevelWindowTitled(QStringLiteral("提示"));
    timers_->KillTimer(kNoticeTimer);
    return;
  }
  settings_.book.firstVisibleLine = pane_->FirstVisibleLine();
  if (const auto found = timerHandlers_.find(id); found != timerHandlers_.end()) found->second();
}

void CVarneloView::ShowNotice(const QString& text, int closeAfterMs, MessageIcon icon) {
  if (noticeSink_ && noticeSink_(text)) return;
  timers_->SetTimer(kNoticeTimer, closeAfterMs);
  MessageBoxes().Show(this, text, QStringLiteral("提示"), MessageButtons::Ok, icon);
}

bool CVarneloView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pane_ && event->type() == QEvent::KeyPress) {
    // The keys are judged alone, whatever modifier is held.
    if (PreTranslateKey(static_cast<QKeyEvent*>(event)->key())) return true;
  }
  return QWidget::eventFilter(watched, event);
}

// Keys on the page pane while it is not being edited. Up and Down scroll one line and are
// then taken: the read-only pane would otherwise scroll a second line by itself.
bool CVarneloView::PreTranslateKey(int key) {
  if (editMode_ != 0 || !pane_->hasFocus()) return false;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter is the second identifier of automatic scrolling, when that is running here.
      if (!commands_.HandlesCommand(cmd::kAutoScrollAlt)) return false;
      commands_.OnCommand(cmd::kAutoScrollAlt);
      return true;
    case Qt::Key_Down:
      pane_->LineScroll(1);
      return true;
    case Qt::Key_Up:
      pane_->LineScroll(-1);
      return true;
    case Qt::Key_Left:
      PreviousPage();
      return true;
    case Qt::Key_Right:
      NextPage();
      return true;
    case Qt::Key_Space:
      ScrollOneScreen();
      return true;
    default:
      return false;
  }
}

void CVarneloView::PushToControls() {
  exchanging_ = true;
  const QString number = QString::number(pageNumberValue_);
  if (numberBox_->text() != number) numberBox_->setText(number);
  if (pane_->PaneText() != paneText_) pane_->SetPaneText(paneText_);
  exchanging_ = false;
}

bool CVarneloView::PullFromControls() {
  int value = 0;
  if (!ParseExchangeInteger(numberBox_->text(), value)) {
    MessageBoxes().Show(this, QStringLiteral("请键入一个整数。"), QString(), MessageButtons::Ok,
                        MessageIcon::Exclamation);
    return false;
  }
  pageNumberValue_ = value;
  paneText_ = pane_->PaneText();
  return true;
}

bool ParseExchangeInteger(const QString& text, int& value) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return false;
  qsizetype i = 0;
  if (trimmed[0] == u'+' || trimmed[0] == u'-') ++i;
  if (i == trimmed.size()) return false;
  for (qsizetype j = i; j < trimmed.size(); ++j) {
    if (trimmed[j] < u'0' || trimmed[j] > u'9') return false;
  }
  bool ok = false;
  const int parsed = trimmed.toInt(&ok, 10);
  if (!ok) return false;
  value = parsed;
  return true;
}

QString WordCountText(std::int64_t charCount) {
  return QString::asprintf("字数：%.4f 万", static_cast<double>(charCount) * 0.0001);
}

QString CVarneloView::WordCountStatus() const { return WordCountText(pages_.charCount); }

QString CVarneloView::ReadingStatus() const {
  if (currentPage_ == 0) return QString();
  const int index = pane_->LineIndex(pane_->FirstVisibleLine());
  const double position = static_cast<double>(std::max(index, 0)) +
                          static_cast<double>(pages_.PageStart(currentPage_));
  // A refused empty file leaves no length to measure against: show the start.
  const double percentage =
      text_.empty() ? 0.0 : position * 100.0 / static_cast<double>(text_.size());
  QString status = QString::asprintf("[%4.2f%%] ", percentage) + QStringLiteral("正在阅读：");
  if (pagingMode_ == kChapterPaging) {
    const std::string_view title = pages_.TitleOf(text_, currentPage_);
    status += QString::fromStdU16String(DecodeBookBytes(title));
  } else {
    status += QString::fromStdString(FileNameOf(currentPath_));
  }
  if (bookForm_.encoding != BookEncoding::Gbk)
    status += QStringLiteral(" [%1]").arg(QString::fromLatin1(EncodingLabel(bookForm_.encoding)));
  return status;
}

}  // namespace varnelo
