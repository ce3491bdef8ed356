// Syncing through a real WebDAV server (rclone, started on the loopback address for each
// test) and through a tiny fake one for the faults a real server will not stage: two
// settings folders stand for two computers.
#include <gtest/gtest.h>

#include <QAction>
#include <QCryptographicHash>
#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QCheckBox>
#include <QLineEdit>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QStatusBar>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <utility>

#include "app/sync/cloud_shelf.h"
#include "app/sync/sync_part.h"
#include "app/sync/sync_session.h"
#include "platform/codepage.h"
#include "res/command_ids.h"
#include "store/book_places.h"
#include "store/chapter_rules.h"
#include "store/config_store.h"
#include "store/replace_rules.h"
#include "tests/gui/test_support.h"
#include "text/view_offsets.h"

namespace varnelo::sync {
namespace {

int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// `rclone serve webdav` over a folder of its own, on a free loopback port.
class DavServer {
 public:
  static bool Available() { return !QStandardPaths::findExecutable(QStringLiteral("rclone")).isEmpty(); }
  bool Start(const QString& user = QStringLiteral("reader"), const QString& password = QStringLiteral("secret")) {
    if (port_ == 0) port_ = FreePort();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral("rclone"),
                   {QStringLiteral("serve"), QStringLiteral("webdav"), root_.path(),
                    QStringLiteral("--addr"), QStringLiteral("127.0.0.1:%1").arg(port_),
                    QStringLiteral("--user"), user, QStringLiteral("--pass"), password,
                    QStringLiteral("--config"), QStringLiteral("/dev/null")});
    return testing::RunEventLoop(10000, [this] {
      QTcpSocket probe;
      probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
      return probe.waitForConnected(100);
    });
  }
  void Stop() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  ~DavServer() { Stop(); }
  QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
  std::filesystem::path Root() const { return root_.path().toStdString(); }

 private:
  QTemporaryDir root_;
  QProcess process_;
  int port_ = 0;
};

// A server that answers every request with one scripted reply (or never).
class FakeServer : public QObject {
 public:
  explicit FakeServer(std::function<QByteArray(const QByteArray& request)> answer) : answer_(std::move(answer)) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          request_ += socket->readAll();
          if (!request_.contains("\r\n\r\n")) return;
          const QByteArray reply = answer_(request_);
          request_.clear();
          if (reply == "close") socket->disconnectFromHost();
          else if (!reply.isEmpty()) socket->write(reply);
        });
      }
    });
  }
  QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

 private:
  QTcpServer server_;
  QByteArray request_;
  std::function<QByteArray(const QByteArray&)> answer_;
};

QByteArray Reply(int status, const QByteArray& body, const QByteArray& type = "text/plain") {
  return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type +
         "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

const QByteArray kFolderFound = Reply(
    207,
    "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/varnelo/</d:href>"
    "</d:response></d:multistatus>",
    "application/xml");

// One computer: a settings folder, its copy of the book, its session.
struct Computer {
  Computer(const std::string& name, const std::string& text) : text_(text) {
    std::filesystem::create_directories(folder_.path().toStdString());
    path_ = folder_.path().toStdString() + "/书.txt";
    std::ofstream(path_, std::ios::binary) << text;
    session_ = std::make_unique<SyncSession>(folder_.path().toStdString(), name);
  }
  std::string Settings() const { return folder_.path().toStdString() + "/Config.ini"; }
  BookContext At(std::int64_t now) const { return {Settings(), path_, text_, now, session_->Host()}; }
  void Connect(const QString& url, const QString& password = QStringLiteral("secret")) {
    session_->Client().SetAccount(url, QStringLiteral("varnelo"), QStringLiteral("reader"), password);
  }
  Outcome Sync(std::int64_t now) {
    std::optional<Outcome> got;
    session_->SyncBook(At(now), [&got](const Outcome& outcome) { got = outcome; });
    EXPECT_TRUE(testing::RunEventLoop(30000, [&got] { return got.has_value(); }));
    return got.value_or(Outcome{Failure::Other, -1, {}, {}, false});
  }
  void Place(std::int64_t offset) {
    BookPlaces places;
    places.SetSettingsPath(Settings());
    places.Load();
    ASSERT_TRUE(places.Keep(path_, offset, 0));
  }
  void Record(const std::string& total) {
    CConfigStore store;
    store.SetSettingsPath(Settings());
    ASSERT_TRUE(store.SaveReadRecord(1, 1, "书.txt", total, "2026/1/1 8:00", "2026/1/1 9:00"));
  }
  std::string RecordTotal() const {
    CConfigStore store;
    store.SetSettingsPath(Settings());
    store.LoadReadRecords();
    return store.ReadRecordCount() == 0 ? std::string() : store.ReadRecord(0).total;
  }
  LocalState State() const { return LoadLocal(session_->StateFile(BookKey(text_))); }

  QTemporaryDir folder_;
  std::string text_;
  std::string path_;
  std::unique_ptr<SyncSession> session_;
};

std::string SmallBook() {
  std::string text;
  for (int k = 1; k <= 300; ++k) text += "Chapter " + std::to_string(k) + "\r\nSome text here.\r\n";
  return text;
}

TEST(SyncWords, TheOfferSaysWhenInTheReadersOwnTerms) {
  const std::int64_t now = QDateTime(QDate(2026, 3, 10), QTime(21, 0)).toSecsSinceEpoch();
  const struct {
    QDateTime then;
    QString words;
  } rows[] = {
      {QDateTime(QDate(2026, 3, 10), QTime(8, 10)), QStringLiteral("另一台电脑上读到 第23回（今天 08:10），跳过去？")},
      {QDateTime(QDate(2026, 3, 9), QTime(23, 59)), QStringLiteral("另一台电脑上读到 第23回（昨天 23:59），跳过去？")},
      {QDateTime(QDate(2025, 12, 31), QTime(7, 5)), QStringLiteral("另一台电脑上读到 第23回（12月31日 07:05），跳过去？")},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(OfferText(QStringLiteral("第23回"), row.then.toSecsSinceEpoch(), now), row.words)
        << row.words.toStdString();
  }
}

TEST(SyncWords, AListingNamesTheFilesBelowTheFolderOnly) {
  const QByteArray xml =
      "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\">"
      "<D:response><D:href>/dav/varnelo/</D:href></D:response>"
      "<D:response><D:href>http://h/dav/varnelo/a%20b.sync</D:href></D:response>"
      "<D:response><D:href>/dav/varnelo/sub/</D:href></D:response>"
      "<D:response><D:href>/dav/other.sync</D:href></D:response></D:multistatus>";
  QStringList names;
  ASSERT_TRUE(ParseListing(xml, QStringLiteral("/dav/varnelo/"), names));
  EXPECT_EQ(names, QStringList{QStringLiteral("a b.sync")});
  EXPECT_FALSE(ParseListing("<html><body>login</body></html>", QStringLiteral("/"), names));
  EXPECT_FALSE(ParseListing(xml.left(xml.size() - 10), QStringLiteral("/dav/varnelo/"), names));
}

TEST(SyncWords, AShelfNameGivesBackItsTitleAndKeyAndNothingElseIsABook) {
  const std::string key = "0123456789abcdef-4321";
  QString title;
  std::string found;
  ASSERT_TRUE(ParseShelfName(ShelfName(QStringLiteral("三国~演义/上"), key), title, found));
  EXPECT_EQ(title, QStringLiteral("三国_演义_上"));
  EXPECT_EQ(found, key);
  const QString name = ShelfName(QStringLiteral("书"), key);
  for (const QString& other : {name + QStringLiteral(".1a2b3c4d.part"), QStringLiteral("书.txt"),
                               QStringLiteral("书~0123456789abcdef.txt"), QStringLiteral("书~0123456789abcdeg-1.txt"),
                               QStringLiteral("~0123456789abcdef-1.txt"), QStringLiteral("sub/") + name}) {
    EXPECT_FALSE(ParseShelfName(other, title, found)) << other.toStdString();
  }
}

#define NEED_RCLONE()                                                                  \
  if (!DavServer::Available()) GTEST_SKIP() << "rclone is not installed (tools/setup.sh installs it)"

TEST(SyncServer, TwoComputersShareTheirBookAndKeepWhatEachDidOffline) {
  NEED_RCLONE();
  DavServer server;
  ASSERT_TRUE(server.Start());
  Computer home("home", SmallBook());
  Computer office("office", SmallBook());
  home.Connect(server.Url());
  office.Connect(server.Url());

  ASSERT_EQ(home.Sync(900).failure, Failure::None);  // the book opens
  home.Place(2000);
  CConfigStore homeStore;
  homeStore.SetSettingsPath(home.Settings());
  ASSERT_EQ(homeStore.AddBookmark(home.path_, "书", 3, "章节", 2, 1500, "Chapter 40"),
            CConfigStore::AddResult::Added);
  home.Record("600");
  ASSERT_EQ(home.Sync(1000).failure, Failure::None);
  EXPECT_TRUE(std::filesystem::exists(server.Root() / "varnelo" / (BookKey(home.text_) + ".sync")));

  const Outcome first = office.Sync(1100);
  ASSERT_EQ(first.failure, Failure::None);
  ASSERT_TRUE(first.offer);
  EXPECT_EQ(first.offer->offset, 2000);
  CConfigStore officeStore;
  officeStore.SetSettingsPath(office.Settings());
  officeStore.LoadBookmarks();
  ASSERT_EQ(officeStore.BookmarkCount(), 1);
  EXPECT_EQ(officeStore.Bookmark(1).offset, 1500);
  EXPECT_EQ(office.RecordTotal(), "600");

  // Offline, both read on: each change waits in its own settings folder.
  server.Stop();
  home.Record("650");
  home.Place(2500);
  office.Record("630");
  office.Place(3000);
  EXPECT_EQ(home.Sync(2000).failure, Failure::NoNetwork);
  EXPECT_EQ(office.Sync(2100).failure, Failure::NoNetwork);
  EXPECT_TRUE(home.State().pending);
  EXPECT_TRUE(office.State().pending);

  ASSERT_TRUE(server.Start());
  std::optional<Outcome> sent;
  home.session_->SyncRulesAndPending([&sent](const Outcome& o) { sent = o; });  // at start
  ASSERT_TRUE(testing::RunEventLoop(30000, [&sent] { return sent.has_value(); }));
  EXPECT_EQ(sent->failure, Failure::None);
  EXPECT_FALSE(home.State().pending);
  EXPECT_EQ(office.Sync(3000).failure, Failure::None);
  const Outcome last = home.Sync(3100);
  EXPECT_EQ(home.RecordTotal(), "680") << "600 + 50 + 30: each period once";
  EXPECT_EQ(office.RecordTotal(), "680");
  ASSERT_TRUE(last.offer) << "office's place is the newer";
  EXPECT_EQ(last.offer->offset, 3000);
  EXPECT_FALSE(office.State().pending);
}

// Two computers write the same document at the same moment: home has read it and is about
// to write when office writes. Neither change may be lost, whether the server checks the
// version on the write or the folder has to be locked for it (rclone: the second round).
TEST(SyncServer, TwoComputersWritingAtOnceLoseNoChange) {
  NEED_RCLONE();
  DavServer server;
  ASSERT_TRUE(server.Start());
  Computer home("home", SmallBook());
  Computer office("office", SmallBook());
  home.Connect(server.Url());
  office.Connect(server.Url());
  const auto mark = [](Computer& c, std::int64_t offset) {
    CConfigStore store;
    store.SetSettingsPath(c.Settings());
    ASSERT_EQ(store.AddBookmark(c.path_, "书", 1, "章节", 0, offset, "m"), CConfigStore::AddResult::Added);
  };
  ASSERT_EQ(home.Sync(900).failure, Failure::None);
  mark(home, 100);
  ASSERT_EQ(home.Sync(1000).failure, Failure::None);
  ASSERT_EQ(office.Sync(1100).failure, Failure::None);

  // Home's first write of each round waits; its writes after that go at once.
  std::function<void()> paused;
  bool hold = false;
  home.session_->SetBeforeWrite([&paused, &hold](std::function<void()> write) {
    if (!hold) return write();
    hold = false;
    paused = std::move(write);
  });
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const std::int64_t now = 2000 + round * 1000;
    mark(home, 1000 + round * 10);
    mark(office, 2000 + round * 10);
    std::optional<Outcome> homeDone;
    std::optional<Outcome> officeDone;
    hold = true;
    home.session_->SyncBook(home.At(now), [&homeDone](const Outcome& o) { homeDone = o; });
    ASSERT_TRUE(testing::RunEventLoop(20000, [&paused] { return static_cast<bool>(paused); }));
    office.session_->SyncBook(office.At(now + 1), [&officeDone](const Outcome& o) { officeDone = o; });
    testing::RunEventLoop(1500, [&officeDone] { return officeDone.has_value(); });
    // Under a lock the other computer waits for it; with versions checked it writes first.
    EXPECT_EQ(officeDone.has_value(), !home.session_->Client().ConditionsRefused());
    std::function<void()> write = std::move(paused);
    paused = nullptr;
    write();
    ASSERT_TRUE(testing::RunEventLoop(30000, [&] { return homeDone && officeDone; }));
    EXPECT_EQ(homeDone->failure, Failure::None);
    EXPECT_EQ(officeDone->failure, Failure::None);
    const std::optional<Document> kept =
        Parse(testing::FileBytes((server.Root() / "varnelo" / (BookKey(home.text_) + ".sync")).string()));
    ASSERT_TRUE(kept);
    for (std::int64_t offset : {std::int64_t{100}, 1000 + round * std::int64_t{10}, 2000 + round * std::int64_t{10}}) {
      EXPECT_EQ(kept->items.count(kMarkPrefix + std::to_string(CharacterIndexOf(home.text_, offset))), 1u)
          << "the bookmark at " << offset << " was lost";
    }
    EXPECT_FALSE(home.State().pending);
    EXPECT_FALSE(office.State().pending);
  }
  EXPECT_TRUE(home.session_->Client().ConditionsRefused()) << "rclone checks no ETag on MOVE";
}

TEST(SyncServer, EveryFailureSaysWhyAndKeepsTheChange) {
  NEED_RCLONE();
  DavServer real;
  ASSERT_TRUE(real.Start());
  // The folder is found, the document is missing: then the scripted fault.
  const auto faultAfterGet = [](QByteArray fault) {
    return [fault](const QByteArray& request) -> QByteArray {
      if (request.startsWith("PROPFIND")) return kFolderFound;
      if (request.startsWith("GET")) return Reply(404, "");
      return fault;
    };
  };
  FakeServer full(faultAfterGet(Reply(507, "")));
  FakeServer gone(faultAfterGet("close"));  // stopped in the middle of the round
  FakeServer notXml([](const QByteArray&) { return Reply(200, "<html>hello</html>", "text/html"); });
  FakeServer badDocument([](const QByteArray& request) -> QByteArray {
    return request.startsWith("PROPFIND") ? kFolderFound : Reply(200, "<html>login</html>", "text/html");
  });
  FakeServer slow([](const QByteArray&) { return QByteArray(); });
  struct Row {
    const char* what;
    QString url;
    QString password;
    Failure expected;
  };
  const Row rows[] = {
      {"wrong password", real.Url(), QStringLiteral("wrong"), Failure::Unauthorized},
      {"disk full", full.Url(), {}, Failure::Full},
      {"server gone mid-sync", gone.Url(), {}, Failure::NoNetwork},
      {"a folder reply not XML", notXml.Url(), {}, Failure::BadReply},
      {"a document not ours", badDocument.Url(), {}, Failure::BadReply},
      {"slow server", slow.Url(), {}, Failure::Timeout},
      {"nothing listening", QStringLiteral("http://127.0.0.1:%1").arg(FreePort()), {}, Failure::NoNetwork},
  };
  for (const Row& row : rows) {
    Computer c("pc", SmallBook());
    c.Connect(row.url, row.password.isEmpty() ? QStringLiteral("secret") : row.password);
    c.session_->Client().SetTimeout(500);
    c.Sync(100);  // the book opens
    c.Place(4321);
    const Outcome outcome = c.Sync(200);
    EXPECT_EQ(outcome.failure, row.expected) << row.what;
    EXPECT_FALSE(FailureMessage(outcome.failure, outcome.status).isEmpty()) << row.what;
    const LocalState kept = c.State();
    EXPECT_TRUE(kept.pending) << row.what;
    EXPECT_EQ(kept.doc.items.count(kPlace) ? kept.doc.items.at(kPlace).value : std::string(),
              std::to_string(CharacterIndexOf(c.text_, 4321)))
        << row.what;
  }
}

// Passwords kept in memory, as the desktop's keyring would keep them.
class MemoryPasswords : public PasswordService {
 public:
  void Read(const QString&, std::function<void(bool, const QString&)> done) override { done(true, QStringLiteral("secret")); }
  void Write(const QString&, const QString&, std::function<void(bool)> done) override { done(true); }
  QString Ask(QWidget*, const QString&) override { return QStringLiteral("secret"); }
};

// The reader asks `service` for passwords while this lives, however the test ends.
class PasswordsInSlot {
 public:
  explicit PasswordsInSlot(PasswordService& service) : previous_(std::exchange(PasswordSlot(), &service)) {}
  ~PasswordsInSlot() { PasswordSlot() = previous_; }
  PasswordsInSlot(const PasswordsInSlot&) = delete;
  PasswordsInSlot& operator=(const PasswordsInSlot&) = delete;

 private:
  PasswordService* previous_;
};

// Read to a chapter in one reader, quit; open another copy in another reader: the offer
// names that chapter and takes the reader there. The copies differ in encoding and folder.
TEST(SyncReaders, AChapterReadOnOneIsOfferedOnTheOther) {
  NEED_RCLONE();
  DavServer server;
  ASSERT_TRUE(server.Start());
  MemoryPasswords passwords;
  PasswordsInSlot inSlot(passwords);
  const std::string gbk = testing::FileBytes(testing::CorpusBook("三国演义.txt"));
  const std::string utf8 = [&gbk] {
    const std::u16string text = DecodeBookBytes(gbk);
    return QString::fromStdU16String(text).toUtf8().toStdString();
  }();
  const auto configure = [&server](const std::string& config) {
    testing::SetKey(ConfigKey::SyncOn, "1", config);
    testing::SetKey(ConfigKey::SyncServer, server.Url().toStdString(), config);
    testing::SetKey(ConfigKey::SyncUser, "reader", config);
  };
  std::int64_t readTo = 0;  // as a character index
  QString chapterThere;
  {
    testing::ReaderSession home;
    home.clock_.now = std::time(nullptr);
    configure(home.home_.ConfigPath());
    ASSERT_TRUE(home.StartReader());
    home.OpenByKeys(testing::CorpusBook("三国演义.txt"));
    ASSERT_EQ(home.view_->CurrentPath(), testing::CorpusBook("三国演义.txt"));
    home.Action(cmd::kChapterPaging)->trigger();  // the other reader pages by lines
    for (int k = 0; k < 23; ++k) testing::PressKey(home.view_->Pane(), QKeyCombination(Qt::Key_Right));
    readTo = CharacterIndexOf(home.view_->Text(), TopOfPaneOffset(*home.view_));
    chapterThere = QString::fromStdU16String(
        DecodeBookBytes(home.view_->Pages().TitleOf(home.view_->Text(), home.view_->CurrentPage()))).trimmed();
    ASSERT_FALSE(chapterThere.isEmpty());
    home.app_.MainFrame()->close();
  }
  // The server's word on the place: its value and the computer it came from.
  const auto serverPlace = [&server]() -> Item {
    for (const auto& entry : std::filesystem::directory_iterator(server.Root() / "varnelo")) {
      const std::optional<Document> doc = Parse(testing::FileBytes(entry.path().string()));
      if (doc && doc->items.count(kPlace) != 0) return doc->items.at(kPlace);
    }
    return {};
  };
  const Item placed = serverPlace();
  ASSERT_EQ(placed.value, std::to_string(readTo));
  // Another computer opens its copy, looks, and quits without taking the offer; a third takes it.
  for (const bool take : {false, true}) {
    testing::ReaderSession office;
    office.clock_.now = std::time(nullptr) + 60;
    configure(office.home_.ConfigPath());
    const std::string copy = office.home_.Folder() + "书库/sanguo.txt";
    std::filesystem::create_directories(office.home_.Folder() + "书库");
    std::ofstream(copy, std::ios::binary) << utf8;
    ASSERT_TRUE(office.StartReader());
    office.OpenByKeys(copy);
    ASSERT_EQ(office.view_->CurrentPath(), copy);
    const int opened = office.view_->CurrentPage();
    auto* offer = office.app_.MainFrame()->findChild<QFrame*>(QStringLiteral("syncOffer"));
    ASSERT_NE(offer, nullptr);
    ASSERT_TRUE(testing::RunEventLoop(20000, [offer] { return offer->isVisible(); }));
    const QString text = offer->findChild<QLabel*>()->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("另一台电脑上读到 ") + chapterThere + QStringLiteral("（今天 "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("），跳过去？"))) << text.toStdString();
    EXPECT_EQ(office.view_->CurrentPage(), opened) << "the offer does not move the page by itself";
    if (!take) {
      office.app_.MainFrame()->close();
      EXPECT_EQ(serverPlace(), placed) << "a book only opened and closed sends no place";
      continue;
    }
    offer->findChild<QPushButton*>(QStringLiteral("syncOfferTake"))->click();
    const QString title = QString::fromStdU16String(DecodeBookBytes(
        office.view_->Pages().TitleOf(office.view_->Text(), office.view_->CurrentPage()))).trimmed();
    EXPECT_EQ(title, chapterThere);
    EXPECT_EQ(CharacterIndexOf(office.view_->Text(), TopOfPaneOffset(*office.view_)), readTo);
    office.app_.MainFrame()->close();
  }
}

// Another computer's new chapter rule and replace rule, brought by "立即同步": the chapter
// rule menu lists the rule and the open page is cleaned by the replace rule at once.
TEST(SyncReaders, RulesFromAnotherComputerShowAtOnce) {
  NEED_RCLONE();
  DavServer server;
  ASSERT_TRUE(server.Start());
  MemoryPasswords passwords;
  PasswordsInSlot inSlot(passwords);
  testing::ReaderSession reader;
  const std::string config = reader.home_.ConfigPath();
  testing::SetKey(ConfigKey::SyncOn, "1", config);
  testing::SetKey(ConfigKey::SyncServer, server.Url().toStdString(), config);
  testing::SetKey(ConfigKey::SyncUser, "reader", config);
  testing::SetKey(ConfigKey::CleanFlag, "1", config);
  const std::string book = reader.home_.Folder() + "书.txt";
  std::ofstream(book, std::ios::binary) << SmallBook();
  ASSERT_TRUE(reader.StartReader());
  reader.OpenByKeys(book);
  auto* mark = reader.app_.MainFrame()->findChild<QLabel*>(QStringLiteral("syncMark"));
  ASSERT_TRUE(testing::RunEventLoop(20000, [mark] { return mark->text() == QStringLiteral("已同步"); }));
  ASSERT_TRUE(reader.view_->Pane()->toPlainText().contains(QStringLiteral("Some text here.")));

  Computer other("other", SmallBook());
  other.Connect(server.Url());
  UserChapterRules rules;
  rules.SetSettingsPath(other.Settings());
  ASSERT_TRUE(rules.Save({UserChapterRule{1, "章首", "^Chapter"}}));
  ASSERT_TRUE(WriteReplaceRules({StoredRule{true, false, "", "Some text here.", "换过的字"}}, other.Settings()));
  std::optional<Outcome> sent;
  other.session_->SyncRulesAndPending([&sent](const Outcome& o) { sent = o; });
  ASSERT_TRUE(testing::RunEventLoop(30000, [&sent] { return sent.has_value(); }));
  ASSERT_EQ(sent->failure, Failure::None);

  const auto menuTexts = [&reader] {
    QStringList texts;
    for (QAction* action : reader.app_.MainFrame()->StoreMenuOf(StoreMenu::ChapterRules)->actions())
      texts << action->text();
    return texts;
  };
  ASSERT_FALSE(menuTexts().contains(QStringLiteral("章首")));
  // A change of this reader's own goes up in the same round, so the round writes (and on
  // rclone its first write is refused and tried again): what came in must still show.
  ASSERT_TRUE(WriteReplaceRules({StoredRule{true, false, "", "本机的规则", ""}}, config));
  EXPECT_TRUE(testing::WithModalDialog([&] { reader.Action(cmd::kSync)->trigger(); }, [](QDialog& dialog) {
    dialog.findChild<QPushButton*>(QStringLiteral("syncNow"))->click();
  }));
  EXPECT_TRUE(testing::RunEventLoop(20000, [&] { return menuTexts().contains(QStringLiteral("章首")); }))
      << menuTexts().join(QLatin1Char(',')).toStdString();
  const QString page = reader.view_->Pane()->toPlainText();
  EXPECT_TRUE(page.contains(QStringLiteral("换过的字"))) << page.left(200).toStdString();
  EXPECT_FALSE(page.contains(QStringLiteral("Some text here."))) << page.left(200).toStdString();
  reader.app_.MainFrame()->close();
}

// With the 书架 on, a book read on one computer goes up whole; another lists it in 文件 →
// 云书架..., fetches the same bytes and opens it where the first left off.
TEST(SyncReaders, ABookFromTheShelfOpensWhereTheOtherComputerLeftOff) {
  NEED_RCLONE();
  DavServer server;
  ASSERT_TRUE(server.Start());
  MemoryPasswords passwords;
  PasswordsInSlot inSlot(passwords);
  const auto configure = [&server](const std::string& config, bool shelf) {
    testing::SetKey(ConfigKey::SyncOn, "1", config);
    testing::SetKey(ConfigKey::SyncServer, server.Url().toStdString(), config);
    testing::SetKey(ConfigKey::SyncUser, "reader", config);
    testing::SetKey(ConfigKey::SyncShelf, shelf ? "1" : "0", config);
  };
  const std::string book = testing::CorpusBook("三国演义.txt");
  const std::filesystem::path shelf = server.Root() / "varnelo" / "书架";
  std::int64_t readTo = 0;
  {
    testing::ReaderSession home;
    configure(home.home_.ConfigPath(), true);
    ASSERT_TRUE(home.StartReader());
    // Another computer's round holds the folder's lock as the book opens: the server refuses
    // the upload with 423 until it lets go.
    std::filesystem::create_directories(server.Root() / "varnelo");
    WebDavClient other;
    other.SetAccount(server.Url(), QStringLiteral("varnelo"), QStringLiteral("reader"), QStringLiteral("secret"));
    QByteArray token;
    other.Lock(30, [&token](const DavResult& locked) { token = locked.lockToken; });
    ASSERT_TRUE(testing::RunEventLoop(10000, [&token] { return !token.isEmpty(); }));
    QTimer::singleShot(1500, [&other, &token] { other.Unlock(token, [](const DavResult&) {}); });
    home.OpenByKeys(book);
    const auto shelved = [&shelf] {
      std::error_code error;
      int books = 0;
      for (const auto& entry : std::filesystem::directory_iterator(shelf, error)) {
        if (entry.path().extension() != ".txt" || entry.path().filename().string().front() == '.') return false;
        ++books;
      }
      return books == 1;
    };
    ASSERT_TRUE(testing::RunEventLoop(30000, shelved)) << home.app_.MainFrame()->statusBar()->currentMessage().toStdString();
    for (int k = 0; k < 7; ++k) testing::PressKey(home.view_->Pane(), QKeyCombination(Qt::Key_Right));
    readTo = CharacterIndexOf(home.view_->Text(), TopOfPaneOffset(*home.view_));
    ASSERT_GT(readTo, 0);
    home.app_.MainFrame()->close();
  }
  testing::ReaderSession office;
  configure(office.home_.ConfigPath(), false);
  ASSERT_TRUE(office.StartReader());
  QStringList listed;
  QTimer pick;
  QObject::connect(&pick, &QTimer::timeout, [&listed] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || dialog->windowTitle() != QStringLiteral("云书架")) return;
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("shelfList"));
    for (int k = 0; list != nullptr && k < list->topLevelItemCount(); ++k) {
      listed << list->topLevelItem(k)->text(0) + QLatin1Char('|') + list->topLevelItem(k)->text(1);
    }
    dialog->findChild<QPushButton*>(QStringLiteral("shelfTake"))->click();
  });
  pick.start(20);
  office.Action(cmd::kCloudShelf)->trigger();
  const std::string fetched = office.home_.Folder() + "云书架/三国演义.txt";
  ASSERT_TRUE(testing::RunEventLoop(30000, [&] { return office.view_->CurrentPath() == fetched; }));
  pick.stop();
  EXPECT_EQ(listed, QStringList{QStringLiteral("三国演义|") + SizeText(static_cast<qint64>(std::filesystem::file_size(book)))});
  EXPECT_TRUE(testing::FileBytes(fetched) == testing::FileBytes(book)) << "the same bytes";
  EXPECT_TRUE(testing::RunEventLoop(20000, [&] {
    return CharacterIndexOf(office.view_->Text(), TopOfPaneOffset(*office.view_)) == readTo;
  })) << "opens at the other computer's place";
  for (const auto& entry : std::filesystem::directory_iterator(office.home_.Folder() + "云书架")) {
    EXPECT_EQ(entry.path().filename().string(), "三国演义.txt") << "nothing half-written is left";
  }
  office.app_.MainFrame()->close();
}

// Passwords handed to the keyring, for the dialog's test.
class RecordingPasswords : public PasswordService {
 public:
  void Read(const QString&, std::function<void(bool, const QString&)> done) override { done(false, {}); }
  void Write(const QString& account, const QString& password, std::function<void(bool)> done) override {
    written.emplace_back(account, password);
    done(true);
  }
  QString Ask(QWidget*, const QString&) override { return {}; }
  std::vector<std::pair<QString, QString>> written;
};

TEST(SyncReaders, TheDialogKeepsThePasswordOutOfConfigIni) {
  RecordingPasswords passwords;
  PasswordsInSlot inSlot(passwords);
  testing::ReaderSession reader;
  ASSERT_TRUE(reader.StartReader());
  const bool shown = testing::WithModalDialog([&] { reader.Action(cmd::kSync)->trigger(); }, [](QDialog& dialog) {
    dialog.findChild<QCheckBox*>(QStringLiteral("syncOn"))->setChecked(true);
    dialog.findChild<QLineEdit*>(QStringLiteral("syncServer"))->setText(QStringLiteral("http://127.0.0.1:9/dav/"));
    dialog.findChild<QLineEdit*>(QStringLiteral("syncUser"))->setText(QStringLiteral("reader"));
    dialog.findChild<QLineEdit*>(QStringLiteral("syncPassword"))->setText(QStringLiteral("pa55-秘密"));
    dialog.accept();
  });
  EXPECT_TRUE(shown);
  const std::string config = testing::FileBytes(reader.home_.ConfigPath());
  EXPECT_NE(config.find("Server=http://127.0.0.1:9/dav/"), std::string::npos) << config;
  EXPECT_NE(config.find("Enabled=1"), std::string::npos) << config;
  EXPECT_EQ(config.find("pa55"), std::string::npos) << config;
  ASSERT_EQ(passwords.written.size(), 1u);
  EXPECT_EQ(passwords.written[0], std::make_pair(QStringLiteral("reader@127.0.0.1:9"), QStringLiteral("pa55-秘密")));
  reader.app_.MainFrame()->close();
}

// A certificate nobody vouches for is refused with its fingerprint, and passes only once
// that fingerprint is the one the user chose to trust.
TEST(SyncServer, AnUntrustedCertificateIsRefusedUntilTheUserTrustsIt) {
  QTemporaryDir folder;
  const QString key = folder.filePath(QStringLiteral("key.pem"));
  const QString cert = folder.filePath(QStringLiteral("cert.pem"));
  QProcess openssl;
  openssl.start(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                 QStringLiteral("-nodes"), QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert,
                 QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
  if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) GTEST_SKIP() << "openssl could not make a certificate";
  QFile keyFile(key);
  QFile certFile(cert);
  ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly));
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
  const QSslCertificate certificate(certFile.readAll());
  tls.setLocalCertificate(certificate);
  QSslServer server;
  server.setSslConfiguration(tls);
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&server] {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
        if (socket->readAll().contains("\r\n\r\n")) socket->write(Reply(401, ""));
      });
    }
  });
  WebDavClient client;
  client.SetAccount(QStringLiteral("https://127.0.0.1:%1").arg(server.serverPort()), QStringLiteral("varnelo"),
                    QStringLiteral("reader"), QStringLiteral("secret"));
  const auto ask = [&client] {
    std::optional<DavResult> got;
    client.Get(QStringLiteral("x.sync"), [&got](const DavResult& r) { got = r; });
    EXPECT_TRUE(testing::RunEventLoop(20000, [&got] { return got.has_value(); }));
    return got.value_or(DavResult{});
  };
  const DavResult refused = ask();
  EXPECT_EQ(refused.failure, Failure::Certificate);
  const QByteArray digest = certificate.digest(QCryptographicHash::Sha256).toHex().toUpper();
  EXPECT_EQ(QString(refused.fingerprint).remove(QLatin1Char(':')), QString::fromLatin1(digest));
  client.SetTrustedFingerprint(ask().fingerprint);
  EXPECT_EQ(ask().failure, Failure::Unauthorized) << "trusted: the request reached the server";
}

}  // namespace
}  // namespace varnelo::sync
