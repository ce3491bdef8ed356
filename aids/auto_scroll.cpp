#include "aids/auto_scroll.h"

#include <QScrollBar>

#include "aids/scroll_steps.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"
#include "platform/long_work.h"
#include "platform/window_timers.h"

namespace varnelo {

AutoScroll::AutoScroll(CVarneloView& view) : view_(view) {
  const auto checkMark = [this](int, CommandState& state) {
    state.checkable = true;
    state.checked = on_;
  };
  view_.Commands().Add(cmd::kAutoScroll, [this](int) { Toggle(); }, checkMark);
  view_.Commands().Add(cmd::kAutoScrollAlt, [this](int) { Toggle(); }, checkMark);
  view_.AddTimerHandler(kTimer, [this] { Step(); });
}

void AutoScroll::Toggle() {
  on_ = !on_;
  Arm();
  // The Enter key reaches us without passing the frame: let it show the check mark too.
  emit view_.StatusChanged();
}

void AutoScroll::Arm() {
  if (on_) {
    view_.Timers().SetTimer(kTimer, TimerPeriodOf(view_.Settings().config.quote.scrollInterval));
  } else {
    view_.Timers().KillTimer(kTimer);
  }
}

void AutoScroll::Stop() {
  if (on_) Toggle();
}

void AutoScroll::Step() {
  // Long work reads the page table and the converter meanwhile: the page waits for it.
  if (stepping_ || LongWorkRunning()) return;
  stepping_ = true;
  switch (StepKindOf(view_.Settings().config.quote.rollType)) {
    case ScrollStepKind::Pixel: {
      QScrollBar* bar = view_.Pane()->verticalScrollBar();
      if (TurnsAtBottom()) break;
      bar->setValue(PixelStepTarget(bar->value(), bar->maximum()));
      break;
    }
    case ScrollStepKind::Line:
      if (TurnsAtBottom()) break;
      view_.Pane()->LineScroll(1);
      break;
    case ScrollStepKind::Screen:
      view_.ScrollOneScreen();  // at the end of the page: NextPage, which may ask to save
      break;
    case ScrollStepKind::None:
      break;
  }
  stepping_ = false;
}

// With "滚到页尾时自动翻页" on, the bottom of a page turns to the next one, as the
// screenful steps do; off, the pane stays at the bottom.
bool AutoScroll::TurnsAtBottom() {
  if (view_.Settings().config.turnAtPageEnd == 0) return false;
  const QScrollBar* bar = view_.Pane()->verticalScrollBar();
  if (bar->value() < bar->maximum()) return false;
  view_.NextPage();
  return true;
}

}  // namespace varnelo
