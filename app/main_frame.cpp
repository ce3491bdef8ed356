#include "app/main_frame.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimerEvent>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <climits>
#include <utility>

#include "aids/auto_scroll.h"
#include "aids/page_appearance.h"
#include "aids/library_side_bar.h"
#include "aids/place_keeper.h"
#include "aids/reading_aids.h"
#include "app/immersive_mode.h"
#include "app/page_context_menu.h"
#include "app/startup_probe.h"
#include "app/sync/sync_part.h"
#include "app/varnelo_app.h"
#include "app/varnelo_doc.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "platform/window_timers.h"
#include "res/command_ids.h"
#include "res/command_table.h"
#include "res/toolbar_icons.h"
#include "store/bookmark_format.h"
#include "store/config_store.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const char* const kWeekdays[] = {"日", "一", "二", "三", "四", "五", "六"};
constexpr int kPlacementDelayMs = 100;
constexpr int kPlacementWaits = 5;  // ticks of the placement timer spent waiting for a frame
constexpr int kClockPeriodMs = 1000;

// The width a one-line label needs for `text`, as the label itself measures it.
int TextWidth(const QFontMetrics& metrics, const QString& text) {
  return metrics.size(Qt::TextSingleLine, text).width();
}

}  // namespace

CMainFrame::CMainFrame(CVarneloApp& app)
    : app_(app), timers_(std::make_unique<WindowTimers>(this, [this](int id) { OnTimer(id); })) {
  PreCreateWindow();
  OnCreate();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::PreCreateWindow() {
  const std::string settingsPath = SettingsPathIn(app_.GetProgramFolder());
  ConfigValues& config = app_.Settings().config;
  ReadStartupKeys(config, ReadStage::Frame, settingsPath);
  remembered_ = config.placement;
  // The window opens at the remembered size, centred; the placement itself follows 100 ms
  // later. Qt's own first size would be whatever the bars happen to need.
  resize(std::max(remembered_.right - remembered_.left, 200),
         std::max(remembered_.bottom - remembered_.top, 150));
  nextReminderMinute_ = config.quote.reminderMinutes;
  toolBarFlag_ = config.toolBarShown;
  statusBarFlag_ = config.statusBarShown;
  // The title never names the book.
  setWindowTitle(QStringLiteral("Tellavin--Varnelo"));
  setWindowIcon(AppIcon());
}

void CMainFrame::OnCreate() {
  view_ = new CVarneloView(app_.Settings(), this);
  StartMark("view made");
  aids_ = AttachReadingAids(*view_);
  StartMark("reading aids made");
  auto sync = std::make_unique<sync::SyncPart>(*view_, *this);
  sync->SetOpener([this](const std::string& path) { aids_.sideBar->OpenPath(path); });
  sync_ = sync.get();
  view_->AddPart(std::move(sync));
  view_->Store().SetMenus(this);
  view_->AddPart(
      std::make_unique<PageContextMenu>(*view_, router_, [this](int id) { return RunCommand(id); }));
  setCentralWidget(view_);
  StartMark("view and parts made");
  router_.SetChain({view_, app_.Document(), this, &app_});

  BuildMenus();
  StartMark("menus built");
  CreateToolBar();
  StartMark("tool bar built");
  CreateStatusBar();

  elapsedSeconds_ = 0;
  readingTimeDisplay_ = 0;
  // The clock and the reading time go on under the reminder's modal box.
  timers_->SetTimer(kClockTimer, kClockPeriodMs, true);
  startTime_ = CurrentClock().Now();
  UpdateTimeDisplay();

  SizeCountPanes();
  StartMark("status bar");

  if (toolBarFlag_ == 0) toolBar_->hide();
  if (statusBarFlag_ == 0) statusBar()->hide();
  timers_->SetTimer(kPlacementTimer, kPlacementDelayMs);

  connect(view_, &CVarneloView::StatusChanged, this, [this] { RefreshStatusSoon(true); });
  // No command's state follows the reading position: scrolling refreshes the panes only.
  connect(view_, &CVarneloView::PlaceChanged, this, [this] { RefreshStatusSoon(false); });
  // As idle processing would: a mode that ends by itself (scrolling reaching the end)
  // releases its button before the reader waits for input again; not after the
  // auto-scroll steps alone, which change no command's state.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (commandsStale_) UpdateCommandUI();
    });
  }
  immersive_ = new ImmersiveMode(*this);
  StartMark("reading mode made");
  immersive_->RestoreAtStart();
  UpdateCommandUI();
  StartMark("status bar, timers, reading mode");
}

// Changes come in bursts (a scroll reports every line it passes): refresh once per
// event-loop turn.
void CMainFrame::RefreshStatusSoon(bool commandsToo) {
  commandsRefreshPending_ = commandsRefreshPending_ || commandsToo;
  if (statusRefreshPending_) return;
  statusRefreshPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        statusRefreshPending_ = false;
        UpdateStatusPanes();
        if (std::exchange(commandsRefreshPending_, false)) UpdateCommandUI();
      },
      Qt::QueuedConnection);
}

QAction* CMainFrame::MakeAction(int id, const QString& text) {
  auto* action = new QAction(text, this);
  action->setStatusTip(Utf8(PromptOf(id)));
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  actions_.emplace(id, action);
  return action;
}

void CMainFrame::AddMenuEntries(QMenu* menu, const std::vector<MenuEntry>& entries) {
  for (const MenuEntry& entry : entries) {
    switch (entry.kind) {
      case MenuKind::Separator:
        menu->addSeparator();
        break;
      case MenuKind::Popup: {
        QMenu* popup = menu->addMenu(Utf8(entry.MenuText()));
        // The sub-menus the store fills are known by the placeholder they start with.
        const int first = entry.items.empty() ? 0 : entry.items.front().id;
        if (first == cmd::kOpenBookmarkFirst) storeMenus_[StoreMenu::OpenBookmark] = popup;
        if (first == cmd::kDeleteBookmarkFirst) storeMenus_[StoreMenu::DeleteBookmark] = popup;
        if (first == cmd::kRecentFolderPlaceholder) storeMenus_[StoreMenu::RecentFolders] = popup;
        if (first == cmd::kRecentBookFirst) storeMenus_[StoreMenu::RecentBooks] = popup;
        if (first == cmd::kRule1) storeMenus_[StoreMenu::ChapterRules] = popup;
        connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        AddMenuEntries(popup, entry.items);
        if (first == cmd::kEncodingAuto || first == cmd::kConvertNone) {
          // One encoding (one form of the characters) at a time: drawn as radio items; the view's state checks them.
          auto* group = new QActionGroup(popup);
          group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
          for (QAction* action : popup->actions()) group->addAction(action);
        }
        break;
      }
      case MenuKind::Command: {
        QAction* action = MakeAction(entry.id, Utf8(entry.MenuText()));
        menu->addAction(action);
        menuActions_.emplace(entry.id, action);
        break;
      }
    }
  }
}

void CMainFrame::BuildMenus() {
  for (const MenuEntry& popup : MenuBar()) {
    QMenu* menu = menuBar()->addMenu(Utf8(popup.MenuText()));
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    AddMenuEntries(menu, popup.items);
  }
  for (const Accelerator& accelerator : Accelerators()) {
    const QKeySequence sequence(Utf8(accelerator.keys));
    accelerators_.emplace(NormalisedKey(sequence[0]).toCombined(), accelerator.id);
  }
  // Keys of the accelerator table are the frame's before any control sees them, as the
  // table is translated before a key reaches the focused control: Ctrl+Z does not undo in
  // the page-number box, and a greyed command's key is taken and does nothing.
  qApp->installEventFilter(this);
}

void CMainFrame::CreateToolBar() {
  toolBar_ = addToolBar(QStringLiteral("工具栏"));
  toolBar_->setObjectName(QStringLiteral("toolbar59392"));
  // One band with its gripper, along the top only.
  toolBar_->setMovable(true);
  toolBar_->setFloatable(false);
  toolBar_->setAllowedAreas(Qt::TopToolBarArea);
  // Room for the 24-pixel hot images; the normal ones are 19 pixels.
  toolBar_->setIconSize(QSize(24, 24));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  // Flat buttons 40 to 80 pixels wide, so all fourteen fit an 800-pixel window, on a band
  // of pale paper.
  toolBar_->setStyleSheet(QStringLiteral(
      "QToolBar { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fcfaf3,"
      " stop: 1 #e9e4d8); border-bottom: 1px solid #d6d0c4; }"
      "QToolButton { min-width: 40px; max-width: 80px; padding: 1px 0px; margin: 0px; }"));
  for (const ToolButton& button : ToolBarButtons()) {
    QAction* action = MakeAction(button.id, Utf8(button.label));
    action->setIcon(ToolBarIcon(button.id));
    const std::string_view tip = TipOf(button.id);
    action->setToolTip(Utf8(tip));
    toolBar_->addAction(action);
    // Qt would show the label as the tip of a button that has none of its own.
    if (tip.empty()) untippedButtons_.insert(toolBar_->widgetForAction(action));
  }
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusbar59393"));
  messagePane_ = new QLabel(Utf8(IdleText()), bar);
  clockPane_ = new QLabel(Utf8(CommandString(101)), bar);
  wordCountPane_ = new QLabel(Utf8(CommandString(102)), bar);
  readingPane_ = new QLabel(Utf8(CommandString(103)), bar);
  // The message pane takes what the others leave: a long prompt is cut, it never pushes
  // the clock and the counts sideways.
  messagePane_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(messagePane_, 1);
  bar->addPermanentWidget(clockPane_);
  bar->addPermanentWidget(wordCountPane_);
  bar->addPermanentWidget(readingPane_);
}

bool CMainFrame::MenuOpen() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }

// The pane shows what is highlighted, even when that has no prompt: an item without one,
// a separator or a sub-menu leaves it empty while the menu is open. Only when nothing is
// highlighted any more does the idle text come back.
void CMainFrame::ShowPrompt(const QString& prompt) {
  if (prompt.isEmpty() && !MenuOpen()) {
    ShowIdleText();
    return;
  }
  messagePane_->setText(prompt);
  promptShown_ = true;
}

void CMainFrame::ShowIdleText() {
  messagePane_->setText(Utf8(IdleText()));
  promptShown_ = false;
}

bool CMainFrame::event(QEvent* event) {
  if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && placedWithoutFrame_ &&
      isVisible() && windowHandle() != nullptr && !windowHandle()->frameMargins().isNull()) {
    placedWithoutFrame_ = false;
    const WindowPlacement placement = lastApplied_;
    QMetaObject::invokeMethod(this, [this, placement] { ApplyPlacement(placement); }, Qt::QueuedConnection);
  }
  // Prompts go to the message pane itself, not over it as a passing message.
  if (event->type() == QEvent::StatusTip) {
    ShowPrompt(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

QMenu* CMainFrame::StoreMenuOf(StoreMenu menu) const {
  const auto found = storeMenus_.find(menu);
  return found == storeMenus_.end() ? nullptr : found->second;
}

void CMainFrame::ReplaceItems(StoreMenu which, const std::vector<StoreMenuItem>& items) {
  QMenu* menu = StoreMenuOf(which);
  if (menu == nullptr) return;
  for (QAction* old : menu->actions()) {
    // The rule menu keeps its built-in rules; only the user's own are replaced.
    if (which == StoreMenu::ChapterRules &&
        (old->data().toInt() < cmd::kUserRuleFirst || old->data().toInt() > cmd::kUserRuleLast))
      continue;
    for (auto it = actions_.begin(); it != actions_.end();) {
      it = it->second == old ? actions_.erase(it) : std::next(it);
    }
    for (auto it = menuActions_.begin(); it != menuActions_.end();) {
      it = it->second == old ? menuActions_.erase(it) : std::next(it);
    }
    menu->removeAction(old);
    old->deleteLater();
  }
  for (const StoreMenuItem& item : items) {
    // Names and paths are shown as they are: an '&' in them is no mnemonic.
    QString text = QString::fromStdString(item.text);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = MakeAction(item.id, text);
    if (!item.prompt.empty()) action->setStatusTip(QString::fromStdString(item.prompt));
    menu->addAction(action);
    menuActions_[item.id] = action;
  }
  UpdateCommandUI();
}

QAction* CMainFrame::ActionOf(int id) const {
  if (const auto found = menuActions_.find(id); found != menuActions_.end()) return found->second;
  const auto any = actions_.find(id);
  return any == actions_.end() ? nullptr : any->second;
}

bool CMainFrame::RunCommand(int id) {
  const bool ran = router_.Execute(id);
  UpdateCommandUI();
  return ran;
}

// The events that leave every command's state as it was: drawing, the auto-scroll
// timer's tick (a step that turns the page or stops says so through StatusChanged) and a
// scroll bar's own timers (the place, which no command's state follows).
bool CMainFrame::LeavesCommandsAlone(const QObject* watched, QEvent* event) const {
  switch (event->type()) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
      return true;
    case QEvent::Timer:
      if (qobject_cast<const QScrollBar*>(watched) != nullptr) return true;
      return view_ != nullptr && watched == &view_->Timers() &&
             view_->Timers().IdOf(static_cast<QTimerEvent*>(event)->timerId()) == AutoScroll::kTimer;
    default:
      return false;
  }
}

void CMainFrame::UpdateCommandUI() {
  commandsStale_ = false;
  for (const auto& [id, action] : actions_) {
    const CommandState state = router_.StateOf(id);
    action->setEnabled(state.enabled);
    // Checkable only while on: a mode that is off shows no empty box beside its item, only
    // the check mark when it is on (and its tool-bar button pressed).
    const bool on = state.checkable && state.checked;
    action->setCheckable(on);
    action->setChecked(on);
  }
}

void CMainFrame::UpdateStatusPanes() {
  // Scrolling refreshes the panes at every step: the widths, measured from the count's
  // text in the pane's font, are measured again only when either changes.
  const QString count = view_->WordCountStatus();
  wordCountPane_->setText(count);
  const QString measuring = count + wordCountPane_->font().key();
  if (measuring != countPanesMeasuredFor_) {
    countPanesMeasuredFor_ = measuring;
    SizeCountPanes();
  }
  readingPane_->setText(view_->ReadingStatus());
}

// The count pane is as wide as "字数：10000000" or a count of up to a hundred million
// characters in its own font, whichever is wider, so the panes stay put from book to book;
// a bigger count widens it. The reading pane is four times as wide.
void CMainFrame::SizeCountPanes() {
  const QFontMetrics metrics = wordCountPane_->fontMetrics();
  QChar widestDigit = u'0';
  for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
    if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widestDigit))
      widestDigit = QChar(digit);
  }
  const QString largest = QStringLiteral("字数：%1.%2 万")
                              .arg(QString(4, widestDigit), QString(4, widestDigit));
  const int width = std::max({TextWidth(metrics, QStringLiteral("字数：10000000")),
                              TextWidth(metrics, largest), TextWidth(metrics, wordCountPane_->text())});
  wordCountPane_->setFixedWidth(width);
  readingPane_->setFixedWidth(4 * width);
}

QKeyCombination CMainFrame::NormalisedKey(QKeyCombination key) {
  Qt::Key code = key.key();
  if (code == Qt::Key_Enter) code = Qt::Key_Return;
  return QKeyCombination(key.keyboardModifiers() & ~Qt::KeypadModifier, code);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (!commandsStale_ && !LeavesCommandsAlone(watched, event)) commandsStale_ = true;
  if (event->type() == QEvent::ToolTip && untippedButtons_.count(watched) != 0) return true;
  // A menu closed without an item highlighted sends no empty prompt of its own.
  if (event->type() == QEvent::Hide && promptShown_ && qobject_cast<QMenu*>(watched) != nullptr &&
      !MenuOpen()) {
    ShowIdleText();
  }
  // A tool-bar button shows its prompt, an empty one too, while the pointer is on it; Qt
  // says nothing for a button without one.
  if ((event->type() == QEvent::Enter || event->type() == QEvent::Leave) && toolBar_ != nullptr &&
      watched->parent() == toolBar_) {
    if (const auto* button = qobject_cast<QToolButton*>(watched); button && button->defaultAction()) {
      if (event->type() == QEvent::Enter) {
        messagePane_->setText(button->defaultAction()->statusTip());
        promptShown_ = true;
      } else {
        ShowIdleText();
      }
    }
  }
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Esc leaves the reading mode (its panel first), the window coming back as it was.
    if (key->key() == Qt::Key_Escape && immersive_ != nullptr && immersive_->HandleEscape()) return true;
    // Esc leaves full screen and still goes on to the control that has the focus.
    if (fullScreen_ && key->key() == Qt::Key_Escape) ToggleFullScreen();
    const auto found = accelerators_.find(NormalisedKey(key->keyCombination()).toCombined());
    if (found != accelerators_.end()) {
      RunCommand(found->second);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::HandlesCommand(int id) const {
  return id == cmd::kExit || id == cmd::kReadingTime || id == cmd::kFullScreen ||
         id == cmd::kToolBar || id == cmd::kStatusBar;
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case cmd::kExit: close(); break;
    case cmd::kFullScreen: ToggleFullScreen(); break;
    case cmd::kToolBar: ToggleToolBar(); break;
    case cmd::kStatusBar: ToggleStatusBar(); break;
    case cmd::kReadingTime:
      // Every use switches the reading time in the message pane and asks for a record.
      readingTimeDisplay_ = readingTimeDisplay_ == 0 ? 1 : 0;
      view_->AddReadRecord();
      break;
    default: break;
  }
}

void CMainFrame::UpdateCommand(int id, CommandState& state) const {
  if (id == cmd::kToolBar || id == cmd::kStatusBar) {
    state.checkable = true;
    state.checked = (id == cmd::kToolBar ? toolBarFlag_ : statusBarFlag_) != 0;
  }
}

// The bars are the frame's to show and hide, through the flags the exit save writes.
QMenu* CMainFrame::createPopupMenu() { return nullptr; }

void CMainFrame::ToggleFullScreen() {
  fullScreen_ = !fullScreen_;
  if (fullScreen_) {
    fullScreenSaved_ = CurrentPlacement();
    // Out of sight, but its keys (Alt+F, ...) still open the menus.
    menuBar()->setFixedHeight(0);
    toolBar_->hide();
    statusBar()->hide();
    showFullScreen();
    // Where no window manager acts on the full-screen state, the window fills the screen
    // itself.
    if (const QScreen* shown = screen(); shown && windowHandle())
      windowHandle()->setGeometry(shown->geometry());
  } else {
    hide();
    setWindowState(Qt::WindowNoState);
    menuBar()->setMinimumHeight(0);
    menuBar()->setMaximumHeight(QWIDGETSIZE_MAX);
    toolBar_->setVisible(toolBarFlag_ != 0);
    statusBar()->setVisible(statusBarFlag_ != 0);
    ApplyPlacement(fullScreenSaved_);
  }
  activateWindow();
  if (router_.StateOf(cmd::kSideBar).checked) router_.Execute(cmd::kSideBar);
  if (router_.StateOf(cmd::kAutoScroll).checked) router_.Execute(cmd::kAutoScroll);
  if (immersive_ != nullptr) immersive_->OnFullScreenChanged();
}

// In full screen the bars stay out of sight; their flags say how the window comes back.
void CMainFrame::ToggleToolBar() {
  toolBarFlag_ = toolBarFlag_ != 0 ? 0 : 1;
  toolBar_->setVisible(toolBarFlag_ != 0 && !fullScreen_ && !immersive_->IsActive());
}

void CMainFrame::ToggleStatusBar() {
  statusBarFlag_ = statusBarFlag_ != 0 ? 0 : 1;
  statusBar()->setVisible(statusBarFlag_ != 0 && !fullScreen_ && !immersive_->IsActive());
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized() || closing_) return;
  // Without a tray this stays an ordinary minimise: a hidden window with no icon to bring
  // it back would be lost.
  if (!Tray().Available()) return;
  beforeTray_ = static_cast<QWindowStateChangeEvent*>(event)->oldState() & ~Qt::WindowMinimized;
  // Hidden once the minimise is over: whoever minimised may still be showing the window.
  QMetaObject::invokeMethod(
      this, [this] { if (isMinimized() && !closing_) MinimiseToTray(); }, Qt::QueuedConnection);
}

void CMainFrame::MinimiseToTray() {
  if (trayIcon_ == nullptr) {
    trayIcon_ = new QSystemTrayIcon(AppIcon(), this);
    trayMenu_ = new QMenu(this);
    AddMenuEntries(trayMenu_, TrayMenu());
    connect(trayMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    trayIcon_->setContextMenu(trayMenu_);
    connect(trayIcon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::Trigger) RestoreFromTray();
            });
  }
  // The book open at this moment; the tip is not updated while in the tray.
  trayIcon_->setToolTip(QStringLiteral("Tellavin V2.31\n正在阅读：") +
                        QString::fromStdString(app_.Settings().book.title));
  trayIcon_->show();
  // Dialogs opened from the tray menu must not end the program when they close.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  hide();
}

void CMainFrame::RestoreFromTray() {
  RemoveTrayIcon();
  QGuiApplication::setQuitOnLastWindowClosed(true);
  setWindowState(beforeTray_);
  show();
  raise();
  activateWindow();
}

void CMainFrame::RemoveTrayIcon() {
  if (trayIcon_ != nullptr) trayIcon_->hide();
}

void CMainFrame::OnTimer(int id) {
  if (id == kPlacementTimer) {
    // Under X a window manager frames the window a moment after it shows; sized before
    // that, the window would grow by its frame at every start.
    if (!placementApplied_ && !fullScreen_ && placementWaits_ < kPlacementWaits && isVisible() &&
        QGuiApplication::platformName() == QLatin1String("xcb") && FrameMargins().isNull()) {
      ++placementWaits_;
      return;  // the timer ticks again
    }
    if (!placementApplied_) {
      placementApplied_ = true;
      // Already in full screen: the remembered placement is where leaving it returns.
      if (fullScreen_) {
        fullScreenSaved_ = remembered_;
      } else {
        ApplyPlacement(remembered_);
      }
    }
    timers_->KillTimer(kPlacementTimer);
    return;
  }
  UpdateTimeDisplay();
}

QString CMainFrame::ClockText(std::time_t moment) {
  const std::tm local = LocalTime(moment);
  return QString::asprintf("%d/%d/%d   ", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         QString::fromStdString(FormatLocalTime(moment, "%H:%M:%S")) + QStringLiteral("   星期") +
         QString::fromUtf8(kWeekdays[local.tm_wday % 7]);
}

void CMainFrame::UpdateTimeDisplay() {
  const std::time_t now = CurrentClock().Now();
  const QString clock = ClockText(now);
  clockPane_->setFixedWidth(TextWidth(clockPane_->fontMetrics(), clock));
  clockPane_->setText(clock);

  if (readingTimeDisplay_ != 0) {
    elapsedSeconds_ = static_cast<int>(now - startTime_);
    const int hours = elapsedSeconds_ / 3600;
    const int rest = elapsedSeconds_ % 3600;
    messagePane_->setText(QString::asprintf("-->阅读时间：%d 小时 %d 分 %d 秒 <--", hours,
                                            rest / 60, rest % 60));
  }

  const std::time_t due = startTime_ + static_cast<std::time_t>(nextReminderMinute_) * 60;
  if (now == due) {
    const QString text =
        QString::asprintf("你已经阅读 %d 分钟，请注意保护眼睛，适当的休息！", nextReminderMinute_);
    // Advanced before the box opens: the ticks inside its loop must not remind again.
    // The interval as it is now (the settings dialog may have changed it); a huge one
    // typed there puts the next reminder out of reach instead of wrapping around.
    nextReminderMinute_ = static_cast<int>(std::clamp<long long>(
        static_cast<long long>(nextReminderMinute_) + app_.Settings().config.quote.reminderMinutes,
        INT_MIN, INT_MAX));
    ShowReminder(text);
  }
  UpdateStatusPanes();
}

// One box at a time: a reminder that comes due while one is open follows when it closes.
void CMainFrame::ShowReminder(const QString& text) {
  // In the reading mode a banner that waits, with a snooze, in place of the modal box.
  if (immersive_ != nullptr && immersive_->ShowReminder(text, [this] { SnoozeReminder(10); })) return;
  if (reminderOpen_) {
    pendingReminder_ = text;
    return;
  }
  reminderOpen_ = true;
  for (QString next = text; !next.isEmpty(); next = std::exchange(pendingReminder_, QString())) {
    MessageBoxes().Show(this, next, QStringLiteral("温馨提示！"), MessageButtons::Ok,
                        MessageIcon::Exclamation);
  }
  reminderOpen_ = false;
}

void CMainFrame::SnoozeReminder(int minutes) {
  const long long elapsed = (CurrentClock().Now() - startTime_) / 60;
  nextReminderMinute_ = static_cast<int>(std::min<long long>(nextReminderMinute_, elapsed + minutes));
}

// The window's outer rectangle, frame included, as the platform reports the frame (without
// a window manager there is none and the two rectangles agree). A hidden window (in the
// tray) has no frame for the moment: the one it had is still the one it comes back with.
QMargins CMainFrame::FrameMargins() const {
  const QWindow* window = windowHandle();
  const QMargins margins = window != nullptr ? window->frameMargins() : QMargins();
  if (isVisible() && !margins.isNull()) knownMargins_ = margins;
  return isVisible() && !margins.isNull() ? margins : knownMargins_;
}

WindowPlacement CMainFrame::CurrentPlacement() const {
  WindowPlacement placement;
  placement.showCommand = isMaximized() ? 3u : (isMinimized() ? 2u : 1u);
  const QRect inner = normalGeometry().isValid() ? normalGeometry() : geometry();
  const QRect normal = inner.marginsAdded(FrameMargins());
  placement.left = normal.left();
  placement.top = normal.top();
  placement.right = normal.left() + normal.width();
  placement.bottom = normal.top() + normal.height();
  return placement;
}

namespace {

// A rectangle no screen shows (a screen since removed, a hand-edited place) opens on the
// primary screen, centred and no bigger than it.
QRect OnAScreen(const QRect& outer) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().intersects(outer)) return outer;
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) return outer;
  const QRect area = primary->availableGeometry();
  const QSize least(kMinWindowWidth, kMinWindowHeight);
  QRect placed(QPoint(0, 0), outer.size().boundedTo(area.size()).expandedTo(least));
  placed.moveCenter(area.center());
  return placed;
}

}  // namespace

void CMainFrame::ApplyPlacement(const WindowPlacement& placement) {
  const QRect outer = OnAScreen(QRect(placement.left, placement.top,
                                      placement.right - placement.left,
                                      placement.bottom - placement.top));
  const QMargins margins = FrameMargins();
  setGeometry(outer.marginsRemoved(margins));
  // Placed before the window manager framed the window: sized again once it has.
  placedWithoutFrame_ = margins.isNull();
  lastApplied_ = placement;
  switch (placement.showCommand) {
    case 3: showMaximized(); break;
    case 2:
    case 6:
    case 7: showMinimized(); break;
    default: showNormal(); break;
  }
}

ConfigValues CMainFrame::ExitValues() const {
  const SharedSettings& shared = app_.Settings();
  // What this run did not change goes back as it was read.
  ConfigValues values = shared.config;
  values.lastPosition = LastPositionValue(shared.book.fileName, shared.book.page,
                                          BookmarkTime(CurrentClock().Now()), shared.book.path);
  values.markLine = shared.book.firstVisibleLine;
  values.appearance = shared.appearance;
  values.picturePath = aids_.appearance->PicturePath();
  values.pagingMode = view_->ChosenPagingMode();
  values.chapterRule = view_->ChosenChapterRule();
  values.sideBarHidden = view_->SideBarHidden() ? 1 : 0;
  // Full screen is not remembered: the next start opens the window as it was before.
  values.placement = fullScreen_ ? fullScreenSaved_ : CurrentPlacement();
  // Hidden in the tray the window is minimised only for the platform; it comes back as it was.
  if (!fullScreen_ && trayIcon_ != nullptr && trayIcon_->isVisible())
    values.placement.showCommand = beforeTray_.testFlag(Qt::WindowMaximized) ? 3u : 1u;
  values.libraryEntry = aids_.sideBar->LibraryEntryAtExit();
  values.toolBarShown = toolBarFlag_;
  values.statusBarShown = statusBarFlag_;
  return values;
}

bool CMainFrame::SaveAllSettings() {
  // The exit keeps what the classic window shows (its lines, its bars); the reading mode
  // opens again at the next start.
  const bool immersive = immersive_ != nullptr && immersive_->IsActive();
  if (immersive) immersive_->Leave(true);
  const bool saved = SaveSettingsNow();
  if (!saved && immersive) immersive_->Enter();
  return saved;
}

bool CMainFrame::SaveSettingsNow() {
  const std::string settingsPath = SettingsPathIn(app_.Settings().programFolder);
  CConfigStore store;
  store.SetSettingsPath(settingsPath);
  ExitSteps steps;
  steps.updateRecentFolders = [&] { return store.UpdateRecentFolders(app_.Settings().libraryFolder); };
  steps.closeReadingPeriod = [this] { return view_->UpdateReadRecord(); };
  bool written = true;
  {
    // The book's place and the settings in one write of the file.
    profile::Session session(settingsPath, profile::Session::Writes::Deferred);
    aids_.places->KeepPlace();
    written = WriteExitSettings(ExitValues(), settingsPath, steps);
    written = session.Commit() && written;
  }
  if (!written && !app_.SettingsUnreadable()) {
    MessageBoxes().Show(this, NotWrittenMessage(settingsPath, QStringLiteral("本次的设置未能保存")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
  }
  if (view_->OfferToSaveEditsAtExit(this)) return true;
  // The window stays open with the edits: the reading period closed above starts again.
  view_->ResumeReadingPeriod();
  return false;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // The exit save cannot be cancelled and runs once, however the window is closed. Only
  // edits the user chose to save but that could not be written keep the window open:
  // closing would lose them.
  if (!closing_) {
    closing_ = true;
    if (!SaveAllSettings()) {
      closing_ = false;
      event->ignore();
      return;
    }
    if (sync_ != nullptr) sync_->OnExit();
    const bool inTray = trayIcon_ != nullptr && trayIcon_->isVisible();
    RemoveTrayIcon();
    if (inTray) {
      // Closed from the tray menu: no visible window is left whose closing ends the program.
      QGuiApplication::setQuitOnLastWindowClosed(true);
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
  }
  event->accept();
}

}  // namespace varnelo
