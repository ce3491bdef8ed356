// CVarneloView: the reading view. A form with the library list, the page pane and the
// bottom bar; it owns the book's bytes, the page table and the reading state. Each concern
// around the page (side bar, appearance, ...) is a part the view owns, registering its
// own commands and timers through Commands() and AddTimerHandler().
#pragma once

#include <QString>
#include <QWidget>

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/command_router.h"
#include "platform/rich_pane.h"
#include "platform/services.h"
#include "platform/text_appearance.h"
#include "store/config_store.h"
#include "store/shared_settings.h"
#include "text/book_encoding.h"
#include "text/book_engine.h"
#include "text/byte_release.h"
#include "text/book_prefetch.h"
#include "text/chapter_finder.h"
#include "text/view_part.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace varnelo {

class BookmarkPart;
class WindowTimers;

// Where each control of the form goes for a client size, and whether the side bar shows.
struct FormLayout {
  struct Box {
    int x, y, width, height;
    bool operator==(const Box&) const = default;
  };
  Box list, pane, frame, countLabel, countBox, numberLabel, numberBox, previous, screen,
      next, quote;
};
FormLayout LayOutForm(int width, int height, bool sideBarHidden, int quoteHeight);

// The page-number box's integer, as the form's data exchange reads it: blanks around an
// optional sign and digits; anything else (or an empty box) is no integer.
bool ParseExchangeInteger(const QString& text, int& value);

// Status-bar texts the view supplies.
QString WordCountText(std::int64_t charCount);

// What the pane shows for a page's bytes: decoded without loss, every line break as one.
QString PaneTextOf(std::string_view pageBytes);

class CVarneloView : public QWidget, public CommandTarget {
  Q_OBJECT
 public:
  static constexpr int kPaneTextLimit = 0x20000;
  static constexpr int kNoticeTimer = 100;

  explicit CVarneloView(SharedSettings& settings, QWidget* parent = nullptr);
  ~CVarneloView() override;

  void AddPart(std::unique_ptr<ViewPart> part);
  // Config.ini's rules changed under the window: every part reads them again.
  void RulesChangedElsewhere();
  CommandMap& Commands() { return commands_; }
  // A view timer's work; every tick but the notice timer's also samples the scroll line.
  void AddTimerHandler(int id, std::function<void()> handler);

  // Start-up: controls, settings, appearance.
  void OnInitialUpdate();
  // Set before the initial update when a book named on the command line follows it: the
  // return to the last book then keeps its effects on the settings and lists but leaves the
  // file unread, for the named book replaces it at once.
  void ExpectNamedBook() { namedBookFollows_ = true; }
  bool NamedBookFollows() const { return namedBookFollows_; }
  // The return to `path` without its text: the reading period, the mirror, the litter.
  void ReturnWithoutText(const std::string& path, int page);
  // The book the start returned to, read or not.
  const std::string& ReturnedPath() const { return currentPath_.empty() ? returnedPath_ : currentPath_; }
  // After the named book's turn: when it was refused, the last book is read after all.
  void FinishReturn();

  // ---- The book (text engine) ----
  // False when the file was refused or the user cancelled the read (Esc): the book on
  // screen, its path and the mirror stay. A large book is read off the window's thread.
  bool LoadText(std::string path);
  // The last LoadText was cancelled, not refused: nothing was said and nothing changed.
  bool LoadCancelled() const { return loadCancelled_; }
  // A read begun before the window was built; the next load takes it if it is for that book.
  void SetPrefetch(std::unique_ptr<BookPrefetch> prefetch) { prefetch_ = std::move(prefetch); }
  // `made`: the table the load already made of these bytes.
  void PaginateByLines(std::optional<Pagination> made = std::nullopt);
  void PaginateByChapters();
  void ShowPage(int page);
  std::string PageText(int page) const;
  void NextPage();
  void PreviousPage();
  void GoToTypedPage();
  void ScrollOneScreen();

  // ---- Paging commands ----
  void UseLinePaging();
  void UseChapterPaging();
  void TogglePagingMode();
  void UseChapterRule(int rule);
  // The paging commands' way: pages the book by `mode` and `rule` (the rule kept when
  // `mode` is lines), the first character on screen staying at the top, and with `choose`
  // makes the outcome the reader's choice for books read for the first time.
  void SwitchPaging(int mode, int rule, bool choose = true);
  // The chapter table `rule` gives the book on screen, before any fallback; a user's rule
  // that is gone gives the automatic rule's.
  Pagination ScanChapters(int rule) const { return ScanChaptersIn(text_, rule); }
  Pagination ScanChaptersIn(std::string_view text, int rule) const;
  // The book's headings under `rule` for a list or a place's name: the pages themselves when
  // the book is paged by that rule, else a scan kept until another text comes or the user's
  // rules change. A scan runs off the window's thread; nullptr when the user cancels it.
  const Pagination* HeadingsBy(int rule);
  // The user's rules changed: a kept scan by one of them may find other headings now.
  void ForgetHeadingScans() { headingScan_.reset(); }
  // How the book at `path` is paged when it comes in now (after the book on screen has
  // left), and how it will most likely be paged if it is loaded now.
  BookPaging PagingOf(const std::string& path, std::optional<int> forcedMode) const;
  BookPaging ExpectedPaging(const std::string& path, std::optional<int> forcedMode) const;
  // Where the user's own rules find their headings; nothing for a rule that is not there.
  using UserRuleScan =
      std::function<std::optional<std::vector<FoundHeading>>(std::string_view text, int rule)>;
  void SetUserRuleScan(UserRuleScan scan) { userRuleScan_ = std::move(scan); }
  // A user's rule was removed: the book on screen and the reader's choice stop using it.
  void ForgetChapterRule(int rule);

  // ---- Appearance: the value and the two steps other parts call ----
  TextAppearance& Appearance() { return appearance_; }
  const TextAppearance& Appearance() const { return appearance_; }
  // Face, size, spacing and text colour only: the background has its own steps.
  void ApplyCharFormat();
  void RecordReadingState();

  // ---- Status texts ----
  QString WordCountStatus() const;
  QString ReadingStatus() const;

  void OnTimer(int id);
  // A notice titled "提示" that closes itself after `closeAfterMs`.
  void ShowNotice(const QString& text, int closeAfterMs, MessageIcon icon = MessageIcon::None);
  // While set, notices go here instead of a box when it returns true (the reading mode's
  // toasts).
  void SetNoticeSink(std::function<bool(const QString& text)> sink) { noticeSink_ = std::move(sink); }
  // While set, lays the view out in place of the form (the reading mode); unset, the form
  // comes back.
  void SetLayoutOverride(std::function<void(int width, int height)> layOut);
  void RelayOut() { LayOut(); }

  // ---- Reading-time records ----
  // Whether the book on screen (by its file name in the mirror) has a record, and which.
  void FindReadRecord();
  // Starts a record for the book on screen, or says it has one already.
  void AddReadRecord();
  // Ends the running reading period and adds it to the book's record. False when the
  // record could not be written.
  bool UpdateReadRecord();
  // Starts a reading period again when none is running and the book on screen has a
  // record: an exit that was refused goes on counting the session.
  void ResumeReadingPeriod();

  // ---- Commands ----
  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;
  void UpdateCommand(int id, CommandState& state) const override;

  // ---- State for the parts, the frame, the exit save and tests ----
  SharedSettings& Settings() { return settings_; }
  CConfigStore& Store() { return store_; }
  const std::string& Text() const { return text_; }
  // The book's encoding and the way from its text back to its file.
  const BookForm& Form() const { return bookForm_; }
  // The book last refused as Unicode, until another loads: the "编码" menu may open it.
  const std::string& RefusedUnicodePath() const { return refusedUnicodePath_; }
  int CurrentPage() const { return currentPage_; }
  void SetCurrentPage(int page) { currentPage_ = page; }
  int PageCount() const { return pages_.pageCount; }
  // How the book on screen is paged.
  int PagingMode() const { return pagingMode_; }
  // The mode the next load pages by, in place of the book's own; the book on screen keeps
  // its pages.
  void SetPagingMode(int mode) { nextLoadMode_ = mode == kChapterPaging ? kChapterPaging : kLinePaging; }
  // The next load of the book on screen reads these changes the reader itself wrote into
  // it (in order, in its GB18030 text), so every kept place moves through each exactly.
  void ExpectChanges(std::vector<TextShift> shifts) { expectedShifts_ = std::move(shifts); }
  // The page the next load shows first in place of its first page, when the book has it:
  // a return to a place lays out only the page it returns to.
  void SetFirstPageOfNextLoad(int page) { nextLoadPage_ = page; }
  int ChapterRule() const { return chapterRule_; }
  // The reader's choice, which a book read for the first time is paged by; the exit keeps it.
  int ChosenPagingMode() const { return chosenMode_; }
  int ChosenChapterRule() const { return chosenRule_; }
  // The file the text buffer came from: set only by a successful load.
  const std::string& CurrentPath() const { return currentPath_; }
  bool SideBarHidden() const { return sideBarHidden_; }
  void SetSideBarHidden(bool hidden);
  bool EditMode() const { return editMode_ != 0; }
  // Switches edit mode; the pane is writable only while it is on.
  void SetEditMode(bool on);
  // Before the book on screen is replaced (another book, a folder, a bookmark):
  // if the page holds unsaved edits, asks "是否保存文本？" and on Yes writes them into the
  // book. False when the user said Yes and the edits could not be written: they are still
  // in the pane, and a caller that can should stay.
  [[nodiscard]] bool OfferToSaveEdits();
  // The same question before another page of this book is shown: on Yes the book is saved,
  // read again and the page comes back, so what follows is cut from the saved file.
  bool OfferToSaveBeforeTurning();
  // At the exit, in edit mode, "是否保存文本？" is asked whether or not the page was changed,
  // in a box `owner` owns; on Yes any edits are written into the book. False when they
  // could not be written.
  [[nodiscard]] bool OfferToSaveEditsAtExit(QWidget* owner);
  // Asks "是否保存文本？" (Yes is true) in a box `owner` owns, by default the view. Nothing
  // while that question is already open.
  std::optional<bool> AskToSaveText(QWidget* owner = nullptr);
  void SetEditSaver(std::function<bool()> saveEditsInPlace, std::function<bool()> saveText) {
    saveEditsInPlace_ = std::move(saveEditsInPlace);
    saveText_ = std::move(saveText);
  }
  // The bytes the pane's text is made from for a page: its display text, cut to what the
  // pane can hold.
  std::string ShownBytes(int page) const;
  // The pane's text of a page as laid out (cleaned, re-flowed) before a part converts it;
  // `offsets`, when given, receives the layout's map back to the page's bytes.
  QString PaneSourceText(int page, std::vector<std::size_t>* offsets = nullptr) const;
  // The text of the page on screen as the reader shows it (in the chosen characters), which
  // reading aloud says; its positions are the pane's.
  QString SpokenPageText() const;
  std::int64_t PageStart(int page) const { return pages_.PageStart(page); }
  // Where each unit of the pane's text begins in the page's bytes, as the page was shown
  // (laid out anew by a part or decoded as it is); edits in edit mode do not follow it.
  const std::vector<std::size_t>& DisplayOffsets() const { return displayOffsets_; }
  const Pagination& Pages() const { return pages_; }
  // Tells the parts the book now comes from the name it was saved under.
  void NotifyBookSavedAs();
  int LastScreenTop() const { return lastScreenTop_; }
  WindowTimers& Timers() { return *timers_; }
  BookmarkPart& Bookmarks() { return *bookmarks_; }
  // A bookmark was opened: the parts hear whether its book loaded.
  void NotifyBookmarkOpened(bool loaded);

  RichPane* Pane() const { return pane_; }
  QListWidget* LibraryList() const { return list_; }
  QLineEdit* PageCountBox() const { return countBox_; }
  QLineEdit* PageNumberBox() const { return numberBox_; }
  QLabel* PageCountLabel() const { return countLabel_; }
  QLabel* PageNumberLabel() const { return numberLabel_; }
  QLabel* QuoteLine() const { return quoteLine_; }
  // The quotation line's height, which the form's layout gives it on every resize.
  void SetQuoteHeight(int height) { quoteHeight_ = height; }
  QPushButton* PreviousButton() const { return previousButton_; }
  QPushButton* NextButton() const { return nextButton_; }

 signals:
  // The character count, the reading position, the paging, a mode's check mark or edit
  // mode changed.
  void StatusChanged();
  // Scrolling moved the reading position to another character: only the reading pane of
  // the status bar follows it.
  void PlaceChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void RegisterCommands();
  void LayOut();
  // The side list and the page where the form puts them; the form, or nothing when there
  // is nothing to place or a test lays the view out itself.
  std::optional<FormLayout> PlaceListAndPage();
  void MaskBarUnderPage();
  void ReportPlace();
  int FirstPageToShow(int otherwise);
  void PushToControls();
  bool PullFromControls();
  bool PreTranslateKey(int key);
  void NotifyStartup(StartupStep step);

  SharedSettings& settings_;
  CConfigStore store_;
  std::unique_ptr<WindowTimers> timers_;
  CommandMap commands_;
  std::map<int, std::function<void()>> timerHandlers_;
  std::vector<std::unique_ptr<ViewPart>> parts_;
  std::function<bool(const QString&)> noticeSink_;
  std::function<void(int, int)> layoutOverride_;
  std::function<bool()> saveEditsInPlace_;
  std::function<bool()> saveText_;
  BookmarkPart* bookmarks_ = nullptr;

  // Book and pages
  std::string text_;
  ByteRelease released_;  // the bytes of the book before, freed off the window's thread
  BookForm bookForm_;
  std::string refusedUnicodePath_;
  bool loadCancelled_ = false;
  std::unique_ptr<BookPrefetch> prefetch_;
  std::string currentPath_;
  Pagination pages_;
  int currentPage_ = 0;
  int pagingMode_ = kLinePaging;
  int chapterRule_ = kAutoChapterRule;
  int chosenMode_ = kLinePaging;
  int chosenRule_ = kAutoChapterRule;
  std::optional<int> nextLoadMode_;
  std::vector<TextShift> expectedShifts_;
  std::optional<int> nextLoadPage_;
  std::optional<int> firstPageOfLoad_;  // the one asked for the load under way
  std::optional<Pagination> prescanned_;  // the next chapter paging's table, made off the window's thread
  std::optional<Pagination> prescannedLines_;  // the same for the next line paging
  UserRuleScan userRuleScan_;
  std::optional<Pagination> headingScan_;  // HeadingsBy's scan, by headingScanRule_
  int headingScanRule_ = kAutoChapterRule;
  int pageNumberValue_ = 0;
  int lastScreenTop_ = 0;
  QString paneText_;
  std::vector<std::size_t> displayOffsets_;
  int editMode_ = 0;
  bool askingToSave_ = false;
  bool namedBookFollows_ = false;
  std::string returnedPath_;  // the last book, when the start left it unread

  // Reading-time record of the book on screen
  bool recordTracked_ = false;
  int recordNumber_ = 0;      // 1-based key of its record
  std::time_t periodStart_ = 0;  // 0: no reading period running

  TextAppearance appearance_;
  bool sideBarHidden_ = false;

  // The reading position last reported by PlaceChanged: page and first visible character.
  std::pair<int, int> reportedPlace_{-1, -1};
  int viewWidth_ = 0;
  int viewHeight_ = 0;
  int quoteHeight_ = 0;
  bool exchanging_ = false;

  // Controls of the form
  QListWidget* list_ = nullptr;
  RichPane* pane_ = nullptr;
  QLineEdit* countBox_ = nullptr;
  QLineEdit* numberBox_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QLabel* numberLabel_ = nullptr;
  QPushButton* previousButton_ = nullptr;
  QPushButton* screenButton_ = nullptr;
  QPushButton* nextButton_ = nullptr;
  QGroupBox* bottomFrame_ = nullptr;
  QLabel* quoteLine_ = nullptr;
};

}  // namespace varnelo
