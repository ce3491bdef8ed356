#include "aids/reading_aids.h"

#include <memory>

#include "aids/library_side_bar.h"
#include "aids/page_appearance.h"
#include "text/varnelo_view.h"

namespace varnelo {

void AttachReadingAids(CVarneloView& view) {
  view.AddPart(std::make_unique<PageAppearance>(view));
  view.AddPart(std::make_unique<LibrarySideBar>(view));
}

}  // namespace varnelo
