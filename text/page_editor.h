// The page editor: edit mode, saving the edited page into its book (in place, or the whole
// book under a new name), the clipboard commands and finding text on the page.
#pragma once

#include <QString>

#include <optional>
#include <string>

#include "platform/regular_file.h"
#include "platform/services.h"
#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

struct FindOptions {
  bool down = true;
  bool matchCase = false;
  bool wholeWord = false;
};

// Where `what` occurs in `text`: going down, the first match at or after `from`; going up,
// the last match starting before the one found at `from` - 1 (from 0: the last of all).
// A whole word has no letter or digit joined to either end; each Han character is a word
// of its own. -1 when there is none.
int FindInPageText(const QString& text, const QString& what, int from, const FindOptions& options);

// Writes a whole book through the atomic writer (a file we may not write is refused). False,
// and the user told why with `notDone` ("未保存"), when it could not be written.
bool WriteBookFile(QWidget* owner, const std::string& path, std::string_view bytes,
                   const QString& notDone = QStringLiteral("未保存"));

class PageEditor : public ViewPart {
 public:
  explicit PageEditor(CVarneloView& view);
  ~PageEditor() override;
  PageEditor(const PageEditor&) = delete;
  PageEditor& operator=(const PageEditor&) = delete;

  void OnBookLoaded() override;
  void OnPageShown() override;

  void ToggleEditMode();
  // Writes the edits back, reads the book again and returns to the page, the scroll line
  // and edit mode. False when there were edits and they could not be written.
  bool SaveText();
  // Writes the edits back and nothing else; the book is about to be replaced.
  bool SaveEditsInPlace();
  void SaveTextAs();
  void OpenFindDialog();
  void OnFindReplace(const FindRequest& request);
  int FindPosition() const { return findPosition_; }

 private:
  enum class Outcome { Nothing, Written, Failed };
  Outcome WriteBack();
  // The book's bytes with the pane's edits, from the file as it is now (with `asLoaded`,
  // from the file the book was loaded from, even if deleted or replaced since); nothing
  // (and the user told why) when that cannot be done safely.
  std::optional<std::string> EditedBook(bool asLoaded);
  bool WriteBook(const std::string& path, const std::string& bytes);
  void Tell(const QString& text);
  void ComeBack(int page, int line, bool editing);
  // The file holds what was saved, the buffer not yet: edit mode ends until it is read again.
  void LeftBehind();
  // Reads the book again if a save left the buffer behind; false if that read did not happen.
  bool CatchUp();

  CVarneloView& view_;
  std::string loadedPath_;
  RegularFile loadedFile_;  // kept open, so a new name can be written after a delete
  int loads_ = 0;
  int behindSinceLoad_ = -1;  // loads_ when a save in place left the buffer behind its file
  int shownPage_ = -1;
  int shownGeneration_ = -1;
  std::u16string shownText_;
  int findPosition_ = 0;
  bool selectionAlwaysShown_ = false;
};

}  // namespace varnelo
