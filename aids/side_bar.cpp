// The library list in its opened-files mode: books opened one by one, listed in the order
// they were opened; choosing an entry opens it again.
#include <QListWidget>

#include "platform/services.h"
#include "text/varnelo_view.h"

namespace varnelo {

void CVarneloView::OpenFile() {
  const std::size_t n = openedPaths_.size();
  const QString chosen = Dialogs().OpenFileName(this, QStringLiteral("打开小说或TXT文本"),
                                                QStringLiteral("ANSI文本(*.txt)"));
  if (chosen.isEmpty()) return;
  exchanging_ = true;  // list changes below are ours, not the user's choice
  if (n == 0) list_->clear();
  const std::string path = chosen.toStdString();
  openedPaths_.push_back(path);
  openedNames_.push_back(FileNameOf(path));
  if (!currentFolder_.empty()) {
    list_->clear();
    currentFolder_.clear();
  }
  list_->insertItem(static_cast<int>(std::min<std::size_t>(n, static_cast<std::size_t>(list_->count()))),
                    QString::fromStdString(openedNames_.back()));
  exchanging_ = false;
  LoadText(openedPaths_.back());
  currentPath_ = openedPaths_.back();
  RecordReadingState();
  emit StatusChanged();
}

void CVarneloView::OpenChosenEntry() {
  const int row = list_->currentRow();
  if (row < 0) return;
  if (!openedPaths_.empty() && static_cast<std::size_t>(row) < openedPaths_.size()) {
    currentPath_ = openedPaths_[static_cast<std::size_t>(row)];
  }
  if (!currentPath_.empty()) LoadText(currentPath_);
}

}  // namespace varnelo
