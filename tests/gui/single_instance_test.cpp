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
#include <QMenu>
#include <QtEndian>
#include <QProcess>
#include <QTimer>

#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
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
    instance_.SetClientLimits(kTimeoutMs, kMaxClients);
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

  static constexpr int kTimeoutMs = 1500;
  static constexpr int kMaxClients = 4;
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

// A raw client of the reader's socket, as any process of the user's could be.
struct RawClient {
  explicit RawClient(const QByteArray& bytes = QByteArray()) {
    socket.connectToServer(SingleInstance::SocketPathFor(ProgramFolder()));
    connected = socket.waitForConnected(2000);
    if (!bytes.isEmpty()) Send(bytes);
  }
  void Send(const QByteArray& bytes) {
    socket.write(bytes);
    socket.flush();
  }
  // Serves the reader until it hangs up on this client (or `ms` pass); what it answered.
  QByteArray WaitForHangUp(int ms) {
    testing::RunEventLoop(ms, [this] { return socket.state() != QLocalSocket::ConnectedState; });
    return socket.readAll();
  }
  bool HungUp() const { return socket.state() == QLocalSocket::UnconnectedState; }
  QLocalSocket socket;
  bool connected = false;
};

QByteArray Request(quint32 magic, quint32 length, const QByteArray& book) {
  QByteArray bytes(8, '\0');
  qToBigEndian(magic, bytes.data());
  qToBigEndian(length, bytes.data() + 4);
  return bytes + book;
}

constexpr quint32 kMagic = 0x56524e31;

// What cannot be a book's path is refused as soon as the header or the path shows it,
// without waiting for the client's time to run out, and never reaches the side bar or the
// list of books read.
TEST_F(SingleInstanceTest, RequestsThatCannotBeABookAreRefused) {
  const int listed = view_->LibraryList()->count();
  const QByteArray withNul = QByteArray::fromStdString(other_) + QByteArray("\0.txt", 5);
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"another protocol", QByteArray("GET / HTTP/1.0\r\n\r\n")},
      {"a 2 GB path", Request(kMagic, 0x7fffffff, "/")},
      {"longer than any path", Request(kMagic, PATH_MAX, QByteArray(PATH_MAX, 'a'))},
      {"a NUL inside", Request(kMagic, static_cast<quint32>(withNul.size()), withNul)},
  };
  for (const auto& c : cases) {
    RawClient client(c.bytes);
    ASSERT_TRUE(client.connected) << c.what;
    EXPECT_EQ(client.WaitForHangUp(kTimeoutMs / 2), QByteArray()) << c.what;
    EXPECT_TRUE(client.HungUp()) << c.what << ": not refused at once";
  }
  Settle();
  EXPECT_EQ(view_->CurrentPath(), first_);
  EXPECT_EQ(view_->LibraryList()->count(), listed);
  const QMenu* recent = app_.MainFrame()->StoreMenuOf(StoreMenu::RecentBooks);
  ASSERT_NE(recent, nullptr);
  for (const QAction* item : recent->actions()) EXPECT_FALSE(item->text().contains(QStringLiteral("other")));

  // The longest path the system takes is still a book.
  const QByteArray longest = "/" + QByteArray(SingleInstance::kMaxBookBytes - 1, 'a');
  RawClient client(Request(kMagic, static_cast<quint32>(longest.size()), longest));
  EXPECT_EQ(client.WaitForHangUp(kTimeoutMs / 2), QByteArray("k"));
  Settle();
  boxes_.shown.clear();
}

// Clients that linger, trickle or crowd in are cut off; a real start is served after them.
TEST_F(SingleInstanceTest, SlowIdleAndTooManyClientsAreCutOff) {
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < kMaxClients; ++i) idle.push_back(std::make_unique<RawClient>());
  RawClient extra;
  EXPECT_EQ(extra.WaitForHangUp(kTimeoutMs / 3), QByteArray());
  EXPECT_TRUE(extra.HungUp()) << "one more than the limit is refused at once";

  idle.front().reset();  // a place comes free
  Settle();
  RawClient slowOne(Request(kMagic, 1000, "/"));
  for (int i = 0; i < 30 && !slowOne.HungUp(); ++i) {
    slowOne.Send("a");  // a byte now and then, never the whole path
    slowOne.WaitForHangUp(kTimeoutMs / 10);
  }
  EXPECT_TRUE(slowOne.HungUp()) << "a trickling client is cut off";
  for (std::size_t i = 1; i < idle.size(); ++i) {
    idle[i]->WaitForHangUp(kTimeoutMs);
    EXPECT_TRUE(idle[i]->HungUp()) << "an idle client is cut off";
  }
  EXPECT_EQ(SecondStart({QString::fromStdString(other_)}), 0);
  Settle();
  EXPECT_EQ(view_->CurrentPath(), other_);
}

// A mistake on the command line is told and the reader ends, where there is no display at
// all (a terminal over ssh) as well; Qt's own options are no mistake.
TEST(ReaderCommandLine, MistakesAreToldWithoutADisplay) {
  testing::TempHome home;
  const struct {
    QStringList arguments;
    int status;
    const char* said;
  } cases[] = {
      {{"--bogus"}, 2, "未知的选项“--bogus”"},
      {{"-platform", "xcb", "a.txt", "b.txt"}, 2, "一次只能打开一本书"},
      {{"-style", "Fusion", "--version"}, 0, "Varnelo 小说阅读器"},
  };
  for (const auto& c : cases) {
    QProcess reader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    reader.setProcessEnvironment(environment);
    reader.start(QStringLiteral(VARNELO_READER), c.arguments);
    ASSERT_TRUE(reader.waitForFinished(20000)) << c.said;
    EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit) << c.said;
    EXPECT_EQ(reader.exitCode(), c.status) << c.said;
    const QString output = QString::fromUtf8(reader.readAllStandardOutput() + reader.readAllStandardError());
    EXPECT_TRUE(output.contains(QString::fromUtf8(c.said))) << c.said << ": " << output.toStdString();
  }
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
  // Another settings folder is another reader; the same one written otherwise is not.
  const std::filesystem::path folder(home.Folder());
  const std::filesystem::path link = folder.parent_path().string() + "-link";
  std::filesystem::create_directory_symlink(folder, link);
  const std::string relative = std::filesystem::relative(folder).string();
  for (const std::string& same : {relative, "./" + relative + "/", home.Folder() + "sub/../.",
                                  link.string() + "/"}) {
    EXPECT_EQ(SingleInstance::SocketPathFor(same), QFile::decodeName(path)) << same;
  }
  std::filesystem::remove(link);
  EXPECT_NE(SingleInstance::SocketPathFor(home.Folder() + "x/"), QFile::decodeName(path));
}

}  // namespace
}  // namespace varnelo
