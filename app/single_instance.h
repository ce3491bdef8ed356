// One reader per settings folder. The first start serves a local socket named after its
// settings folder; a later start hands its book (or only a wish to see the window) to it
// and ends. A socket left behind by a reader that crashed refuses connections, so it is
// removed and served anew: it never blocks a start.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLockFile;

namespace varnelo {

class SingleInstance {
 public:
  enum class Start { First, HandedOver, NoAnswer };

  explicit SingleInstance(const std::string& settingsFolder);
  ~SingleInstance();

  // Asks the reader already running for this settings folder to open `book` (empty: just
  // come to the front). First when there is none: this process is the reader, and should
  // Listen before it does anything slow.
  Start HandOver(const std::string& book);
  // Serves later starts: each one calls `onRequest` with its book (empty: none).
  void Listen(std::function<void(const std::string& book)> onRequest);

  // Where the socket lives: a folder only this user may enter; empty when there is none.
  static QString SocketPathFor(const std::string& settingsFolder);

 private:
  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace varnelo
