#include "app/sync/webdav_client.h"

#include <memory>

#include <QCryptographicHash>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>
#include <QXmlStreamReader>

namespace varnelo::sync {
namespace {

QString Fingerprint(const QSslCertificate& certificate) {
  const QByteArray digest = certificate.digest(QCryptographicHash::Sha256).toHex().toUpper();
  QStringList pairs;
  for (int k = 0; k + 1 < digest.size(); k += 2) pairs << QString::fromLatin1(digest.mid(k, 2));
  return pairs.join(QLatin1Char(':'));
}

Failure FailureOfStatus(int status) {
  if (status >= 200 && status < 300) return Failure::None;
  switch (status) {
    case 401: return Failure::Unauthorized;
    case 403: return Failure::Forbidden;
    case 404:
    case 409: return Failure::NoFolder;
    case 507: return Failure::Full;
    default: return Failure::Other;
  }
}

}  // namespace

QString FailureMessage(Failure failure, int status) {
  switch (failure) {
    case Failure::None: return QString();
    case Failure::NoNetwork: return QStringLiteral("同步失败：连不上服务器，请检查网络和服务器地址。本机的改动已保留，稍后再发送。");
    case Failure::Unauthorized: return QStringLiteral("同步失败：用户名或密码不对。请在“同步”设置里重新输入。");
    case Failure::Forbidden: return QStringLiteral("同步失败：服务器拒绝访问这个文件夹（403）。");
    case Failure::NoFolder: return QStringLiteral("同步失败：服务器上没有这个远程文件夹，也无法创建。请检查远程文件夹。");
    case Failure::Full: return QStringLiteral("同步失败：服务器空间已满（507）。本机的改动已保留。");
    case Failure::BadReply: return QStringLiteral("同步失败：服务器的回答无法识别，它可能不是 WebDAV 服务。");
    case Failure::Timeout: return QStringLiteral("同步失败：服务器长时间没有回应。本机的改动已保留，稍后再发送。");
    case Failure::Certificate: return QStringLiteral("同步失败：服务器的证书不受信任。");
    case Failure::Other: break;
  }
  return QStringLiteral("同步失败：服务器出错（%1）。本机的改动已保留。").arg(status);
}

WebDavClient::WebDavClient(QObject* parent) : QObject(parent) {
  manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

void WebDavClient::SetAccount(const QString& server, const QString& folder, const QString& user,
                              const QString& password) {
  server_ = server.trimmed();
  while (server_.endsWith(QLatin1Char('/'))) server_.chop(1);
  folder_ = folder.trimmed();
  while (folder_.startsWith(QLatin1Char('/'))) folder_.remove(0, 1);
  while (folder_.endsWith(QLatin1Char('/'))) folder_.chop(1);
  user_ = user;
  password_ = password;
}

QUrl WebDavClient::FolderUrl() const {
  QString text = server_ + QLatin1Char('/');
  if (!folder_.isEmpty()) text += folder_ + QLatin1Char('/');
  return QUrl(text);
}

QUrl WebDavClient::UrlOf(const QString& name) const {
  QUrl url = FolderUrl();
  url.setPath(url.path() + name);
  return url;
}

void WebDavClient::Send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                        const QList<QPair<QByteArray, QByteArray>>& headers, Done done) {
  if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
    DavResult result;
    result.failure = Failure::NoNetwork;
    done(result);
    return;
  }
  QNetworkRequest request(url);
  if (!user_.isEmpty()) {
    request.setRawHeader("Authorization",
                         "Basic " + (user_ + QLatin1Char(':') + password_).toUtf8().toBase64());
  }
  for (const auto& [name, value] : headers) request.setRawHeader(name, value);
  QNetworkReply* reply = manager_.sendCustomRequest(request, verb, body);
  ++busy_;
  auto fingerprint = std::make_shared<QString>();
  auto timedOut = std::make_shared<bool>(false);
  connect(reply, &QNetworkReply::sslErrors, reply, [this, reply, fingerprint](const QList<QSslError>&) {
    const QString seen = Fingerprint(reply->sslConfiguration().peerCertificate());
    if (!trusted_.isEmpty() && seen.compare(trusted_, Qt::CaseInsensitive) == 0) {
      reply->ignoreSslErrors();
    } else {
      *fingerprint = seen;
    }
  });
  auto* timer = new QTimer(reply);
  timer->setSingleShot(true);
  connect(timer, &QTimer::timeout, reply, [reply, timedOut] {
    *timedOut = true;
    reply->abort();
  });
  // Any progress starts the deadline again: a slow but moving transfer is not dead.
  const auto restart = [timer, this] { timer->start(timeoutMs_); };
  connect(reply, &QNetworkReply::downloadProgress, timer, restart);
  connect(reply, &QNetworkReply::uploadProgress, timer, restart);
  timer->start(timeoutMs_);
  connect(reply, &QNetworkReply::finished, this, [this, reply, done, fingerprint, timedOut] {
    --busy_;
    reply->deleteLater();
    DavResult result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen()) result.body = reply->readAll();
    if (*timedOut) {
      result.failure = Failure::Timeout;
    } else if (!fingerprint->isEmpty()) {
      result.failure = Failure::Certificate;
      result.fingerprint = *fingerprint;
    } else if (result.status == 0) {
      result.failure = Failure::NoNetwork;
    } else {
      result.failure = FailureOfStatus(result.status);
    }
    done(result);
  });
}

void WebDavClient::EnsureFolder(Done done) {
  const QUrl folder = FolderUrl();
  Send("PROPFIND", folder, QByteArray(), {{"Depth", "0"}}, [this, folder, done](const DavResult& found) {
    if (found.status != 404) {
      DavResult result = found;
      if (found.ok() && found.status != 207) result.failure = Failure::BadReply;
      done(result);
      return;
    }
    Send("MKCOL", folder, QByteArray(), {}, [done](const DavResult& made) {
      DavResult result = made;
      if (made.status == 404 || made.status == 409) result.failure = Failure::NoFolder;
      done(result);
    });
  });
}

void WebDavClient::Get(const QString& name, Done done) {
  Send("GET", UrlOf(name), QByteArray(), {}, [done](const DavResult& got) {
    DavResult result = got;
    if (got.status == 404) {
      result.failure = Failure::None;
      result.body.clear();
    }
    done(result);
  });
}

void WebDavClient::Put(const QString& name, const QByteArray& bytes, Done done) {
  const QString temporary = QStringLiteral(".%1.%2.tmp").arg(name).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
  Send("PUT", UrlOf(temporary), bytes, {{"Content-Type", "application/octet-stream"}},
       [this, name, temporary, done](const DavResult& put) {
         if (!put.ok()) {
           done(put);
           return;
         }
         const QByteArray target = UrlOf(name).toEncoded();
         Send("MOVE", UrlOf(temporary), QByteArray(), {{"Destination", target}, {"Overwrite", "T"}},
              [this, temporary, done](const DavResult& moved) {
                if (!moved.ok()) {
                  // Tidy up; the answer does not change the outcome.
                  Send("DELETE", UrlOf(temporary), QByteArray(), {}, [](const DavResult&) {});
                }
                done(moved);
              });
       });
}

void WebDavClient::List(Done done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/></d:prop></d:propfind>";
  const QString path = FolderUrl().path();
  Send("PROPFIND", FolderUrl(), body, {{"Depth", "1"}, {"Content-Type", "application/xml"}},
       [done, path](const DavResult& listed) {
         DavResult result = listed;
         if (result.ok() && !ParseListing(listed.body, path, result.names)) {
           result.failure = Failure::BadReply;
         }
         done(result);
       });
}

bool ParseListing(const QByteArray& xml, const QString& folderPath, QStringList& names) {
  names.clear();
  QXmlStreamReader reader(xml);
  bool sawMultistatus = false;
  while (!reader.atEnd()) {
    reader.readNext();
    if (!reader.isStartElement()) continue;
    if (reader.namespaceUri() == QLatin1String("DAV:") && reader.name() == QLatin1String("multistatus")) {
      sawMultistatus = true;
    } else if (reader.namespaceUri() == QLatin1String("DAV:") && reader.name() == QLatin1String("href")) {
      QString path = QUrl(reader.readElementText().trimmed()).path();
      if (path.endsWith(QLatin1Char('/'))) continue;  // the folder itself, or a sub-folder
      if (!path.startsWith(folderPath)) continue;
      names << path.mid(folderPath.size());
    }
  }
  return !reader.hasError() && sawMultistatus;
}

}  // namespace varnelo::sync
