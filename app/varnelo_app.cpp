#include "app/varnelo_app.h"

#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <csignal>

#include "aids/library_side_bar.h"
#include "app/about_dlg.h"
#include "app/link_label.h"
#include "app/links.h"
#include "app/main_frame.h"
#include "app/startup_probe.h"
#include "app/varnelo_doc.h"
#include "platform/atomic_file.h"
#include "platform/long_work.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "res/command_table.h"
#include "store/book_encodings.h"
#include "store/read_record_dialog.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

constexpr int kHandOverRetryMs = 250;

// The book the start opens (the one named, else the last one), read as its load will read it.
std::unique_ptr<BookPrefetch> ReadFirstBookAhead(std::string path, const std::string& settingsPath) {
  if (path.empty()) {
    CConfigStore marks;
    marks.SetSettingsPath(settingsPath);
    marks.LoadBookmarks();
    path = marks.Bookmark(0).path;
  }
  if (path.empty()) return nullptr;
  const std::optional<std::string> choice = EncodingChoiceOf(path, settingsPath);
  return std::make_unique<BookPrefetch>(path, choice ? EncodingFromName(*choice) : std::nullopt);
}

}  // namespace

CVarneloApp::CVarneloApp() : handOverTimer_(std::make_unique<QTimer>()) {
  handOverTimer_->setSingleShot(true);
  QObject::connect(handOverTimer_.get(), &QTimer::timeout, handOverTimer_.get(),
                   [this] { ServeHandOvers(); });
  const std::string_view title = AppTitle();
  SetApplicationTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
}

CVarneloApp::~CVarneloApp() = default;

std::string CVarneloApp::GetProgramFolder() {
  settings_.programFolder = ProgramFolder();
  // ~/.config/varnelo/ of a first start: the profile functions never make folders.
  CreateFolders(settings_.programFolder);
  return settings_.programFolder;
}

bool CVarneloApp::InitInstance(const std::vector<std::string>& arguments) {
  // A save past the file-size limit fails and is reported, instead of ending the reader
  // and leaving its temporary file behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // Every setting the start reads comes from one reading of Config.ini, however large.
  const profile::Session session(SettingsPathIn(GetProgramFolder()));
  doc_ = std::make_unique<CVarneloDoc>();
  // A file on the command line must be readable, or the program ends without a window:
  // asked before the frame exists, whose timers would show it under the message. The view
  // returns to the last book first and then opens it as Ctrl+O does, so it is the one on
  // screen.
  const bool withBook = arguments.size() > 1 && !arguments[1].empty();
  if (withBook) {
    if (!doc_->OnOpenDocument(arguments[1])) {
      BeforeFirstText();
      MessageBoxes().Show(nullptr,
                          QStringLiteral("无法打开文档“%1”。").arg(QString::fromStdString(arguments[1])),
                          QString(), MessageButtons::Ok, MessageIcon::Exclamation);
      return false;
    }
  } else {
    doc_->OnNewDocument();
  }
  StartMark("settings read, document made");
  // The book is read on another core while the window is built.
  std::unique_ptr<BookPrefetch> firstBook =
      ReadFirstBookAhead(withBook ? arguments[1] : std::string(), SettingsPathIn(GetProgramFolder()));
  BeforeFirstText();
  frame_ = std::make_unique<CMainFrame>(*this);
  StartMark("frame built");
  frame_->View()->SetPrefetch(std::move(firstBook));
  // The named book replaces the last one at once: reading the last one would only delay it.
  if (withBook) frame_->View()->ExpectNamedBook();
  // The view takes its place in the window now, so the book's page is laid out at its width.
  if (QLayout* layout = frame_->layout()) layout->activate();
  frame_->View()->OnInitialUpdate();
  StartMark("view's initial update (last book)");
  // What a reader killed while saving left beside its settings (a book's is removed as the
  // book opens).
  RemoveStaleTemporaries(frame_->View()->Store().SettingsPath());
  frame_->UpdateCommandUI();  // the check marks the start-up set, such as night mode's

  frame_->show();
  StartMark("frame shown");
  if (const QScreen* screen = frame_->screen()) {
    QRect area = frame_->frameGeometry();
    area.moveCenter(screen->availableGeometry().center());
    frame_->move(area.topLeft());
  }
  frame_->activateWindow();  // keys go to the reader at once, even without a window manager
  // The run goes on with the defaults and the exit leaves the file as it is: say so now.
  const std::string settingsPath = SettingsPathIn(settings_.programFolder);
  if (!profile::FileReadable(settingsPath)) {
    settingsUnreadable_ = true;
    MessageBoxes().Show(frame_.get(), NotReadMessage(settingsPath), QString(), MessageButtons::Ok,
                        MessageIcon::Exclamation);
  }
  if (withBook) {
    frame_->SideBar()->OpenPath(arguments[1]);
    frame_->View()->FinishReturn();
  }
  frame_->View()->SetPrefetch(nullptr);  // not taken: its bytes are not kept for later
  started_ = true;
  ServeHandOvers();
  return true;
}

void CVarneloApp::BeforeFirstText() {
  if (!beforeFirstText_) return;
  beforeFirstText_();
  beforeFirstText_ = nullptr;
  StartMark("font configuration loaded");
}

void CVarneloApp::OnHandOver(const std::string& book) {
  handedOver_.push_back(book);
  // Not inside the socket's own signal: opening may ask a question and wait for the user.
  handOverTimer_->start(0);
}

void CVarneloApp::ServeHandOvers() {
  if (handedOver_.empty()) return;
  // A book must not open under an open dialog or a question, nor before the start is done.
  if (!started_ || frame_ == nullptr || QApplication::activeModalWidget() != nullptr || LongWorkRunning()) {
    handOverTimer_->start(kHandOverRetryMs);
    return;
  }
  const std::vector<std::string> books = std::move(handedOver_);
  handedOver_.clear();
  BringToFront();
  for (const std::string& book : books) {
    if (!book.empty()) frame_->SideBar()->OpenPath(book);
  }
}

void CVarneloApp::BringToFront() {
  if (frame_->TrayIcon() != nullptr && frame_->TrayIcon()->isVisible()) {
    frame_->RestoreFromTray();
    return;
  }
  if (frame_->isMinimized()) frame_->setWindowState(frame_->windowState() & ~Qt::WindowMinimized);
  frame_->show();
  StartMark("frame shown");
  frame_->raise();
  frame_->activateWindow();
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
  OpenAddress(frame_.get(), address);
}

}  // namespace varnelo
