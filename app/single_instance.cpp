#include "app/single_instance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace varnelo {

namespace {

constexpr quint32 kMagic = 0x56524e31;  // "VRN1"
constexpr int kConnectMs = 2000;
// The running reader answers from its event loop, which a slow start (a huge last book)
// may hold for a while.
constexpr int kAnswerMs = 20000;
constexpr int kLockMs = 10000;
constexpr char kAccepted = 'k';
// The magic and the book's length, as QDataStream writes them.
constexpr qint64 kHeaderBytes = 8;
constexpr quint32 kNullArray = 0xffffffff;
// A later start makes its whole request at once; a few seconds cover a loaded machine.
constexpr int kClientTimeoutMs = 5000;
constexpr int kMaxClients = 16;

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
    : socketPath_(SocketPathFor(settingsFolder)),
      clientTimeoutMs_(kClientTimeoutMs),
      maxClients_(kMaxClients),
      clients_(std::make_shared<int>(0)) {}

SingleInstance::~SingleInstance() { ReleaseLock(); }

void SingleInstance::ReleaseLock() {
  if (lockFd_ < 0) return;
  ::close(lockFd_);  // and the lock with it
  lockFd_ = -1;
}

QString SingleInstance::SocketPathFor(const std::string& settingsFolder) {
  const QString folder = RuntimeFolder();
  if (folder.isEmpty()) return QString();
  // Named after the folder itself, not the way it was written.
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::absolute(settingsFolder, error);
  if (!error) canonical = std::filesystem::weakly_canonical(canonical, error);
  std::string name = error ? settingsFolder : canonical.string();
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromStdString(name), QCryptographicHash::Sha256);
  return folder + QStringLiteral("/varnelo-") + QString::fromLatin1(digest.toHex().left(16));
}

SingleInstance::Start SingleInstance::HandOver(const std::string& book) {
  if (socketPath_.isEmpty()) return Start::First;
  // Two readers starting at the same moment must not both decide they are the first. A
  // lock on an open file: nothing is written or synced, and a reader that dies drops it.
  lockFd_ = ::open(QFile::encodeName(socketPath_ + QStringLiteral(".lock")).constData(),
                   O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  const auto lockDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockMs);
  while (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK &&
         std::chrono::steady_clock::now() < lockDue) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

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

void SingleInstance::SetClientLimits(int timeoutMs, int maxClients) {
  clientTimeoutMs_ = timeoutMs;
  maxClients_ = maxClients;
}

void SingleInstance::Listen(std::function<void(const std::string& book)> onRequest) {
  if (socketPath_.isEmpty()) return;
  onRequest_ = std::move(onRequest);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(socketPath_);  // a crashed reader's socket
  if (!server_->listen(socketPath_)) server_.reset();  // this reader still runs, alone
  ReleaseLock();
  if (server_ == nullptr) return;

  QLocalServer* server = server_.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [this, server] {
    while (QLocalSocket* socket = server->nextPendingConnection()) Serve(socket);
  });
}

// Anything may connect: each byte is taken once, a request that cannot be a book's path
// is refused as soon as its header shows it, and a client that lingers is cut off.
void SingleInstance::Serve(QLocalSocket* socket) {
  QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  const auto refuse = [socket] {
    socket->abort();
    socket->deleteLater();
  };
  if (*clients_ >= maxClients_) return refuse();
  ++*clients_;
  QObject::connect(socket, &QObject::destroyed, [clients = clients_] { --*clients; });
  socket->setReadBufferSize(kHeaderBytes + kMaxBookBytes);
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  QObject::connect(deadline, &QTimer::timeout, socket, refuse);
  deadline->start(clientTimeoutMs_);

  struct Request {
    qint64 length = -1;  // the book's, once the header is in
    bool answered = false;
  };
  auto request = std::make_shared<Request>();
  QObject::connect(socket, &QLocalSocket::readyRead, socket,
                   [socket, request, refuse, onRequest = onRequest_] {
    if (request->answered) return;
    if (request->length < 0) {
      if (socket->bytesAvailable() >= 4 && qFromBigEndian<quint32>(socket->peek(4).constData()) != kMagic)
        return refuse();
      if (socket->bytesAvailable() < kHeaderBytes) return;
      const QByteArray header = socket->read(kHeaderBytes);
      const quint32 length = qFromBigEndian<quint32>(header.constData() + 4);
      if (length != kNullArray && length > static_cast<quint32>(kMaxBookBytes)) return refuse();
      request->length = length == kNullArray ? 0 : length;
    }
    if (socket->bytesAvailable() < request->length) return;  // the rest is still on its way
    const QByteArray book = socket->read(request->length);
    // The system would open the path only up to its first NUL: another file than the one named.
    if (book.contains('\0')) return refuse();
    request->answered = true;
    // Answer first: the other process may end while the book is still loading here.
    socket->putChar(kAccepted);
    socket->flush();
    socket->disconnectFromServer();
    onRequest(book.toStdString());
  });
}

}  // namespace varnelo
