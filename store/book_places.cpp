#include "store/book_places.h"

#include <algorithm>
#include <charconv>

#include "platform/profile.h"
#include "store/config_schema.h"

namespace varnelo {
namespace {

// The digits at `text[at]` up to `stop`; false when there are none or anything else.
template <typename Number>
bool TakeNumber(std::string_view text, std::size_t& at, char stop, Number& value) {
  const std::size_t end = text.find(stop, at);
  if (end == std::string_view::npos || end == at) return false;
  const auto [ptr, ec] = std::from_chars(text.data() + at, text.data() + end, value);
  if (ec != std::errc() || ptr != text.data() + end || value < 0) return false;
  at = end + 1;
  return true;
}

}  // namespace

std::string BookPlaceValue(const BookPlace& place) {
  std::string value = std::to_string(place.serial) + "," + std::to_string(place.offset) + "," +
                      std::to_string(place.mode);
  if (place.rule != kNoRuleKept) value += "," + std::to_string(place.rule);
  return value + " >" + place.path;
}

std::optional<BookPlace> ParseBookPlace(std::string_view value) {
  BookPlace place;
  std::size_t at = 0;
  if (!TakeNumber(value, at, ',', place.serial) || !TakeNumber(value, at, ',', place.offset))
    return std::nullopt;
  // The mode ends at the rule's comma, or at the blank before the path in an older place.
  const std::size_t blank = value.find(' ', at);
  const bool hasRule = value.substr(at, blank == std::string_view::npos ? blank : blank - at).find(',') !=
                       std::string_view::npos;
  if (!TakeNumber(value, at, hasRule ? ',' : ' ', place.mode)) return std::nullopt;
  if (hasRule && !TakeNumber(value, at, ' ', place.rule)) return std::nullopt;
  if (at >= value.size() || value[at] != '>' || at + 1 == value.size()) return std::nullopt;
  place.path = std::string(value.substr(at + 1));
  return place;
}

void BookPlaces::Load() {
  using namespace config_names;
  // One reading of the section, however many places it lists.
  const profile::SectionReader section(kBookPlace, settingsPath_);
  const int count = std::clamp(section.GetInt(kPlaceNum, 0), 0, kMaxBookPlaces);
  slots_.clear();
  for (int k = 1; k <= count; ++k) slots_.push_back(ParseBookPlace(section.GetString(std::to_string(k), "")));
}

std::optional<BookPlace> BookPlaces::Find(std::string_view path) const {
  std::optional<BookPlace> found;
  for (const auto& slot : slots_) {
    if (slot && slot->path == path && (!found || slot->serial > found->serial)) found = slot;
  }
  return found;
}

std::vector<BookPlace> BookPlaces::Newest(std::size_t count) const {
  std::vector<BookPlace> places;
  for (const auto& slot : slots_) {
    // A book kept twice (a hand-edited file) is listed once, at its newest place.
    if (slot && Find(slot->path)->serial == slot->serial) places.push_back(*slot);
  }
  std::sort(places.begin(), places.end(),
            [](const BookPlace& a, const BookPlace& b) { return a.serial > b.serial; });
  if (places.size() > count) places.resize(count);
  return places;
}

bool BookPlaces::Keep(const std::string& path, std::int64_t offset, int mode, int rule) {
  using namespace config_names;
  if (path.empty()) return true;
  profile::Session session(settingsPath_);
  Load();
  std::vector<profile::Entry> entries;
  // A hand-edited serial near the top of its range would leave no larger one for this
  // book: the places are numbered again 1, 2, ... in the order they were read.
  std::int64_t newest = 0;
  for (const auto& slot : slots_) {
    if (slot) newest = std::max(newest, slot->serial);
  }
  if (newest >= kHighestPlaceSerial) {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < slots_.size(); ++k) {
      if (slots_[k]) order.push_back(k);
    }
    std::stable_sort(order.begin(), order.end(),
                     [this](std::size_t a, std::size_t b) { return slots_[a]->serial < slots_[b]->serial; });
    newest = 0;
    for (const std::size_t k : order) {
      slots_[k]->serial = ++newest;
      entries.emplace_back(std::to_string(k + 1), BookPlaceValue(*slots_[k]));
    }
  }
  const BookPlace place{newest + 1, std::max<std::int64_t>(offset, 0), mode, path, rule};
  const std::string value = BookPlaceValue(place);
  if (value.size() > profile::kMaxStringRead) return false;

  std::size_t chosen = slots_.size();
  const auto same = std::find_if(slots_.begin(), slots_.end(),
                                 [&](const auto& slot) { return slot && slot->path == path; });
  const auto free = std::find_if(slots_.begin(), slots_.end(), [](const auto& slot) { return !slot; });
  if (same != slots_.end()) {
    chosen = static_cast<std::size_t>(same - slots_.begin());
  } else if (free != slots_.end()) {
    chosen = static_cast<std::size_t>(free - slots_.begin());
  } else if (slots_.size() == static_cast<std::size_t>(kMaxBookPlaces)) {
    const auto oldest = std::min_element(slots_.begin(), slots_.end(),
                                         [](const auto& a, const auto& b) { return a->serial < b->serial; });
    chosen = static_cast<std::size_t>(oldest - slots_.begin());
  }
  if (chosen == slots_.size()) {
    slots_.emplace_back();
    entries.emplace_back(kPlaceNum, std::to_string(slots_.size()));
  }
  slots_[chosen] = place;
  entries.emplace_back(std::to_string(chosen + 1), value);
  // The count and the place in one write: a count naming a place never written is a free slot.
  return profile::WriteStrings(kBookPlace, entries, settingsPath_);
}

}  // namespace varnelo
