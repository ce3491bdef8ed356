#include "text/bookmark_part.h"

#include <algorithm>
#include <optional>

#include "platform/services.h"
#include "platform/window_timers.h"
#include "res/command_ids.h"
#include "store/bookmark_format.h"
#include "store/store_messages.h"
#include "platform/codepage.h"
#include "text/chapter_index.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

const QString kNotice = QStringLiteral("提示");

int ToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// What the bookmark's menu item says: the chapter and the first words of the bookmarked
// text, "第七回 斩蔡阳兄弟释疑…：却说关公…".
// Nullopt when the user cancels the heading scan of a large book.
std::optional<std::string> PlacePrompt(CVarneloView& view, std::int64_t offset) {
  constexpr std::size_t kWordBytes = 96;
  constexpr int kWords = 24;
  const Pagination* chapters = view.HeadingsBy(view.ChapterRule());
  if (chapters == nullptr) return std::nullopt;
  const std::string_view text = view.Text();
  const std::string_view title =
      chapters->pageCount > 0 ? chapters->TitleOf(text, PageHolding(*chapters, offset)) : std::string_view();
  const auto begin = static_cast<std::size_t>(std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(text.size())));
  QString words = QString::fromStdU16String(DecodeBookBytes(text.substr(begin, kWordBytes)));
  // A character cut at the end decodes to stand-ins for its bytes: they are no words.
  words.removeIf([](QChar c) { return c.isSurrogate() || c == QChar(0x3000); });
  words = words.simplified().left(kWords);
  const QString chapter = QString::fromStdU16String(DecodeBookBytes(title)).simplified();
  return (chapter.isEmpty() ? words : chapter + QStringLiteral("：") + words).toStdString();
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
  if (!last.path.empty() && view_.NamedBookFollows()) {
    view_.ReturnWithoutText(last.path, ToInt(LeadingNumber(last.page)));
    return true;
  }
  if (last.path.empty()) return false;
  view_.SetFirstPageOfNextLoad(ToInt(LeadingNumber(last.page)));
  if (!view_.LoadText(last.path)) return false;
  ShowStoredPage(last.page);
  view_.Timers().SetTimer(kRestoreLineTimer, kRestoreDelayMs);
  return true;
}

// The remembered line belongs to the last book: another book opened before it is applied
// (the one named on the command line) must not be scrolled by it, not even by a tick that
// comes while that book's load waits on a notice or a question.
void BookmarkPart::OnBookLeaving() { view_.Timers().KillTimer(kRestoreLineTimer); }
void BookmarkPart::OnBookLoaded() { view_.Timers().KillTimer(kRestoreLineTimer); }

void BookmarkPart::OnTextShifted(const std::vector<TextShift>& shifts) {
  view_.Store().MoveBookmarkPlaces(view_.CurrentPath(),
                                   [&shifts](std::int64_t offset) { return ShiftedOffset(offset, shifts); });
}

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
  // The load showed it already: laying the same page out again would cost the start a layout.
  if (number == view_.CurrentPage()) return;
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
  // The text's own place too, so the bookmark finds it under any paging and rule.
  const std::int64_t offset = TopOfPaneOffset(view_);
  const std::optional<std::string> prompt = PlacePrompt(view_, offset);
  if (!prompt) return;
  switch (store.AddBookmark(path, TitleOf(path), view_.CurrentPage(),
                            std::to_string(view_.PagingMode()), line, offset, *prompt)) {
    case CConfigStore::AddResult::Added:
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
  // The bookmark's mode for this load; the book keeps its own rule. A refused book leaves
  // the book on screen paged as it is.
  view_.SetPagingMode(LeadingNumber(mark.mode) == 1 ? kChapterPaging : kLinePaging);
  if (!view_.LoadText(mark.path)) {
    // Cancelled, the side bar keeps its list too.
    if (!view_.LoadCancelled()) view_.NotifyBookmarkOpened(false);
    return;
  }
  RichPane* pane = view_.Pane();
  if (mark.offset && *mark.offset < static_cast<std::int64_t>(view_.Text().size())) {
    // Its text at the top, whichever rule pages the book now.
    ShowOffset(view_, *mark.offset);
    view_.NotifyBookmarkOpened(true);
    restoreLine_ = pane->FirstVisibleLine();
    return;
  }
  ShowStoredPage(mark.page);
  view_.NotifyBookmarkOpened(true);
  restoreLine_ = ToInt(LeadingNumber(mark.line));
  pane->ScrollToLine(restoreLine_);
}

void BookmarkPart::OnDeleteBookmark(int id) {
  CConfigStore& store = view_.Store();
  if (!store.DeleteBookmark(id)) {
    MessageBoxes().Show(&view_, NotWrittenMessage(store.SettingsPath(), QStringLiteral("书签未删除")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
  }
}

}  // namespace varnelo
