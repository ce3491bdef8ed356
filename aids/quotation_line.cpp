#include "aids/quotation_line.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/services.h"
#include "platform/window_timers.h"
#include "text/book_engine.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

constexpr int kOffPeriodMs = 1000;
constexpr int kMaximPeriodMs = 5000;
constexpr int kLinePeriodMs = 3000;
constexpr int kBandPeriodMs = 800;
constexpr int kFileLineHeight = 16;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Draws the line as a centred static control draws its text: broken between words (or
// anywhere in a word longer than the line), each line centred, from the top. A line one
// text line high thus shows the beginning of a long maxim, never a middle cut at both ends.
class CentredWrappedText : public QObject {
 public:
  explicit CentredWrappedText(QLabel* label) : QObject(label), label_(label) {
    label_->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != label_ || event->type() != QEvent::Paint) return QObject::eventFilter(watched, event);
    const QRect area = label_->contentsRect();
    QTextLayout layout(label_->text(), label_->font());
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(area.width());
      line.setPosition(QPointF(0, y));
      y += line.height();
      if (y >= area.height()) break;  // the lines below are not seen
    }
    layout.endLayout();
    QPainter painter(label_);
    painter.setPen(label_->palette().color(label_->foregroundRole()));
    layout.draw(&painter, area.topLeft());
    return true;
  }

 private:
  QLabel* label_;
};

// A file line carries its line break; the one-line label shows it without.
QString Shown(std::string_view bytes) {
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.remove_suffix(1);
  return QString::fromStdU16String(DecodeBookBytes(bytes));
}

}  // namespace

QuotationLine::QuotationLine(CVarneloView& view) : view_(view) {
  // Lines of a user's file are text, never markup.
  view_.QuoteLine()->setTextFormat(Qt::PlainText);
  view_.QuoteLine()->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  new CentredWrappedText(view_.QuoteLine());
  for (int id : {kOffTimer, kMaximTimer, kLineTimer, kBandTimer})
    view_.AddTimerHandler(id, [this] { Step(); });
}

void QuotationLine::OnStartup(StartupStep step) {
  if (step == StartupStep::SettingsRead) Start();
}

void QuotationLine::Start() {
  WindowTimers& timers = view_.Timers();
  for (int id : {kOffTimer, kMaximTimer, kLineTimer, kBandTimer}) timers.KillTimer(id);
  switch (view_.Settings().config.quote.quoteMode) {
    case 0:
      timers.SetTimer(kOffTimer, kOffPeriodMs);
      break;
    case 1:
      maximIndex_ = 0;
      timers.SetTimer(kMaximTimer, kMaximPeriodMs);
      break;
    case 2:
      StartFile();
      break;
    default:
      break;
  }
}

void QuotationLine::StartFile() {
  QuoteSettings& quote = view_.Settings().config.quote;
  if (quote.quotePath.empty()) {
    Tell(QStringLiteral("未选择名言警句文件！请按 F2 在“设置”中选择。"));
    return;
  }
  std::string bytes;
  const LoadStatus status = ReadQuotationFile(quote.quotePath, bytes);
  switch (status) {
    case LoadStatus::Ok:
      break;
    case LoadStatus::Empty:
    case LoadStatus::Unicode:
      Tell(Utf8(LoadMessage(status)));
      return;
    default:
      Tell(QStringLiteral("无法打开名言警句文件：\n%1").arg(QString::fromStdString(quote.quotePath)));
      return;
  }
  switch (file_.Begin(std::move(bytes), quote.scroll != 0)) {
    case QuotationFile::Start::Empty:
      Tell(Utf8(LoadMessage(LoadStatus::Empty)));
      break;
    case QuotationFile::Start::TooManyLines:
      Tell(QStringLiteral("行数过多！大于1万！"));
      break;
    case QuotationFile::Start::Lines:
      view_.Timers().SetTimer(kLineTimer, kLinePeriodMs);
      break;
    case QuotationFile::Start::Band:
      view_.Timers().SetTimer(kBandTimer, kBandPeriodMs);
      break;
  }
}

void QuotationLine::Step() {
  QuoteSettings& quote = view_.Settings().config.quote;
  switch (quote.quoteMode) {
    case 0:
      view_.QuoteLine()->setText(QString());
      view_.QuoteLine()->setGeometry(0, 0, 0, 0);
      break;
    case 1: {
      maximIndex_ = NextMaximIndex(maximIndex_);
      const QString maxim = Utf8(BuiltInMaxim(maximIndex_));
      const QFontMetrics metrics = view_.fontMetrics();
      const int height = std::max(metrics.size(Qt::TextSingleLine, maxim).height(), metrics.height());
      view_.SetQuoteHeight(height);
      Show(maxim, height);
      break;
    }
    case 2: {
      if (!file_.Started()) break;
      const bool loop = quote.loop != 0;
      if (quote.scroll != 0) {
        const QuotationFile::Step step = file_.NextBandWindow(loop);
        if (step.stop) view_.Timers().KillTimer(kBandTimer);
        Show(Shown(step.text), kFileLineHeight);
        break;
      }
      const QuotationFile::Step step = file_.NextLine(loop);
      if (step.tooLong) {
        view_.Timers().KillTimer(kLineTimer);
        Tell(QStringLiteral("文本单行字数过多！将改为滚动显示！"));
        quote.scroll = 1;
        Start();
        Show(QString(), kFileLineHeight);
        break;
      }
      if (step.stop) view_.Timers().KillTimer(kLineTimer);
      Show(Shown(step.text), kFileLineHeight);
      break;
    }
    default:
      break;
  }
}

// At the left of the bottom bar; the form's own layout puts it 30 pixels further right
// until the next step.
void QuotationLine::Show(const QString& text, int height) {
  QLabel* line = view_.QuoteLine();
  line->setGeometry(5, view_.height() - 22, std::max(view_.width() - 525, 0), height);
  line->setText(text);
}

void QuotationLine::Tell(const QString& text) {
  MessageBoxes().Show(&view_, text, QString(), MessageButtons::Ok, MessageIcon::None);
}

}  // namespace varnelo
