#include "app/varnelo_app.h"

#include <QApplication>
#include <QScreen>

#include "app/about_dlg.h"
#include "app/link_label.h"
#include "app/links.h"
#include "app/main_frame.h"
#include "app/varnelo_doc.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "res/command_table.h"
#include "store/read_record_dialog.h"
#include "text/varnelo_view.h"

namespace varnelo {

CVarneloApp::CVarneloApp() {
  const std::string_view title = AppTitle();
  SetApplicationTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
}

CVarneloApp::~CVarneloApp() = default;

std::string CVarneloApp::GetProgramFolder() {
  settings_.programFolder = ProgramFolder();
  return settings_.programFolder;
}

bool CVarneloApp::InitInstance(const std::vector<std::string>& arguments) {
  doc_ = std::make_unique<CVarneloDoc>();
  frame_ = std::make_unique<CMainFrame>(*this);
  // A file on the command line opens only the document, which holds no text: the view
  // still returns to the last book. A file that cannot be read ends the program.
  if (arguments.size() > 1 && !arguments[1].empty()) {
    if (!doc_->OnOpenDocument(arguments[1])) {
      MessageBoxes().Show(nullptr,
                          QStringLiteral("无法打开文档“%1”。").arg(QString::fromStdString(arguments[1])),
                          QString(), MessageButtons::Ok, MessageIcon::Exclamation);
      frame_.reset();
      return false;
    }
  } else {
    doc_->OnNewDocument();
  }
  frame_->View()->OnInitialUpdate();
  frame_->UpdateCommandUI();  // the check marks the start-up set, such as night mode's

  frame_->show();
  if (const QScreen* screen = frame_->screen()) {
    QRect area = frame_->frameGeometry();
    area.moveCenter(screen->availableGeometry().center());
    frame_->move(area.topLeft());
  }
  frame_->activateWindow();  // keys go to the reader at once, even without a window manager
  return true;
}

bool CVarneloApp::HandlesCommand(int id) const {
  return id == cmd::kReadRecords || id == cmd::kAbout || WebLinkOf(id) != nullptr;
}

void CVarneloApp::OnCommand(int id) {
  if (id == cmd::kReadRecords) {
    // A window of its own, not owned by the frame.
    CReadRecordDlg dialog(SettingsPathIn(settings_.programFolder));
    dialog.exec();
  } else if (id == cmd::kAbout) {
    ShowAboutBox();
  } else if (const WebLink* link = WebLinkOf(id)) {
    OpenWebLink(QString::fromUtf8(link->message.data(), static_cast<qsizetype>(link->message.size())),
                QString::fromUtf8(link->address.data(), static_cast<qsizetype>(link->address.size())));
  }
}

void CVarneloApp::ShowAboutBox() {
  CAboutDlg about(frame_.get());
  about.exec();
}

void CVarneloApp::OpenWebLink(const QString& message, const QString& address) {
  if (MessageBoxes().Show(frame_.get(), message, QString(), MessageButtons::OkCancel,
                          MessageIcon::Exclamation) != MessageResult::Ok) {
    return;
  }
  if (!UrlOpener().OpenUrl(address)) ReportOpenFailure(frame_.get(), kLinkNoAssociation);
}

}  // namespace varnelo
