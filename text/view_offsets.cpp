#include "text/view_offsets.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QScrollBar>

#include "platform/rich_pane.h"
#include "text/chapter_index.h"
#include "text/page_write_back.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

// Where the bytes of each pane unit of the shown page begin, relative to the page: the map
// the page was shown with, or in edit mode the page's bytes decoded again into `scratch`.
const std::vector<std::size_t>& UnitStarts(const CVarneloView& view, std::vector<std::size_t>& scratch) {
  if (!view.DisplayOffsets().empty() && !view.EditMode()) return view.DisplayOffsets();
  PaneUnits(view.ShownBytes(view.CurrentPage()), &scratch);
  return scratch;
}

}  // namespace

std::int64_t OffsetOfPanePosition(const CVarneloView& view, int position) {
  std::vector<std::size_t> scratch;
  const std::vector<std::size_t>& starts = UnitStarts(view, scratch);
  const std::size_t unit = std::min<std::size_t>(static_cast<std::size_t>(std::max(position, 0)),
                                                 starts.size() - 1);
  return view.PageStart(view.CurrentPage()) + static_cast<std::int64_t>(starts[unit]);
}

int PanePositionOf(const CVarneloView& view, std::int64_t offset) {
  const std::int64_t relative = offset - view.PageStart(view.CurrentPage());
  if (relative < 0) return -1;
  std::vector<std::size_t> scratch;
  const std::vector<std::size_t>& starts = UnitStarts(view, scratch);
  // The unit whose bytes hold the offset: the last one starting at or before it.
  const auto after = std::upper_bound(starts.begin(), starts.end(), static_cast<std::size_t>(relative));
  const int unit = static_cast<int>(after - starts.begin()) - 1;
  if (unit < 0 || unit > view.Pane()->PaneText().size()) return -1;
  return unit;
}

std::int64_t TopOfPaneOffset(const CVarneloView& view) {
  const RichPane* pane = view.Pane();
  // At the top, the first line is the one shown whatever the layout: asking the pane would
  // lay a page out that is not on screen yet (as just after a load, before the first paint).
  if (pane->verticalScrollBar()->value() == 0) return OffsetOfPanePosition(view, 0);
  return OffsetOfPanePosition(view, std::max(pane->LineIndex(pane->FirstLineMostlyShown()), 0));
}

void ScrollPositionToTop(RichPane& pane, int position) { pane.ScrollToLine(pane.LineOfPosition(position)); }

void ShowOffset(CVarneloView& view, std::int64_t offset) {
  const int page = PageHolding(view.Pages(), offset);
  if (page != view.CurrentPage() || view.Pane()->TextGeneration() == 0) {
    view.SetCurrentPage(page);
    view.ShowPage(page);
  }
  const int position = PanePositionOf(view, offset);
  if (position >= 0) ScrollPositionToTop(*view.Pane(), position);
}

}  // namespace varnelo
