// A WebDAV folder on a server, spoken to asynchronously through Qt Network: the window never
// waits. Files are written under a temporary name and moved into place, so a sync killed
// half-way never leaves a half-written file. Every request has a deadline.
#pragma once

#include <functional>

#include <QByteArray>
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
  Other,
};

// One clear Chinese sentence per failure.
QString FailureMessage(Failure failure, int status = 0);

struct DavResult {
  Failure failure = Failure::None;
  int status = 0;
  QByteArray body;
  QStringList names;             // a listing's file names
  QString fingerprint;           // an untrusted certificate's SHA-256, "AB:CD:..."
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
  // Writes under a temporary name, then moves it over `name`.
  void Put(const QString& name, const QByteArray& bytes, Done done);
  // The file names in the folder (PROPFIND, depth 1).
  void List(Done done);
  // Requests in flight.
  int Busy() const { return busy_; }

 private:
  QUrl UrlOf(const QString& name) const;
  void Send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
            const QList<QPair<QByteArray, QByteArray>>& headers, Done done);

  QNetworkAccessManager manager_;
  QString server_;
  QString folder_;
  QString user_;
  QString password_;
  QString trusted_;
  int timeoutMs_ = kDefaultTimeoutMs;
  int busy_ = 0;
};

// The names a PROPFIND reply lists, below the folder itself; false when it is not XML.
bool ParseListing(const QByteArray& xml, const QString& folderPath, QStringList& names);

}  // namespace varnelo::sync
