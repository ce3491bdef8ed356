#include "aids/immersive/immersive_page.h"

#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

#include "aids/auto_scroll.h"
#include "aids/background_picture.h"
#include "aids/immersive/chapter_panel.h"
#include "aids/immersive/quiet_notices.h"
#include "aids/immersive/screen_lines.h"
#include "aids/immersive/themes.h"
#include "aids/page_margins.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/rich_pane.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

constexpr int kStatusHoldMs = 3000;
constexpr int kStatusFadeMs = 700;
constexpr int kClockMs = 15000;
constexpr int kTwoColumnWidth = 1000;  // narrower windows keep one column
constexpr int kWheelNotch = 120;
constexpr int kClickSlop = 6;

std::vector<std::string> InstalledFamilies() {
  std::vector<std::string> families;
  for (const QString& family : QFontDatabase::families()) families.push_back(family.toStdString());
  return families;
}

}  // namespace

ImmersivePage::ImmersivePage(CVarneloView& view, AutoScroll* autoScroll)
    : view_(view), autoScroll_(autoScroll) {
  statusHold_.setSingleShot(true);
  connect(&statusHold_, &QTimer::timeout, this, [this] {
    if (statusFade_ == nullptr) return;
    statusFade_->stop();
    statusFade_->setDuration(kStatusFadeMs);
    statusFade_->setStartValue(statusOpacity_->opacity());
    statusFade_->setEndValue(0.0);
    statusFade_->start();
  });
  connect(&clock_, &QTimer::timeout, this, &ImmersivePage::UpdateStatusText);
  connect(view_.Pane()->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (!active_) return;
    if (!turning_) SnapAfterScroll();
    UpdateColumns();
    UpdateStatusText();
  });
  connect(view_.Pane(), &QTextEdit::selectionChanged, this, &ImmersivePage::RefreshHighlights);
}

ImmersivePage::~ImmersivePage() = default;

ImmersiveSettings& ImmersivePage::Settings() const { return view_.Settings().config.immersive; }

void ImmersivePage::Activate(const ThemeColours& colours) {
  if (active_) return;
  RichPane* pane = view_.Pane();
  const int position = KeptPosition();
  enteredPosition_ = position;
  enteredGeneration_ = pane->TextGeneration();
  active_ = true;
  savedFormat_ = pane->DefaultCharFormat();
  savedPanePalette_ = pane->palette();
  savedViewPalette_ = view_.palette();
  savedAutoFill_ = view_.autoFillBackground();
  savedFrameShape_ = pane->frameShape();
  if (auto* picture = pane->findChild<CBackgroundPicture*>()) {
    savedPicture_ = picture->Shown();
    picture->SetShown(false);
  }
  hidden_.clear();
  for (QObject* child : view_.children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (widget == nullptr || widget == pane || widget->isWindow() || !widget->isVisibleTo(&view_)) continue;
    hidden_.emplace_back(widget);
    widget->hide();
  }
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pane->setFrameShape(QFrame::NoFrame);
  pane->viewport()->setMouseTracking(true);
  pane->installEventFilter(this);
  pane->viewport()->installEventFilter(this);

  cover_ = new QWidget(pane->viewport());
  cover_->setObjectName(QStringLiteral("immersiveCover"));
  cover_->setAutoFillBackground(true);
  cover_->setAttribute(Qt::WA_TransparentForMouseEvents);
  status_ = new QLabel(&view_);
  status_->setObjectName(QStringLiteral("immersiveStatus"));
  status_->setAlignment(Qt::AlignCenter);
  statusOpacity_ = new QGraphicsOpacityEffect(status_);
  status_->setGraphicsEffect(statusOpacity_);
  statusFade_ = new QPropertyAnimation(statusOpacity_, "opacity", status_);
  toast_ = new Toast(&view_);
  banner_ = new Banner(&view_);
  panel_ = new ChapterPanel(&view_);

  view_.setAutoFillBackground(true);
  view_.SetLayoutOverride([this](int width, int height) { LayOutPage(width, height); });
  colours_ = colours;
  ApplyTypography();
  SetColours(colours);
  view_.RelayOut();
  status_->show();
  clock_.start(kClockMs);
  ReturnToPosition(position);
  ShowStatus();
}

void ImmersivePage::Deactivate() {
  if (!active_) return;
  RichPane* pane = view_.Pane();
  // Not turned since entering: the classic window's own line comes back to the top.
  const bool unturned = pane->TextGeneration() == enteredGeneration_ && OnScreen(enteredPosition_);
  const int position = unturned ? enteredPosition_ : KeptPosition();
  active_ = false;
  clock_.stop();
  statusHold_.stop();
  pane->removeEventFilter(this);
  pane->viewport()->removeEventFilter(this);
  pane->viewport()->setMouseTracking(false);
  DropSecondColumn();
  delete cover_;
  cover_ = nullptr;
  delete status_;
  status_ = nullptr;
  statusOpacity_ = nullptr;
  statusFade_ = nullptr;
  delete toast_;
  toast_ = nullptr;
  delete banner_;
  banner_ = nullptr;
  delete panel_;
  panel_ = nullptr;

  view_.SetLayoutOverride({});
  view_.setPalette(savedViewPalette_);
  view_.setAutoFillBackground(savedAutoFill_);
  pane->setPalette(savedPanePalette_);
  pane->setFrameShape(static_cast<QFrame::Shape>(savedFrameShape_));
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ApplyParagraphSpacing(0);
  pane->SetDefaultCharFormat(savedFormat_);
  ApplyPageMargins(view_);
  for (const QPointer<QWidget>& widget : hidden_) {
    if (widget) widget->show();
  }
  hidden_.clear();
  view_.RelayOut();
  if (auto* picture = pane->findChild<CBackgroundPicture*>(); picture && savedPicture_)
    picture->SetShown(true);
  ReturnToPosition(position);
}

void ImmersivePage::SetColours(const ThemeColours& colours) {
  colours_ = colours;
  if (!active_) return;
  const QColor page = RgbColour(colours.page);
  QPalette viewPalette = view_.palette();
  viewPalette.setColor(QPalette::Window, page);
  view_.setPalette(viewPalette);
  RichPane* pane = view_.Pane();
  QPalette panePalette = pane->palette();
  panePalette.setColor(QPalette::Base, page);
  panePalette.setColor(QPalette::Text, RgbColour(colours.text));
  panePalette.setColor(QPalette::Highlight, RgbColour(colours.accent));
  panePalette.setColor(QPalette::HighlightedText, colours.dark ? page : QColor(Qt::white));
  pane->setPalette(panePalette);
  for (QWidget* cover : {cover_, mirrorCover_}) {
    if (cover == nullptr) continue;
    QPalette coverPalette = cover->palette();
    coverPalette.setColor(QPalette::Window, page);
    cover->setPalette(coverPalette);
  }
  if (mirror_ != nullptr) mirror_->setPalette(panePalette);
  QPalette statusPalette = status_->palette();
  statusPalette.setColor(QPalette::WindowText, RgbColour(colours.muted));
  status_->setPalette(statusPalette);
  StyleNotices(*toast_, colours.page, colours.text, colours.dark);
  StyleNotices(*banner_, colours.page, colours.text, colours.dark);
  QPalette panelPalette = panel_->palette();
  panelPalette.setColor(QPalette::Window, RgbColour(colours.panel));
  panelPalette.setColor(QPalette::Base, RgbColour(colours.panel));
  panelPalette.setColor(QPalette::Text, RgbColour(colours.text));
  panelPalette.setColor(QPalette::WindowText, RgbColour(colours.text));
  panel_->setPalette(panelPalette);
  RefreshHighlights();
}

void ImmersivePage::ApplySettings() {
  if (!active_) return;
  const int position = KeptPosition();
  ApplyTypography();
  view_.RelayOut();
  ReturnToPosition(position);
}

// The user's face when the system has it, else a CJK serif; the size and the line height
// from the settings, the pane's own spacing step taking the line's extra height.
void ImmersivePage::ApplyTypography() {
  const ImmersiveSettings& settings = Settings();
  RichPane* pane = view_.Pane();
  TextAppearance format = view_.Appearance();
  format.night = false;
  const std::string face = PickReadingFace(settings.face, InstalledFamilies());
  format.face = face.empty() ? view_.Appearance().face : face;
  const int points = std::clamp(settings.fontPoints, kLowestReadingPoints, kHighestReadingPoints);
  format.fontSize = points * 20;
  QFont font(QString::fromStdString(format.face));
  font.setPointSizeF(points);
  const QFontMetricsF metrics(font, pane);
  const qreal extra = metrics.lineSpacing() * (std::clamp(settings.lineHeight, 100, 300) - 100) / 100.0;
  // The pane's spacing is in twentieths of a point.
  format.lineSpacing = static_cast<int>(std::lround(extra * 72.0 / pane->logicalDpiY() * 20.0));
  format.textColour = 0;
  pane->SetDefaultCharFormat(format);
  // The pane takes its text colour from the format; the theme's goes over it.
  SetColours(colours_);
  paragraphSpacing_ = (metrics.lineSpacing() + extra) * std::clamp(settings.paragraphSpacing, 0, 200) / 100.0;
  ApplyParagraphSpacing(paragraphSpacing_);
}

void ImmersivePage::ApplyParagraphSpacing(qreal spacing) { view_.Pane()->SetParagraphSpacing(spacing); }

void ImmersivePage::LayOutPage(int width, int height) {
  RichPane* pane = view_.Pane();
  // Whatever the form showed again (the side bar's list) goes back out of sight.
  for (QObject* child : view_.children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (widget == nullptr || widget == pane || widget == status_ || widget == toast_ ||
        widget == banner_ || widget == panel_ || widget == mirror_ || widget->isWindow())
      continue;
    if (widget->isVisibleTo(&view_)) {
      if (std::find(hidden_.begin(), hidden_.end(), QPointer<QWidget>(widget)) == hidden_.end())
        hidden_.emplace_back(widget);
      widget->hide();
    }
  }
  QFont small = pane->font();
  small.setPointSizeF(std::max(9.0, small.pointSizeF() * 0.62));
  status_->setFont(small);
  const int statusHeight = QFontMetrics(small).height() + 14;
  const int top = std::max(18, height / 22);
  const int pageHeight = std::max(height - top - statusHeight - 4, 40);
  status_->setGeometry(0, height - statusHeight - 2, width, statusHeight);

  const bool two = Settings().twoColumns != 0 && width >= kTwoColumnWidth;
  const int columnWidth = two ? width / 2 : width;
  const int chars = two ? 32 : 40;
  const int margin = two ? std::max(28, width / 26) : std::max(32, width / 14);
  if (two && mirror_ == nullptr) {
    mirror_ = new QTextEdit(&view_);
    mirror_->setObjectName(QStringLiteral("immersiveSecondColumn"));
    mirror_->setDocument(pane->document());
    mirror_->setReadOnly(true);
    mirror_->setFrameShape(QFrame::NoFrame);
    mirror_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mirror_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mirror_->setFocusPolicy(Qt::NoFocus);
    mirror_->setTextInteractionFlags(Qt::NoTextInteraction);
    mirror_->viewport()->installEventFilter(this);
    mirror_->viewport()->setCursor(Qt::ArrowCursor);
    mirrorCover_ = new QWidget(mirror_->viewport());
    mirrorCover_->setObjectName(QStringLiteral("immersiveCover"));
    mirrorCover_->setAutoFillBackground(true);
    mirrorCover_->setAttribute(Qt::WA_TransparentForMouseEvents);
    mirror_->show();
  } else if (!two && mirror_ != nullptr) {
    DropSecondColumn();
  }
  pane->setGeometry(0, top, columnWidth, pageHeight);
  if (mirror_ != nullptr) mirror_->setGeometry(columnWidth, top, width - columnWidth, pageHeight);
  pane->SetTextColumn(margin, chars);
  SetColours(colours_);
  toast_->Place();
  banner_->Place();
  panel_->Place();
  UpdateColumns();
  UpdateStatusText();
}

int ImmersivePage::ScreenTop() const { return view_.Pane()->verticalScrollBar()->value(); }

int ImmersivePage::ScreenHeight() const { return view_.Pane()->viewport()->height(); }

// The top of the screen after the one at `top`: past both columns when there are two.
int ImmersivePage::Advance(int top) const {
  QTextDocument& document = *view_.Pane()->document();
  int next = NextScreenTop(document, top, ScreenHeight());
  if (mirror_ != nullptr) next = NextScreenTop(document, next, ScreenHeight());
  return next;
}

// The screen holding `y`, counting screens from the top of the page, so that turning back
// shows the very screens turning forward showed.
int ImmersivePage::AlignedScreenTop(int y) const {
  int top = 0;
  for (;;) {
    const int next = Advance(top);
    if (next > y || next <= top) return top;
    top = next;
  }
}

void ImmersivePage::SetScreenTop(int top) {
  turning_ = true;
  view_.Pane()->verticalScrollBar()->setValue(top);
  turning_ = false;
  UpdateColumns();
  UpdateStatusText();
}

void ImmersivePage::NextScreen() {
  QTextDocument& document = *view_.Pane()->document();
  const int top = ScreenTop();
  const int next = Advance(top);
  if (next < TextBottom(document)) {
    // Where the pane cannot scroll that far, it shows as much of the rest as it can.
    const int reach = view_.Pane()->verticalScrollBar()->maximum();
    if (next <= reach || top < reach) {
      SetScreenTop(std::min(next, reach));
      return;
    }
  }
  const int page = view_.CurrentPage();
  view_.NextPage();
  if (view_.CurrentPage() == page && toast_ != nullptr)
    toast_->Show(QStringLiteral("已是全书最后一页"));
}

void ImmersivePage::PreviousScreen() {
  const int top = ScreenTop();
  if (top > 0) {
    SetScreenTop(AlignedScreenTop(top - 1));
    return;
  }
  const int page = view_.CurrentPage();
  view_.PreviousPage();
  if (view_.CurrentPage() == page) {
    if (toast_ != nullptr) toast_->Show(QStringLiteral("已是全书第一页"));
    return;
  }
  // The page before, at its last screen.
  SetScreenTop(AlignedScreenTop(std::max(TextBottom(*view_.Pane()->document()) - 1, 0)));
}

// A scroll that was not a turn (find, a bookmark, the place kept): the screen holding the
// selection, or else the line at the top.
void ImmersivePage::SnapAfterScroll() {
  if (snapPending_ || (autoScroll_ != nullptr && autoScroll_->IsOn())) return;
  snapPending_ = true;
  QTimer::singleShot(0, this, [this] {
    snapPending_ = false;
    if (!active_ || (autoScroll_ != nullptr && autoScroll_->IsOn())) return;
    RichPane* pane = view_.Pane();
    const int top = ScreenTop();
    int y = LineTopAt(*pane->document(), top);
    const QTextCursor cursor = pane->textCursor();
    if (cursor.hasSelection()) {
      const int selected = pane->cursorRect(cursor).top() + top;
      if (selected >= top && selected < top + ScreenHeight()) y = selected;
    }
    const int aligned = AlignedScreenTop(y);
    if (aligned != top) SetScreenTop(aligned);
  });
}

void ImmersivePage::UpdateColumns() {
  if (!active_) return;
  QTextDocument& document = *view_.Pane()->document();
  const int top = ScreenTop();
  const int height = ScreenHeight();
  const bool scrolling = autoScroll_ != nullptr && autoScroll_->IsOn();
  const int cut = NextScreenTop(document, top, height);
  if (mirror_ != nullptr) {
    mirror_->verticalScrollBar()->setValue(cut);
    // A range highlighted since (read aloud, found) shows in the second column too.
    RefreshHighlights();
  }
  // The line cut by the bottom edge waits for the next screen.
  const auto place = [&](QWidget* cover, QTextEdit* edit, int from, int to) {
    if (cover == nullptr) return;
    const int covered = std::clamp(to - from, 0, height);
    cover->setGeometry(0, covered, edit->viewport()->width(), height - covered);
    cover->setVisible(!scrolling && covered < height);
  };
  place(cover_, view_.Pane(), top, cut);
  if (mirror_ != nullptr) {
    const int mirrorTop = mirror_->verticalScrollBar()->value();
    place(mirrorCover_, mirror_, mirrorTop, NextScreenTop(document, mirrorTop, height));
  }
}

void ImmersivePage::RefreshHighlights() {
  if (mirror_ == nullptr) return;
  const RichPane* pane = view_.Pane();
  QList<QTextEdit::ExtraSelection> selections = pane->extraSelections();
  const QTextCursor cursor = pane->textCursor();
  if (cursor.hasSelection()) {
    QTextEdit::ExtraSelection selection;
    selection.cursor = cursor;
    selection.format.setBackground(pane->palette().color(QPalette::Highlight));
    selection.format.setForeground(pane->palette().color(QPalette::HighlightedText));
    selections.append(selection);
  }
  mirror_->setExtraSelections(selections);
}

void ImmersivePage::ShowStatus() {
  if (status_ == nullptr) return;
  statusFade_->stop();
  statusOpacity_->setOpacity(1.0);
  statusHold_.start(kStatusHoldMs);
}

void ImmersivePage::UpdateStatusText() {
  if (status_ == nullptr) return;
  QString title;
  const Pagination& pages = view_.Pages();
  const std::string_view heading = pages.TitleOf(view_.Text(), view_.CurrentPage());
  if (!heading.empty()) {
    title = PaneTextOf(heading).trimmed();
  } else if (view_.PageCount() > 0) {
    title = QStringLiteral("第 %1 / %2 页").arg(view_.CurrentPage()).arg(view_.PageCount());
  }
  QStringList parts;
  if (!title.isEmpty()) parts << title;
  if (!view_.Text().empty()) {
    const double share = 100.0 * static_cast<double>(TopOfPaneOffset(view_)) /
                         static_cast<double>(view_.Text().size());
    parts << QString::number(std::clamp(share, 0.0, 100.0), 'f', 1) + QLatin1Char('%');
  }
  parts << QString::fromStdString(FormatLocalTime(CurrentClock().Now(), "%H:%M"));
  status_->setText(parts.join(QStringLiteral("  ·  ")));
}

int ImmersivePage::LinePitch() const {
  const RichPane* pane = view_.Pane();
  return std::max(1, pane->fontMetrics().lineSpacing() +
                         static_cast<int>(pane->DefaultCharFormat().lineSpacing / 20.0 *
                                          pane->logicalDpiY() / 72.0));
}

int ImmersivePage::ScrollLinesPerMinute() const {
  const QuoteSettings& quote = view_.Settings().config.quote;
  const int screenLines = std::max(1, ScreenHeight() / LinePitch());
  return LinesPerMinute(quote.rollType, quote.scrollInterval, LinePitch(), screenLines);
}

void ImmersivePage::ChangeScrollSpeed(int direction) {
  QuoteSettings& quote = view_.Settings().config.quote;
  const int screenLines = std::max(1, ScreenHeight() / LinePitch());
  const int wanted = SteppedLinesPerMinute(ScrollLinesPerMinute(), direction);
  int interval = IntervalForLinesPerMinute(quote.rollType, wanted, LinePitch(), screenLines);
  // A step that rounds back to the same interval moves it by one millisecond at least.
  if (interval == quote.scrollInterval) interval += direction > 0 ? -1 : 1;
  quote.scrollInterval = std::max(interval, 1);
  if (autoScroll_ != nullptr) autoScroll_->Arm();
  if (toast_ != nullptr)
    toast_->Show(QStringLiteral("自动滚屏：每分钟 %1 行").arg(ScrollLinesPerMinute()));
}

// The character at the top of the screen, which a new layout brings back to the top.
int ImmersivePage::KeptPosition() const {
  const RichPane* pane = view_.Pane();
  return std::max(pane->LineIndex(pane->FirstVisibleLine()), 0);
}

bool ImmersivePage::OnScreen(int position) const {
  const RichPane* pane = view_.Pane();
  QTextCursor cursor(pane->document());
  cursor.setPosition(std::clamp(position, 0, pane->document()->characterCount() - 1));
  const int top = ScreenTop();
  const int y = pane->cursorRect(cursor).top() + top;
  return y >= top && y < Advance(top);
}

void ImmersivePage::ReturnToPosition(int position) {
  RichPane* pane = view_.Pane();
  ScrollPositionToTop(*pane, position);
  if (active_) SetScreenTop(AlignedScreenTop(ScreenTop()));
}

void ImmersivePage::OnPageShown() {
  if (!active_) return;
  // The pane spaced the page's paragraphs as it laid the text out.
  SetScreenTop(0);
  RefreshHighlights();
  UpdateStatusText();
}

void ImmersivePage::OnBookLoaded() {
  if (active_ && onBookChanged_) onBookChanged_();
}

void ImmersivePage::OnBookLeaving() {
  if (panel_ != nullptr) panel_->Close();
}

bool ImmersivePage::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
  if (view_.EditMode()) return false;
  const bool shift = modifiers.testFlag(Qt::ShiftModifier);
  const bool scrolling = autoScroll_ != nullptr && autoScroll_->IsOn();
  switch (key) {
    case Qt::Key_Space:
      shift ? PreviousScreen() : NextScreen();
      return true;
    case Qt::Key_PageDown:
    case Qt::Key_Right:
    case Qt::Key_Down:
      NextScreen();
      return true;
    case Qt::Key_PageUp:
    case Qt::Key_Left:
    case Qt::Key_Up:
      PreviousScreen();
      return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      if (!scrolling) return false;
      ChangeScrollSpeed(1);
      return true;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      if (!scrolling) return false;
      ChangeScrollSpeed(-1);
      return true;
    default:
      return false;
  }
}

void ImmersivePage::HandleClick(QWidget* source, const QPoint& at) {
  if (panel_ != nullptr && panel_->IsOpen()) {
    panel_->Close();
    return;
  }
  const int x = source->mapTo(&view_, at).x();
  const int third = std::max(view_.width() / 3, 1);
  if (x < third) {
    PreviousScreen();
  } else if (x >= view_.width() - third) {
    NextScreen();
  } else {
    ShowStatus();
  }
}

void ImmersivePage::DropSecondColumn() {
  // Forgotten before it goes: its viewport still sends events to the filter while the
  // column is half destroyed, and the filter must not ask it anything then.
  QTextEdit* column = std::exchange(mirror_, nullptr);
  mirrorCover_ = nullptr;
  if (column != nullptr) column->viewport()->removeEventFilter(this);
  delete column;
}

bool ImmersivePage::eventFilter(QObject* watched, QEvent* event) {
  if (!active_) return QObject::eventFilter(watched, event);
  RichPane* pane = view_.Pane();
  const bool viewport = watched == pane->viewport() || (mirror_ != nullptr && watched == mirror_->viewport());
  switch (event->type()) {
    case QEvent::KeyPress:
      if (watched == pane) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (HandleKey(key->key(), key->modifiers())) return true;
      }
      break;
    case QEvent::Wheel:
      if (viewport) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        wheelRest_ += wheel->angleDelta().y();
        while (wheelRest_ <= -kWheelNotch) {
          wheelRest_ += kWheelNotch;
          NextScreen();
        }
        while (wheelRest_ >= kWheelNotch) {
          wheelRest_ -= kWheelNotch;
          PreviousScreen();
        }
        return true;
      }
      break;
    case QEvent::MouseButtonPress:
      if (viewport && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        pressedAt_ = static_cast<QMouseEvent*>(event)->position().toPoint();
        pressed_ = true;
      }
      break;
    case QEvent::MouseButtonDblClick:
      pressed_ = false;  // a word is being chosen, not the page turned
      break;
    case QEvent::MouseButtonRelease:
      if (viewport && pressed_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        pressed_ = false;
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if ((at - pressedAt_).manhattanLength() <= kClickSlop && !pane->textCursor().hasSelection())
          HandleClick(static_cast<QWidget*>(watched), at);
      }
      break;
    case QEvent::MouseMove:
      if (viewport && static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton &&
          statusOpacity_ != nullptr && statusOpacity_->opacity() < 1.0 && !statusHold_.isActive())
        ShowStatus();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace varnelo
