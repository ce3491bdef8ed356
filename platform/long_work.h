// Work that can take long on a large book (a whole-book find, a chapter pass, converting
// a page) runs on a thread of its own while the window goes on painting and its timers go
// on ticking. Work that ends within a moment never shows anything; longer work shows its
// progress after a short delay, and Esc (or the progress box's button) cancels it. Until
// it ends, the user's keys wait (they are typed once it has ended), clicks are dropped and
// the window does not close, so the bytes the work reads stay as they are.
#pragma once

#include <QString>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>

class QWidget;

namespace varnelo {

struct WorkControl {
  std::atomic<bool> cancelled{false};
  std::atomic<int> permille{-1};  // -1: progress unknown
  bool Cancelled() const { return cancelled.load(std::memory_order_relaxed); }
  // For a pass over `total` bytes (0: unknown), `done` of them so far: shows it, and says
  // whether to go on.
  bool Report(std::int64_t done, std::int64_t total) {
    if (total > 0) permille = static_cast<int>(std::min(done, total) * 1000 / total);
    return !Cancelled();
  }
};

enum class WorkOutcome { Done, Cancelled };

// Runs `work` (which should look at Cancelled() now and then and may set permille) and
// returns once it has ended. Cancelled: whatever it made is to be thrown away. Called while
// other work runs, it runs `work` at once on this thread.
WorkOutcome RunLongWork(QWidget* owner, const QString& what, const std::function<void(WorkControl&)>& work);

// True while long work runs: what would change the book waits.
bool LongWorkRunning();

// For tests: runs on the work's thread before each work, so a test can hold work until it
// is cancelled, without depending on the machine's speed.
void SetLongWorkHook(std::function<void(WorkControl&)> hook);

}  // namespace varnelo
