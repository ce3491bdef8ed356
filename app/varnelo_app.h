// CVarneloApp: start-up and the shared run-time settings the view, the frame and the exit
// save read and write. Created once by main() after the QApplication.
#pragma once

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/command_router.h"
#include "store/shared_settings.h"

namespace varnelo {

class CMainFrame;
class CVarneloDoc;

class CVarneloApp : public CommandTarget {
 public:
  CVarneloApp();
  ~CVarneloApp() override;

  // Carries out the command line (program name first) and shows the main window.
  // False when the program should end at once.
  bool InitInstance(const std::vector<std::string>& arguments);
  // Called once before the start first measures or shows text (the font configuration
  // may still be loading on another core until then).
  void SetBeforeFirstText(std::function<void()> wait) { beforeFirstText_ = std::move(wait); }

  SharedSettings& Settings() { return settings_; }
  CMainFrame* MainFrame() const { return frame_.get(); }
  CVarneloDoc* Document() const { return doc_.get(); }

  // A later start's request (see SingleInstance): the window comes to the front and the
  // book, when one is named, opens as Ctrl+O opens it. Waits while a modal window is open.
  void OnHandOver(const std::string& book);

  // The program folder, ending with the separator; computed by the frame at creation.
  std::string GetProgramFolder();
  // True once the start has told the user that Config.ini could not be read; the exit
  // then leaves the file alone without saying so a second time.
  bool SettingsUnreadable() const { return settingsUnreadable_; }

  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;

  void ShowAboutBox();
  // Describes a site and opens it on OK.
  void OpenWebLink(const QString& message, const QString& address);

 private:
  SharedSettings settings_;
  std::unique_ptr<CVarneloDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
  std::vector<std::string> handedOver_;  // books (empty: none) waiting for a free window
  std::unique_ptr<QTimer> handOverTimer_;
  bool started_ = false;
  bool settingsUnreadable_ = false;
  std::function<void()> beforeFirstText_;

  void BeforeFirstText();

  void ServeHandOvers();
  void BringToFront();
};

}  // namespace varnelo
