// The quotation line under the page (label 1028): a built-in maxim every 5 s, the lines of
// the user's quotation file every 3 s, or that file as a band moving every 800 ms; hidden
// when switched off. Driven by view timers 10 to 13, one of which runs at a time.
#pragma once

#include "aids/quotation_sequence.h"
#include "text/view_part.h"

class QString;

namespace varnelo {

class CVarneloView;

class QuotationLine : public ViewPart {
 public:
  static constexpr int kOffTimer = 10;
  static constexpr int kMaximTimer = 11;
  static constexpr int kLineTimer = 12;
  static constexpr int kBandTimer = 13;

  explicit QuotationLine(CVarneloView& view);

  void OnStartup(StartupStep step) override;
  // Stops whichever of timers 10 to 13 runs and starts again from the [Quote] settings.
  void Start();
  void Step();

 private:
  void StartFile();
  void Show(const QString& text, int height);
  void Tell(const QString& text);

  CVarneloView& view_;
  int maximIndex_ = 0;
  QuotationFile file_;
};

}  // namespace varnelo
