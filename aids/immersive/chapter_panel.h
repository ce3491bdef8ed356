// 目录 in the reading mode: a panel that slides in from the left over the page, the
// chapter being read marked and in view; Enter or a click shows a chapter and the panel
// slides out again, as do Esc, F4 and a click on the page.
#pragma once

#include <QFrame>

#include <functional>
#include <string_view>

#include "aids/chapter_list.h"

class QLabel;
class QListView;
class QPropertyAnimation;

namespace varnelo {

class ChapterPanel : public QFrame {
  Q_OBJECT
 public:
  explicit ChapterPanel(QWidget* parent);

  // `current` is the row being read, or -1.
  void Open(std::string_view text, const Pagination& headings, int current, const ShownTitles& shown,
            std::function<void(int chapter)> jump);
  void Close();
  bool IsOpen() const { return open_; }
  QListView* List() const { return list_; }
  // Sets the panel's height and keeps it at its side.
  void Place();
  // The slide's length; 0 shows and hides at once.
  static void SetSlideMs(int ms);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Choose(const QModelIndex& index);
  void Slide(bool in);

  QLabel* title_;
  QListView* list_;
  ChapterModel* model_ = nullptr;
  QPropertyAnimation* slide_;
  std::function<void(int)> jump_;
  bool open_ = false;
};

}  // namespace varnelo
