#include "aids/library_side_bar.h"

#include <QApplication>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QListWidget>
#include <QMouseEvent>
#include <QMimeData>
#include <QTextLayout>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include "aids/library_list.h"
#include "platform/long_work.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

// Each entry carries the bytes of the path it opens: names shown in the list are decoded
// for display and cannot always be turned back into the path.
constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderEntryRole = Qt::UserRole + 1;

const QString kTipHint = QStringLiteral("单击文件名可查看详细信息！");
constexpr int kTipShownMs = 8000;
constexpr int kTipDelayMs = 800;
constexpr int kTipMaxWidth = 300;  // the whole tip, its margins included

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString Shown(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

std::string PathOf(const QListWidgetItem* item) {
  return item->data(kPathRole).toByteArray().toStdString();
}

// The tip's lines broken to `width` pixels in the tip's font, between words where they
// can be and anywhere else (a long folder path has no blanks), as rich text.
QString WrappedTipText(const QString& text, int width, int* widest) {
  QStringList lines;
  *widest = 0;
  for (const QString& paragraph : text.split(u'\n')) {
    QTextLayout layout(paragraph, QToolTip::font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      *widest = std::max(*widest, static_cast<int>(std::ceil(line.naturalTextWidth())));
      lines << paragraph.mid(line.textStart(), line.textLength()).toHtmlEscaped();
    }
    layout.endLayout();
  }
  return lines.join(QStringLiteral("<br>"));
}

// The tip window Qt shows, once it shows.
const QWidget* TipWindow() {
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->objectName() == QLatin1String("qtooltip_label")) return widget;
  }
  return nullptr;
}

std::vector<std::string> LocalFilesOf(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (mime == nullptr || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.push_back(PathBytes(url.toLocalFile()));
  }
  return paths;
}

}  // namespace

LibrarySideBar::LibrarySideBar(CVarneloView& view) : view_(view) {
  CommandMap& commands = view_.Commands();
  commands.Add(cmd::kOpenFile, [this](int) { OpenFile(); });
  commands.Add(cmd::kOpenFolder, [this](int) { OpenFolder(); });
  commands.AddRange(cmd::kRecentFolderFirst, cmd::kRecentFolderLast,
                    [this](int id) { ListRecentFolder(id - cmd::kRecentFolderFirst + 1); });
  commands.Add(cmd::kClearRecentFolders, [this](int) { ClearRecentFolders(); });
  // Checked while the list shows: full screen reads this to know whether to hide it.
  commands.Add(cmd::kSideBar, [this](int) { ToggleSideBar(); },
               [this](int, CommandState& state) {
                 state.checkable = true;
                 state.checked = !view_.SideBarHidden();
               });

  // Every choice of an entry opens it, even the entry already chosen: a click reports
  // itself whether or not the selection moved, the keys report a move.
  QListWidget* list = view_.LibraryList();
  list->viewport()->installEventFilter(this);
  list->viewport()->setMouseTracking(true);
  list->installEventFilter(this);
  list->setToolTip(kTipHint);
  // Timed here, not by Qt, whose tips wait for an active window: this one shows in an
  // inactive window too.
  tipDelay_.setSingleShot(true);
  tipDelay_.setInterval(kTipDelayMs);
  connect(&tipDelay_, &QTimer::timeout, this, &LibrarySideBar::ShowTip);
  connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
    // While a book is read the user's input is held: a row made current then is the list's
    // own doing (taking the focus as the window is first activated), not a choice.
    if (row >= 0 && !filling_ && !pressing_ && !LongWorkRunning()) OpenChosenEntry();
  });
  connect(list, &QListWidget::itemPressed, this, [this] {
    pressing_ = false;
    if (!filling_) OpenChosenEntry();
  });

  // Files dropped anywhere on the view, the page pane included, are books to open.
  view_.setAcceptDrops(true);
  view_.setMouseTracking(true);
  view_.installEventFilter(this);
  view_.Pane()->viewport()->installEventFilter(this);
}

void LibrarySideBar::OnStartup(StartupStep step) {
  if (step == StartupStep::SettingsRead) {
    view_.Store().LoadRecentFolders();
    return;
  }
  if (step != StartupStep::BookReturned) return;
  const std::string path = view_.ReturnedPath();
  if (path.empty()) return;
  QListWidget* list = view_.LibraryList();
  filling_ = true;
  list->clear();
  AddEntry(path, false);
  // The folder of the returned book is listed again, its entry selected but not reloaded.
  const int entry = view_.Settings().config.libraryEntry;
  if (entry > 0 && !FolderOf(path).empty()) {
    selectedEntry_ = entry;
    currentFolder_ = FolderOf(path);
    FillWithFolder();
    if (entry <= list->count()) {
      list->setCurrentRow(entry - 1);
      list->scrollToItem(list->item(entry - 1));
    }
  }
  filling_ = false;
}

void LibrarySideBar::AddEntry(const std::string& path, bool inFolder, int row) {
  auto* item = new QListWidgetItem(Shown(FileNameOf(path)));
  item->setData(kPathRole, QByteArray::fromStdString(path));
  item->setData(kFolderEntryRole, inFolder);
  QListWidget* list = view_.LibraryList();
  list->insertItem(row < 0 ? list->count() : std::min(row, list->count()), item);
}

void LibrarySideBar::FillWithFolder() {
  QListWidget* list = view_.LibraryList();
  const bool wasFilling = filling_;
  filling_ = true;
  list->clear();
  for (const std::string& name : ListBooks(currentFolder_)) {
    AddEntry(currentFolder_ + kPathSeparator + name, true);
  }
  filling_ = wasFilling;
  lastTipEntry_ = -1;
}

void LibrarySideBar::OpenFolder() {
  const QString chosen = Dialogs().FolderName(&view_, QStringLiteral("书库"));
  if (chosen.isEmpty()) return;
  const std::string folder = PathBytes(chosen);
  ListFolder(folder);
  view_.Settings().libraryFolder = folder;  // the exit save adds it to the recent folders
}

void LibrarySideBar::ListRecentFolder(int k) {
  const std::vector<std::string>& folders = view_.Store().RecentFolders();
  if (k < 1 || k > static_cast<int>(folders.size())) return;
  ListFolder(folders[static_cast<std::size_t>(k - 1)]);
}

void LibrarySideBar::ListFolder(const std::string& folder) {
  if (!view_.OfferToSaveEdits()) return;
  currentFolder_ = folder;
  FillWithFolder();
  if (!openedPaths_.empty()) {
    openedPaths_.clear();
    // The page goes blank until a book is chosen; an edit of it must not be saved later.
    if (view_.EditMode()) view_.SetEditMode(false);
    view_.Pane()->SetPaneText(QString());
  }
  if (view_.SideBarHidden()) ToggleSideBar();
}

void LibrarySideBar::OpenFile() {
  // UTF-8 and Big5 books open too: "ANSI" alone would turn their readers away.
  const QString chosen = Dialogs().OpenFileName(&view_, QStringLiteral("打开小说或TXT文本"),
                                                QStringLiteral("文本文件(*.txt);;ANSI文本(*.txt)"));
  if (chosen.isEmpty()) return;
  OpenPath(PathBytes(chosen));
}

void LibrarySideBar::OpenPath(const std::string& path) {
  const std::size_t n = openedPaths_.size();
  if (!view_.OfferToSaveEdits()) return;
  QListWidget* list = view_.LibraryList();
  filling_ = true;
  if (n == 0 || !currentFolder_.empty()) list->clear();
  currentFolder_.clear();
  openedPaths_.push_back(path);
  AddEntry(path, false, static_cast<int>(n));
  filling_ = false;
  lastTipEntry_ = -1;
  // A refused file keeps its entry; the book on screen stays the current one.
  view_.LoadText(path);
}

void LibrarySideBar::OpenChosenEntry() {
  const QListWidgetItem* item = view_.LibraryList()->currentItem();
  if (item == nullptr) return;
  if (!view_.OfferToSaveEdits()) return;
  // In folder mode every choice counts, the entry a drop left in the list too.
  if (!currentFolder_.empty()) selectedEntry_ = view_.LibraryList()->row(item) + 1;
  view_.LoadText(PathOf(item));
}

void LibrarySideBar::OpenDroppedFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  if (!view_.OfferToSaveEdits()) return;
  QListWidget* list = view_.LibraryList();
  for (const std::string& path : paths) {
    view_.LoadText(path);
    filling_ = true;
    list->clear();
    AddEntry(path, false);
    filling_ = false;
  }
  lastTipEntry_ = -1;
}

void LibrarySideBar::ToggleSideBar() { view_.SetSideBarHidden(!view_.SideBarHidden()); }

void LibrarySideBar::ResetToOneBook(const std::string& path) {
  filling_ = true;
  view_.LibraryList()->clear();
  openedPaths_.clear();
  currentFolder_.clear();
  selectedEntry_ = 0;  // a folder listed again later has no entry chosen yet
  if (!path.empty()) AddEntry(path, false);
  filling_ = false;
  lastTipEntry_ = -1;
}

// A refused bookmark still leaves the list empty: it was emptied before the book was read.
void LibrarySideBar::OnBookmarkOpened(bool loaded) {
  ResetToOneBook(loaded ? view_.CurrentPath() : std::string());
}

int LibrarySideBar::LibraryEntryAtExit() const {
  return FolderOf(view_.CurrentPath()) == currentFolder_ ? selectedEntry_ : 0;
}

void LibrarySideBar::ClearRecentFolders() {
  if (view_.Store().ClearRecentFolders()) return;
  MessageBoxes().Show(&view_, QStringLiteral("无法写入 Config.ini，最近文件夹未能清除！"),
                      QString(), MessageButtons::Ok, MessageIcon::Exclamation);
}

void LibrarySideBar::ResetTip() {
  view_.LibraryList()->setToolTip(kTipHint);
  lastTipEntry_ = -1;
}

// The tip describes the chosen entry, or the only one: its name, its folder and its size
// as the file is now.
void LibrarySideBar::RefreshTip() {
  QListWidget* list = view_.LibraryList();
  int row = list->currentRow();
  if (row < 0 && list->count() == 1) row = 0;
  if (row < 0 || row == lastTipEntry_) return;
  lastTipEntry_ = row;
  const QListWidgetItem* item = list->item(row);
  const std::string path = PathOf(item);
  list->setToolTip(QString::fromStdString(
      LibraryTipText(item->text().toStdString(), Shown(FolderOf(path)).toStdString(),
                     FileSizeText(path))));
}

void LibrarySideBar::ShowTip() {
  QListWidget* list = view_.LibraryList();
  // The tip's own margins are what the style gives its label: measured on a tip that
  // shows (its width beyond the widest line), and the text wrapped narrower by as much
  // when they would make it too wide.
  int width = kTipMaxWidth;
  for (int attempt = 0; attempt < 2; ++attempt) {
    int widest = 0;
    const QString lines = WrappedTipText(list->toolTip(), width, &widest);
    // The lines are broken here already: Qt's own wrapping of a rich tip would break a
    // short one in the middle of a word.
    QToolTip::showText(tipAt_,
                       QStringLiteral("<p style=\"color:#0000ff; white-space:pre\">%1</p>").arg(lines),
                       list, QRect(), kTipShownMs);
    const QWidget* tip = TipWindow();
    if (tip == nullptr || tip->width() <= kTipMaxWidth) break;
    width = kTipMaxWidth - (tip->width() - widest);
  }
}

bool LibrarySideBar::TakeFileDrop(QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (LocalFilesOf(drag->mimeData()).empty()) return false;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      std::vector<std::string> paths = LocalFilesOf(drop->mimeData());
      if (paths.empty()) return false;
      drop->acceptProposedAction();
      // Opened once the drag is over: a refusal's message box must not hold the drag.
      QMetaObject::invokeMethod(
          this, [this, paths = std::move(paths)] { OpenDroppedFiles(paths); },
          Qt::QueuedConnection);
      return true;
    }
    default:
      return false;
  }
}

bool LibrarySideBar::eventFilter(QObject* watched, QEvent* event) {
  QListWidget* list = view_.LibraryList();
  const QEvent::Type type = event->type();
  if (watched == &view_ || watched == view_.Pane()->viewport()) {
    if (TakeFileDrop(event)) return true;
    if (watched == &view_ && type == QEvent::MouseMove) ResetTip();
    return QObject::eventFilter(watched, event);
  }
  if (watched == list->viewport()) {
    if (type == QEvent::MouseButtonPress) pressing_ = true;
    if (type == QEvent::MouseButtonRelease) pressing_ = false;
    // Not only while the list has the focus: choosing a book gives the focus to the page,
    // and the pointer resting on the list still asks about the chosen book.
    if (type == QEvent::MouseMove || type == QEvent::MouseButtonRelease) RefreshTip();
    if (type == QEvent::MouseMove) {
      tipAt_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      if (!QToolTip::isVisible()) tipDelay_.start();
    }
    if (type == QEvent::Leave) tipDelay_.stop();
  }
  // Qt's own tip timing is not used.
  if ((watched == list->viewport() || watched == list) && type == QEvent::ToolTip) return true;
  return QObject::eventFilter(watched, event);
}

// The list holds only the book under its new name; choosing it reads the book again.
void LibrarySideBar::OnBookSavedAs() {
  ResetToOneBook(view_.CurrentPath());  // the new name may be in another folder
}

}  // namespace varnelo
