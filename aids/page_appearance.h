// How the page looks around the view's appearance value: the font dialog, the sizes and
// spacings, the background (plain colour, picture or night), night mode, and the fixed
// colours of the list, the page-number box and the quotation line.
#pragma once

#include <string>

#include "text/view_part.h"

namespace varnelo {

class CBackgroundPicture;
class CVarneloView;

class PageAppearance : public ViewPart {
 public:
  explicit PageAppearance(CVarneloView& view);

  void OnStartup(StartupStep step) override;
  void ToggleNightMode();
  void ChooseFont();
  void ChooseOtherColour();
  void UseDefaultBackground();
  void ChoosePicture();

  // The picture behind the page; empty when there is none. Written at exit.
  const std::string& PicturePath() const { return picturePath_; }

 private:
  void RegisterCommands();
  void SetFontSize(int size);
  void SetLineSpacing(int spacing);
  void ShowPlainColour(int colour);
  void ApplyBackground();
  void ApplyControlColours();
  void StartPicture(const std::string& path);

  CVarneloView& view_;
  CBackgroundPicture* picture_;  // owned by the pane
  std::string picturePath_;
};

}  // namespace varnelo
