// How the page looks around the view's appearance value: the background (plain colour or
// night), night mode, and the fixed colours of the list, the page-number box and the
// quotation line.
#pragma once

#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class PageAppearance : public ViewPart {
 public:
  explicit PageAppearance(CVarneloView& view);

  void OnStartup(StartupStep step) override;
  void ToggleNightMode();

 private:
  void ApplyBackground();
  void ApplyControlColours();

  CVarneloView& view_;
};

}  // namespace varnelo
