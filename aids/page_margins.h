// "页面边距" of the settings dialog: margins left and right of the page's text and the
// longest line, in characters, centred in the pane (the window and full screen alike).
// Both 0, the text runs the pane's whole width, as it always did.
#pragma once

#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

// Gives the pane the margins and line width of the shared settings.
void ApplyPageMargins(CVarneloView& view);

class PageMargins : public ViewPart {
 public:
  explicit PageMargins(CVarneloView& view) : view_(view) {}
  void OnStartup(StartupStep step) override;

 private:
  CVarneloView& view_;
};

}  // namespace varnelo
