// Between a sync document and what this computer keeps in Config.ini. Capturing notes what
// changed here since the last time, stamped with the time and this computer; applying takes
// what came from elsewhere into Config.ini (bookmarks, the reading-time record, the
// encoding, the user's chapter rules). The place is never applied here: it is offered.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "app/sync/sync_model.h"

namespace varnelo::sync {

// A document as this computer keeps it between syncs (the queue of changes not yet sent).
struct LocalState {
  Document doc;
  // The local values as last captured or applied: only a change from these is news.
  std::map<std::string, std::string> seen;
  std::int64_t knownSeconds = 0;  // reading time already counted in the local record
  bool pending = false;           // holds changes the server has not had
  bool captured = false;          // this computer has looked at the book with syncing on
};

std::string SerializeLocal(const LocalState& state);
std::optional<LocalState> ParseLocal(std::string_view text);
// Reads and writes `<folder>/<name>`; a missing or broken file reads as a fresh state.
LocalState LoadLocal(const std::string& file);
bool SaveLocal(const LocalState& state, const std::string& file);

// One book on this computer: its settings, its path here and its text as the engine holds it.
struct BookContext {
  std::string settingsPath;
  std::string path;
  std::string_view text;
  std::int64_t now = 0;
  std::string host;
  // False while the reader is still where the book opened: the place kept then is no news,
  // however recently it was written (opening a book must not undo a place synced from
  // elsewhere).
  bool placeMoved = true;
};

// Notes the book's place, paging, encoding, bookmarks and reading time. True when anything
// changed. Values found the first time a book is looked at were kept before syncing began
// and are stamped as old, so a place synced from elsewhere wins over one this computer had
// long ago; anything new after that is stamped now.
bool CaptureBook(LocalState& state, const BookContext& book);
// Takes bookmarks, removals, the encoding and the reading time from the merged document
// into Config.ini. False when Config.ini could not be written (nothing is marked seen then).
bool ApplyBook(LocalState& state, const BookContext& book);

// The place the document holds, when it is newer than this computer's own and came from
// another computer: what to offer.
struct PlaceOffer {
  std::int64_t offset = 0;  // byte offset in this copy
  int mode = 0;
  int rule = 0;
  std::int64_t time = 0;
  std::string host;
};
std::optional<PlaceOffer> OfferedPlace(const LocalState& state, const BookContext& book);

// The user's chapter rules and replace rules, one document for all books. Each replace rule
// is an item of its own ("clean.<hash of kind, book and pattern>", its place in the list
// and its entry), so two computers' edits to different rules both stay; a rule deleted is
// kept as an empty item, so an older copy elsewhere does not bring it back. The built-in
// rules switched off are one item, "clean.builtin".
bool CaptureRules(LocalState& state, const std::string& settingsPath, std::int64_t now,
                  const std::string& host);
// True when Config.ini holds what the document does; `changed` tells whether it was written.
bool ApplyRules(LocalState& state, const std::string& settingsPath, bool* changed = nullptr);

}  // namespace varnelo::sync
