#include "app/sync/webdav_client.h"

#include <memory>

#include <QCryptographicHash>
#include <QFile>
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
    case 412: return Failure::Changed;
    case 423: return Failure::Busy;
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
    case Failure::LocalDisk: return QStringLiteral("同步失败：本机的文件读不出或写不进，请检查磁盘空间和文件夹的权限。");
    case Failure::Changed:
    case Failure::Busy: return QStringLiteral("同步失败：另一台电脑正在写同一份同步记录，请稍后再试。本机的改动已保留。");
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
                        const QList<QPair<QByteArray, QByteArray>>& headers, Done done,
                        QIODevice* upload, QIODevice* sink) {
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
  QNetworkReply* reply = upload != nullptr ? manager_.sendCustomRequest(request, verb, upload)
                                            : manager_.sendCustomRequest(request, verb, body);
  auto sinkFailed = std::make_shared<bool>(false);
  if (sink != nullptr) {
    // Only a file's bytes go to the sink, never an error page; a write that fails ends it.
    connect(reply, &QNetworkReply::readyRead, reply, [reply, sink, sinkFailed] {
      if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) return;
      const QByteArray chunk = reply->readAll();
      if (sink->write(chunk) != chunk.size()) {
        *sinkFailed = true;
        reply->abort();
      }
    });
  }
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
  connect(reply, &QNetworkReply::finished, this, [this, reply, done, fingerprint, timedOut, sink, sinkFailed] {
    --busy_;
    reply->deleteLater();
    DavResult result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen()) {
      if (sink != nullptr && result.status == 200 && !*sinkFailed) {
        const QByteArray chunk = reply->readAll();
        if (sink->write(chunk) != chunk.size()) *sinkFailed = true;
      } else {
        result.body = reply->readAll();
      }
    }
    result.etag = reply->rawHeader("ETag");
    result.lockToken = reply->rawHeader("Lock-Token").trimmed();
    if (*timedOut) {
      result.failure = Failure::Timeout;
    } else if (!fingerprint->isEmpty()) {
      result.failure = Failure::Certificate;
      result.fingerprint = *fingerprint;
    } else if (*sinkFailed) {
      result.failure = Failure::LocalDisk;
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

void WebDavClient::Put(const QString& name, const QByteArray& bytes, const Condition& condition,
                       Done done) {
  const QString temporary = QStringLiteral(".%1.%2.tmp").arg(name).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
  QList<QPair<QByteArray, QByteArray>> put{{"Content-Type", "application/octet-stream"}};
  QList<QPair<QByteArray, QByteArray>> move{{"Destination", UrlOf(name).toEncoded()}};
  if (!condition.lockToken.isEmpty()) {
    // Under the folder's lock both the temporary file and the document are ours.
    put.append({"If", "(" + condition.lockToken + ")"});
    move.append({"If", "(" + condition.lockToken + ")"});
  }
  if (!condition.exists) {
    move.append(qMakePair(QByteArray("Overwrite"), QByteArray("F")));
  } else {
    move.append(qMakePair(QByteArray("Overwrite"), QByteArray("T")));
    if (!condition.etag.isEmpty() && condition.lockToken.isEmpty()) {
      move.append({"If", "<" + UrlOf(name).toEncoded() + "> ([" + condition.etag + "])"});
    }
  }
  Send("PUT", UrlOf(temporary), bytes, put, [this, temporary, move, condition, done](const DavResult& sent) {
    if (!sent.ok()) {
      done(sent);
      return;
    }
    Send("MOVE", UrlOf(temporary), QByteArray(), move, [this, temporary, condition, done](const DavResult& moved) {
      if (!moved.ok()) {
        // Tidy up; the answer does not change the outcome.
        QList<QPair<QByteArray, QByteArray>> tidy;
        if (!condition.lockToken.isEmpty()) tidy.append({"If", "(" + condition.lockToken + ")"});
        Send("DELETE", UrlOf(temporary), QByteArray(), tidy, [](const DavResult&) {});
      }
      done(moved);
    });
  });
}

void WebDavClient::Lock(int seconds, Done done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<d:lockinfo xmlns:d=\"DAV:\"><d:lockscope><d:exclusive/></d:lockscope>"
      "<d:locktype><d:write/></d:locktype><d:owner>Varnelo</d:owner></d:lockinfo>";
  Send("LOCK", FolderUrl(), body,
       {{"Depth", "infinity"}, {"Timeout", "Second-" + QByteArray::number(seconds)},
        {"Content-Type", "application/xml"}},
       [done](const DavResult& locked) {
         DavResult result = locked;
         if (locked.ok() && !locked.lockToken.startsWith('<')) result.failure = Failure::BadReply;
         done(result);
       });
}

void WebDavClient::Unlock(const QByteArray& token, Done done) {
  Send("UNLOCK", FolderUrl(), QByteArray(), {{"Lock-Token", token}}, std::move(done));
}

void WebDavClient::List(const QString& sub, Done done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/><d:getcontentlength/></d:prop></d:propfind>";
  const QUrl folder = sub.isEmpty() ? FolderUrl() : UrlOf(sub + QLatin1Char('/'));
  const QString path = folder.path();
  Send("PROPFIND", folder, body, {{"Depth", "1"}, {"Content-Type", "application/xml"}},
       [done, path](const DavResult& listed) {
         DavResult result = listed;
         if (result.ok() && !ParseListing(listed.body, path, result.names, &result.sizes)) {
           result.failure = Failure::BadReply;
         }
         done(result);
       });
}

void WebDavClient::MakeFolder(const QString& sub, Done done) {
  Send("MKCOL", UrlOf(sub + QLatin1Char('/')), QByteArray(), {}, [done](const DavResult& made) {
    DavResult result = made;
    if (made.status == 405) result.failure = Failure::None;  // there already
    done(result);
  });
}

void WebDavClient::Upload(const QString& name, const QString& path, Done done) {
  auto* file = new QFile(path, this);
  if (!file->open(QIODevice::ReadOnly)) {
    delete file;
    DavResult result;
    result.failure = Failure::LocalDisk;
    done(result);
    return;
  }
  const QString temporary = name + QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
  Send("PUT", UrlOf(temporary), QByteArray(),
       {{"Content-Type", "application/octet-stream"}, {"Content-Length", QByteArray::number(file->size())}},
       [this, file, name, temporary, done](const DavResult& sent) {
         file->deleteLater();
         if (!sent.ok()) {
           Send("DELETE", UrlOf(temporary), QByteArray(), {}, [](const DavResult&) {});
           done(sent);
           return;
         }
         Send("MOVE", UrlOf(temporary), QByteArray(), {{"Destination", UrlOf(name).toEncoded()}, {"Overwrite", "F"}},
              [this, temporary, done](const DavResult& moved) {
                if (!moved.ok()) Send("DELETE", UrlOf(temporary), QByteArray(), {}, [](const DavResult&) {});
                done(moved);
              });
       },
       file);
}

void WebDavClient::Download(const QString& name, QIODevice* file, Done done) {
  Send("GET", UrlOf(name), QByteArray(), {}, std::move(done), nullptr, file);
}

bool ParseListing(const QByteArray& xml, const QString& folderPath, QStringList& names,
                  QList<qint64>* sizes) {
  names.clear();
  if (sizes != nullptr) sizes->clear();
  QXmlStreamReader reader(xml);
  bool sawMultistatus = false;
  QString name;  // the file of the response being read; empty for a folder
  qint64 size = -1;
  while (!reader.atEnd()) {
    reader.readNext();
    const bool dav = reader.namespaceUri() == QLatin1String("DAV:");
    if (reader.isEndElement() && dav && reader.name() == QLatin1String("response")) {
      if (!name.isEmpty()) {
        names << name;
        if (sizes != nullptr) sizes->append(size);
      }
      name.clear();
      size = -1;
      continue;
    }
    if (!reader.isStartElement() || !dav) continue;
    if (reader.name() == QLatin1String("multistatus")) {
      sawMultistatus = true;
    } else if (reader.name() == QLatin1String("href")) {
      QString path = QUrl(reader.readElementText().trimmed()).path();
      if (path.endsWith(QLatin1Char('/'))) continue;  // the folder itself, or a sub-folder
      if (!path.startsWith(folderPath)) continue;
      name = path.mid(folderPath.size());
    } else if (reader.name() == QLatin1String("getcontentlength")) {
      bool ok = false;
      const qint64 read = reader.readElementText().trimmed().toLongLong(&ok);
      size = ok && read >= 0 ? read : -1;
    }
  }
  return !reader.hasError() && sawMultistatus;
}

}  // namespace varnelo::sync
