// The view's book: loading, the two paging passes, showing a page and moving between pages.
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/long_work.h"
#include "platform/services.h"
#include "platform/start_timeline.h"
#include "text/book_encoding_part.h"
#include "text/book_prefetch.h"
#include "text/page_write_back.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

const QString kWaitingText = QStringLiteral("正在为小说按章节分页，请稍后！2秒内完成！");
const QString kFallbackNotice = QStringLiteral("普通文本或章数小于10！按章节分页失败！正在返回！");
const QString kNoChaptersFoundNotice = QStringLiteral("没有识别出章节标题！按章节分页失败！正在返回！");
const QString kOpeningText = QStringLiteral("正在打开……");
const QString kPageOutOfRange = QStringLiteral("警告！页码不在有效范围内！\n请重新输入页码！");
constexpr int kFallbackNoticeMs = 1500;

}  // namespace

// The pane breaks lines at CR LF, a lone CR and a lone LF alike, as the page pane of a
// Windows reader does; the page's own bytes are untouched.
QString PaneTextOf(std::string_view pageBytes) {
  return QString::fromStdU16String(PaneUnits(pageBytes));
}

bool CVarneloView::LoadText(std::string path) {
  // A bookmark's mode holds for this load only, whether or not the book comes.
  const std::optional<int> forcedMode = std::exchange(nextLoadMode_, std::nullopt);
  std::vector<TextShift> expected = std::exchange(expectedShifts_, {});
  const std::optional<int> firstPage = std::exchange(nextLoadPage_, std::nullopt);
  loadCancelled_ = false;
  if (path.empty()) return false;
  // Read and normalised off the window's thread, into locals only: until the work ends, the
  // book on screen and whatever a timer does with it meanwhile stay exactly as they were.
  LoadedBook book;
  const std::optional<BookEncoding> encoding = ChosenEncoding(*this, path);
  // What the start read ahead serves the first load only, and only if it is this book.
  const std::unique_ptr<BookPrefetch> prefetch = std::move(prefetch_);
  // A book paged by chapters has its chapter pass made with the read, for the way it will
  // most likely be paged; used only if that is how it is paged once in place.
  const BookPaging expectedPaging = ExpectedPaging(path, forcedMode);
  std::optional<Pagination> chapters;
  // The same book read again after a change the reader did not write itself: the one
  // stretch the texts differ in, found by comparing them whole, off the window's thread too.
  const bool sameBook = path == currentPath_;
  std::optional<TextShift> foundShift;
  const WorkOutcome outcome = RunLongWork(this, kOpeningText, [&](WorkControl& control) {
    const PassProgress progress = [&control](std::int64_t done, std::int64_t total) { return control.Report(done, total); };
    std::optional<LoadedBook> ahead = prefetch ? prefetch->Take(path, encoding, progress) : std::nullopt;
    book = ahead ? std::move(*ahead) : ReadAndNormalise(path, encoding, progress);
    if (book.status == LoadStatus::Ok && expectedPaging.mode == kChapterPaging && !control.Cancelled())
      chapters = ScanChaptersIn(book.bytes, expectedPaging.rule);
    if (book.status == LoadStatus::Ok && sameBook && !ShiftsFit(expected, text_.size(), book.bytes.size()))
      foundShift = FindTextShift(text_, book.bytes);
  });
  const LoadStatus status = book.status;
  // Cancelled: nothing changed and nothing to tell.
  if (outcome == WorkOutcome::Cancelled || status == LoadStatus::Cancelled) {
    loadCancelled_ = true;
    return false;
  }
  StartMark("book read");
  if (status != LoadStatus::Missing && editMode_ != 0) SetEditMode(false);
  refusedUnicodePath_ = status == LoadStatus::Unicode ? path : std::string();
  if (status != LoadStatus::Ok) {
    // A refused file changes nothing: the book on screen keeps its bytes, pages, pane and
    // path, so the status bar, the mirror and any later save still describe that book.
    MessageBoxes().Show(this, QString::fromUtf8(LoadMessage(status)), QString(),
                        MessageButtons::Ok, MessageIcon::None);
    return false;
  }
  if (!currentPath_.empty()) {
    for (const auto& part : parts_) part->OnBookLeaving();
  }
  const BookPaging paging = PagingOf(path, forcedMode);
  pagingMode_ = paging.mode == kChapterPaging ? kChapterPaging : kLinePaging;
  chapterRule_ = paging.rule;
  // The same book read again (after a save): what changed moves the places after it.
  std::string before = std::move(text_);
  text_ = std::move(book.bytes);
  headingScan_.reset();
  bookForm_ = std::move(book.form);
  currentPath_ = std::move(path);
  // What a save killed half-way left beside this book, however the book came to be opened.
  RemoveStaleTemporaries(currentPath_);
  // What changed moves the places after it: the stretches the reader itself wrote when it
  // says so and they fit, else the one stretch the two texts differ in.
  std::vector<TextShift> shifts = std::move(expected);
  if (sameBook && !ShiftsFit(shifts, before.size(), text_.size())) {
    shifts.clear();
    if (foundShift) shifts.push_back(*foundShift);
  }
  if (!sameBook) shifts.clear();
  released_.Release(std::move(before));
  // The mirror still names the previous book: its reading period ends here.
  UpdateReadRecord();
  StartMark("book normalised");
  firstPageOfLoad_ = firstPage;
  if (pagingMode_ == kChapterPaging) {
    if (chapters && expectedPaging.rule == chapterRule_) prescanned_ = std::move(chapters);
    prescannedLines_ = std::move(book.linePages);  // for a book with too few chapters
    PaginateByChapters();
    prescannedLines_.reset();
  } else {
    PaginateByLines(std::move(book.linePages));
  }
  UpdateReadRecord();  // finds the new book's record; no period of it is running yet
  if (recordTracked_) periodStart_ = CurrentClock().Now();
  settings_.book.title = TitleOf(currentPath_);
  if (!shifts.empty()) {
    for (const auto& part : parts_) part->OnTextShifted(shifts);
  }
  for (const auto& part : parts_) part->OnBookLoaded();
  return true;
}

void CVarneloView::PaginateByLines(std::optional<Pagination> made) {
  if (!made) made = std::exchange(prescannedLines_, std::nullopt);
  pages_ = made ? std::move(*made) : varnelo::PaginateByLines(text_);
  countLabel_->setText(QStringLiteral("总页数"));
  numberLabel_->setText(QStringLiteral("当前页数"));
  currentPage_ = FirstPageToShow(1);
  ShowPage(currentPage_);
}

// The page asked for by SetFirstPageOfNextLoad when the book has it, else `otherwise`.
int CVarneloView::FirstPageToShow(int otherwise) {
  const std::optional<int> asked = std::exchange(firstPageOfLoad_, std::nullopt);
  const int first = pages_.mode == kChapterPaging ? 0 : 1;
  return asked && *asked >= first && *asked <= pages_.pageCount ? *asked : otherwise;
}

void CVarneloView::PaginateByChapters() {
  pages_ = Pagination{};
  pages_.mode = kChapterPaging;
  paneText_ = kWaitingText;
  PushToControls();

  Pagination chapters = prescanned_ ? std::move(*prescanned_) : ScanChapters(chapterRule_);
  prescanned_.reset();
  if (chapters.pageCount < MinChaptersOf(chapterRule_)) {
    UseLinePaging();
    ShowNotice(chapterRule_ == kAutoChapterRule ? kNoChaptersFoundNotice : kFallbackNotice, kFallbackNoticeMs);
    return;
  }
  countLabel_->setText(QStringLiteral("总章数"));
  numberLabel_->setText(QStringLiteral("当前章数"));
  pages_ = std::move(chapters);
  currentPage_ = FirstPageToShow(pages_.firstPage);
  ShowPage(currentPage_);
}

void CVarneloView::ShowPage(int page) {
  if (page > pages_.pageCount) {
    page = 1;
    currentPage_ = 1;
  }
  // At the top already (as at the start) nothing is measured: that would lay the page out.
  if (pane_->verticalScrollBar()->value() != 0 && pane_->FirstVisibleLine() != 0)
    pane_->ScrollToLine(0);
  lastScreenTop_ = -1;
  countBox_->setText(QString::number(pages_.pageCount));
  pane_->setFocus();
  pageNumberValue_ = currentPage_;
  displayOffsets_.clear();
  paneText_ = PaneSourceText(page, &displayOffsets_);
  for (const auto& part : parts_) part->OnPageText(page, paneText_);
  StartMark("page text made");
  PushToControls();
  StartMark("page text in the pane");
  RecordReadingState();
  pane_->SetModified(false);
  for (const auto& part : parts_) part->OnPageShown();
  emit StatusChanged();
}

QString CVarneloView::PaneSourceText(int page, std::vector<std::size_t>* offsets) const {
  const std::string shown = ShownBytes(page);
  // The map back to the bytes comes with the same decode: made again for every lookup, it
  // cost a long page a decode each time.
  std::vector<std::size_t> starts;
  QString text = QString::fromStdU16String(PaneUnits(shown, offsets != nullptr ? &starts : nullptr));
  // Cut here rather than in the pane, and never between the halves of a surrogate pair,
  // so the text shown is always whole characters of the page.
  if (text.size() > pane_->TextLimit()) {
    text.truncate(pane_->TextLimit());
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
  }
  for (const auto& part : parts_) part->OnPageLayout(page, shown, text, starts);
  if (offsets != nullptr) *offsets = std::move(starts);
  return text;
}

std::string CVarneloView::ShownBytes(int page) const {
  // The pane keeps at most its text limit; no character takes more than two bytes per
  // unit, so decoding more than this prefix would be thrown away.
  return varnelo::PageText(text_, pages_, page, 2 * static_cast<std::size_t>(pane_->TextLimit()) + 2);
}

QString CVarneloView::SpokenPageText() const { return pane_->PaneText(); }

void CVarneloView::NextPage() {
  if (!OfferToSaveBeforeTurning()) return;
  if (currentPage_ != pages_.pageCount) {
    ++currentPage_;
    ShowPage(currentPage_);
  }
}

void CVarneloView::PreviousPage() {
  if (!OfferToSaveBeforeTurning()) return;
  if (currentPage_ == 1 && pagingMode_ == kLinePaging) return;
  if (currentPage_ != 0) {
    --currentPage_;
    ShowPage(currentPage_);
  }
}

void CVarneloView::GoToTypedPage() {
  PullFromControls();  // on a non-integer the value stays and the page is shown again
  const int typed = pageNumberValue_;
  const auto inRange = [this](int page) { return page >= 1 && page <= pages_.pageCount; };
  // Showing a page drops the edits on screen: offer to save them, as the paging buttons do.
  // Saving reads the book again, so the range is checked once more afterwards.
  if (inRange(typed) && !OfferToSaveBeforeTurning()) {
    pageNumberValue_ = currentPage_;
    PushToControls();
    return;
  }
  if (!inRange(typed)) {
    MessageBoxes().Show(this, kPageOutOfRange, QString(), MessageButtons::Ok, MessageIcon::None);
    pageNumberValue_ = currentPage_;
    PushToControls();
    return;
  }
  currentPage_ = typed;
  ShowPage(currentPage_);
  numberBox_->setFocus();
}

void CVarneloView::ScrollOneScreen() {
  if (pane_->HasTextColumn()) {
    // A narrowed column: the next screen begins with the first line not yet shown whole.
    const int first = pane_->FirstVisibleLine();
    const int whole = std::max(pane_->LinesShownWhole(), 1);
    if (first == lastScreenTop_ || !pane_->HasLine(first + whole)) {
      lastScreenTop_ = -1;
      NextPage();
      return;
    }
    pane_->LineScroll(whole);
    lastScreenTop_ = first;
    return;
  }
  const int bottom = pane_->FormattingRect().bottom();
  const int twips = appearance_.fontSize + appearance_.lineSpacing;
  // A damaged settings file can make the sum 0 or less: measure the pane's own lines then.
  int visible = twips > 0 ? bottom * 12 / twips
                          : bottom / std::max(1, pane_->fontMetrics().lineSpacing());
  visible = std::max(visible, 1);  // never scroll backwards in a very small pane
  const int first = pane_->FirstVisibleLine();
  if (first == lastScreenTop_ || !pane_->HasLine(first + visible - 1)) {
    lastScreenTop_ = -1;
    NextPage();
    return;
  }
  pane_->LineScroll(visible - 1);
  lastScreenTop_ = first;
}

void CVarneloView::ApplyCharFormat() {
  pane_->SetDefaultCharFormat(appearance_);
  RecordReadingState();
}

void CVarneloView::RecordReadingState() {
  BookMirror& book = settings_.book;
  book.path = currentPath_;
  book.fileName = FileNameOf(currentPath_);
  book.page = currentPage_;
  book.pagingMode = pagingMode_;
  if (pagingMode_ == kChapterPaging) book.chapterTitle = pages_.TitleOf(text_, currentPage_);
  settings_.appearance = appearance_;
}

BookPaging CVarneloView::PagingOf(const std::string& path, std::optional<int> forcedMode) const {
  // Each book is paged its own way: as it was read last, else by the reader's choice.
  BookPaging paging{chosenMode_, chosenRule_};
  for (const auto& part : parts_) part->OnBookOpening(path, paging);
  if (forcedMode) paging.mode = *forcedMode;
  paging.rule = StoredChapterRule(paging.rule);
  return paging;
}

BookPaging CVarneloView::ExpectedPaging(const std::string& path, std::optional<int> forcedMode) const {
  if (path != currentPath_) return PagingOf(path, forcedMode);
  // The same book again keeps the way it is paged now: it is kept so as it leaves.
  return {forcedMode.value_or(pagingMode_), chapterRule_};
}

void CVarneloView::UseLinePaging() {
  pagingMode_ = kLinePaging;
  PaginateByLines();
}

void CVarneloView::UseChapterPaging() {
  pagingMode_ = kChapterPaging;
  PaginateByChapters();
}

void CVarneloView::TogglePagingMode() {
  if (pagingMode_ == kLinePaging) {
    UseChapterPaging();
  } else {
    UseLinePaging();
  }
}

void CVarneloView::UseChapterRule(int rule) {
  pagingMode_ = kChapterPaging;
  chapterRule_ = StoredChapterRule(rule);
  PaginateByChapters();
}

void CVarneloView::SwitchPaging(int mode, int rule, bool choose) {
  // The first character on screen, to be at the top again in the new pages.
  const std::int64_t top = currentPath_.empty() || pages_.pageCount == 0 ? -1 : TopOfPaneOffset(*this);
  if (!currentPath_.empty()) {
    // The pass over a large book runs off the window's thread; cancelled, nothing changes.
    // Line pages too: a 1 GB book takes longer than a frame to cut into them.
    std::optional<Pagination> scanned;
    std::optional<Pagination> lines;
    const int scannedRule = StoredChapterRule(rule);
    const bool chapters = mode == kChapterPaging;
    const QString what = chapters ? QStringLiteral("正在按章节分页……") : QStringLiteral("正在分页……");
    if (RunLongWork(this, what, [&](WorkControl&) {
          if (chapters) scanned = ScanChapters(scannedRule);
          // Too few chapters: the book falls back to its line pages.
          if (!chapters || scanned->pageCount < MinChaptersOf(scannedRule)) lines = varnelo::PaginateByLines(text_);
        }) == WorkOutcome::Cancelled)
      return;
    prescanned_ = std::move(scanned);
    prescannedLines_ = std::move(lines);
  }
  if (mode == kChapterPaging) {
    UseChapterRule(rule);
  } else {
    chapterRule_ = StoredChapterRule(rule);
    UseLinePaging();
  }
  if (choose) {
    chosenMode_ = pagingMode_;
    chosenRule_ = chapterRule_;
  }
  prescannedLines_.reset();  // made for this switch only
  if (top >= 0 && !currentPath_.empty()) ShowOffset(*this, top);
  emit StatusChanged();
}

Pagination CVarneloView::ScanChaptersIn(std::string_view text, int rule) const {
  if (IsUserChapterRule(rule) && userRuleScan_) {
    if (std::optional<std::vector<FoundHeading>> headings = userRuleScan_(text, rule))
      return PaginationFromHeadings(text, *headings);
  }
  return PaginateByRule(text, rule);
}

const Pagination* CVarneloView::HeadingsBy(int rule) {
  if (pagingMode_ == kChapterPaging && chapterRule_ == rule) return &pages_;
  if (!headingScan_ || headingScanRule_ != rule) {
    std::optional<Pagination> scanned;
    if (RunLongWork(this, QStringLiteral("正在查找章节……"), [&](WorkControl&) { scanned = ScanChapters(rule); }) ==
        WorkOutcome::Cancelled)
      return nullptr;
    headingScan_ = std::move(scanned);
    headingScanRule_ = rule;
  }
  return &*headingScan_;
}

void CVarneloView::ForgetChapterRule(int rule) {
  if (chosenRule_ == rule) chosenRule_ = kAutoChapterRule;
  if (chapterRule_ != rule) return;
  if (pagingMode_ == kChapterPaging && !currentPath_.empty()) {
    SwitchPaging(kChapterPaging, kAutoChapterRule, false);
  } else {
    chapterRule_ = kAutoChapterRule;
  }
}

}  // namespace varnelo
