// How the page looks: one default character format for the whole pane, the pane's
// background, and the fixed colours of the list and the page-number box.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

#include "app/varnelo_app.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

constexpr int kNightTextColour = 0x00808080;
constexpr int kControlBackground = 0x00CFE8CC;
constexpr int kQuoteTextColour = 0x00F8833D;

}  // namespace

// Colours are stored as 0x00BBGGRR, as Config.ini keeps them.
QColor ColourOf(int value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void CVarneloView::ApplyCharFormat() {
  PaneCharFormat format;
  format.heightTwips = fontSize_;
  format.offsetTwips = lineSpacing_;
  format.colour = ColourOf(nightFlag_ != 0 ? kNightTextColour : textColour_);
  format.face = QString::fromStdString(faceName_);
  pane_->SetDefaultCharFormat(format);
  pane_->SetBackgroundColour(ColourOf(backgroundColour_));
  RecordReadingState();
}

void CVarneloView::RecordReadingState() {
  settings_.currentPath = currentPath_;
  settings_.currentFileName = FileNameOf(currentPath_);
  settings_.currentPage = currentPage_;
  settings_.textColour = textColour_;
  settings_.backgroundColour = backgroundColour_;
  settings_.fontSize = fontSize_;
  settings_.lineSpacing = lineSpacing_;
  settings_.faceName = faceName_;
  settings_.pagingMode = pagingMode_;
  if (pagingMode_ == kChapterPaging) settings_.chapterTitle = pages_.TitleOf(currentPage_);
}

void CVarneloView::ApplyControlColours() {
  for (QWidget* control : {static_cast<QWidget*>(list_), static_cast<QWidget*>(numberBox_)}) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, ColourOf(kControlBackground));
    control->setPalette(palette);
  }
  QPalette quote = quoteLine_->palette();
  quote.setColor(QPalette::WindowText, ColourOf(kQuoteTextColour));
  quoteLine_->setPalette(quote);
}

}  // namespace varnelo
