#include "aids/immersive/quiet_notices.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>

#include "aids/immersive/themes.h"

namespace varnelo {

namespace {

int holdMs = 1800;
int fadeMs = 400;

}  // namespace

void StyleNotices(QWidget& notice, std::uint32_t page, std::uint32_t text, bool dark) {
  // A card a shade off the page, so it reads as part of it rather than a system box.
  const QColor base = RgbColour(page);
  const QColor card = dark ? base.lighter(160) : base.darker(112);
  notice.setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border-radius: 8px; }"
                                      " QLabel { color: %3; background: transparent; }")
                           .arg(notice.objectName(), card.name(), RgbColour(text).name()));
}

Toast::Toast(QWidget* parent)
    : QFrame(parent), label_(new QLabel(this)), opacity_(new QGraphicsOpacityEffect(this)),
      fading_(new QPropertyAnimation(opacity_, "opacity", this)) {
  setObjectName(QStringLiteral("immersiveToast"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(18, 9, 18, 9);
  layout->addWidget(label_);
  setGraphicsEffect(opacity_);
  hold_.setSingleShot(true);
  connect(&hold_, &QTimer::timeout, this, &Toast::Fade);
  connect(fading_, &QPropertyAnimation::finished, this, [this] {
    if (!hold_.isActive()) hide();
  });
  hide();
}

void Toast::SetTimes(int hold, int fade) {
  holdMs = hold;
  fadeMs = fade;
}

void Toast::Show(const QString& text) {
  fading_->stop();
  opacity_->setOpacity(1.0);
  label_->setText(text);
  adjustSize();
  Place();
  show();
  raise();
  hold_.start(holdMs);
}

QString Toast::Text() const { return label_->text(); }

void Toast::Place() {
  if (parentWidget() == nullptr) return;
  const QRect area = parentWidget()->rect();
  move(area.center().x() - width() / 2, area.bottom() - height() - area.height() / 10);
}

void Toast::Fade() {
  if (fadeMs <= 0) {
    hide();
    return;
  }
  fading_->setDuration(fadeMs);
  fading_->setStartValue(1.0);
  fading_->setEndValue(0.0);
  fading_->start();
}

Banner::Banner(QWidget* parent)
    : QFrame(parent), label_(new QLabel(this)),
      later_(new QPushButton(QStringLiteral("稍后提醒"), this)),
      close_(new QPushButton(QStringLiteral("知道了"), this)) {
  setObjectName(QStringLiteral("immersiveBanner"));
  later_->setObjectName(QStringLiteral("bannerSnooze"));
  close_->setObjectName(QStringLiteral("bannerClose"));
  for (QPushButton* button : {later_, close_}) {
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    // The keys stay the page's: a banner never takes Space from the reader.
    button->setFocusPolicy(Qt::NoFocus);
  }
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(18, 6, 8, 6);
  layout->addWidget(label_, 1);
  layout->addWidget(later_);
  layout->addWidget(close_);
  connect(close_, &QPushButton::clicked, this, &QWidget::hide);
  connect(later_, &QPushButton::clicked, this, [this] {
    hide();
    if (snooze_) snooze_();
  });
  hide();
}

void Banner::Show(const QString& text, std::function<void()> snooze) {
  snooze_ = std::move(snooze);
  label_->setText(text);
  Place();
  show();
  raise();
}

QString Banner::Text() const { return label_->text(); }

void Banner::Place() {
  if (parentWidget() == nullptr) return;
  const int width = std::min(parentWidget()->width() - 32, 720);
  resize(width, sizeHint().height());
  move((parentWidget()->width() - width) / 2, 12);
}

}  // namespace varnelo
