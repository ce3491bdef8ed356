#include "aids/reading_aids.h"

#include <memory>

#include "aids/library_side_bar.h"
#include "aids/page_appearance.h"
#include "aids/skin_button.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

template <typename Part>
Part* Attach(CVarneloView& view) {
  auto part = std::make_unique<Part>(view);
  Part* kept = part.get();
  view.AddPart(std::move(part));
  return kept;
}

}  // namespace

ReadingAids AttachReadingAids(CVarneloView& view) {
  ReadingAids aids;
  aids.appearance = Attach<PageAppearance>(view);
  aids.sideBar = Attach<LibrarySideBar>(view);
  Attach<SkinnedButtons>(view);
  return aids;
}

}  // namespace varnelo
