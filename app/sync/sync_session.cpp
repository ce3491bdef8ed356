#include "app/sync/sync_session.h"

#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include <QTimer>

namespace varnelo::sync {
namespace {

constexpr char kRulesName[] = "rules";

QString RemoteName(const std::string& key) { return QString::fromStdString(key) + QStringLiteral(".sync"); }

}  // namespace

SyncSession::SyncSession(std::string settingsFolder, std::string host, QObject* parent)
    : QObject(parent), folder_(std::move(settingsFolder)), host_(CleanHost(host)) {}

std::string SyncSession::StateFile(const std::string& key) const {
  const std::filesystem::path folder = std::filesystem::path(folder_) / "Sync";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return (folder / (key + ".state")).string();
}

bool SyncSession::Capture(const BookContext& book) {
  const std::string file = StateFile(BookKey(book.text));
  LocalState state = LoadLocal(file);
  if (!CaptureBook(state, book)) return true;
  return SaveLocal(state, file);
}

void SyncSession::MarkOffered(const BookContext& book, const PlaceOffer& offer) {
  const std::string file = StateFile(BookKey(book.text));
  LocalState state = LoadLocal(file);
  state.seen["offered"] = std::to_string(offer.time) + "," + offer.host;
  SaveLocal(state, file);
}

void SyncSession::WithFolder(std::function<void(const DavResult&)> next) {
  if (folderKnown_) {
    next(DavResult{});
    return;
  }
  client_.EnsureFolder([this, next](const DavResult& result) {
    folderKnown_ = result.ok();
    next(result);
  });
}

void SyncSession::Round(const QString& name, const std::string& stateFile,
                        std::function<bool(LocalState&)> apply,
                        std::function<void(LocalState&, Outcome&)> after, Done done) {
  auto plan = std::make_shared<RoundPlan>(RoundPlan{name, stateFile, std::move(apply), std::move(after), std::move(done), false});
  Try(plan, 0, 0, QByteArray());
}

void SyncSession::Try(std::shared_ptr<RoundPlan> plan, int tries, int lockTries, QByteArray refused) {
  WithFolder([=, this](const DavResult& folder) {
    if (!folder.ok()) {
      plan->done(Outcome{folder.failure, folder.status, folder.fingerprint, std::nullopt, false});
      return;
    }
    if (!client_.ConditionsRefused() || client_.LocksRefused()) {
      Exchange(plan, tries, QByteArray(), refused);
      return;
    }
    client_.Lock(kLockSeconds, [=, this](const DavResult& locked) {
      if (locked.ok()) {
        Exchange(plan, tries, locked.lockToken, QByteArray());
      } else if (locked.failure == Failure::Busy && lockTries + 1 < kLockTries) {
        QTimer::singleShot(kLockWaitMs * (lockTries + 1), this,
                           [=, this] { Try(plan, tries, lockTries + 1, QByteArray()); });
      } else if (locked.status == 405 || locked.status == 501 || locked.status == 400) {
        client_.RefuseLocks();  // no locks here either: the last resort is a plain write
        Exchange(plan, tries, QByteArray(), QByteArray());
      } else {
        plan->done(Outcome{locked.failure, locked.status, locked.fingerprint, std::nullopt, false});
      }
    });
  });
}

void SyncSession::Exchange(std::shared_ptr<RoundPlan> plan, int tries, QByteArray token,
                           QByteArray refused) {
  // Every way out gives the lock back, and the round ends when the server has heard it: a
  // reader closing straight after must not leave the folder locked for the others.
  const auto finish = [=, this](const Outcome& outcome) {
    if (token.isEmpty()) return plan->done(outcome);
    client_.Unlock(token, [plan, outcome](const DavResult&) { plan->done(outcome); });
  };
  client_.Get(plan->name, [=, this](const DavResult& got) {
    if (!got.ok()) {
      if (got.status == 404 || got.status == 409) folderKnown_ = false;
      finish(Outcome{got.failure, got.status, got.fingerprint, std::nullopt, false});
      return;
    }
    const bool exists = got.status != 404;
    if (token.isEmpty() && exists && !client_.ConditionsRefused() &&
        (got.etag.isEmpty() || (!refused.isEmpty() && got.etag == refused))) {
      // Refused a condition that held, or names no version to hold one on: lock instead.
      client_.RefuseConditions();
      Try(plan, tries, 0, QByteArray());
      return;
    }
    std::optional<Document> remote = Document{};
    if (exists) remote = Parse(std::string_view(got.body.constData(), got.body.size()));
    if (!remote) {
      finish(Outcome{Failure::BadReply, got.status, QString(), std::nullopt, false});
      return;
    }
    // Read again: the book may have changed while the server was answering.
    LocalState state = LoadLocal(plan->stateFile);
    state.doc = Merge(state.doc, *remote);
    Outcome outcome;
    // A try before this one may have taken something in already: that still counts.
    plan->applied |= plan->apply(state);
    outcome.applied = plan->applied;
    if (plan->after) plan->after(state, outcome);
    SaveLocal(state, plan->stateFile);
    if (state.doc == *remote) {
      state.pending = false;
      SaveLocal(state, plan->stateFile);
      finish(outcome);
      return;
    }
    const Document sent = state.doc;
    const WebDavClient::Condition condition{exists, client_.ConditionsRefused() ? QByteArray() : got.etag, token};
    const std::function<void()> write = [=, this]() mutable {
      client_.Put(plan->name, QByteArray::fromStdString(Serialize(sent)), condition,
                  [=, this](const DavResult& put) mutable {
                    if (put.failure == Failure::Changed && token.isEmpty() && tries + 1 < kWriteTries) {
                      // Another computer wrote first (or the server would not check): its
                      // document is fetched, merged and written again.
                      Try(plan, tries + 1, 0, exists ? got.etag : QByteArray());
                      return;
                    }
                    if (put.failure == Failure::Busy && token.isEmpty() && tries + 1 < kWriteTries) {
                      // Another computer holds the folder locked: a little later, again.
                      QTimer::singleShot(kLockWaitMs * (tries + 1), this,
                                         [=, this] { Try(plan, tries + 1, 0, QByteArray()); });
                      return;
                    }
                    if (!put.ok()) {
                      if (put.status == 404 || put.status == 409) folderKnown_ = false;
                      outcome.failure = put.failure;
                      outcome.status = put.status;
                      finish(outcome);
                      return;
                    }
                    LocalState now = LoadLocal(plan->stateFile);
                    if (now.doc == sent) {
                      now.pending = false;
                      SaveLocal(now, plan->stateFile);
                    }
                    finish(outcome);
                  });
    };
    if (beforeWrite_) {
      beforeWrite_(write);
    } else {
      write();
    }
  });
}

void SyncSession::SyncBook(const BookContext& book, Done done) {
  const std::string key = BookKey(book.text);
  const std::string file = StateFile(key);
  if (!Capture(book)) {
    // Config.ini's changes are still there to capture next time; the server gets nothing
    // that is not kept here first.
    done(Outcome{Failure::Other, 0, QString(), std::nullopt, false});
    return;
  }
  // The book's text and path are copied: the round outlives this call.
  auto text = std::make_shared<std::string>(book.text);
  BookContext copy = book;
  Round(
      RemoteName(key), file,
      [copy, text](LocalState& state) mutable {
        copy.text = *text;
        const std::map<std::string, std::string> seenBefore = state.seen;
        const std::int64_t knownBefore = state.knownSeconds;
        ApplyBook(state, copy);
        return state.seen != seenBefore || state.knownSeconds != knownBefore;
      },
      [copy, text](LocalState& state, Outcome& outcome) mutable {
        copy.text = *text;
        outcome.offer = OfferedPlace(state, copy);
      },
      std::move(done));
}

void SyncSession::SyncRulesAndPending(Done done) {
  const std::string settings = (std::filesystem::path(folder_) / "Config.ini").string();
  const std::string rulesFile = StateFile(kRulesName);
  LocalState rules = LoadLocal(rulesFile);
  if (CaptureRules(rules, settings, static_cast<std::int64_t>(std::time(nullptr)), host_)) {
    SaveLocal(rules, rulesFile);
  }
  std::vector<std::string> keys;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(folder_) / "Sync", error)) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() != ".state" || file == std::string(kRulesName) + ".state") continue;
    if (LoadLocal(entry.path().string()).pending) keys.push_back(entry.path().stem().string());
  }
  Round(QString::fromLatin1(kRulesName) + QStringLiteral(".sync"), rulesFile,
        [settings](LocalState& state) {
          bool changed = false;
          ApplyRules(state, settings, &changed);
          return changed;
        },
        nullptr, [this, keys, done](const Outcome& outcome) { SendPending(keys, 0, outcome, done); });
}

// One after another; the first failure ends the run (the rest wait for the next).
void SyncSession::SendPending(std::vector<std::string> keys, std::size_t k, Outcome soFar, Done done) {
  if (k == keys.size() || soFar.failure != Failure::None) {
    done(soFar);
    return;
  }
  const std::string key = keys[k];
  Round(RemoteName(key), StateFile(key), [](LocalState&) { return false; }, nullptr,
        [this, keys = std::move(keys), k, soFar, done](const Outcome& one) {
          Outcome merged = soFar;
          merged.failure = one.failure;
          merged.status = one.status;
          merged.fingerprint = one.fingerprint;
          SendPending(keys, k + 1, merged, done);
        });
}

}  // namespace varnelo::sync
