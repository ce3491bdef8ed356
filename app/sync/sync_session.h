// One computer's side of syncing: each book's document is kept in the settings folder
// (Sync/<key>.state) before anything goes to the server, so a change made offline, or one a
// failure stopped, is sent by a later sync. A round takes the server's copy, merges,
// applies what came from elsewhere and writes the merged copy back.
#pragma once

#include <functional>
#include <memory>
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

  // Called with the write of a merged document, which it must run (at once or later): two
  // computers' rounds can be interleaved step by step.
  using Step = std::function<void(std::function<void()> write)>;
  void SetBeforeWrite(Step step) { beforeWrite_ = std::move(step); }

  // A document changed under a write is fetched, merged and written again this many times.
  static constexpr int kWriteTries = 4;
  // A folder another computer holds locked is asked again this many times, a little later
  // each time (about 15 s in all), before the round gives up and keeps its change.
  static constexpr int kLockTries = 10;
  static constexpr int kLockWaitMs = 300;
  static constexpr int kLockSeconds = 30;  // a reader killed holding it holds it no longer

 private:
  // Gets the server's copy of `name`, merges it into `state`, lets `apply` take it into
  // Config.ini, and writes the result to the server when it holds something new.
  struct RoundPlan {
    QString name;
    std::string stateFile;
    std::function<bool(LocalState&)> apply;
    std::function<void(LocalState&, Outcome&)> after;
    Done done;
    bool applied = false;  // some try took something into Config.ini
  };
  void Round(const QString& name, const std::string& stateFile,
             std::function<bool(LocalState&)> apply, std::function<void(LocalState&, Outcome&)> after,
             Done done);
  // One try: `refused` is the ETag a 412 was given for, `lockTries` the locks refused so far.
  void Try(std::shared_ptr<RoundPlan> plan, int tries, int lockTries, QByteArray refused);
  void Exchange(std::shared_ptr<RoundPlan> plan, int tries, QByteArray token, QByteArray refused);
  void SendPending(std::vector<std::string> keys, std::size_t k, Outcome soFar, Done done);
  void WithFolder(std::function<void(const DavResult&)> next);

  std::string folder_;
  std::string host_;
  WebDavClient client_;
  bool folderKnown_ = false;
  Step beforeWrite_;
};

}  // namespace varnelo::sync
