// One computer's side of syncing: each book's document is kept in the settings folder
// (Sync/<key>.state) before anything goes to the server, so a change made offline, or one a
// failure stopped, is sent by a later sync. A round takes the server's copy, merges,
// applies what came from elsewhere and writes the merged copy back.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "app/sync/sync_local.h"
#include "app/sync/webdav_client.h"

namespace varnelo::sync {

struct Outcome {
  Failure failure = Failure::None;
  int status = 0;
  QString fingerprint;
  std::optional<PlaceOffer> offer;  // a newer place from another computer
  bool applied = false;             // Config.ini took something from elsewhere
};

class SyncSession : public QObject {
  Q_OBJECT
 public:
  using Done = std::function<void(const Outcome&)>;

  SyncSession(std::string settingsFolder, std::string host, QObject* parent = nullptr);

  WebDavClient& Client() { return client_; }
  const std::string& Host() const { return host_; }
  std::string StateFile(const std::string& key) const;

  // Notes the book's changes in its local file (never lost once this returns true), and
  // with `send` takes them to the server.
  bool Capture(const BookContext& book);
  void SyncBook(const BookContext& book, Done done);
  // The user's chapter rules, and every book whose changes the server has not had.
  void SyncRulesAndPending(Done done);
  // The book's place was offered: not again.
  void MarkOffered(const BookContext& book, const PlaceOffer& offer);

 private:
  // Gets the server's copy of `name`, merges it into `state`, lets `apply` take it into
  // Config.ini, and writes the result to the server when it holds something new.
  void Round(const QString& name, const std::string& stateFile,
             std::function<bool(LocalState&)> apply, std::function<void(LocalState&, Outcome&)> after,
             Done done);
  void SendPending(std::vector<std::string> keys, std::size_t k, Outcome soFar, Done done);
  void WithFolder(std::function<void(const DavResult&)> next);

  std::string folder_;
  std::string host_;
  WebDavClient client_;
  bool folderKnown_ = false;
};

}  // namespace varnelo::sync
