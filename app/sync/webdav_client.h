// A WebDAV folder on a server, spoken to asynchronously through Qt Network: the window never
// waits. Files are written under a temporary name and moved into place, so a sync killed
// half-way never leaves a half-written file. Every request has a deadline.
//
// A document that replaces one read earlier is moved into place only while it is still the
// one read: the destination's ETag goes in WebDAV's If header (If-Match would name the
// temporary file, the request's own resource), a new one is moved with "Overwrite: F". A
// server that cannot check an ETag on MOVE (rclone refuses every such condition) is written
// under an exclusive lock on the folder instead.
#pragma once

#include <functional>

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace varnelo::sync {

enum class Failure {
  None,
  NoNetwork,     // no connection to the server
  Unauthorized,  // 401: wrong user or password
  Forbidden,     // 403
  NoFolder,      // the remote folder is missing and cannot be made
  Full,          // 507
  BadReply,      // a reply that is not what WebDAV answers
  Timeout,
  Certificate,   // an HTTPS certificate not trusted
  Changed,       // 412: the file changed since it was read
  Busy,          // 423, or another computer kept writing the same file
  LocalDisk,     // a local file could not be read or written
  Other,
};

// One clear Chinese sentence per failure.
QString FailureMessage(Failure failure, int status = 0);

struct DavResult {
  Failure failure = Failure::None;
  int status = 0;
  QByteArray body;
  QStringList names;             // a listing's file names
  QList<qint64> sizes;           // and their sizes in bytes
  QString fingerprint;           // an untrusted certificate's SHA-256, "AB:CD:..."
  QByteArray etag;               // the file's version, when the server names it
  QByteArray lockToken;          // a LOCK's token, "<...>"
  bool ok() const { return failure == Failure::None; }
};

class WebDavClient : public QObject {
  Q_OBJECT
 public:
  using Done = std::function<void(const DavResult&)>;
  static constexpr int kDefaultTimeoutMs = 15000;

  explicit WebDavClient(QObject* parent = nullptr);

  // The server address with the remote folder, e.g. "https://nas:5006/dav" and "varnelo".
  void SetAccount(const QString& server, const QString& folder, const QString& user,
                  const QString& password);
  void SetTimeout(int ms) { timeoutMs_ = ms; }
  // A certificate the user chose to trust for this server, by its SHA-256 fingerprint.
  void SetTrustedFingerprint(const QString& fingerprint) { trusted_ = fingerprint; }
  QUrl FolderUrl() const;

  // The folder exists (made when missing, not its parents).
  void EnsureFolder(Done done);
  // A file of the folder; a missing one is a success with status 404 and no body.
  void Get(const QString& name, Done done);
  // What a write may replace: nothing (`exists` false), the version `etag`, or whatever is
  // there while the folder's lock `lockToken` is held. Neither etag nor token: anything.
  struct Condition {
    bool exists = false;
    QByteArray etag;
    QByteArray lockToken;
  };
  // Writes under a temporary name, then moves it over `name` when `condition` holds (a
  // Failure::Changed when it does not).
  void Put(const QString& name, const QByteArray& bytes, const Condition& condition, Done done);
  void Put(const QString& name, const QByteArray& bytes, Done done) {
    Put(name, bytes, Condition{true, {}, {}}, std::move(done));
  }
  // An exclusive write lock on the folder, given up by the server after `seconds`.
  void Lock(int seconds, Done done);
  // `done` hears the answer (or the deadline); the server drops the lock by itself anyway.
  void Unlock(const QByteArray& token, Done done);
  // The server turned down an ETag condition that held: write under a lock from now on.
  bool ConditionsRefused() const { return conditionsRefused_; }
  void RefuseConditions() { conditionsRefused_ = true; }
  // The server has no locks either: writes go unconditionally, as the last resort.
  bool LocksRefused() const { return locksRefused_; }
  void RefuseLocks() { locksRefused_ = true; }
  // The file names in the folder, or in its `sub` folder (PROPFIND, depth 1).
  void List(Done done) { List(QString(), std::move(done)); }
  void List(const QString& sub, Done done);
  // Makes the folder's `sub` folder when it is missing.
  void MakeFolder(const QString& sub, Done done);
  // The local file at `path`, read as it goes (never whole into memory), under a temporary
  // name, then moved to `name` unless a file is there already (a 412 then).
  void Upload(const QString& name, const QString& path, Done done);
  // `name` written as it comes into `file` (already open); its bytes are not in the result.
  void Download(const QString& name, QIODevice* file, Done done);
  // Requests in flight.
  int Busy() const { return busy_; }

 private:
  QUrl UrlOf(const QString& name) const;
  void Send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
            const QList<QPair<QByteArray, QByteArray>>& headers, Done done,
            QIODevice* upload = nullptr, QIODevice* sink = nullptr);

  QNetworkAccessManager manager_;
  QString server_;
  QString folder_;
  QString user_;
  QString password_;
  QString trusted_;
  int timeoutMs_ = kDefaultTimeoutMs;
  int busy_ = 0;
  bool conditionsRefused_ = false;
  bool locksRefused_ = false;
};

// The names a PROPFIND reply lists, below the folder itself; false when it is not XML.
bool ParseListing(const QByteArray& xml, const QString& folderPath, QStringList& names,
                  QList<qint64>* sizes = nullptr);

}  // namespace varnelo::sync
