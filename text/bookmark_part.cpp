#include "text/bookmark_part.h"

#include <algorithm>

#include "platform/services.h"
#include "platform/window_timers.h"
#include "res/command_ids.h"
#include "store/bookmark_format.h"
#include "store/bookmark_places.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

const QString kNotice = QStringLiteral("提示");

int ToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

BookmarkPart::BookmarkPart(CVarneloView& view) : view_(view) {
  CommandMap& commands = view_.Commands();
  commands.Add(cmd::kAddBookmark, [this](int) { OnAddBookmark(); });
  commands.AddRange(cmd::kOpenBookmarkFirst, cmd::kOpenBookmarkLast,
                    [this](int id) { OnOpenBookmark(id); });
  commands.AddRange(cmd::kDeleteBookmarkFirst, cmd::kDeleteBookmarkLast,
                    [this](int id) { OnDeleteBookmark(id); });
  commands.Add(cmd::kClearBookmarks, [this](int) { OnDeleteBookmark(0); });
  view_.AddTimerHandler(kRestoreLineTimer, [this] { RestoreMarkLine(); });
}

bool BookmarkPart::ReturnToLastPosition() {
  const BookmarkFields last = view_.Store().Bookmark(0);
  if (last.path.empty() || !view_.LoadText(last.path)) return false;
  ShowStoredPage(last.page);
  view_.Timers().SetTimer(kRestoreLineTimer, kRestoreDelayMs);
  return true;
}

// The remembered line belongs to the last book: another book opened before it is applied
// (the one named on the command line) must not be scrolled by it.
void BookmarkPart::OnBookLoaded() { view_.Timers().KillTimer(kRestoreLineTimer); }

void BookmarkPart::RestoreMarkLine() {
  view_.Timers().KillTimer(kRestoreLineTimer);
  if (restoreLine_ != -1) return;
  ConfigValues& config = view_.Settings().config;
  ReadKey(config, ConfigKey::MarkLine, view_.Store().SettingsPath());
  restoreLine_ = config.markLine;
  view_.Pane()->LineScroll(restoreLine_);
}

// A stored page the book no longer has shows page 1.
void BookmarkPart::ShowStoredPage(const std::string& page) {
  int number = ToInt(LeadingNumber(page));
  const int first = view_.PagingMode() == kChapterPaging ? 0 : 1;
  if (number < first || number > view_.PageCount()) number = 1;
  view_.SetCurrentPage(number);
  view_.ShowPage(number);
}

void BookmarkPart::OnAddBookmark() {
  const std::string path = view_.CurrentPath();
  if (path.empty()) {
    MessageBoxes().Show(&view_, QStringLiteral("未打开小说！"), QString(), MessageButtons::Ok,
                        MessageIcon::None);
    return;
  }
  const int line = view_.Pane()->FirstVisibleLine();
  restoreLine_ = line;
  CConfigStore& store = view_.Store();
  const QString full = QStringLiteral("书签已满！请删除不用的书签后再添加！");
  if (store.BookmarkCount() >= kMaxBookmarks) {
    MessageBoxes().Show(&view_, full, kNotice, MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  switch (store.AddBookmark(path, TitleOf(path), view_.CurrentPage(),
                            std::to_string(view_.PagingMode()), line)) {
    case CConfigStore::AddResult::Added:
      // On a page laid out anew its line is not the book's line: keep the place too.
      if (!view_.DisplayOffsets().empty()) {
        KeepBookmarkPlace(BookmarkPlaceKey(path, view_.CurrentPage(), view_.PagingMode(), line),
                          TopOfPaneOffset(view_), store.SettingsPath());
      }
      view_.ShowNotice(QStringLiteral("已添加书签！"), kAddedNoticeMs, MessageIcon::Exclamation);
      break;
    case CConfigStore::AddResult::Full:
      MessageBoxes().Show(&view_, full, kNotice, MessageButtons::Ok, MessageIcon::Exclamation);
      break;
    case CConfigStore::AddResult::TooLong:
      MessageBoxes().Show(&view_, QStringLiteral("小说的路径太长，书签未添加！"), QString(),
                          MessageButtons::Ok, MessageIcon::Exclamation);
      break;
    case CConfigStore::AddResult::NotWritten:
      MessageBoxes().Show(&view_, NotWrittenMessage(store.SettingsPath(), QStringLiteral("书签未添加")),
                          QString(), MessageButtons::Ok, MessageIcon::Exclamation);
      break;
  }
}

void BookmarkPart::OnOpenBookmark(int id) {
  const int k = id - (cmd::kOpenBookmarkFirst - 1);
  if (k < 1 || k > view_.Store().BookmarkCount()) return;
  if (!view_.OfferToSaveEdits()) return;
  const BookmarkFields mark = view_.Store().Bookmark(k);
  const int previousMode = view_.PagingMode();
  view_.SetPagingMode(LeadingNumber(mark.mode) == 1 ? kChapterPaging : kLinePaging);
  if (!view_.LoadText(mark.path)) {
    view_.SetPagingMode(previousMode);  // the book on screen keeps the mode it is paged by
    view_.NotifyBookmarkOpened(false);
    return;
  }
  ShowStoredPage(mark.page);
  view_.NotifyBookmarkOpened(true);
  restoreLine_ = ToInt(LeadingNumber(mark.line));
  const std::optional<std::int64_t> place = BookmarkPlaceOf(
      BookmarkPlaceKey(mark.path, LeadingNumber(mark.page), LeadingNumber(mark.mode), restoreLine_),
      view_.Store().SettingsPath());
  const int page = view_.CurrentPage();
  if (place && view_.PageStart(page) <= *place &&
      *place < view_.Pages().PageEnd(page, static_cast<std::int64_t>(view_.Text().size()))) {
    ShowOffset(view_, *place);
    return;
  }
  RichPane* pane = view_.Pane();
  pane->LineScroll(-pane->LineCount());
  pane->LineScroll(restoreLine_);
}

void BookmarkPart::OnDeleteBookmark(int id) {
  CConfigStore& store = view_.Store();
  if (!store.DeleteBookmark(id)) {
    MessageBoxes().Show(&view_, NotWrittenMessage(store.SettingsPath(), QStringLiteral("书签未删除")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
  }
}

}  // namespace varnelo
