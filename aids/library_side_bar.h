// The library list at the left of the view. In folder mode it lists the books of one
// folder (the "书库"); in opened-files mode the books opened one by one, in the order they
// were opened. Choosing an entry opens it; files dropped on the view open in turn; F1
// hides and shows the list. Every entry keeps the full path it stands for.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <string>
#include <vector>

#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class LibrarySideBar : public QObject, public ViewPart {
  Q_OBJECT
 public:
  explicit LibrarySideBar(CVarneloView& view);

  void OpenFolder();
  void ListRecentFolder(int k);
  // Lists a folder's books, leaving opened-files mode and showing a hidden side bar.
  void ListFolder(const std::string& folder);
  void OpenFile();
  // What OpenFile does once a file is chosen; the command line and a second start use it.
  void OpenPath(const std::string& path);
  void OpenChosenEntry();
  void OpenDroppedFiles(const std::vector<std::string>& paths);
  void ToggleSideBar();
  // Forgets the opened files, the listed folder and its chosen entry; then the list holds
  // the book at `path` alone, or nothing when `path` is empty.
  void ResetToOneBook(const std::string& path);

  // `shukuflag` as the exit save writes it: the entry last chosen in the listed folder
  // while the book on screen lives in that folder, else 0.
  int LibraryEntryAtExit() const;
  const std::string& CurrentFolder() const { return currentFolder_; }

  void OnStartup(StartupStep step) override;
  void OnBookSavedAs() override;
  void OnBookmarkOpened(bool loaded) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // At the end, or at `row` (LB_INSERTSTRING keeps positions).
  void AddEntry(const std::string& path, bool inFolder, int row = -1);
  void FillWithFolder();
  void ClearRecentFolders();
  void RefreshTip();
  void ResetTip();
  void ShowTip();
  bool TakeFileDrop(QEvent* event);

  CVarneloView& view_;
  std::string currentFolder_;  // empty in opened-files mode
  std::vector<std::string> openedPaths_;
  int selectedEntry_ = 0;  // 1-based entry last chosen in folder mode
  int lastTipEntry_ = -1;
  QTimer tipDelay_;  // the pointer rests on the list this long before the tip shows
  QPoint tipAt_;     // where the pointer was last seen on the list, in screen pixels
  bool filling_ = false;   // list changes of our own, not the user's choice
  bool pressing_ = false;  // a mouse press is selecting, its item-pressed signal follows
};

}  // namespace varnelo
