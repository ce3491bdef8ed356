// CVarneloApp: start-up and the shared run-time settings the view, the frame and the exit
// save read and write. Created once by main() after the QApplication.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/command_router.h"

namespace varnelo {

class CMainFrame;
class CVarneloDoc;

// The values several windows share, and the state mirror the exit save writes.
struct SharedSettings {
  std::string currentBookTitle;
  int currentPage = 0;
  std::string currentPath;
  std::string programFolder;
  std::string currentFileName;
  int textColour = 0;
  int backgroundColour = 0x00CFE8CC;
  int fontSize = 270;
  int lineSpacing = 100;
  std::string faceName;
  int pagingMode = 0;
  std::string chapterTitle;
  int firstVisibleLine = 0;
  int reminderInterval = 30;
};

class CVarneloApp : public CommandTarget {
 public:
  CVarneloApp();
  ~CVarneloApp() override;

  // Carries out the command line (program name first) and shows the main window.
  // False when the program should end at once.
  bool InitInstance(const std::vector<std::string>& arguments);

  SharedSettings& Settings() { return settings_; }
  CMainFrame* MainFrame() const { return frame_.get(); }
  CVarneloDoc* Document() const { return doc_.get(); }

  // The program folder, ending with the separator; computed by the frame at creation.
  std::string GetProgramFolder();

  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;

 private:
  SharedSettings settings_;
  std::unique_ptr<CVarneloDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace varnelo
