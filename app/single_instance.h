// One reader per settings folder. The first start serves a local socket named after its
// settings folder; a later start hands its book (or only a wish to see the window) to it
// and ends. A socket left behind by a reader that crashed refuses connections, so it is
// removed and served anew: it never blocks a start.
#pragma once

#include <QString>

#include <climits>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace varnelo {

class SingleInstance {
 public:
  enum class Start { First, HandedOver, NoAnswer };

  // The longest book path a request may carry: the longest path the system opens.
  static constexpr int kMaxBookBytes = PATH_MAX - 1;

  explicit SingleInstance(const std::string& settingsFolder);
  ~SingleInstance();

  // Asks the reader already running for this settings folder to open `book` (empty: just
  // come to the front). First when there is none: this process is the reader, and should
  // Listen before it does anything slow.
  Start HandOver(const std::string& book);
  // Serves later starts: each one calls `onRequest` with its book (empty: none).
  void Listen(std::function<void(const std::string& book)> onRequest);

  // A client that has not made its whole request within `timeoutMs` of connecting is cut
  // off; beyond `maxClients` at once, new ones are. Set before Listen.
  void SetClientLimits(int timeoutMs, int maxClients);

  // Where the socket lives: a folder only this user may enter; empty when there is none.
  // The same folder however it is written ("h1", "./h1", a link to it) is the same reader.
  static QString SocketPathFor(const std::string& settingsFolder);

 private:
  void Serve(QLocalSocket* socket);
  void ReleaseLock();

  QString socketPath_;
  int clientTimeoutMs_;
  int maxClients_;
  std::shared_ptr<int> clients_;
  std::function<void(const std::string& book)> onRequest_;
  int lockFd_ = -1;  // held from the hand-over until listening
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace varnelo
