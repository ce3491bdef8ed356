#include "aids/book_find.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/rich_pane.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "text/chapter_index.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

constexpr int kOffsetRole = Qt::UserRole;
constexpr std::size_t kContextBefore = 30;  // bytes of the line shown before a match
constexpr std::size_t kContextAfter = 60;

// A line of the book around a match, cut on character boundaries, on one line.
QString ContextOf(std::string_view text, std::size_t at, std::size_t length) {
  std::size_t begin = at;
  while (begin > 0 && at - begin < kContextBefore && text[begin - 1] != '\n' && text[begin - 1] != '\r')
    --begin;
  const std::size_t start = CharBoundaryAtOrBefore(text, begin);
  std::size_t end = at + length;
  while (end < text.size() && end - at < kContextAfter && text[end] != '\n' && text[end] != '\r')
    end += CharLengthAt(text, end);
  end = std::min(end, text.size());
  return QString::fromStdU16String(DecodeBookBytes(text.substr(start, end - start))).simplified();
}

}  // namespace

BookQuery QueryOf(const QString& words, bool matchCase) {
  return BookQuery{EncodeBookText(words.toStdU16String()), matchCase};
}

BookFindDialog::BookFindDialog(CVarneloView& view, QWidget* parent)
    : QDialog(parent),
      view_(view),
      words_(new QLineEdit(this)),
      matchCase_(new QCheckBox(QStringLiteral("区分大小写"), this)),
      up_(new QCheckBox(QStringLiteral("向上"), this)),
      findNext_(new QPushButton(QStringLiteral("查找下一个"), this)),
      findAll_(new QPushButton(QStringLiteral("查找全部"), this)),
      summary_(new QLabel(this)),
      matches_(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("全书查找"));
  setObjectName(QStringLiteral("bookFind"));
  setAttribute(Qt::WA_DeleteOnClose);
  findNext_->setDefault(true);
  findAll_->setAutoDefault(false);
  matches_->setUniformItemSizes(true);
  matches_->hide();
  summary_->hide();

  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("查找内容："), this));
  row->addWidget(words_, 1);
  row->addWidget(findNext_);
  auto* options = new QHBoxLayout;
  options->addWidget(matchCase_);
  options->addWidget(up_);
  options->addStretch(1);
  options->addWidget(findAll_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addLayout(options);
  layout->addWidget(summary_);
  layout->addWidget(matches_, 1);

  connect(findNext_, &QPushButton::clicked, this, &BookFindDialog::FindNext);
  connect(findAll_, &QPushButton::clicked, this, &BookFindDialog::FindAll);
  connect(matches_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    GoTo(item->data(kOffsetRole).toLongLong(), listedLength_);
  });
  connect(matches_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    GoTo(item->data(kOffsetRole).toLongLong(), listedLength_);
  });
}

void BookFindDialog::Tell(const QString& text) {
  MessageBoxes().Show(this, text, QStringLiteral("全书查找"), MessageButtons::Ok, MessageIcon::Information);
}

void BookFindDialog::FindNext() {
  const BookQuery query = QueryOf(words_->text(), matchCase_->isChecked());
  if (query.bytes.empty() || view_.CurrentPath().empty()) return;
  const bool up = up_->isChecked();
  const QTextCursor cursor = view_.Pane()->textCursor();
  const std::int64_t pageStart = view_.PageStart(view_.CurrentPage());
  std::int64_t from = pageStart;
  if (cursor.hasSelection())
    from = OffsetOfPanePosition(view_, up ? cursor.selectionStart() : cursor.selectionEnd());
  const std::string& text = view_.Text();
  const auto search = [&](std::int64_t at) {
    return up ? FindBackward(text, query, static_cast<std::size_t>(at))
              : FindForward(text, query, static_cast<std::size_t>(at));
  };
  std::size_t found = search(from);
  if (found == kNoMatch) {
    const bool anywhere = search(up ? static_cast<std::int64_t>(text.size()) : 0) != kNoMatch;
    if (!anywhere) {
      Tell(QStringLiteral("找不到“") + words_->text() + QStringLiteral("”。"));
      return;
    }
    Tell(up ? QStringLiteral("已查找到书首，从书尾继续查找。")
            : QStringLiteral("已查找到书尾，从书首继续查找。"));
    found = search(up ? static_cast<std::int64_t>(text.size()) : 0);
  }
  GoTo(static_cast<std::int64_t>(found), query.bytes.size());
}

bool BookFindDialog::GoTo(std::int64_t at, std::size_t length) {
  const int page = PageHolding(view_.Pages(), at);
  if (page != view_.CurrentPage()) {
    const std::size_t before = view_.Text().size();
    if (!view_.OfferToSaveBeforeTurning()) return false;
    // Saved: the book was read again, and what was found may have moved.
    if (view_.Text().size() != before) return false;
    view_.SetCurrentPage(page);
    view_.ShowPage(page);
  }
  RichPane* pane = view_.Pane();
  const int start = PanePositionOf(view_, at);
  const int end = PanePositionOf(view_, at + static_cast<std::int64_t>(length));
  if (start < 0) return true;  // beyond what the pane can hold of a long page
  QTextCursor cursor(pane->document());
  cursor.setPosition(start);
  cursor.setPosition(end < 0 ? static_cast<int>(pane->PaneText().size()) : end, QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
  pane->ensureCursorVisible();
  // The match stays marked while the dialog has the focus.
  QPalette palette = pane->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  pane->setPalette(palette);
  return true;
}

void BookFindDialog::FindAll() {
  const BookQuery query = QueryOf(words_->text(), matchCase_->isChecked());
  matches_->clear();
  if (query.bytes.empty() || view_.CurrentPath().empty()) return;
  const std::string& text = view_.Text();
  const MatchList list = FindAllMatches(text, query);
  listedLength_ = query.bytes.size();
  const bool byChapters = view_.PagingMode() == kChapterPaging;
  matches_->setUpdatesEnabled(false);
  for (std::size_t at : list.starts) {
    const int page = PageHolding(view_.Pages(), static_cast<std::int64_t>(at));
    const QString where = byChapters ? QStringLiteral("第%1章").arg(page) : QStringLiteral("第%1页").arg(page);
    auto* item = new QListWidgetItem(where + QStringLiteral("：") + ContextOf(text, at, query.bytes.size()));
    item->setData(kOffsetRole, static_cast<qlonglong>(at));
    matches_->addItem(item);
  }
  matches_->setUpdatesEnabled(true);
  summary_->setText(list.capped ? QStringLiteral("匹配太多，只列出前 %1 处。").arg(kMaxListedMatches)
                                : QStringLiteral("共找到 %1 处。").arg(list.starts.size()));
  summary_->show();
  matches_->show();
  if (height() < 400) resize(std::max(width(), 480), 420);
}

BookFind::BookFind(CVarneloView& view) : view_(view) {
  view_.Commands().Add(cmd::kBookFind, [this](int) { Open(); });
}

void BookFind::Open() {
  if (!dialog_) dialog_ = new BookFindDialog(view_, &view_);
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
  dialog_->WordsBox()->setFocus();
  dialog_->WordsBox()->selectAll();
}

}  // namespace varnelo
