#include "aids/place_keeper.h"

#include "aids/library_side_bar.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "store/store_menus.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

PlaceKeeper::PlaceKeeper(CVarneloView& view, LibrarySideBar& sideBar) : view_(view), sideBar_(sideBar) {
  view_.Commands().AddRange(cmd::kRecentBookFirst, cmd::kRecentBookLast,
                            [this](int id) { OpenRecentBook(id); });
}

void PlaceKeeper::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  const std::string& path = view_.Store().SettingsPath();
  ReadKey(view_.Settings().config, ConfigKey::ReturnToPlace, path);
  ReadKey(view_.Settings().config, ConfigKey::TurnAtPageEnd, path);
  places_.SetSettingsPath(path);
  places_.Load();
  RefreshMenu();
}

void PlaceKeeper::KeepPlace() {
  if (view_.CurrentPath().empty()) return;
  places_.SetSettingsPath(view_.Store().SettingsPath());
  places_.Keep(view_.CurrentPath(), TopOfPaneOffset(view_), view_.PagingMode(), view_.ChapterRule());
  // After the book that replaces this one is in place: refilling the menu refreshes every
  // check mark, which must not catch the view half-way through a load.
  QMetaObject::invokeMethod(&view_, [this] { RefreshMenu(); }, Qt::QueuedConnection);
}

void PlaceKeeper::OnBookOpening(const std::string& path, BookPaging& paging) {
  const std::optional<BookPlace> place = places_.Find(path);
  if (!place) return;
  paging.mode = place->mode;
  if (place->rule != kNoRuleKept) paging.rule = place->rule;
}

// The place was kept as the book was left, before the change was read.
void PlaceKeeper::OnTextShifted(const std::vector<TextShift>& shifts) {
  const std::optional<BookPlace> place = places_.Find(view_.CurrentPath());
  if (!place) return;
  places_.Keep(place->path, ShiftedOffset(place->offset, shifts), place->mode, place->rule);
}

void PlaceKeeper::OnBookLoaded() {
  if (view_.Settings().config.returnToPlace == 0) return;
  const std::optional<BookPlace> place = places_.Find(view_.CurrentPath());
  if (place && place->offset > 0) ShowOffset(view_, place->offset);
}

void PlaceKeeper::OpenRecentBook(int id) {
  const std::size_t k = static_cast<std::size_t>(id - cmd::kRecentBookFirst);
  if (k >= recent_.size()) return;
  // Opened as a dropped file is: the side bar then holds that book alone.
  const std::string path = recent_[k].path;
  sideBar_.OpenDroppedFiles({path});
}

void PlaceKeeper::RefreshMenu() {
  recent_ = places_.Newest(kRecentBooksListed);
  StoreMenus* menus = view_.Store().Menus();
  if (menus == nullptr) return;
  std::vector<StoreMenuItem> items;
  for (std::size_t k = 0; k < recent_.size(); ++k) {
    items.push_back({cmd::kRecentBookFirst + static_cast<int>(k),
                     std::to_string(k + 1) + " " + FileNameOf(recent_[k].path)});
  }
  menus->ReplaceItems(StoreMenu::RecentBooks, items);
}

}  // namespace varnelo
