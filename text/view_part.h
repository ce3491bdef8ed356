// A concern of the reading view (side bar, appearance, automatic scrolling, ...) lives in
// an object of its own that the view owns. It registers its commands and timers with the
// view when it is attached, and hears the view's start-up steps.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_shift.h"

class QString;

namespace varnelo {

// The steps of the view's initial update, in their order.
enum class StartupStep {
  SettingsRead,      // the view's settings are read; the style is in the view
  AppearanceLoaded,  // apply the appearance, the picture and night mode
  BookReturned,      // the last book is back (or none was): list the library
};

// How a book is paged: its mode and its chapter rule.
struct BookPaging {
  int mode = 0;
  int rule = 0;
};

class ViewPart {
 public:
  virtual ~ViewPart() = default;
  virtual void OnStartup(StartupStep step) { (void)step; }
  // Another book (or the same one again) is about to replace the book on screen.
  virtual void OnBookLeaving() {}
  // The book at `path` is about to be paged: `paging` holds the reader's choice, and a part
  // that remembers how this book was read may put that in its place.
  virtual void OnBookOpening(const std::string& path, BookPaging& paging) {
    (void)path;
    (void)paging;
  }
  // The book on screen was read again after a change (an edit saved, the replace rules
  // written into it): places in it move through the changed stretches, in order.
  virtual void OnTextShifted(const std::vector<TextShift>& shifts) { (void)shifts; }
  // A book was loaded from this path and its first page is showing.
  virtual void OnBookLoaded() {}
  // A bookmark was opened: the library list is to forget the opened files and the listed
  // folder and, when the book loaded, hold that book alone.
  virtual void OnBookmarkOpened(bool loaded) { (void)loaded; }
  // ShowPage is about to put `text`, the pane's text of `page` made from `bytes`, in the
  // pane: a part may lay it out anew (clean, re-flow, indent), filling `offsets` with the
  // page byte of every unit plus the length at the end. Empty offsets: the text is the
  // bytes as they are. Called before OnPageText.
  virtual void OnPageLayout(int page, std::string_view bytes, QString& text,
                            std::vector<std::size_t>& offsets) {
    (void)page;
    (void)bytes;
    (void)text;
    (void)offsets;
  }
  // ShowPage is about to put `text`, the pane's text of `page`, in the pane: a part may
  // show it otherwise (in other characters), keeping its length.
  virtual void OnPageText(int page, QString& text) {
    (void)page;
    (void)text;
  }
  // ShowPage has put the current page in the pane.
  virtual void OnPageShown() {}
  // Edit mode was switched on or off.
  virtual void OnEditModeChanged(bool on) { (void)on; }
  // The book was saved under a new name and read back from there.
  virtual void OnBookSavedAs() {}
  // The user's chapter rules or replace rules in Config.ini were changed from outside this
  // window (a sync brought another computer's): read them again and show them.
  virtual void OnRulesChangedElsewhere() {}
};

}  // namespace varnelo
