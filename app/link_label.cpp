#include "app/link_label.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/links.h"
#include "platform/services.h"

namespace varnelo {

bool OpenAddress(QWidget* owner, const QString& address) {
  const UrlOpenResult result = UrlOpener().OpenUrl(address);
  if (result == UrlOpenResult::Opened) return true;
  QApplication::beep();
  const std::string text = result == UrlOpenResult::NoApplication
                               ? LinkFailureText(kLinkNoAssociation)
                               : std::string(kLaunchFailedText);
  MessageBoxes().Show(owner, QString::fromStdString(text), QString(), MessageButtons::Ok,
                      MessageIcon::Exclamation);
  return false;
}

CLinkLabel::CLinkLabel(QWidget* parent)
    : QLabel(parent), hoverColour_(palette().color(QPalette::Highlight)) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setTextFormat(Qt::PlainText);
  SetUnderlined(true);
  FitToText();
  ApplyColour();
}

void CLinkLabel::SetLinkTarget(const QString& target) {
  target_ = target;
  if (text().isEmpty()) setText(target);
  setToolTip(LinkTarget());
  FitToText();
}

QString CLinkLabel::LinkTarget() const { return target_.isEmpty() ? text() : target_; }

void CLinkLabel::SetUnderlined(bool underlined) {
  underlined_ = underlined;
  QFont linkFont = font();
  linkFont.setUnderline(underlined);
  setFont(linkFont);
  FitToText();
}

void CLinkLabel::MarkVisited(bool visited) {
  visited_ = visited;
  ApplyColour();
}

QColor CLinkLabel::TextColour() const {
  if (hovered_) return hoverColour_;
  return QColor::fromRgb(visited_ ? kVisitedColour : kLinkColour);
}

// The label claims the room of its text and no more, so only the text is the link.
void CLinkLabel::FitToText() {
  setMargin(0);
  setIndent(0);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  adjustSize();
  updateGeometry();
}

void CLinkLabel::ApplyColour() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, TextColour());
  setPalette(colours);
}

void CLinkLabel::SetHovered(bool hovered) {
  hovered_ = hovered;
  ApplyColour();
}

void CLinkLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetHovered(true);
}

void CLinkLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetHovered(hasFocus());
}

// The keyboard's focus shows as the pointer's hover does.
void CLinkLabel::focusInEvent(QFocusEvent* event) {
  QLabel::focusInEvent(event);
  SetHovered(true);
}

void CLinkLabel::focusOutEvent(QFocusEvent* event) {
  QLabel::focusOutEvent(event);
  SetHovered(underMouse());
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    OnLinkClicked();
}

void CLinkLabel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter) {
    OnLinkClicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

void CLinkLabel::OnLinkClicked() {
  MarkVisited(OpenAddress(this, LinkTarget()));
}

}  // namespace varnelo
