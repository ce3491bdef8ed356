// Every book's own place. When the reader leaves a book (another book opens, or the exit)
// the offset of the top of the pane, the paging mode and the chapter rule go into
// [BookPlace]; a book opened again is paged as it was and shows the page holding that
// offset with that line on top (the line unless the settings
// dialog's "打开小说时回到上次阅读的位置" is off. "最近阅读" lists the ten books read last.
// Bookmarks, the start-up return and a save choose their own page afterwards, as before.
#pragma once

#include <vector>

#include "store/book_places.h"
#include "text/view_part.h"

namespace varnelo {

class CVarneloView;
class LibrarySideBar;

class PlaceKeeper : public ViewPart {
 public:
  PlaceKeeper(CVarneloView& view, LibrarySideBar& sideBar);

  void OnStartup(StartupStep step) override;
  void OnBookLeaving() override { KeepPlace(); }
  void OnBookOpening(const std::string& path, BookPaging& paging) override;
  void OnTextShifted(const std::vector<TextShift>& shifts) override;
  void OnBookLoaded() override;
  // Writes the place of the book on screen; the exit save calls it too.
  void KeepPlace();
  void OpenRecentBook(int id);
  const BookPlaces& Places() const { return places_; }

 private:
  void RefreshMenu();

  CVarneloView& view_;
  LibrarySideBar& sideBar_;
  BookPlaces places_;
  std::vector<BookPlace> recent_;
};

}  // namespace varnelo
