#include "text/page_editor.h"

#include <QTextCursor>

#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/long_work.h"
#include "platform/rich_pane.h"
#include "platform/write_error.h"
#include "res/command_ids.h"
#include "text/book_encoding_part.h"
#include "text/book_engine.h"
#include "text/bookmark_part.h"
#include "text/page_write_back.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

const QString kNoBook = QStringLiteral("未打开小说，无法保存！");
const QString kChanged =
    QStringLiteral("警告！这本书打开后已在磁盘上被改动，未保存！\n请重新打开后再编辑。");
const QString kNotThisBook = QStringLiteral("警告！窗口中的书与当前文件不符，未保存！");
const QString kNotThePage = QStringLiteral("警告！窗口中的文字已不是书中的这一页，未保存！");
const QString kSaving = QStringLiteral("正在保存……");
const QString kSplitCharacter =
    QStringLiteral("警告！修改把一个字拆成了两半，未保存！\n请把这个字整个删去或补全后再保存。");

QString PathText(const std::string& path) { return QString::fromStdString(path); }

// A file we may not write is not ours to replace, even where the folder would allow the
// rename that replaces it.
bool Unwritable(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored) && ::access(path.c_str(), W_OK) != 0;
}

bool IsWordCharacter(QChar c) {
  return (c.isLetterOrNumber() || c == u'_') && c.script() != QChar::Script_Han;
}

}  // namespace

int FindInPageText(const QString& text, const QString& what, int from, const FindOptions& options) {
  if (what.isEmpty() || from < 0) return -1;
  const Qt::CaseSensitivity sensitivity =
      options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  const auto whole = [&](qsizetype at) {
    const qsizetype end = at + what.size();
    const bool open = at == 0 || !(IsWordCharacter(text[at - 1]) && IsWordCharacter(text[at]));
    const bool close =
        end >= text.size() || !(IsWordCharacter(text[end - 1]) && IsWordCharacter(text[end]));
    return open && close;
  };
  if (options.down) {
    for (qsizetype at = text.indexOf(what, from, sensitivity); at >= 0;
         at = text.indexOf(what, at + 1, sensitivity)) {
      if (!options.wholeWord || whole(at)) return static_cast<int>(at);
    }
    return -1;
  }
  const qsizetype last = from > 0 ? from - 2 : text.size();
  for (qsizetype at = last < 0 ? -1 : text.lastIndexOf(what, last, sensitivity); at >= 0;
       at = at > 0 ? text.lastIndexOf(what, at - 1, sensitivity) : -1) {
    if (!options.wholeWord || whole(at)) return static_cast<int>(at);
  }
  return -1;
}

PageEditor::PageEditor(CVarneloView& view) : view_(view) {
  CommandMap& commands = view_.Commands();
  commands.Add(
      cmd::kEditMode, [this](int) { ToggleEditMode(); },
      [this](int, CommandState& state) {
        state.checkable = true;
        state.checked = view_.EditMode();
      });
  commands.Add(cmd::kSave, [this](int) { SaveText(); });
  commands.Add(cmd::kSaveAs, [this](int) { SaveTextAs(); });
  // The read-only pane neither cuts nor pastes; copying works in both modes. Greyed as
  // the pane would grey them, so the keys and the context menu agree.
  const auto withSelection = [this](int, CommandState& state) {
    state.enabled = view_.Pane()->HasSelection();
  };
  commands.Add(cmd::kCopy, [this](int) { view_.Pane()->copy(); }, withSelection);
  commands.Add(cmd::kCut, [this](int) { view_.Pane()->cut(); }, withSelection);
  commands.Add(cmd::kPaste, [this](int) { view_.Pane()->paste(); },
               [this](int, CommandState& state) { state.enabled = view_.Pane()->CanPaste(); });
  commands.Add(cmd::kFind, [this](int) { OpenFindDialog(); });
  view_.SetEditSaver([this] { return SaveEditsInPlace(); }, [this] { return SaveText(); });
}

PageEditor::~PageEditor() = default;

void PageEditor::OnBookLoaded() {
  ++loads_;
  loadedPath_ = view_.CurrentPath();
  // Whatever happens to the name, this still reads the loaded bytes; a file swapped in
  // between the load and this open is caught by the comparison with the buffer.
  loadedFile_ = RegularFile::Open(loadedPath_);
}

void PageEditor::OnPageShown() {
  // What the pane made of the page: the base every later edit is measured against.
  shownPage_ = view_.CurrentPage();
  shownGeneration_ = view_.Pane()->TextGeneration();
  shownText_ = view_.Pane()->PaneText().toStdU16String();
}

void PageEditor::Tell(const QString& text) {
  MessageBoxes().Show(&view_, text, QString(), MessageButtons::Ok, MessageIcon::Exclamation);
}

void PageEditor::ToggleEditMode() {
  RichPane* pane = view_.Pane();
  if (!view_.EditMode()) {
    if (!CatchUp()) return;
    view_.SetEditMode(true);
    pane->SetModified(false);
    return;
  }
  if (pane->IsModified()) {
    view_.SetEditMode(true);  // still on while the question is open, and shown so
    const std::optional<bool> yes = view_.AskToSaveText();
    if (!yes) return;
    if (*yes) {
      if (!SaveText()) return;  // not written: the edits stay, and so does edit mode
    } else if (pane->TextGeneration() == shownGeneration_ && view_.CurrentPage() == shownPage_) {
      // The page as it was shown, at the same line.
      const int line = pane->FirstVisibleLine();
      view_.Bookmarks().SetRestoreLine(line);
      view_.ShowPage(view_.CurrentPage());
      pane->LineScroll(line);
    }
  }
  view_.SetEditMode(false);
}

std::optional<std::string> PageEditor::EditedBook(bool asLoaded) {
  const std::string& path = view_.CurrentPath();
  if (path.empty()) {
    Tell(kNoBook);
    return std::nullopt;
  }
  if (path != loadedPath_) {
    Tell(kNotThisBook);
    return std::nullopt;
  }
  RichPane* pane = view_.Pane();
  const int page = view_.CurrentPage();
  if (pane->TextGeneration() != shownGeneration_ || page != shownPage_) {
    Tell(kNotThePage);
    return std::nullopt;
  }
  // The edit only views these: they outlive the work.
  const std::string shown = view_.ShownBytes(page);
  const std::u16string edited = pane->PaneText().toStdU16String();
  PageEdit edit;
  edit.start = static_cast<std::size_t>(view_.PageStart(page));
  edit.shownBytes = shown;
  edit.shownText = shownText_;
  edit.editedText = edited;
  const BookEncoding encoding = view_.Form().encoding;
  const std::string& loadedText = view_.Text();
  // The loaded file by its descriptor's name, which reaches it even once deleted; by its
  // path where there is no such name.
  const std::string loadedName =
      asLoaded && loadedFile_.IsOpen() ? "/proc/self/fd/" + std::to_string(loadedFile_.Descriptor()) : std::string();

  // Reading the whole file again and checking it against the buffer takes long on a large
  // book: off the window's thread, into locals only.
  enum class Refusal { None, Unreadable, Changed, Split, NotThePage, Character };
  Refusal refusal = Refusal::None;
  LoadStatus status = LoadStatus::Missing;
  EncodedEdit encoded;
  BookEncoding fileEncoding = encoding;
  std::optional<std::string> book;
  const WorkOutcome outcome = RunLongWork(&view_, kSaving, [&](WorkControl& control) {
    const PassProgress progress = [&control](std::int64_t done, std::int64_t total) { return control.Report(done, total); };
    // The file as it is now, and its text read the way the book on screen was read.
    std::string bytes;
    std::string file;
    BookForm form;
    if (!loadedName.empty()) status = ReadBook(loadedName, encoding, bytes, form, &file, progress);
    if (status == LoadStatus::Missing) status = ReadBook(path, encoding, bytes, form, &file, progress);
    if (status == LoadStatus::Cancelled || control.Cancelled()) return;
    if (status == LoadStatus::Missing || status == LoadStatus::Unreadable) {
      refusal = Refusal::Unreadable;
      return;
    }
    // Every offset of the buffer must still be the offset of the same byte on disk. The
    // copy goes before the new book is made: on a large book each is as large as the book.
    {
      std::string normalised = bytes;
      NormaliseBlankLines(normalised);
      if (status != LoadStatus::Ok || normalised != loadedText) {
        refusal = Refusal::Changed;
        return;
      }
    }
    bool split = false;
    book = WriteBackPage(bytes, edit, &split);
    if (!book) {
      refusal = split ? Refusal::Split : Refusal::NotThePage;
      return;
    }
    fileEncoding = form.encoding;
    if (form.encoding != BookEncoding::Gbk) {
      // Into the file's own bytes, in the book's own encoding.
      encoded = EncodeEdit(file, form, bytes, *book);
      if (!encoded.file) refusal = Refusal::Character;
      book = std::move(encoded.file);
    }
  });
  // Cancelled: nothing was written and nothing is said; the edits stay.
  if (outcome == WorkOutcome::Cancelled || status == LoadStatus::Cancelled) return std::nullopt;
  switch (refusal) {
    case Refusal::None:
      return book;
    case Refusal::Unreadable:
      Tell(QStringLiteral("警告！无法读取这本书，未保存！\n") + PathText(path));
      break;
    case Refusal::Changed:
      Tell(kChanged);
      break;
    case Refusal::Split:
      Tell(kSplitCharacter);
      break;
    case Refusal::NotThePage:
      Tell(kNotThePage);
      break;
    case Refusal::Character:
      Tell(RefusedCharacterMessage(fileEncoding, encoded.refused));
      break;
  }
  return std::nullopt;
}

bool WriteBookFile(QWidget* owner, const std::string& path, std::string_view bytes, const QString& notDone) {
  std::error_code error;
  if (Unwritable(path)) {
    error = std::make_error_code(std::errc::permission_denied);
  } else {
    // A large book takes a while to write: the window goes on meanwhile, and a cancel
    // before the end leaves the old file as it was.
    bool written = false;
    const WorkOutcome outcome = RunLongWork(owner, kSaving, [&](WorkControl& control) {
      written = WriteFileAtomically(path, bytes, &error,
                                    [&control](std::int64_t done, std::int64_t total) { return control.Report(done, total); });
    });
    // Once renamed into place the book is written, whatever came late.
    if (written) return true;
    // The user's choice: nothing to tell.
    if (outcome == WorkOutcome::Cancelled || error == std::errc::operation_canceled) return false;
  }
  MessageBoxes().Show(owner,
                      QStringLiteral("警告！文件无法写入，%1！\n%2\n（%3）")
                          .arg(notDone, PathText(path), QString::fromStdString(WriteErrorReason(error.value()))),
                      QString(), MessageButtons::Ok, MessageIcon::Exclamation);
  return false;
}

bool PageEditor::WriteBook(const std::string& path, const std::string& bytes) {
  return WriteBookFile(&view_, path, bytes);
}

PageEditor::Outcome PageEditor::WriteBack() {
  if (!view_.EditMode() || !view_.Pane()->IsModified()) return Outcome::Nothing;
  const std::optional<std::string> book = EditedBook(false);
  if (!book) return Outcome::Failed;
  return WriteBook(view_.CurrentPath(), *book) ? Outcome::Written : Outcome::Failed;
}

void PageEditor::ComeBack(int page, int line, bool editing) {
  view_.SetCurrentPage(page);
  view_.ShowPage(page);
  view_.Pane()->LineScroll(line);
  if (editing) {
    view_.SetEditMode(true);
    view_.Pane()->SetModified(false);
  }
}

bool PageEditor::SaveText() {
  const Outcome outcome = WriteBack();
  if (outcome != Outcome::Written) return outcome == Outcome::Nothing;
  const int line = view_.Pane()->FirstVisibleLine();
  view_.Bookmarks().SetRestoreLine(line);
  const int page = view_.CurrentPage();
  // Not read back (the user cancelled the read): the pane shows what the file holds.
  if (view_.LoadText(view_.CurrentPath())) {
    ComeBack(page, line, true);
  } else if (view_.LoadCancelled()) {
    LeftBehind();
  }
  return true;
}

void PageEditor::LeftBehind() {
  behindSinceLoad_ = loads_;
  view_.SetEditMode(false);
  view_.Pane()->SetModified(false);
}

bool PageEditor::SaveEditsInPlace() {
  const Outcome outcome = WriteBack();
  if (outcome == Outcome::Written) {
    // The file is ahead of the buffer now. The caller replaces the book next; should the
    // book stay after all, it is read again before anything is edited or saved from it.
    LeftBehind();
  }
  return outcome != Outcome::Failed;
}

bool PageEditor::CatchUp() {
  if (behindSinceLoad_ != loads_) return true;
  const int line = view_.Pane()->FirstVisibleLine();
  const int page = view_.CurrentPage();
  if (view_.LoadText(view_.CurrentPath())) {
    behindSinceLoad_ = -1;
    ComeBack(page, line, false);
    return true;
  }
  // Refused, the user has been told and goes on; cancelled, the book stays behind its file.
  if (!view_.LoadCancelled()) behindSinceLoad_ = -1;
  return !view_.LoadCancelled();
}

void PageEditor::SaveTextAs() {
  if (!CatchUp()) return;
  const QString chosen = Dialogs().SaveFileName(&view_, QStringLiteral("另存为..."),
                                                QStringLiteral("文本文件(*.txt)"));
  if (chosen.isEmpty()) return;
  const std::string target = SaveAsPath(chosen.toStdString());
  if (target.empty()) return;
  // The dialog asked about the name it returned; a name changed here is asked about here.
  std::error_code ignored;
  if (target != chosen.toStdString() && std::filesystem::exists(target, ignored) &&
      MessageBoxes().Show(&view_, QStringLiteral("%1 已存在。\n要替换它吗？").arg(PathText(target)),
                          QString(), MessageButtons::YesNo,
                          MessageIcon::Exclamation) != MessageResult::Yes) {
    return;
  }
  const std::optional<std::string> book = EditedBook(true);
  if (!book || !WriteBook(target, *book)) return;
  // The book is read back from its new name, so that a later save goes there too.
  const int line = view_.Pane()->FirstVisibleLine();
  const int page = view_.CurrentPage();
  const bool editing = view_.EditMode();
  CarryEncodingChoice(view_, view_.CurrentPath(), target);
  if (view_.LoadText(target)) {
    ComeBack(page, line, editing);
    view_.NotifyBookSavedAs();
  }
  MessageBoxes().Show(&view_, QStringLiteral("文件已另保存为: ") + PathText(target), QString(),
                      MessageButtons::Ok, MessageIcon::None);
}

void PageEditor::OpenFindDialog() {
  Dialogs().OpenFindDialog(&view_, [this](const FindRequest& request) { OnFindReplace(request); });
}

void PageEditor::OnFindReplace(const FindRequest& request) {
  RichPane* pane = view_.Pane();
  if (!selectionAlwaysShown_) {
    // The match stays marked while the find dialog has the focus.
    QPalette palette = pane->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
      palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    pane->setPalette(palette);
    selectionAlwaysShown_ = true;
  }
  if (request.closing || !request.findNext) return;
  const FindOptions options{request.down, request.matchCase, request.wholeWord};
  const int found = FindInPageText(pane->PaneText(), request.text, findPosition_, options);
  // Not found: -1, so the next search starts at the top of the page.
  findPosition_ = found + 1;
  if (found < 0) return;
  QTextCursor cursor(pane->document());
  cursor.setPosition(found);
  cursor.setPosition(found + static_cast<int>(request.text.size()), QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
  pane->ensureCursorVisible();
}

}  // namespace varnelo
