#include "aids/reading_aids.h"

#include <memory>

#include "aids/auto_scroll.h"
#include "aids/book_find.h"
#include "aids/chapter_list.h"
#include "aids/chapter_rules_part.h"
#include "aids/conversion_part.h"
#include "aids/page_margins.h"
#include "aids/place_keeper.h"
#include "aids/library_side_bar.h"
#include "aids/page_appearance.h"
#include "aids/page_cleaning.h"
#include "aids/skin_button.h"
#include "aids/quotation_line.h"
#include "aids/read_aloud.h"
#include "aids/settings_dlg.h"
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
  aids.autoScroll = Attach<AutoScroll>(view);
  aids.quotation = Attach<QuotationLine>(view);
  auto settings = std::make_unique<ReadingSettings>(view, *aids.quotation, *aids.autoScroll);
  aids.settings = settings.get();
  view.AddPart(std::move(settings));
  aids.chapters = Attach<ChapterList>(view);
  aids.cleaning = Attach<PageCleaning>(view);
  aids.conversion = Attach<TextConversion>(view);
  Attach<PageMargins>(view);
  aids.find = Attach<BookFind>(view);
  aids.find->SetConversion(aids.conversion);
  aids.chapters->SetConversion(aids.conversion);
  auto places = std::make_unique<PlaceKeeper>(view, *aids.sideBar);
  aids.places = places.get();
  view.AddPart(std::move(places));
  // After the places: it hears which rule a book was kept under, to drop one that is gone.
  Attach<ChapterRulesPart>(view);
  auto reader = std::make_unique<ReadAloud>(view, *aids.autoScroll);
  aids.readAloud = reader.get();
  view.AddPart(std::move(reader));
  return aids;
}

}  // namespace varnelo
