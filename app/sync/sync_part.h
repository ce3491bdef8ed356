// Syncing as the reader uses it: at start and when a book opens the server's copy is taken;
// after paging has settled, when a book is left and at exit (waiting at most 2 s) this
// computer's changes are sent. A newer place from another computer is offered quietly,
// never taken by itself. The "同步" dialog sets the server; the password lives in the
// desktop's keyring, or for this run only when there is none.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>

#include <QDialog>
#include <QPointer>
#include <QString>

#include "app/sync/cloud_shelf.h"
#include "app/sync/sync_session.h"
#include "store/config_schema.h"
#include "text/view_part.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QTimer;

namespace varnelo {

class CVarneloView;

namespace sync {

// Where passwords are kept and asked for; tests put their own in its place.
class PasswordService {
 public:
  virtual ~PasswordService() = default;
  // `done(found, password)`, later or at once.
  virtual void Read(const QString& account, std::function<void(bool, const QString&)> done) = 0;
  // `done(kept)`: false when there is no keyring.
  virtual void Write(const QString& account, const QString& password,
                     std::function<void(bool)> done) = 0;
  // Asks the user; empty when cancelled.
  virtual QString Ask(QWidget* owner, const QString& account) = 0;
};
PasswordService*& PasswordSlot();

// The 同步 dialog's fields.
class SyncDialog : public QDialog {
  Q_OBJECT
 public:
  SyncDialog(const SyncSettings& settings, const QString& password, QWidget* parent);
  SyncSettings Settings() const;
  QString Password() const;

 signals:
  void SyncNowRequested();

 private:
  SyncSettings original_;
  QLineEdit* server_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* folder_;
  QCheckBox* on_;
  QCheckBox* shelf_;
};

class SyncPart : public QObject, public ViewPart {
  Q_OBJECT
 public:
  static constexpr int kSettleMs = 4000;  // paging quiet this long: the place is sent
  static constexpr int kExitWaitMs = 2000;

  SyncPart(CVarneloView& view, QMainWindow& frame);
  ~SyncPart() override;

  void OnStartup(StartupStep step) override;
  void OnBookLeaving() override;
  void OnBookLoaded() override;
  void OnPageShown() override;

  // The exit: keeps this computer's changes, then sends them for at most 2 s.
  void OnExit();
  void OpenDialog();
  // 文件 → 云书架...: the server's books; the chosen one comes down and opens at its place.
  void OpenShelf();
  // How the reader opens a book by its path (the frame's side bar).
  void SetOpener(std::function<void(const std::string&)> open) { open_ = std::move(open); }
  // Books on their way up or down.
  int Carrying() const { return carrying_; }
  // Sends and fetches now; `loud` shows a failure in a box, not only in the status bar.
  void SyncNow(bool loud);
  void SendSettled();

  QLabel* Mark() const { return mark_; }
  QFrame* Offer() const { return offer_; }
  const QString& LastMessage() const { return lastMessage_; }
  // Requests whose answers have not come.
  int Running() const { return running_; }

 signals:
  void Finished(const QString& message);  // every sync, empty on success

 private:
  bool Configured() const;
  void EnsureSession();
  void Start(std::function<void()> then);
  void SyncBook(bool loud);
  void SyncRulesAndPending(bool loud, bool thenBook = false);
  void Finish(const Outcome& outcome, bool loud);
  void ShowOffer(const PlaceOffer& offer, const std::string& text, const std::string& path);
  BookContext Context() const;
  void KeepPlaceNow();
  QString Account() const;
  void UploadBook(const std::string& key, const std::string& path, const std::string& title, int tries = 0);
  void Download(const ShelfBook& book);

  CVarneloView& view_;
  QMainWindow& frame_;
  std::unique_ptr<SyncSession> session_;
  QString password_;
  bool passwordKnown_ = false;
  bool asked_ = false;
  QLabel* mark_ = nullptr;
  QFrame* offer_ = nullptr;
  QLabel* offerText_ = nullptr;
  std::function<void()> takeOffer_;
  QTimer* settle_ = nullptr;
  QString lastMessage_;
  int running_ = 0;
  bool certificateAsked_ = false;
  std::int64_t openedAt_ = -1;  // the top of the pane when the book opened
  std::int64_t sentAt_ = -1;    // and when its place was last sent
  std::function<void(const std::string&)> open_;
  std::set<std::string> shelved_;  // keys known to be on the server's 书架
  int carrying_ = 0;
  std::string takePlaceOf_;  // a book fetched from the 书架 opens at its synced place
};

// The offer's words: "另一台电脑上读到 第23回（今天 08:10），跳过去？"
QString OfferText(const QString& chapter, std::int64_t time, std::int64_t now);

}  // namespace sync
}  // namespace varnelo
