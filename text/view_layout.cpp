// The form's layout: every control at a fixed distance from the right or bottom edge.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegion>
#include <QResizeEvent>

#include "text/varnelo_view.h"

namespace varnelo {

FormLayout LayOutForm(int w, int h, bool sideBarHidden, int quoteHeight) {
  FormLayout form{};
  if (sideBarHidden) {
    form.list = {0, 0, 0, 0};
    form.pane = {5, 0, w - 5, h - 30};
  } else {
    form.list = {5, 0, 160, h - 30};
    form.pane = {170, 0, w - 170, h - 30};
  }
  form.frame = {0, h - 35, w, 35};
  form.countLabel = {w - 490, h - 22, 50, 20};
  form.countBox = {w - 430, h - 25, 50, 20};
  form.numberLabel = {w - 350, h - 22, 60, 20};
  form.numberBox = {w - 280, h - 25, 50, 20};
  form.previous = {w - 200, h - 25, 50, 20};
  form.screen = {w - 140, h - 25, 40, 20};
  form.next = {w - 90, h - 25, 50, 20};
  form.quote = {35, h - 22, w - 525, quoteHeight};
  return form;
}

namespace {

void Place(QWidget* widget, const FormLayout::Box& box) {
  // Qt refuses negative sizes; a window narrower than the bar just clips.
  widget->setGeometry(box.x, box.y, std::max(box.width, 0), std::max(box.height, 0));
}

}  // namespace

// The bottom bar's top edge lies under the page, which covers it. Masked off there, the
// bar is not drawn again for the strip every scrolling step uncovers at the page's foot.
void CVarneloView::MaskBarUnderPage() {
  QRegion shown(bottomFrame_->rect());
  const QRect page = pane_->contentsRect().translated(pane_->pos() - bottomFrame_->pos());
  shown -= QRegion(page);
  if (shown == QRegion(bottomFrame_->rect())) {
    bottomFrame_->clearMask();
  } else {
    bottomFrame_->setMask(shown);
  }
}

void CVarneloView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  viewWidth_ = event->size().width();
  viewHeight_ = event->size().height();
  LayOut();
}

// Showing or hiding the side bar moves only the list and the page; everything else keeps
// its place (the quotation line stays where its last step put it).
void CVarneloView::SetSideBarHidden(bool hidden) {
  sideBarHidden_ = hidden;
  if (PlaceListAndPage()) MaskBarUnderPage();
}

void CVarneloView::SetLayoutOverride(std::function<void(int width, int height)> layOut) {
  layoutOverride_ = std::move(layOut);
}

std::optional<FormLayout> CVarneloView::PlaceListAndPage() {
  if (list_ == nullptr) return std::nullopt;
  if (layoutOverride_) {
    layoutOverride_(viewWidth_, viewHeight_);
    return std::nullopt;
  }
  const FormLayout form = LayOutForm(viewWidth_, viewHeight_, sideBarHidden_, quoteHeight_);
  Place(list_, form.list);
  list_->setVisible(!sideBarHidden_);
  Place(pane_, form.pane);
  return form;
}

void CVarneloView::LayOut() {
  const std::optional<FormLayout> placed = PlaceListAndPage();
  if (!placed) return;
  const FormLayout& form = *placed;
  Place(bottomFrame_, form.frame);
  MaskBarUnderPage();
  Place(countLabel_, form.countLabel);
  Place(countBox_, form.countBox);
  Place(numberLabel_, form.numberLabel);
  Place(numberBox_, form.numberBox);
  Place(previousButton_, form.previous);
  Place(screenButton_, form.screen);
  Place(nextButton_, form.next);
  Place(quoteLine_, form.quote);
}

}  // namespace varnelo
