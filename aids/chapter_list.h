// "目录" (F4): the book's chapter headings under the current rule in a list with a filter
// box; Enter or a double click shows the chapter. In chapter paging the entries are the
// chapter pages; in line paging the same heading scan runs without changing the paging,
// and a jump shows the line page holding the heading with the heading at the top.
#pragma once

#include <QAbstractListModel>
#include <QDialog>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "text/book_engine.h"
#include "text/view_part.h"

class QLineEdit;
class QListView;
class QSortFilterProxyModel;

namespace varnelo {

class CVarneloView;

// The headings of one scan; a title is decoded only when a row is drawn or filtered.
class ChapterModel : public QAbstractListModel {
 public:
  ChapterModel(std::string_view text, const Pagination& chapters, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // Row r is chapter r + 1.
  std::int64_t OffsetOf(int row) const;
  void SetMarked(int row) { marked_ = row; }

 private:
  std::string_view text_;
  const Pagination& chapters_;
  int marked_ = -1;
};

class ChapterListDialog : public QDialog {
 public:
  // `chapters` holds at least one heading; `current` is the row being read, or -1.
  ChapterListDialog(std::string_view text, const Pagination& chapters, int current, QWidget* parent);
  // The chapter (1-based) chosen with Enter or a double click; 0 for none.
  int Chosen() const { return chosen_; }
  QLineEdit* FilterBox() const { return filter_; }
  QListView* List() const { return list_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Choose(const QModelIndex& index);

  ChapterModel* model_;
  QSortFilterProxyModel* proxy_;
  QLineEdit* filter_;
  QListView* list_;
  int chosen_ = 0;
};

class ChapterList : public ViewPart {
 public:
  explicit ChapterList(CVarneloView& view);
  void OnBookLoaded() override { lineScan_.reset(); }
  void Open();

 private:
  // The headings of the current rule: the page table in chapter paging, else a scan kept
  // until the book or the rule changes.
  const Pagination& Headings();
  void OfferRules();
  void Jump(const Pagination& headings, int chapter);

  CVarneloView& view_;
  std::optional<Pagination> lineScan_;
  int scannedRule_ = 0;
};

}  // namespace varnelo
