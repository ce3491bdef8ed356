// "目录" (F4): the book's chapter headings under the current rule in a list with a filter
// box; Enter or a double click shows the chapter. In chapter paging the entries are the
// chapter pages; in line paging the same heading scan runs without changing the paging,
// and a jump shows the line page holding the heading with the heading at the top. Found
// headings keep their levels (卷 over its 章, indented); titles are shown in the page's
// characters while 简繁转换 is on.
#pragma once

#include <QAbstractListModel>
#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "text/book_engine.h"
#include "text/view_part.h"

class QLabel;
class QLineEdit;
class QListView;
class QSortFilterProxyModel;

namespace varnelo {

class CVarneloView;
class TextConversion;

// The titles as the page shows them (简繁转换), one a chapter; empty shows the book's own.
using ShownTitles = QStringList;

// The headings of one scan; a title is decoded only when a row is drawn or filtered,
// unless the titles are shown converted.
class ChapterModel : public QAbstractListModel {
 public:
  ChapterModel(std::string_view text, const Pagination& chapters, QObject* parent = nullptr,
               ShownTitles shown = {});
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // Row r is chapter r + 1.
  std::int64_t OffsetOf(int row) const;
  void SetMarked(int row) { marked_ = row; }

 private:
  QString TitleOf(int row) const;

  std::string_view text_;
  // A copy: the view's table may be made again (another rule, the user's rules synced)
  // while a list stays open. A few bytes a chapter.
  Pagination chapters_;
  int marked_ = -1;
  int numberWidth_ = 1;     // digits of the last chapter's number
  QStringList converted_;  // the titles as shown, when converted
};

class ChapterListDialog : public QDialog {
 public:
  // `chapters` holds at least one heading; `current` is the row being read, or -1.
  ChapterListDialog(std::string_view text, const Pagination& chapters, int current, QWidget* parent,
                    ShownTitles shown = {});
  // The chapter (1-based) chosen with Enter or a double click; 0 for none.
  int Chosen() const { return chosen_; }
  QLineEdit* FilterBox() const { return filter_; }
  QListView* List() const { return list_; }
  QLabel* Hint() const { return hint_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Choose(const QModelIndex& index);

  ChapterModel* model_;
  QSortFilterProxyModel* proxy_;
  QLineEdit* filter_;
  QListView* list_;
  QLabel* hint_;
  int chosen_ = 0;
};

class ChapterList : public ViewPart {
 public:
  explicit ChapterList(CVarneloView& view);
  void Open();
  void SetConversion(TextConversion* conversion) { conversion_ = conversion; }
  // Shows the headings somewhere other than the dialog (the reading mode's panel): given
  // the headings, the row being read (or -1) and the way to a chapter; true when it did.
  using Presenter = std::function<bool(std::string_view text, const Pagination& headings, int current,
                                       const ShownTitles& shown, std::function<void(int chapter)> jump)>;
  void SetPresenter(Presenter presenter) { presenter_ = std::move(presenter); }

 private:
  void OfferRules();
  // The titles converted as the page is, off the window's thread (a long book's list is a
  // tenth of a second's conversion); nullopt when cancelled.
  std::optional<ShownTitles> Converted(const Pagination& headings);
  void Jump(const Pagination& headings, int chapter);

  CVarneloView& view_;
  TextConversion* conversion_ = nullptr;
  Presenter presenter_;
};

}  // namespace varnelo
