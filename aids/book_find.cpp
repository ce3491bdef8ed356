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

#include "aids/conversion_part.h"
#include "platform/codepage.h"
#include "platform/long_work.h"
#include "platform/rich_pane.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "text/chapter_index.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

constexpr int kOffsetRole = Qt::UserRole;
constexpr int kLengthRole = Qt::UserRole + 1;
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

BookFindDialog::BookFindDialog(CVarneloView& view, QWidget* parent, TextConversion* conversion)
    : QDialog(parent),
      view_(view),
      conversion_(conversion),
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
    GoTo(item->data(kOffsetRole).toLongLong(), item->data(kLengthRole).toULongLong());
  });
  connect(matches_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    GoTo(item->data(kOffsetRole).toLongLong(), item->data(kLengthRole).toULongLong());
  });
}

void BookFindDialog::Tell(const QString& text) {
  MessageBoxes().Show(this, text, QStringLiteral("全书查找"), MessageButtons::Ok, MessageIcon::Information);
}

std::vector<BookQuery> BookFindDialog::Queries() const {
  const std::vector<QString> forms =
      conversion_ != nullptr ? conversion_->BookForms(words_->text()) : std::vector<QString>{words_->text()};
  std::vector<BookQuery> queries;
  for (const QString& form : forms) {
    BookQuery query = QueryOf(form, matchCase_->isChecked());
    if (!query.bytes.empty()) queries.push_back(std::move(query));
  }
  return queries;
}

void BookFindDialog::FindNext() {
  const std::vector<BookQuery> queries = Queries();
  if (queries.empty() || view_.CurrentPath().empty()) return;
  const bool up = up_->isChecked();
  const QTextCursor cursor = view_.Pane()->textCursor();
  const std::int64_t pageStart = view_.PageStart(view_.CurrentPage());
  std::int64_t from = pageStart;
  if (cursor.hasSelection())
    from = OffsetOfPanePosition(view_, up ? cursor.selectionStart() : cursor.selectionEnd());
  const std::string& text = view_.Text();
  std::size_t length = 0;
  // The nearest match of any form, and its length in the book.
  const auto search = [&](std::int64_t at) {
    std::size_t best = kNoMatch;
    for (const BookQuery& query : queries) {
      const std::size_t found = up ? FindBackward(text, query, static_cast<std::size_t>(at))
                                   : FindForward(text, query, static_cast<std::size_t>(at));
      if (found == kNoMatch) continue;
      if (best == kNoMatch || (up ? found > best : found < best)) {
        best = found;
        length = query.bytes.size();
      }
    }
    return best;
  };
  // Off the window's thread, for a large book: the match from here, else from the far end.
  std::size_t found = kNoMatch;
  std::size_t wrapped = kNoMatch;
  std::size_t wrappedLength = 0;
  const WorkOutcome outcome = RunLongWork(this, QStringLiteral("正在查找……"), [&](WorkControl& control) {
    found = search(from);
    if (found != kNoMatch || control.Cancelled()) return;
    wrapped = search(up ? static_cast<std::int64_t>(text.size()) : 0);
    wrappedLength = length;
  });
  if (outcome == WorkOutcome::Cancelled) return;
  if (found == kNoMatch) {
    if (wrapped == kNoMatch) {
      Tell(QStringLiteral("找不到“") + words_->text() + QStringLiteral("”。"));
      return;
    }
    Tell(up ? QStringLiteral("已查找到书首，从书尾继续查找。")
            : QStringLiteral("已查找到书尾，从书首继续查找。"));
    found = wrapped;
    length = wrappedLength;
  }
  GoTo(static_cast<std::int64_t>(found), length);
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
  const std::vector<BookQuery> queries = Queries();
  if (queries.empty() || view_.CurrentPath().empty()) {
    matches_->clear();
    return;
  }
  const std::string& text = view_.Text();
  // Every form's matches, in the order of the book; at most the limit in all.
  std::vector<std::pair<std::size_t, std::size_t>> found;  // start, length
  bool capped = false;
  std::size_t seenUpTo = kNoMatch;  // a form cut short was not looked for beyond its last
  const WorkOutcome outcome = RunLongWork(this, QStringLiteral("正在查找……"), [&](WorkControl& control) {
    for (const BookQuery& query : queries) {
      if (control.Cancelled()) return;
      const MatchList list = FindAllMatches(text, query);
      if (list.capped && !list.starts.empty()) seenUpTo = std::min(seenUpTo, list.starts.back());
      capped = capped || list.capped;
      for (std::size_t at : list.starts) found.emplace_back(at, query.bytes.size());
    }
  });
  if (outcome == WorkOutcome::Cancelled) return;  // the list found before stays
  matches_->clear();
  std::sort(found.begin(), found.end());
  std::erase_if(found, [seenUpTo](const auto& match) { return match.first > seenUpTo; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              found.end());
  if (found.size() > kMaxListedMatches) {
    found.resize(kMaxListedMatches);
    capped = true;
  }
  const bool byChapters = view_.PagingMode() == kChapterPaging;
  matches_->setUpdatesEnabled(false);
  for (const auto& [at, length] : found) {
    const int page = PageHolding(view_.Pages(), static_cast<std::int64_t>(at));
    const QString where = byChapters ? QStringLiteral("第%1章").arg(page) : QStringLiteral("第%1页").arg(page);
    QString context = ContextOf(text, at, length);
    if (conversion_ != nullptr) context = conversion_->Shown(context);
    auto* item = new QListWidgetItem(where + QStringLiteral("：") + context);
    item->setData(kOffsetRole, static_cast<qlonglong>(at));
    item->setData(kLengthRole, static_cast<qulonglong>(length));
    matches_->addItem(item);
  }
  matches_->setUpdatesEnabled(true);
  summary_->setText(capped ? QStringLiteral("匹配太多，只列出前 %1 处。").arg(kMaxListedMatches)
                           : QStringLiteral("共找到 %1 处。").arg(found.size()));
  summary_->show();
  matches_->show();
  if (height() < 400) resize(std::max(width(), 480), 420);
}

BookFind::BookFind(CVarneloView& view) : view_(view) {
  view_.Commands().Add(cmd::kBookFind, [this](int) { Open(); });
}

void BookFind::Open() {
  if (!dialog_) dialog_ = new BookFindDialog(view_, &view_, conversion_);
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
  dialog_->WordsBox()->setFocus();
  dialog_->WordsBox()->selectAll();
}

}  // namespace varnelo
