#include "app/sync/sync_part.h"

#include <ctime>
#include <filesystem>

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFormLayout>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <qt6keychain/keychain.h>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "store/book_places.h"
#include "store/config_store.h"
#include "store/config_schema.h"
#include "text/book_engine.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo::sync {
namespace {

constexpr char kKeyringService[] = "Varnelo";

class KeyringPasswords : public PasswordService {
 public:
  void Read(const QString& account, std::function<void(bool, const QString&)> done) override {
    auto* job = new QKeychain::ReadPasswordJob(QLatin1String(kKeyringService));
    job->setKey(account);
    QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* finished) {
      auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
      done(read->error() == QKeychain::NoError, read->textData());
    });
    job->start();
  }
  void Write(const QString& account, const QString& password, std::function<void(bool)> done) override {
    auto* job = new QKeychain::WritePasswordJob(QLatin1String(kKeyringService));
    job->setKey(account);
    job->setTextData(password);
    QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* finished) {
      done(finished->error() == QKeychain::NoError);
    });
    job->start();
  }
  QString Ask(QWidget* owner, const QString& account) override {
    bool ok = false;
    const QString text = QInputDialog::getText(
        owner, QStringLiteral("同步"),
        QStringLiteral("没有可用的密钥环，请输入 %1 的密码（只在本次运行中记住）：").arg(account),
        QLineEdit::Password, QString(), &ok);
    return ok ? text : QString();
  }
};

std::string SettingsFolderOf(const std::string& settingsPath) {
  return std::filesystem::path(settingsPath).parent_path().string();
}

// The fingerprint trusted for a server, from "<host:port> <fingerprint>|..." entries.
QString TrustedFor(const std::string& trusted, const QString& server) {
  for (const QString& entry : QString::fromStdString(trusted).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
    const qsizetype space = entry.indexOf(QLatin1Char(' '));
    if (space > 0 && entry.left(space) == server) return entry.mid(space + 1);
  }
  return QString();
}

QString ServerId(const std::string& server) {
  const QUrl url(QString::fromStdString(server));
  return url.host() + QLatin1Char(':') + QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

}  // namespace

PasswordService*& PasswordSlot() {
  static KeyringPasswords keyring;
  static PasswordService* slot = &keyring;
  return slot;
}

QString OfferText(const QString& chapter, std::int64_t time, std::int64_t now) {
  const QDateTime then = QDateTime::fromSecsSinceEpoch(time);
  const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
  QString when;
  if (then.date() == today) {
    when = QStringLiteral("今天 ") + then.toString(QStringLiteral("HH:mm"));
  } else if (then.date() == today.addDays(-1)) {
    when = QStringLiteral("昨天 ") + then.toString(QStringLiteral("HH:mm"));
  } else {
    when = QStringLiteral("%1月%2日 %3").arg(then.date().month()).arg(then.date().day())
               .arg(then.toString(QStringLiteral("HH:mm")));
  }
  return QStringLiteral("另一台电脑上读到 %1（%2），跳过去？").arg(chapter, when);
}

// ---- The dialog ----

SyncDialog::SyncDialog(const SyncSettings& settings, const QString& password, QWidget* parent)
    : QDialog(parent), original_(settings) {
  setWindowTitle(QStringLiteral("同步"));
  auto* form = new QFormLayout(this);
  on_ = new QCheckBox(QStringLiteral("在各台电脑之间同步阅读位置、书签和阅读记录"), this);
  on_->setObjectName(QStringLiteral("syncOn"));
  on_->setChecked(settings.on != 0);
  server_ = new QLineEdit(QString::fromStdString(settings.server), this);
  server_->setObjectName(QStringLiteral("syncServer"));
  server_->setPlaceholderText(QStringLiteral("https://example.com/remote.php/dav/files/me"));
  user_ = new QLineEdit(QString::fromStdString(settings.user), this);
  user_->setObjectName(QStringLiteral("syncUser"));
  password_ = new QLineEdit(password, this);
  password_->setObjectName(QStringLiteral("syncPassword"));
  password_->setEchoMode(QLineEdit::Password);
  folder_ = new QLineEdit(QString::fromStdString(settings.folder), this);
  folder_->setObjectName(QStringLiteral("syncFolder"));
  shelf_ = new QCheckBox(QStringLiteral("把读过的书也放到服务器的书架上（文件 → 云书架）"), this);
  shelf_->setObjectName(QStringLiteral("syncShelf"));
  shelf_->setChecked(settings.shelf != 0);
  form->addRow(on_);
  form->addRow(QStringLiteral("服务器地址："), server_);
  form->addRow(QStringLiteral("用户名："), user_);
  form->addRow(QStringLiteral("密码："), password_);
  form->addRow(QStringLiteral("远程文件夹："), folder_);
  form->addRow(shelf_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  QPushButton* now = buttons->addButton(QStringLiteral("立即同步"), QDialogButtonBox::ActionRole);
  now->setObjectName(QStringLiteral("syncNow"));
  connect(now, &QPushButton::clicked, this, [this] {
    accept();
    emit SyncNowRequested();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

SyncSettings SyncDialog::Settings() const {
  SyncSettings settings = original_;
  settings.on = on_->isChecked() ? 1 : 0;
  settings.server = server_->text().trimmed().toStdString();
  settings.user = user_->text().trimmed().toStdString();
  settings.folder = folder_->text().trimmed().toStdString();
  settings.shelf = shelf_->isChecked() ? 1 : 0;
  return settings;
}

QString SyncDialog::Password() const { return password_->text(); }

// ---- The part ----

SyncPart::SyncPart(CVarneloView& view, QMainWindow& frame) : view_(view), frame_(frame) {
  view_.Commands().Add(cmd::kSync, [this](int) { OpenDialog(); });
  view_.Commands().Add(cmd::kCloudShelf, [this](int) { OpenShelf(); });
  mark_ = new QLabel(&frame_);
  mark_->setObjectName(QStringLiteral("syncMark"));
  mark_->hide();  // into the status bar at the first sync, after the frame's own panes

  offer_ = new QFrame(&view_);
  offer_->setObjectName(QStringLiteral("syncOffer"));
  offer_->setFrameShape(QFrame::StyledPanel);
  offer_->setAutoFillBackground(true);
  auto* row = new QHBoxLayout(offer_);
  offerText_ = new QLabel(offer_);
  auto* take = new QPushButton(QStringLiteral("跳过去"), offer_);
  take->setObjectName(QStringLiteral("syncOfferTake"));
  auto* ignore = new QPushButton(QStringLiteral("不用了"), offer_);
  ignore->setObjectName(QStringLiteral("syncOfferIgnore"));
  row->addWidget(offerText_);
  row->addWidget(take);
  row->addWidget(ignore);
  offer_->hide();
  connect(take, &QPushButton::clicked, this, [this] {
    offer_->hide();
    if (takeOffer_) takeOffer_();
  });
  connect(ignore, &QPushButton::clicked, offer_, &QWidget::hide);

  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, &SyncPart::SendSettled);
}

SyncPart::~SyncPart() = default;

QString SyncPart::Account() const {
  const SyncSettings& s = view_.Settings().config.sync;
  return QString::fromStdString(s.user) + QLatin1Char('@') + ServerId(s.server);
}

bool SyncPart::Configured() const {
  const SyncSettings& s = view_.Settings().config.sync;
  return s.on != 0 && !s.server.empty();
}

void SyncPart::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  ConfigValues& config = view_.Settings().config;
  const std::string& path = view_.Store().SettingsPath();
  for (ConfigKey key : {ConfigKey::SyncOn, ConfigKey::SyncServer, ConfigKey::SyncUser,
                        ConfigKey::SyncFolder, ConfigKey::SyncComputer, ConfigKey::SyncTrusted,
                        ConfigKey::SyncShelf}) {
    ReadKey(config, key, path);
  }
  if (config.sync.computer.empty()) {
    // Two settings folders on one machine are two computers to each other.
    config.sync.computer = CleanHost(QSysInfo::machineHostName().toStdString()) + "-" +
                           QString::number(QRandomGenerator::global()->generate() % 0x10000, 16).toStdString();
    WriteKey(config, ConfigKey::SyncComputer, path);
  }
  // The rules and whatever waited since the last run; the book returned to is pulled as it
  // loads.
  QTimer::singleShot(0, this, [this] {
    if (Configured()) SyncRulesAndPending(false);
  });
}

void SyncPart::EnsureSession() {
  if (session_) return;
  session_ = std::make_unique<SyncSession>(SettingsFolderOf(view_.Store().SettingsPath()),
                                           view_.Settings().config.sync.computer);
}

void SyncPart::Start(std::function<void()> then) {
  const SyncSettings& s = view_.Settings().config.sync;
  EnsureSession();
  const auto go = [this, then] {
    const SyncSettings& now = view_.Settings().config.sync;
    session_->Client().SetAccount(QString::fromStdString(now.server), QString::fromStdString(now.folder),
                                  QString::fromStdString(now.user), password_);
    session_->Client().SetTrustedFingerprint(TrustedFor(now.trusted, ServerId(now.server)));
    then();
  };
  if (passwordKnown_ || s.user.empty()) {
    go();
    return;
  }
  PasswordSlot()->Read(Account(), [this, go](bool found, const QString& password) {
    if (found) {
      password_ = password;
      passwordKnown_ = true;
    } else if (!asked_) {
      // No keyring: asked once this run, kept in memory only.
      asked_ = true;
      password_ = PasswordSlot()->Ask(&frame_, Account());
      passwordKnown_ = !password_.isEmpty();
    }
    go();
  });
}

BookContext SyncPart::Context() const {
  BookContext book;
  book.settingsPath = view_.Store().SettingsPath();
  book.path = view_.CurrentPath();
  book.text = view_.Text();
  book.now = static_cast<std::int64_t>(CurrentClock().Now());
  book.host = CleanHost(view_.Settings().config.sync.computer);
  book.placeMoved = !view_.CurrentPath().empty() && TopOfPaneOffset(view_) != openedAt_;
  return book;
}

void SyncPart::KeepPlaceNow() {
  if (view_.CurrentPath().empty()) return;
  BookPlaces places;
  places.SetSettingsPath(view_.Store().SettingsPath());
  places.Load();
  places.Keep(view_.CurrentPath(), TopOfPaneOffset(view_), view_.PagingMode(), view_.ChapterRule());
}

void SyncPart::SyncBook(bool loud) {
  if (view_.CurrentPath().empty()) return;
  const BookContext book = Context();
  // Kept here first: whatever the network or the keyring does, the change is not lost.
  EnsureSession();
  session_->Capture(book);
  auto text = std::make_shared<std::string>(view_.Text());
  const std::string path = view_.CurrentPath();
  Start([this, loud, book, text, path] {
    BookContext copy = book;
    copy.text = *text;
    ++running_;
    session_->SyncBook(copy, [this, loud, text, path](const Outcome& outcome) {
      --running_;
      if (outcome.applied && view_.CurrentPath() == path) {
        view_.Store().LoadBookmarks();
        view_.ResumeReadingPeriod();
      }
      if (outcome.offer && view_.CurrentPath() == path && view_.Text() == *text) {
        ShowOffer(*outcome.offer, *text, path);
        if (takePlaceOf_ == path) {
          // Fetched from the 书架 to read on here: its place is the one to open at.
          offer_->hide();
          if (takeOffer_) takeOffer_();
        }
      }
      if (takePlaceOf_ == path) takePlaceOf_.clear();
      Finish(outcome, loud);
    });
  });
}

void SyncPart::SyncNow(bool loud) {
  if (!Configured()) {
    if (loud) {
      MessageBoxes().Show(&frame_, QStringLiteral("请先填写服务器地址并勾选同步。"), QStringLiteral("同步"),
                          MessageButtons::Ok, MessageIcon::Exclamation);
    }
    return;
  }
  KeepPlaceNow();
  SyncRulesAndPending(loud, true);
}

void SyncPart::SyncRulesAndPending(bool loud, bool thenBook) {
  Start([this, loud, thenBook] {
    ++running_;
    session_->SyncRulesAndPending([this, loud, thenBook](const Outcome& outcome) {
      --running_;
      // Rules from another computer: the menus that list them and the page show them now.
      if (outcome.applied) view_.RulesChangedElsewhere();
      if (outcome.failure != Failure::None || !thenBook || view_.CurrentPath().empty()) {
        Finish(outcome, loud);
        return;
      }
      SyncBook(loud);
    });
  });
}

void SyncPart::OnBookLoaded() {
  offer_->hide();
  openedAt_ = sentAt_ = TopOfPaneOffset(view_);
  if (!Configured()) return;
  SyncBook(false);
  if (view_.Settings().config.sync.shelf != 0) {
    UploadBook(BookKey(view_.Text()), view_.CurrentPath(), TitleOf(view_.CurrentPath()));
  }
}

void SyncPart::UploadBook(const std::string& key, const std::string& path, const std::string& title, int tries) {
  if (tries == 0 && shelved_.count(key) != 0) return;
  shelved_.insert(key);  // one try a run; a failure is tried again next time the book opens
  Start([this, key, path, title, tries] {
    WebDavClient& client = session_->Client();
    const QString shelf = QString::fromUtf8(kShelfFolder);
    ++carrying_;
    const auto failed = [this, key, path, title, tries](const DavResult& result) {
      --carrying_;
      if (result.failure == Failure::Busy && tries + 1 < SyncSession::kLockTries) {
        // A sync round (ours or another computer's) holds the folder's lock: the server
        // refuses every write inside it until the round ends, within seconds.
        QTimer::singleShot(SyncSession::kLockWaitMs * (tries + 1), this,
                           [this, key, path, title, tries] { UploadBook(key, path, title, tries + 1); });
        return;
      }
      shelved_.erase(key);
      frame_.statusBar()->showMessage(QStringLiteral("书没能放上云书架：") + FailureMessage(result.failure, result.status), 10000);
    };
    // The sync folder first: the 书架 is made inside it.
    client.EnsureFolder([&client, shelf, key, path, title, failed, this](const DavResult& folder) {
      if (!folder.ok()) return failed(folder);
      client.MakeFolder(shelf, [this, &client, shelf, key, path, title, failed](const DavResult& made) {
        if (!made.ok()) return failed(made);
        client.List(shelf, [this, &client, shelf, key, path, title, failed](const DavResult& listed) {
          if (!listed.ok()) return failed(listed);
          for (const QString& name : listed.names) {
            QString other;
            std::string found;
            if (ParseShelfName(name, other, found) && found == key) {
              --carrying_;
              return;
            }
          }
          const QString name = shelf + QLatin1Char('/') + ShelfName(QString::fromStdString(title), key);
          client.Upload(name, QString::fromStdString(path), [this, failed](const DavResult& sent) {
            // A 412: the same book went up from elsewhere meanwhile.
            if (!sent.ok() && sent.failure != Failure::Changed) return failed(sent);
            --carrying_;
            frame_.statusBar()->showMessage(QStringLiteral("书已放上云书架"), 5000);
          });
        });
      });
    });
  });
}

void SyncPart::OpenShelf() {
  if (!Configured()) {
    MessageBoxes().Show(&frame_, QStringLiteral("请先在“拓展 → 同步...”里填写服务器地址并勾选同步。"), QStringLiteral("云书架"),
                        MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  Start([this] {
    ++carrying_;
    session_->Client().List(QString::fromUtf8(kShelfFolder), [this](const DavResult& listed) {
      --carrying_;
      QList<ShelfBook> books;
      if (listed.ok() || listed.failure == Failure::NoFolder) {
        for (qsizetype k = 0; k < listed.names.size(); ++k) {
          ShelfBook book;
          book.name = listed.names[k];
          if (!ParseShelfName(book.name, book.title, book.key)) continue;
          book.size = k < listed.sizes.size() ? listed.sizes[k] : -1;
          book.readTo = ReadToText(SettingsFolderOf(view_.Store().SettingsPath()), book.key);
          books.append(book);
        }
      } else {
        MessageBoxes().Show(&frame_, FailureMessage(listed.failure, listed.status).replace(QStringLiteral("同步失败"), QStringLiteral("云书架打不开")),
                            QStringLiteral("云书架"), MessageButtons::Ok, MessageIcon::Exclamation);
        return;
      }
      CloudShelfDialog dialog(books, &frame_);
      if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0) return;
      Download(books[dialog.Chosen()]);
    });
  });
}

void SyncPart::Download(const ShelfBook& book) {
  // Beside Config.ini, in 云书架/; a book of the same name there already is not touched.
  const std::filesystem::path folder = std::filesystem::path(SettingsFolderOf(view_.Store().SettingsPath())) / "云书架";
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  std::filesystem::path target = folder / (book.title.toStdString() + ".txt");
  for (int copy = 2; std::filesystem::exists(target); ++copy) {
    target = folder / (book.title.toStdString() + " (" + std::to_string(copy) + ").txt");
  }
  const std::filesystem::path partial = folder / ("." + target.filename().string() + ".part");
  auto* file = new QFile(QString::fromStdString(partial.string()), this);
  if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    delete file;
    MessageBoxes().Show(&frame_, QStringLiteral("云书架的书无法保存到 %1，请检查磁盘空间和权限。").arg(QString::fromStdString(folder.string())),
                        QStringLiteral("云书架"), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  ++carrying_;
  frame_.statusBar()->showMessage(QStringLiteral("正在从云书架下载《%1》……").arg(book.title));
  session_->Client().Download(QString::fromUtf8(kShelfFolder) + QLatin1Char('/') + book.name, file,
                              [this, file, partial, target, book](const DavResult& got) {
    --carrying_;
    const bool written = file->flush() && file->error() == QFileDevice::NoError;
    file->close();
    file->deleteLater();
    std::error_code error;
    const bool whole = got.ok() && got.status == 200 && written &&
                       (book.size < 0 || static_cast<qint64>(std::filesystem::file_size(partial, error)) == book.size);
    if (!whole) {
      std::filesystem::remove(partial, error);
      const QString why = got.status == 404 ? QStringLiteral("这本书已不在服务器的书架上。")
                          : !got.ok()      ? FailureMessage(got.failure, got.status)
                                           : QStringLiteral("下载的文件不完整，请再试一次。");
      frame_.statusBar()->clearMessage();
      MessageBoxes().Show(&frame_, QStringLiteral("《%1》没能下载：%2").arg(book.title, why), QStringLiteral("云书架"),
                          MessageButtons::Ok, MessageIcon::Exclamation);
      return;
    }
    std::filesystem::rename(partial, target, error);
    if (error) {
      std::filesystem::remove(partial, error);
      MessageBoxes().Show(&frame_, QStringLiteral("《%1》没能保存到本机。").arg(book.title), QStringLiteral("云书架"),
                          MessageButtons::Ok, MessageIcon::Exclamation);
      return;
    }
    frame_.statusBar()->clearMessage();
    takePlaceOf_ = target.string();
    if (open_) open_(target.string());
  });
}

void SyncPart::OnPageShown() {
  if (Configured() && !view_.CurrentPath().empty()) settle_->start();
}

void SyncPart::SendSettled() {
  if (!Configured() || view_.CurrentPath().empty()) return;
  const std::int64_t at = TopOfPaneOffset(view_);
  if (at == sentAt_) return;  // a page shown again, no reading done
  sentAt_ = at;
  KeepPlaceNow();
  SyncBook(false);
}

void SyncPart::OnBookLeaving() {
  settle_->stop();
  offer_->hide();
  if (!Configured() || view_.CurrentPath().empty()) return;
  // The place keeper has written the place; the book's text goes with the round.
  SyncBook(false);
}

void SyncPart::OnExit() {
  settle_->stop();
  if (!Configured() || view_.CurrentPath().empty()) return;
  EnsureSession();
  session_->Capture(Context());
  if (!passwordKnown_ && !view_.Settings().config.sync.user.empty()) return;  // sent next start
  SyncBook(false);
  // Bounded: an exit never waits on a server for more than two seconds.
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  connect(this, &SyncPart::Finished, &loop, [this, &loop] {
    if (running_ == 0) loop.quit();
  });
  deadline.start(kExitWaitMs);
  if (running_ > 0) loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void SyncPart::Finish(const Outcome& outcome, bool loud) {
  lastMessage_ = FailureMessage(outcome.failure, outcome.status);
  if (mark_->parentWidget() != frame_.statusBar()) frame_.statusBar()->addPermanentWidget(mark_);
  mark_->show();
  if (outcome.failure == Failure::None) {
    mark_->setText(QStringLiteral("已同步"));
    mark_->setToolTip(QStringLiteral("同步完成：%1").arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm"))));
  } else {
    mark_->setText(QStringLiteral("同步失败"));
    mark_->setToolTip(lastMessage_);
    frame_.statusBar()->showMessage(lastMessage_, 10000);
  }
  if (outcome.failure == Failure::Unauthorized) {
    passwordKnown_ = false;  // the keyring's or the typed one was wrong: not again this run
    asked_ = true;
  }
  if (outcome.failure == Failure::Certificate && (loud || !certificateAsked_)) {
    certificateAsked_ = true;
    const QString text = QStringLiteral("服务器的证书不受信任。\nSHA-256 指纹：\n%1\n\n"
                                        "只有确认这是你自己的服务器的证书时才信任它。信任并记住这个证书吗？")
                             .arg(outcome.fingerprint);
    if (MessageBoxes().Show(&frame_, text, QStringLiteral("同步"), MessageButtons::YesNo,
                            MessageIcon::Exclamation) == MessageResult::Yes) {
      SyncSettings& s = view_.Settings().config.sync;
      s.trusted += (s.trusted.empty() ? "" : "|") + (ServerId(s.server) + QLatin1Char(' ') + outcome.fingerprint).toStdString();
      WriteKey(view_.Settings().config, ConfigKey::SyncTrusted, view_.Store().SettingsPath());
      QTimer::singleShot(0, this, [this] { SyncNow(true); });
    }
  } else if (loud && outcome.failure != Failure::None) {
    MessageBoxes().Show(&frame_, lastMessage_, QStringLiteral("同步"), MessageButtons::Ok,
                        MessageIcon::Exclamation);
  }
  emit Finished(lastMessage_);
}

void SyncPart::ShowOffer(const PlaceOffer& offer, const std::string& text, const std::string& path) {
  // The chapter there, as the offered paging names it; a page number where it has none.
  const int rule = offer.rule == kNoRuleKept ? view_.ChapterRule() : offer.rule;
  const Pagination chapters = view_.ScanChapters(rule);
  QString where;
  for (int page = chapters.pageCount; page >= 0; --page) {
    if (!chapters.HasPage(page) || chapters.PageStart(page) > offer.offset) continue;
    const std::string_view title = chapters.TitleOf(text, page);
    const std::u16string decoded = DecodeBookBytes(title);
    where = QString::fromStdU16String(decoded).trimmed();
    break;
  }
  if (where.isEmpty()) {
    const Pagination lines = PaginateByLines(text);
    int page = 1;
    while (lines.HasPage(page + 1) && lines.PageStart(page + 1) <= offer.offset) ++page;
    where = QStringLiteral("第 %1 页").arg(page);
  }
  offerText_->setText(OfferText(where, offer.time, static_cast<std::int64_t>(CurrentClock().Now())));
  offer_->adjustSize();
  offer_->move(std::max(0, view_.width() - offer_->width() - 12), 8);
  offer_->show();
  offer_->raise();
  const BookContext book = Context();
  session_->MarkOffered(book, offer);
  takeOffer_ = [this, offer, path] {
    if (view_.CurrentPath() != path) return;
    if (offer.mode != view_.PagingMode() || (offer.rule != kNoRuleKept && offer.rule != view_.ChapterRule())) {
      view_.SwitchPaging(offer.mode, offer.rule == kNoRuleKept ? view_.ChapterRule() : offer.rule, false);
    }
    ShowOffset(view_, offer.offset);
  };
}

void SyncPart::OpenDialog() {
  SyncDialog dialog(view_.Settings().config.sync, password_, &frame_);
  bool now = false;
  connect(&dialog, &SyncDialog::SyncNowRequested, this, [&now] { now = true; });
  if (dialog.exec() != QDialog::Accepted) return;
  ConfigValues& config = view_.Settings().config;
  config.sync = dialog.Settings();
  const std::string& path = view_.Store().SettingsPath();
  for (ConfigKey key : {ConfigKey::SyncOn, ConfigKey::SyncServer, ConfigKey::SyncUser, ConfigKey::SyncFolder,
                        ConfigKey::SyncShelf}) {
    WriteKey(config, key, path);
  }
  password_ = dialog.Password();
  passwordKnown_ = true;
  asked_ = false;
  session_.reset();
  if (!password_.isEmpty()) {
    PasswordSlot()->Write(Account(), password_, [](bool) {
      // Without a keyring the password stays in memory for this run only.
    });
  }
  if (now) SyncNow(true);
}

}  // namespace varnelo::sync
