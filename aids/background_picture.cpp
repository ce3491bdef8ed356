#include "aids/background_picture.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPaintEvent>

#include "platform/regular_file.h"
#include "platform/rich_pane.h"

namespace varnelo {

CBackgroundPicture::CBackgroundPicture(RichPane& pane) : QObject(&pane), pane_(pane) {
  pane_.viewport()->installEventFilter(this);
}

CBackgroundPicture::LoadResult CBackgroundPicture::Load(const QString& path) {
  // A FIFO or a device would block the open or the decoder: only a regular file is read.
  RegularFile opened = RegularFile::Open(QFile::encodeName(path).toStdString());
  if (opened.Status() != OpenStatus::Ok) return LoadResult::CannotOpen;
  QFile file;
  if (!file.open(opened.Descriptor(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
    return LoadResult::CannotOpen;
  opened.Release();  // the QFile closes it now
  QImageReader reader(&file);
  reader.setAutoTransform(true);  // photographs taken upright show upright
  QImage decoded = reader.read();
  if (decoded.isNull()) return LoadResult::CannotDecode;
  picture_ = std::move(decoded);
  stretched_ = QPixmap();
  pane_.viewport()->update();
  return LoadResult::Loaded;
}

void CBackgroundPicture::SetShown(bool shown) {
  shown_ = shown;
  pane_.viewport()->setAutoFillBackground(!shown);
  pane_.viewport()->update();
}

bool CBackgroundPicture::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && shown_ && !picture_.isNull() &&
      watched == pane_.viewport()) {
    // The whole pane's rectangle, frame and scroll bar included, in viewport coordinates.
    const QRect whole(-pane_.viewport()->pos(), pane_.size());
    if (stretched_.size() != whole.size()) {
      stretched_ = QPixmap::fromImage(
          picture_.scaled(whole.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    QPainter painter(pane_.viewport());
    painter.setClipRegion(static_cast<QPaintEvent*>(event)->region());
    painter.drawPixmap(whole.topLeft(), stretched_);
  }
  return QObject::eventFilter(watched, event);  // the text is drawn over it
}

}  // namespace varnelo
