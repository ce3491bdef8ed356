// The start's return to the last book when a book named on the command line follows it.
#include "platform/atomic_file.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "store/bookmark_format.h"
#include "text/bookmark_part.h"
#include "text/varnelo_view.h"

namespace varnelo {

void CVarneloView::ReturnWithoutText(const std::string& path, int page) {
  returnedPath_ = path;
  // What a load of it would have done besides reading it.
  RemoveStaleTemporaries(path);
  BookMirror& book = settings_.book;
  book.path = path;
  book.fileName = FileNameOf(path);
  book.title = TitleOf(path);
  book.page = page;
  book.pagingMode = pagingMode_;
  // Its reading period runs until the named book replaces it, which ends it and keeps the
  // day it was last read.
  UpdateReadRecord();
  if (recordTracked_) periodStart_ = CurrentClock().Now();
}

void CVarneloView::FinishReturn() {
  namedBookFollows_ = false;
  if (!currentPath_.empty() || returnedPath_.empty()) {
    returnedPath_.clear();
    return;
  }
  // The named book was refused: the reader shows the last book as a start without one does.
  returnedPath_.clear();
  periodStart_ = 0;
  settings_.book = BookMirror{};
  bookmarks_->ReturnToLastPosition();
}

}  // namespace varnelo
