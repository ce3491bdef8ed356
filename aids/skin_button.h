// The three buttons of the bottom bar drawn from our own skin: one strip of frames cut into
// nine pieces per frame (corners kept, edges stretched) and the caption drawn over it.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>

#include <array>
#include <string>
#include <vector>

#include "aids/nine_slice.h"
#include "text/view_part.h"

class QPushButton;

namespace varnelo {

class CVarneloView;

// The caption font of a skinned button: the face at 12 pixels, regular, and its colour.
class CButtonFont {
 public:
  explicit CButtonFont(const std::string& face);
  const QFont& Font() const { return font_; }
  QColor TextColour() const { return textColour_; }

 private:
  QFont font_;
  QColor textColour_{Qt::black};
};

// Takes over the painting of an existing push button, which keeps its object name, its
// clicked() signal and its place in the form, as the old program subclassed its controls.
class CSkinButton : public QObject {
  Q_OBJECT
 public:
  // A click gives the button the focus, as a button takes it; the paging keys typed while
  // it has it go on to `keyTarget` (the page), which takes the focus back.
  explicit CSkinButton(QPushButton* button, QWidget* keyTarget = nullptr);

  // Cuts the normal, pressed, disabled and focused images (frames 0 to 3) of the button's
  // size from `strip`, whose magenta pixels are left out. False when the strip cannot give
  // them; the button then shows the plain face and its caption.
  bool LoadImages(const QImage& strip, int frameCount, int top, int bottom, int left,
                  int right);
  bool ImagesLoaded() const { return loaded_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool BuildImages();
  void DrawItem();

  QPushButton* button_;
  QWidget* keyTarget_;
  QImage strip_;
  std::array<QImage, 4> images_;
  int frameCount_ = 0;
  SliceBorders borders_{8, 8, 8, 17};
  bool loaded_ = false;
  CButtonFont font_;
};

// Skins "下一页", "上一页" and "翻屏" in the view's initial update.
class SkinnedButtons : public ViewPart {
 public:
  explicit SkinnedButtons(CVarneloView& view);
  void OnStartup(StartupStep step) override;

 private:
  std::vector<CSkinButton*> buttons_;  // each owned by its button
};

}  // namespace varnelo
