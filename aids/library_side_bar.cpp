#include "aids/library_side_bar.h"

#include <QEvent>
#include <QListWidget>

#include "platform/services.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo {

LibrarySideBar::LibrarySideBar(CVarneloView& view) : view_(view) {
  view_.Commands().Add(cmd::kOpenFile, [this](int) { OpenFile(); });

  // Every choice of an entry opens it, even the entry already chosen: a click reports
  // itself whether or not the selection moved, the keys report a move.
  QListWidget* list = view_.LibraryList();
  list->viewport()->installEventFilter(this);
  connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && !filling_ && !pressing_) OpenChosenEntry();
  });
  connect(list, &QListWidget::itemPressed, this, [this] {
    pressing_ = false;
    if (!filling_) OpenChosenEntry();
  });
}

bool LibrarySideBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) pressing_ = true;
  if (event->type() == QEvent::MouseButtonRelease) pressing_ = false;
  return QObject::eventFilter(watched, event);
}

void LibrarySideBar::OpenFile() {
  const std::size_t n = openedPaths_.size();
  const QString chosen = Dialogs().OpenFileName(&view_, QStringLiteral("打开小说或TXT文本"),
                                                QStringLiteral("ANSI文本(*.txt)"));
  if (chosen.isEmpty()) return;
  QListWidget* list = view_.LibraryList();
  filling_ = true;
  if (n == 0) list->clear();
  const std::string path = chosen.toStdString();
  openedPaths_.push_back(path);
  if (!currentFolder_.empty()) {
    list->clear();
    currentFolder_.clear();
  }
  list->insertItem(static_cast<int>(std::min<std::size_t>(n, static_cast<std::size_t>(list->count()))),
                   QString::fromStdString(FileNameOf(path)));
  filling_ = false;
  // A refused file keeps its entry; the book on screen stays the current one.
  view_.LoadText(path);
}

void LibrarySideBar::OpenChosenEntry() {
  const int row = view_.LibraryList()->currentRow();
  if (row < 0) return;
  std::string path = view_.CurrentPath();
  if (!openedPaths_.empty() && static_cast<std::size_t>(row) < openedPaths_.size()) {
    path = openedPaths_[static_cast<std::size_t>(row)];
  }
  view_.LoadText(path);
}

}  // namespace varnelo

namespace varnelo {

// The list holds only the book under its new name; choosing it reads the book again.
void LibrarySideBar::OnBookSavedAs() {
  QListWidget* list = view_.LibraryList();
  filling_ = true;
  list->clear();
  openedPaths_.clear();
  currentFolder_.clear();  // the new name may be in another folder
  list->addItem(QString::fromStdString(FileNameOf(view_.CurrentPath())));
  filling_ = false;
}

}  // namespace varnelo
