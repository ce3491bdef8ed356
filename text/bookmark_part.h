// The "书签(&B)" menu's commands and the return to the last position at start-up: the
// book and page of key "0", and 500 ms later the scroll line the pane had at the exit.
#pragma once

#include <string>

#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class BookmarkPart : public ViewPart {
 public:
  static constexpr int kRestoreLineTimer = 101;
  static constexpr int kRestoreDelayMs = 500;
  static constexpr int kAddedNoticeMs = 1000;

  explicit BookmarkPart(CVarneloView& view);

  // Reopens the last book at its page; false when there was none or it was refused.
  bool ReturnToLastPosition();
  void OnAddBookmark();
  void OnOpenBookmark(int id);
  void OnDeleteBookmark(int id);
  void OnBookLeaving() override;
  void OnBookLoaded() override;
  void OnTextShifted(const std::vector<TextShift>& shifts) override;
  // The line a save or a discarded edit returns the pane to: the late restore of the
  // start-up leaves it alone from then on.
  void SetRestoreLine(int line) { restoreLine_ = line; }

 private:
  void RestoreMarkLine();
  void ShowStoredPage(const std::string& page);

  CVarneloView& view_;
  int restoreLine_ = -1;  // -1 until something chooses a line for the pane
};

}  // namespace varnelo
