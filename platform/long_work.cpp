#include "platform/long_work.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace varnelo {

namespace {

// Work that ends within a frame never turns the event loop; longer work lets it turn.
constexpr auto kQuietWait = std::chrono::milliseconds(15);
constexpr int kProgressDelayMs = 400;
constexpr int kProgressPollMs = 50;

bool gRunning = false;
std::function<void(WorkControl&)>& Hook() {
  static std::function<void(WorkControl&)> hook;
  return hook;
}

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::DragEnter:
    case QEvent::Drop:
    case QEvent::Close:
    case QEvent::ContextMenu:
      return true;
    default:
      return false;
  }
}

// Holds back the user's input while work runs; Esc cancels it. Keys are kept and typed
// again once the work has ended, as a busy window would take them then: a word typed in a
// box while the box's count runs is not lost. Clicks are dropped: what they were aimed at
// may have moved.
class InputHold : public QObject {
 public:
  InputHold(WorkControl& control, QProgressDialog& progress) : control_(control), progress_(progress) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!IsUserInput(event->type())) return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      control_.cancelled = true;
      return true;
    }
    bool onProgress = false;
    for (QObject* o = watched; o != nullptr && !onProgress; o = o->parent()) onProgress = o == &progress_;
    if (event->type() == QEvent::Close) {
      // Closing the progress box cancels; the reader's window stays until the work ends.
      if (onProgress) control_.cancelled = true;
      event->ignore();
      return true;
    }
    // The progress box's own button cancels too.
    if (onProgress) return false;
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
      // A key's release after an Esc that cancelled belongs to the Esc.
      if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
        keys_.emplace_back(static_cast<QKeyEvent*>(event->clone()));
    }
    return true;
  }
  // The keys held, for the widget that has the focus once the work's outcome is shown (a
  // list the work opened takes them, as it would have from a busy window's queue).
  void TypeAgainLater() {
    if (keys_.empty()) return;
    auto keys = std::make_shared<std::vector<std::unique_ptr<QKeyEvent>>>(std::move(keys_));
    QTimer::singleShot(0, qApp, [keys] {
      for (const auto& key : *keys) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr) return;
        QCoreApplication::sendEvent(focus, key.get());
      }
    });
  }

 private:
  WorkControl& control_;
  QProgressDialog& progress_;
  std::vector<std::unique_ptr<QKeyEvent>> keys_;
};

}  // namespace

bool LongWorkRunning() { return gRunning; }

void SetLongWorkHook(std::function<void(WorkControl&)> hook) { Hook() = std::move(hook); }

WorkOutcome RunLongWork(QWidget* owner, const QString& what, const std::function<void(WorkControl&)>& work) {
  WorkControl control;
  if (gRunning) {
    work(control);
    return WorkOutcome::Done;
  }
  gRunning = true;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  const std::function<void(WorkControl&)> hook = Hook();
  // The end wakes the loop at once, not at the next poll. Posted before the loop runs, the
  // quit waits for it; never run, it goes with the loop.
  QEventLoop loop;
  std::thread worker([&] {
    if (hook) hook(control);
    if (!control.Cancelled()) work(control);
    std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  bool quick = false;
  {
    std::unique_lock lock(mutex);
    quick = ended.wait_for(lock, kQuietWait, [&] { return done; });
  }
  if (!quick) {
    // A dialog that works before it shows cannot hold a box modal to it: the nearest window
    // on screen holds it.
    while (owner != nullptr && !owner->isVisible() && owner->parentWidget() != nullptr) owner = owner->parentWidget();
    QProgressDialog progress(what, QStringLiteral("取消"), 0, 0, owner);
    progress.setWindowTitle(QStringLiteral("请稍候"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QObject::connect(&progress, &QProgressDialog::canceled, [&control] { control.cancelled = true; });
    InputHold hold(control, progress);
    qApp->installEventFilter(&hold);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      {
        std::lock_guard lock(mutex);
        if (done) {
          loop.quit();
          return;
        }
      }
      const int permille = control.permille.load();
      if (permille >= 0 && progress.maximum() == 0) progress.setMaximum(1000);
      if (permille >= 0) progress.setValue(permille);
      if (control.Cancelled()) progress.setLabelText(QStringLiteral("正在取消……"));
    });
    poll.start(kProgressPollMs);
    loop.exec();
    qApp->removeEventFilter(&hold);
    hold.TypeAgainLater();
  }
  worker.join();
  gRunning = false;
  return control.Cancelled() ? WorkOutcome::Cancelled : WorkOutcome::Done;
}

}  // namespace varnelo
