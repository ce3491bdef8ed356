#include "app/immersive_mode.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <memory>

#include "aids/chapter_list.h"
#include "aids/immersive/chapter_panel.h"
#include "aids/immersive/immersive_page.h"
#include "aids/immersive/immersive_settings_dlg.h"
#include "aids/immersive/quiet_notices.h"
#include "aids/immersive/themes.h"
#include "app/main_frame.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/rich_pane.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

const char* const kThemeNames[] = {"日间", "羊皮纸", "青草绿", "夜间", "跟随系统"};

}  // namespace

ImmersiveMode::ImmersiveMode(CMainFrame& frame) : QObject(&frame), frame_(frame) {
  CVarneloView& view = *frame_.View();
  const std::string path = SettingsPathIn(view.Settings().programFolder);
  ConfigValues& config = view.Settings().config;
  for (const ConfigKey key : {ConfigKey::ImmersiveOn, ConfigKey::ImmersiveTheme, ConfigKey::ImmersiveColumns,
                              ConfigKey::ImmersiveFace, ConfigKey::ImmersiveFontSize,
                              ConfigKey::ImmersiveLineHeight, ConfigKey::ImmersiveParagraph})
    ReadKey(config, key, path);
  auto page = std::make_unique<ImmersivePage>(view, frame_.Aids().autoScroll);
  page_ = page.get();
  view.AddPart(std::move(page));
  page_->SetOnBookChanged([this] { UpdateTitle(); });
  view.Commands().Add(cmd::kImmersive, [this](int) { Toggle(); },
                      [this](int, CommandState& state) {
                        state.checkable = true;
                        state.checked = active_;
                      });
  view.Commands().Add(cmd::kImmersiveSettings, [this](int) { ChooseSettings(); });
}

// Closed in the mode: the palette goes back to the application, which may open other windows.
ImmersiveMode::~ImmersiveMode() {
  if (active_) QApplication::setPalette(startPalette_);
}

ImmersiveSettings& ImmersiveMode::Settings() const { return frame_.View()->Settings().config.immersive; }

void ImmersiveMode::Keep(ConfigKey key) const {
  CVarneloView& view = *frame_.View();
  WriteKey(view.Settings().config, key, SettingsPathIn(view.Settings().programFolder));
}

ThemeColours ImmersiveMode::Colours() const {
  const ReadingTheme theme = ThemeOfNumber(Settings().theme);
  const bool dark = theme == ReadingTheme::Desktop && DesktopPrefersDark(startPalette_);
  return ColoursOf(theme, dark);
}

void ImmersiveMode::RestoreAtStart() {
  if (Settings().on == 0) return;
  // After the view's first update has set the classic page, which the mode then covers.
  QMetaObject::invokeMethod(this, [this] { if (!active_) Enter(); }, Qt::QueuedConnection);
}

void ImmersiveMode::Enter() {
  if (active_) return;
  active_ = true;
  startPalette_ = QApplication::palette();
  savedTitle_ = frame_.windowTitle();
  savedToolBar_ = frame_.ToolBar()->isVisibleTo(&frame_);
  savedStatusBar_ = frame_.statusBar()->isVisibleTo(&frame_);
  savedMenuMin_ = frame_.menuBar()->minimumHeight();
  savedMenuMax_ = frame_.menuBar()->maximumHeight();
  savedFullScreen_ = frame_.IsFullScreenMode();
  savedSideBarHidden_ = frame_.View()->SideBarHidden();
  savedGeometry_ = frame_.geometry();
  savedStates_ = frame_.windowState();
  HideBars();

  CVarneloView& view = *frame_.View();
  page_->Activate(Colours());
  ApplyTheme();
  view.SetNoticeSink([this](const QString& text) {
    if (page_->Toasts() == nullptr) return false;
    // The classic box's exclamation mark has no place in a sentence shown quietly.
    QString quiet = text;
    if (quiet.endsWith(QStringLiteral("！"))) quiet.chop(1);
    page_->Toasts()->Show(quiet);
    return true;
  });
  if (ChapterList* chapters = frame_.Aids().chapters) {
    chapters->SetPresenter([this](std::string_view text, const Pagination& headings, int current,
                                  const ShownTitles& shown, std::function<void(int)> jump) {
      ChapterPanel* panel = page_->Chapters();
      if (panel == nullptr) return false;
      if (panel->IsOpen()) {
        panel->Close();  // F4 again slides it out
      } else {
        panel->Open(text, headings, current, shown, std::move(jump));
      }
      return true;
    });
  }
  view.Pane()->installEventFilter(this);
  UpdateTitle();
  Settings().on = 1;
  Keep(ConfigKey::ImmersiveOn);
  view.Pane()->setFocus();
}

void ImmersiveMode::Leave(bool forExit) {
  if (!active_) return;
  CVarneloView& view = *frame_.View();
  view.Pane()->removeEventFilter(this);
  view.SetNoticeSink({});
  if (ChapterList* chapters = frame_.Aids().chapters) chapters->SetPresenter({});
  page_->Deactivate();
  QApplication::setPalette(startPalette_);
  active_ = false;
  // Full screen as it was: switched there or back by its own command, bars and all.
  if (frame_.IsFullScreenMode() != savedFullScreen_) frame_.ToggleFullScreen();
  // Full screen puts the side bar away on its way; the window had it as it was.
  if (view.SideBarHidden() != savedSideBarHidden_) frame_.RunCommand(cmd::kSideBar);
  frame_.menuBar()->setMinimumHeight(savedMenuMin_);
  frame_.menuBar()->setMaximumHeight(savedMenuMax_);
  frame_.ToolBar()->setVisible(savedToolBar_);
  frame_.statusBar()->setVisible(savedStatusBar_);
  frame_.setWindowTitle(savedTitle_);
  if (!savedFullScreen_ && frame_.windowState() == savedStates_ && frame_.geometry() != savedGeometry_ &&
      !savedStates_.testAnyFlags(Qt::WindowMaximized | Qt::WindowMinimized))
    frame_.setGeometry(savedGeometry_);
  if (!forExit) {
    Settings().on = 0;
    Keep(ConfigKey::ImmersiveOn);
  }
  // The line the exit keeps is counted in the window's own lines again.
  view.Settings().book.firstVisibleLine = view.Pane()->FirstVisibleLine();
  view.Pane()->setFocus();
}

void ImmersiveMode::HideBars() {
  // Out of sight, but the menus' keys (Alt+D, ...) still open them.
  frame_.menuBar()->setFixedHeight(0);
  frame_.ToolBar()->hide();
  frame_.statusBar()->hide();
}

void ImmersiveMode::OnFullScreenChanged() {
  if (active_) HideBars();
}

bool ImmersiveMode::HandleEscape() {
  if (!active_) return false;
  if (ChapterPanel* panel = page_->Chapters(); panel != nullptr && panel->IsOpen()) {
    panel->Close();
    return true;
  }
  Leave();
  return true;
}

bool ImmersiveMode::ShowReminder(const QString& text, std::function<void()> snooze) {
  if (!active_ || page_->Banners() == nullptr) return false;
  page_->Banners()->Show(text, std::move(snooze));
  return true;
}

void ImmersiveMode::ApplyTheme() {
  const ThemeColours colours = Colours();
  QApplication::setPalette(PaletteOf(colours));
  page_->SetColours(colours);
}

void ImmersiveMode::UseTheme(ReadingTheme theme) {
  Settings().theme = static_cast<int>(theme);
  Keep(ConfigKey::ImmersiveTheme);
  if (active_) ApplyTheme();
}

void ImmersiveMode::ChooseSettings() {
  ImmersiveSettingsDialog dialog(Settings(), &frame_);
  if (dialog.exec() != QDialog::Accepted) return;
  const ImmersiveSettings chosen = dialog.Chosen();
  ImmersiveSettings& settings = Settings();
  const int on = settings.on;
  settings = chosen;
  settings.on = on;
  for (const ConfigKey key : {ConfigKey::ImmersiveTheme, ConfigKey::ImmersiveColumns, ConfigKey::ImmersiveFace,
                              ConfigKey::ImmersiveFontSize, ConfigKey::ImmersiveLineHeight,
                              ConfigKey::ImmersiveParagraph})
    Keep(key);
  if (!active_) return;
  page_->ApplySettings();
  ApplyTheme();
}

void ImmersiveMode::UpdateTitle() {
  const std::string& title = frame_.View()->Settings().book.title;
  frame_.setWindowTitle(title.empty() ? QStringLiteral("Varnelo")
                                      : QString::fromStdString(title) + QStringLiteral(" — Varnelo"));
}

bool ImmersiveMode::eventFilter(QObject* watched, QEvent* event) {
  if (active_ && event->type() == QEvent::ContextMenu && watched == frame_.View()->Pane()) {
    ShowContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  return QObject::eventFilter(watched, event);
}

// The page's own menu in the mode: what a reader reaches for, and the way out.
void ImmersiveMode::ShowContextMenu(const QPoint& at) {
  QMenu menu(frame_.View());
  menu.setObjectName(QStringLiteral("immersiveMenu"));
  const auto command = [&](const QString& text, int id, const QString& keys = QString()) {
    QAction* action = menu.addAction(keys.isEmpty() ? text : text + QLatin1Char('\t') + keys);
    connect(action, &QAction::triggered, this, [this, id] { frame_.RunCommand(id); });
    return action;
  };
  command(QStringLiteral("目录"), cmd::kChapterList, QStringLiteral("F4"));
  command(QStringLiteral("添加书签"), cmd::kAddBookmark, QStringLiteral("F5"));
  command(QStringLiteral("查找"), cmd::kFind, QStringLiteral("Ctrl+F"));
  command(QStringLiteral("自动滚屏"), cmd::kAutoScroll, QStringLiteral("Enter"));
  menu.addSeparator();
  QMenu* themes = menu.addMenu(QStringLiteral("主题"));
  auto* group = new QActionGroup(themes);
  for (int number = 0; number < 5; ++number) {
    QAction* action = themes->addAction(QString::fromUtf8(kThemeNames[number]));
    action->setCheckable(true);
    action->setChecked(ThemeOfNumber(Settings().theme) == ThemeOfNumber(number));
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, number] { UseTheme(ThemeOfNumber(number)); });
  }
  QAction* columns = menu.addAction(QStringLiteral("双栏"));
  columns->setCheckable(true);
  columns->setChecked(Settings().twoColumns != 0);
  connect(columns, &QAction::triggered, this, [this](bool on) {
    Settings().twoColumns = on ? 1 : 0;
    Keep(ConfigKey::ImmersiveColumns);
    page_->ApplySettings();
  });
  command(QStringLiteral("沉浸阅读设置..."), cmd::kImmersiveSettings);
  menu.addSeparator();
  command(QStringLiteral("退出沉浸阅读"), cmd::kImmersive, QStringLiteral("Esc"));
  menu.exec(at);
}

}  // namespace varnelo
