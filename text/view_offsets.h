// Between the pane and the book: the byte offset of a place in the pane, the place in the
// pane of a byte offset, and showing the page that holds an offset with its line on top.
#pragma once

#include <cstdint>

namespace varnelo {

class CVarneloView;
class RichPane;

// The book offset of pane position `position` on the page shown.
std::int64_t OffsetOfPanePosition(const CVarneloView& view, int position);
// The pane position of a book offset on the page shown; -1 when the pane does not hold it.
int PanePositionOf(const CVarneloView& view, std::int64_t offset);
// Where the first visible line of the pane begins in the book.
std::int64_t TopOfPaneOffset(const CVarneloView& view);
// Scrolls so the pane line holding `position` is the first visible one (as far as the
// pane can scroll).
void ScrollPositionToTop(RichPane& pane, int position);
// Shows the page holding `offset` (in the book's paging now) with the line of that offset
// at the top. Asks nothing: the caller offers to save edits first.
void ShowOffset(CVarneloView& view, std::int64_t offset);

}  // namespace varnelo
