#include "aids/skin_button.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include "platform/installed_face.h"
#include "platform/rich_pane.h"
#include "res/skin_strip.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

// The keys that page and scroll the book, which a focused button would otherwise take.
bool IsPagingKey(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    default:
      return false;
  }
}

}  // namespace

CButtonFont::CButtonFont(const std::string& face) {
  font_.setFamily(InstalledFace(face));
  font_.setPixelSize(12);
  font_.setWeight(QFont::Normal);
  font_.setStyleHint(QFont::Serif, QFont::PreferQuality);
}

CSkinButton::CSkinButton(QPushButton* button, QWidget* keyTarget)
    : QObject(button), button_(button), keyTarget_(keyTarget), font_("宋体") {
  // The button paints all of itself: nothing behind it needs painting first.
  button_->setAttribute(Qt::WA_OpaquePaintEvent);
  button_->setFocusPolicy(Qt::ClickFocus);
  button_->installEventFilter(this);
  button_->update();
}

bool CSkinButton::LoadImages(const QImage& strip, int frameCount, int top, int bottom,
                             int left, int right) {
  frameCount_ = frameCount;
  borders_ = {top, bottom, left, right};
  loaded_ = false;
  if (strip.isNull() || frameCount < 4 || strip.width() / frameCount == 0) {
    strip_ = QImage();
    button_->update();
    return false;
  }
  // The magenta pixels become see-through once, instead of a mask at every paint.
  strip_ = strip.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < strip_.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(strip_.scanLine(y));
    for (int x = 0; x < strip_.width(); ++x) {
      if ((line[x] | 0xFF000000u) == kSkinTransparent) line[x] = 0;
    }
  }
  loaded_ = BuildImages();
  button_->update();
  return loaded_;
}

bool CSkinButton::BuildImages() {
  const QSize size = button_->size();
  if (strip_.isNull() || size.isEmpty()) return false;
  for (int frame = 0; frame < static_cast<int>(images_.size()); ++frame) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (const Slice& slice : NineSlices(strip_.width(), strip_.height(), frameCount_, frame,
                                         size.width(), size.height(), borders_)) {
      if (slice.source.Empty() || slice.target.Empty()) continue;
      painter.drawImage(
          QRect(slice.target.x, slice.target.y, slice.target.width, slice.target.height), strip_,
          QRect(slice.source.x, slice.source.y, slice.source.width, slice.source.height));
    }
    images_[frame] = std::move(image);
  }
  return true;
}

bool CSkinButton::eventFilter(QObject* watched, QEvent* event) {
  if (watched == button_) {
    switch (event->type()) {
      case QEvent::Paint:
        DrawItem();
        return true;
      case QEvent::KeyPress:
        if (keyTarget_ != nullptr && IsPagingKey(static_cast<QKeyEvent*>(event)->key())) {
          keyTarget_->setFocus(Qt::OtherFocusReason);
          QCoreApplication::sendEvent(keyTarget_, event);
          return true;
        }
        break;
      case QEvent::Resize:
        // The layout sizes the buttons after the images are first cut: cut them again.
        if (!strip_.isNull()) loaded_ = BuildImages();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void CSkinButton::DrawItem() {
  QPainter painter(button_);
  const QRect area = button_->rect();
  painter.fillRect(area, button_->palette().color(QPalette::Button));
  const SkinLook look = LookOf(button_->hasFocus(), button_->isDown(), !button_->isEnabled());
  if (loaded_) {
    for (int frame : look.frames) {
      if (frame >= 0) painter.drawImage(area.topLeft(), images_[frame]);
    }
  }
  painter.setFont(font_.Font());
  painter.setPen(look.greyCaption ? button_->palette().color(QPalette::Disabled, QPalette::Text)
                                  : font_.TextColour());
  painter.drawText(area.adjusted(look.captionShift, 0, 0, 0),
                   Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, button_->text());
}

SkinnedButtons::SkinnedButtons(CVarneloView& view) {
  for (const char* name : {"button1012", "button1013", "button1052"}) {
    if (auto* button = view.findChild<QPushButton*>(QString::fromLatin1(name))) {
      buttons_.push_back(new CSkinButton(button, view.Pane()));
    }
  }
}

void SkinnedButtons::OnStartup(StartupStep step) {
  if (step != StartupStep::AppearanceLoaded) return;
  const QImage strip = ButtonSkinStrip();
  for (CSkinButton* button : buttons_) button->LoadImages(strip, kSkinFrameCount, 5, 5, 5, 4);
}

}  // namespace varnelo
