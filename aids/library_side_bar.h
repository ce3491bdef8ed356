// The library list at the left of the view, in its opened-files mode: books opened one by
// one, listed in the order they were opened; choosing an entry opens it again.
#pragma once

#include <QObject>

#include <string>
#include <vector>

#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class LibrarySideBar : public QObject, public ViewPart {
  Q_OBJECT
 public:
  explicit LibrarySideBar(CVarneloView& view);

  void OpenFile();
  void OpenChosenEntry();
  void OnBookSavedAs() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CVarneloView& view_;
  std::string currentFolder_;
  std::vector<std::string> openedPaths_;
  bool filling_ = false;   // list changes of our own, not the user's choice
  bool pressing_ = false;  // a mouse press is selecting, its item-pressed signal follows
};

}  // namespace varnelo
