// CLinkLabel: a static text that behaves as a web link. It shows the link, hover and
// visited colours, the platform's hand cursor and its address as tool tip, takes exactly
// the room of its text, and opens the address with the desktop on a click (or Space or
// Enter when it has the focus), reporting an address nothing would open.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace varnelo {

// Hands the address to the desktop. When that fails: the exclamation beep and a message
// that says why, "Unable to open hyperlink:" with the failure table's text when nothing
// takes such an address, a launch failure of its own when the program did not start.
bool OpenAddress(QWidget* owner, const QString& address);

class CLinkLabel : public QLabel {
  Q_OBJECT
 public:
  static constexpr QRgb kLinkColour = 0xFF0000EE;
  static constexpr QRgb kVisitedColour = 0xFF551A8B;

  explicit CLinkLabel(QWidget* parent = nullptr);

  // The label's text stands in for an empty target, and the target for an empty text.
  void SetLinkTarget(const QString& target);
  QString LinkTarget() const;
  void SetUnderlined(bool underlined);
  void MarkVisited(bool visited);
  bool Visited() const { return visited_; }
  bool Hovered() const { return hovered_; }
  QColor TextColour() const;
  void FitToText();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnLinkClicked();
  void SetHovered(bool hovered);
  void ApplyColour();

  QColor hoverColour_;
  bool hovered_ = false;
  bool visited_ = false;
  bool underlined_ = true;
  QString target_;
};

}  // namespace varnelo
