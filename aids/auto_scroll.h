// Automatic scrolling: the page pane moves on by itself, one step per tick of view timer
// 111, by pixel, by line or by screenful (turning the page at its end), as chosen in the
// settings dialog. Command 32823 (and 107, which Enter in the pane sends) switches it.
#pragma once

#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class AutoScroll : public ViewPart {
 public:
  static constexpr int kTimer = 111;

  explicit AutoScroll(CVarneloView& view);

  bool IsOn() const { return on_; }
  void Toggle();
  // Starts timer 111 with the current interval while on (a new interval takes effect at
  // once), stops it while off.
  void Arm();
  // For full-screen switching: off if it was on.
  void Stop();
  void Step();

 private:
  bool TurnsAtBottom();

  CVarneloView& view_;
  bool on_ = false;
  bool stepping_ = false;  // a step waiting on a question must not be re-entered by ticks
};

}  // namespace varnelo
