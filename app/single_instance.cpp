#include "app/single_instance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace varnelo {

namespace {

constexpr quint32 kMagic = 0x56524e31;  // "VRN1"
constexpr int kConnectMs = 2000;
// The running reader answers from its event loop, which a slow start (a huge last book)
// may hold for a while.
constexpr int kAnswerMs = 20000;
constexpr int kLockMs = 10000;
constexpr char kAccepted = 'k';

bool PrivateFolder(const QByteArray& folder) {
  struct stat info {};
  return ::lstat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

QString RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && PrivateFolder(runtime)) {
    return QFile::decodeName(runtime);
  }
  // A folder of our own under the temporary folder: a name in /tmp itself could be taken
  // by another user, who would then hear of every book handed over.
  const QByteArray own =
      QFile::encodeName(QDir::tempPath()) + "/varnelo-" + QByteArray::number(::getuid());
  ::mkdir(own.constData(), 0700);
  return PrivateFolder(own) ? QFile::decodeName(own) : QString();
}

}  // namespace

SingleInstance::SingleInstance(const std::string& settingsFolder)
    : socketPath_(SocketPathFor(settingsFolder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::SocketPathFor(const std::string& settingsFolder) {
  const QString folder = RuntimeFolder();
  if (folder.isEmpty()) return QString();
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromStdString(settingsFolder), QCryptographicHash::Sha256);
  return folder + QStringLiteral("/varnelo-") + QString::fromLatin1(digest.toHex().left(16));
}

SingleInstance::Start SingleInstance::HandOver(const std::string& book) {
  if (socketPath_.isEmpty()) return Start::First;
  // Two readers starting at the same moment must not both decide they are the first.
  lock_ = std::make_unique<QLockFile>(socketPath_ + QStringLiteral(".lock"));
  lock_->tryLock(kLockMs);

  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(kConnectMs)) return Start::First;
  QByteArray request;
  QDataStream out(&request, QIODevice::WriteOnly);
  out << kMagic << QByteArray::fromStdString(book);
  socket.write(request);
  if (!socket.waitForBytesWritten(kConnectMs)) return Start::NoAnswer;
  while (socket.bytesAvailable() == 0) {
    if (!socket.waitForReadyRead(kAnswerMs)) return Start::NoAnswer;
  }
  char answer = 0;
  return socket.getChar(&answer) && answer == kAccepted ? Start::HandedOver : Start::NoAnswer;
}

void SingleInstance::Listen(std::function<void(const std::string& book)> onRequest) {
  if (socketPath_.isEmpty()) return;
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(socketPath_);  // a crashed reader's socket
  if (!server_->listen(socketPath_)) server_.reset();  // this reader still runs, alone
  if (lock_ != nullptr) lock_->unlock();
  if (server_ == nullptr) return;

  QLocalServer* server = server_.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [server, onRequest] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, onRequest] {
        QDataStream in(socket);
        in.startTransaction();
        quint32 magic = 0;
        QByteArray book;
        in >> magic >> book;
        if (!in.commitTransaction()) return;  // the rest is still on its way
        if (magic != kMagic) {
          socket->abort();
          return;
        }
        // Answer first: the other process may end while the book is still loading here.
        socket->putChar(kAccepted);
        socket->flush();
        socket->disconnectFromServer();
        onRequest(book.toStdString());
      });
    }
  });
}

}  // namespace varnelo
