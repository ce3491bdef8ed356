// "全书查找" (Ctrl+Shift+F): find words anywhere in the book. "查找下一个" goes from the
// selection (or the top of the page) to the next match, turning to its page and selecting
// it, and wraps once at the end; "查找全部" lists every match with its page and a line
// around it, at most 10,000.
#pragma once

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <string>
#include <vector>

#include "text/book_search.h"
#include "text/view_part.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace varnelo {

class CVarneloView;
class TextConversion;

// The one place the words typed become the bytes looked for in the book.
BookQuery QueryOf(const QString& words, bool matchCase);

class BookFindDialog : public QDialog {
 public:
  BookFindDialog(CVarneloView& view, QWidget* parent, TextConversion* conversion = nullptr);

  void FindNext();
  void FindAll();

  QLineEdit* WordsBox() const { return words_; }
  QCheckBox* MatchCaseBox() const { return matchCase_; }
  QCheckBox* UpBox() const { return up_; }
  QPushButton* FindNextButton() const { return findNext_; }
  QPushButton* FindAllButton() const { return findAll_; }
  QListWidget* Matches() const { return matches_; }
  QLabel* Summary() const { return summary_; }

 private:
  // Shows the match at `at` (offering to save edits when it is on another page) and
  // selects it. False when the user stayed on the page.
  bool GoTo(std::int64_t at, std::size_t length);
  void Tell(const QString& text);
  // The words in every form the book may hold them in (as typed and, while the page is
  // shown converted, in the other characters too).
  std::vector<BookQuery> Queries() const;

  CVarneloView& view_;
  TextConversion* conversion_;
  QLineEdit* words_;
  QCheckBox* matchCase_;
  QCheckBox* up_;
  QPushButton* findNext_;
  QPushButton* findAll_;
  QLabel* summary_;
  QListWidget* matches_;
};

class BookFind : public ViewPart {
 public:
  explicit BookFind(CVarneloView& view);
  void Open();
  BookFindDialog* Dialog() const { return dialog_; }
  void SetConversion(TextConversion* conversion) { conversion_ = conversion; }

 private:
  CVarneloView& view_;
  TextConversion* conversion_ = nullptr;
  QPointer<BookFindDialog> dialog_;
};

}  // namespace varnelo
