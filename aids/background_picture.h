// The picture behind the page: decoded once per choice and drawn, stretched to the whole
// pane, under the text while the pane is see-through.
#pragma once

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QString>

namespace varnelo {

class RichPane;

class CBackgroundPicture : public QObject {
  Q_OBJECT
 public:
  enum class LoadResult { Loaded, CannotOpen, CannotDecode };

  explicit CBackgroundPicture(RichPane& pane);

  // Reads and decodes the file. On failure the picture held so far stays.
  LoadResult Load(const QString& path);
  bool HoldsPicture() const { return !picture_.isNull(); }

  // On: the pane lets the picture show through (the transparent style). Off: the pane
  // fills with its own background colour again; the picture stays held.
  void SetShown(bool shown);
  bool Shown() const { return shown_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  RichPane& pane_;
  QImage picture_;
  QPixmap stretched_;  // the picture at the pane's size, made again when the size changes
  bool shown_ = false;
};

}  // namespace varnelo
