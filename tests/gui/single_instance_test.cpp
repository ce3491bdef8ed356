// A second start, as a real second process, against a reader running in this process.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>

#include <cstring>
#include <fstream>

#include "app/main_frame.h"
#include "app/single_instance.h"
#include "app/varnelo_app.h"
#include "platform/program_folder.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

class SingleInstanceTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void SetUp() override {
    first_ = home_.Folder() + "first.txt";
    other_ = home_.Folder() + "other.txt";
    std::ofstream(first_, std::ios::binary) << "\xb5\xda\xd2\xbb\xd5\xc2\r\nfirst\r\n";
    std::ofstream(other_, std::ios::binary) << "\xb5\xda\xb6\xfe\xd5\xc2\r\nother\r\n";
    ASSERT_EQ(instance_.HandOver(""), SingleInstance::Start::First);
    instance_.Listen([this](const std::string& book) { app_.OnHandOver(book); });
    ASSERT_TRUE(app_.InitInstance({"varnelo", first_}));
    view_ = app_.MainFrame()->View();
  }

  // Runs the installed-style reader in its own process, serving this one's socket meanwhile.
  int SecondStart(const QStringList& arguments) {
    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(home_.Folder()));
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QObject::connect(&second, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    second.start(QStringLiteral(VARNELO_READER), arguments);
    loop.exec();
    EXPECT_EQ(second.state(), QProcess::NotRunning) << "the second start never ended";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    return second.exitCode();
  }

  // The hand-over runs from a zero timer once the socket is answered.
  void Settle() {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  SingleInstance instance_{ProgramFolder()};
  CVarneloApp app_;
  CVarneloView* view_ = nullptr;
  std::string first_;
  std::string other_;
};

TEST_F(SingleInstanceTest, SecondStartHandsItsBookToTheRunningReader) {
  ASSERT_EQ(view_->CurrentPath(), first_);
  // A relative name: the second process makes it absolute before handing it over.
  EXPECT_EQ(SecondStart({QStringLiteral("other.txt")}), 0);
  Settle();
  EXPECT_EQ(view_->CurrentPath(), other_);
  EXPECT_EQ(view_->LibraryList()->count(), 2) << "opened as Ctrl+O opens it";
  EXPECT_TRUE(boxes_.shown.empty());

  // Without a book the window only comes back; the book on screen stays.
  app_.MainFrame()->showMinimized();
  EXPECT_EQ(SecondStart({}), 0);
  Settle();
  EXPECT_FALSE(app_.MainFrame()->isMinimized());
  EXPECT_EQ(view_->CurrentPath(), other_);
}

TEST_F(SingleInstanceTest, EditsAreOfferedForSavingAndOpenDialogsAreNotInterrupted) {
  QDialog dialog(app_.MainFrame());
  dialog.setModal(true);
  dialog.show();
  EXPECT_EQ(SecondStart({QString::fromStdString(other_)}), 0);
  Settle();
  EXPECT_EQ(view_->CurrentPath(), first_) << "a book must not open under a modal dialog";
  dialog.close();

  app_.MainFrame()->ActionOf(108)->trigger();  // edit mode
  view_->Pane()->insertPlainText(QStringLiteral("改"));
  QEventLoop wait;
  QTimer::singleShot(600, &wait, &QEventLoop::quit);
  wait.exec();
  EXPECT_EQ(view_->CurrentPath(), other_);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
}

TEST(SingleInstance, StaleSocketOfACrashedReaderNeverBlocksAStart) {
  testing::TempHome home;
  const QByteArray path = QFile::encodeName(SingleInstance::SocketPathFor(home.Folder()));
  ASSERT_FALSE(path.isEmpty());
  // What a killed reader leaves: a socket file nobody listens on.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
  ::unlink(path.constData());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);

  SingleInstance instance(home.Folder());
  EXPECT_EQ(instance.HandOver("/a.txt"), SingleInstance::Start::First);
  instance.Listen([](const std::string&) {});
  QLocalSocket probe;
  probe.connectToServer(QFile::decodeName(path));
  EXPECT_TRUE(probe.waitForConnected(2000)) << "the new reader serves the socket";
  // Another settings folder is another reader.
  EXPECT_NE(SingleInstance::SocketPathFor(home.Folder() + "x/"), QFile::decodeName(path));
}

}  // namespace
}  // namespace varnelo
