#include "aids/immersive/chapter_panel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPropertyAnimation>
#include <QVBoxLayout>

namespace varnelo {

namespace {

int slideMs = 180;

}  // namespace

ChapterPanel::ChapterPanel(QWidget* parent)
    : QFrame(parent), title_(new QLabel(QStringLiteral("目录"), this)), list_(new QListView(this)),
      slide_(new QPropertyAnimation(this, "pos", this)) {
  setObjectName(QStringLiteral("immersiveChapters"));
  setAutoFillBackground(true);
  setFrameShape(QFrame::NoFrame);
  list_->setObjectName(QStringLiteral("immersiveChapterList"));
  list_->setFrameShape(QFrame::NoFrame);
  list_->setUniformItemSizes(true);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->installEventFilter(this);
  QFont heading = title_->font();
  heading.setPointSizeF(heading.pointSizeF() * 1.2);
  heading.setBold(true);
  title_->setFont(heading);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 18, 8, 12);
  layout->setSpacing(10);
  layout->addWidget(title_);
  layout->addWidget(list_, 1);
  connect(list_, &QListView::activated, this, &ChapterPanel::Choose);
  connect(list_, &QListView::clicked, this, &ChapterPanel::Choose);
  connect(slide_, &QPropertyAnimation::finished, this, [this] {
    if (!open_) hide();
  });
  hide();
}

void ChapterPanel::SetSlideMs(int ms) { slideMs = ms; }

void ChapterPanel::Open(std::string_view text, const Pagination& headings, int current,
                        const ShownTitles& shown, std::function<void(int)> jump) {
  jump_ = std::move(jump);
  auto* model = new ChapterModel(text, headings, list_, shown);
  model->SetMarked(current);
  list_->setModel(model);
  delete model_;
  model_ = model;
  title_->setText(QStringLiteral("目录 · 共 %1 章").arg(headings.pageCount));
  if (current >= 0) {
    const QModelIndex index = model->index(current);
    list_->setCurrentIndex(index);
    list_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  }
  open_ = true;
  Place();
  Slide(true);
  list_->setFocus();
}

void ChapterPanel::Close() {
  if (!open_) return;
  open_ = false;
  Slide(false);
  if (parentWidget() != nullptr) parentWidget()->setFocus();
}

void ChapterPanel::Place() {
  if (parentWidget() == nullptr) return;
  const int width = std::clamp(parentWidget()->width() * 3 / 10, std::min(280, parentWidget()->width()), 420);
  resize(width, parentWidget()->height());
  if (slide_->state() != QAbstractAnimation::Running) move(open_ ? 0 : -width, 0);
}

void ChapterPanel::Slide(bool in) {
  slide_->stop();
  if (slideMs <= 0) {
    move(in ? 0 : -width(), 0);
    setVisible(in);
    if (in) raise();
    return;
  }
  show();
  raise();
  slide_->setDuration(slideMs);
  slide_->setEasingCurve(in ? QEasingCurve::OutCubic : QEasingCurve::InCubic);
  slide_->setStartValue(pos());
  slide_->setEndValue(QPoint(in ? 0 : -width(), 0));
  slide_->start();
}

void ChapterPanel::Choose(const QModelIndex& index) {
  if (!index.isValid() || !open_) return;  // a click may also report an activation
  const int chapter = index.row() + 1;
  Close();
  if (jump_) jump_(chapter);
}

bool ChapterPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Choose(list_->currentIndex());
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace varnelo
