// The reading mode's notices: a toast that says a thing and fades by itself, and a banner
// along the top that waits for the reader without stopping the reading.
#pragma once

#include <QFrame>
#include <QTimer>

#include <functional>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QPushButton;

namespace varnelo {

class Toast : public QFrame {
  Q_OBJECT
 public:
  explicit Toast(QWidget* parent);
  // Shows `text` for the hold time, then fades out; a new text starts the time again.
  void Show(const QString& text);
  QString Text() const;
  // How long a toast stays and how long its fading takes.
  static void SetTimes(int holdMs, int fadeMs);
  void Place();

 private:
  void Fade();

  QLabel* label_;
  QGraphicsOpacityEffect* opacity_;
  QPropertyAnimation* fading_;
  QTimer hold_;
};

class Banner : public QFrame {
  Q_OBJECT
 public:
  explicit Banner(QWidget* parent);
  // `snooze` is called when the reader asks to be reminded later.
  void Show(const QString& text, std::function<void()> snooze);
  QString Text() const;
  void Place();

 private:
  QLabel* label_;
  QPushButton* later_;
  QPushButton* close_;
  std::function<void()> snooze_;
};

// The notices' colours for the page's colours (0xRRGGBB).
void StyleNotices(QWidget& notice, std::uint32_t page, std::uint32_t text, bool dark);

}  // namespace varnelo
