#include "aids/chapter_list.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

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

const char16_t* const kRuleCharacters[] = {u"章", u"卷", u"回", u"部", u"节", u"集"};
// The automatic rule first, then rules 1 to 6.
const int kRuleCommands[] = {cmd::kRuleAuto, cmd::kRule1, cmd::kRule2, cmd::kRule3,
                             cmd::kRule4,    cmd::kRule5, cmd::kRule6};

QString RuleName(int rule) {
  if (rule == kAutoChapterRule) return QStringLiteral("自动识别");
  if (rule < 1 || rule > 6) return QStringLiteral("自定义规则");
  return QStringLiteral("按“第...") + QString::fromUtf16(kRuleCharacters[rule - 1]) +
         QStringLiteral("”分页");
}

QString HintText(int found, int all) {
  if (found < 0) return QStringLiteral("共 %1 章。回车或双击跳到该章，Esc 关闭。").arg(all);
  return QStringLiteral("找到 %1 / 共 %2 章").arg(found).arg(all);
}

}  // namespace

ChapterModel::ChapterModel(std::string_view text, const Pagination& chapters, QObject* parent,
                           ShownTitles shown)
    : QAbstractListModel(parent), text_(text), chapters_(chapters), converted_(std::move(shown)) {
  numberWidth_ = static_cast<int>(QString::number(std::max(chapters_.pageCount, 1)).size());
  if (converted_.size() != chapters_.pageCount) converted_.clear();
}

QString ChapterModel::TitleOf(int row) const {
  if (row < converted_.size()) return converted_[row];
  return QString::fromStdU16String(DecodeBookBytes(chapters_.TitleOf(text_, row + 1)));
}

int ChapterModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : chapters_.pageCount;
}

QVariant ChapterModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= chapters_.pageCount) return {};
  if (role == Qt::DisplayRole) {
    // Numbers right-aligned in figure spaces (a digit's width), then a level's indent.
    const QString number = QString::number(index.row() + 1).rightJustified(numberWidth_, QChar(0x2007));
    return number + QStringLiteral("　") + QString(chapters_.LevelOf(index.row() + 1) * 2, QChar(0x3000)) +
           TitleOf(index.row());
  }
  if (role == Qt::FontRole && index.row() == marked_) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return {};
}

std::int64_t ChapterModel::OffsetOf(int row) const { return chapters_.PageStart(row + 1); }

ChapterListDialog::ChapterListDialog(std::string_view text, const Pagination& chapters, int current,
                                     QWidget* parent, ShownTitles shown)
    : QDialog(parent),
      model_(new ChapterModel(text, chapters, this, std::move(shown))),
      proxy_(new QSortFilterProxyModel(this)),
      filter_(new QLineEdit(this)),
      list_(new QListView(this)),
      hint_(new QLabel(HintText(-1, chapters.pageCount), this)) {
  setWindowTitle(QStringLiteral("目录"));
  setObjectName(QStringLiteral("chapterList"));
  model_->SetMarked(current);
  proxy_->setSourceModel(model_);
  proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  filter_->setPlaceholderText(QStringLiteral("输入文字筛选章节"));
  filter_->setClearButtonEnabled(true);
  // Rows of one height: the view never measures forty thousand titles.
  list_->setUniformItemSizes(true);
  list_->setModel(proxy_);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(filter_);
  layout->addWidget(list_);
  layout->addWidget(hint_);
  resize(420, 520);

  connect(filter_, &QLineEdit::textChanged, this, [this, all = chapters.pageCount](const QString& words) {
    proxy_->setFilterFixedString(words);
    hint_->setText(HintText(words.isEmpty() ? -1 : proxy_->rowCount(), all));
    if (!list_->currentIndex().isValid() && proxy_->rowCount() > 0)
      list_->setCurrentIndex(proxy_->index(0, 0));
  });
  connect(list_, &QListView::doubleClicked, this, &ChapterListDialog::Choose);
  filter_->installEventFilter(this);
  list_->installEventFilter(this);
  if (current >= 0) {
    const QModelIndex marked = proxy_->mapFromSource(model_->index(current, 0));
    list_->setCurrentIndex(marked);
    list_->scrollTo(marked, QAbstractItemView::PositionAtCenter);
  } else if (chapters.pageCount > 0) {
    list_->setCurrentIndex(proxy_->index(0, 0));
  }
  list_->setFocus();
}

bool ChapterListDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Choose(list_->currentIndex());
      return true;
    }
    // Up and down in the filter box move through the list, so typing and choosing need
    // no change of focus.
    if (watched == filter_ && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                               key == Qt::Key_PageDown)) {
      QKeyEvent copy(QEvent::KeyPress, key, Qt::NoModifier);
      QCoreApplication::sendEvent(list_, &copy);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void ChapterListDialog::Choose(const QModelIndex& index) {
  if (!index.isValid()) return;
  chosen_ = proxy_->mapToSource(index).row() + 1;
  accept();
}

ChapterList::ChapterList(CVarneloView& view) : view_(view) {
  view_.Commands().Add(cmd::kChapterList, [this](int) { Open(); });
}

void ChapterList::Open() {
  if (view_.CurrentPath().empty()) {
    MessageBoxes().Show(&view_, QStringLiteral("未打开小说！"), QString(), MessageButtons::Ok,
                        MessageIcon::None);
    return;
  }
  // Cancelled, no list. A copy: the view's may be made again while the list is open.
  const Pagination* found = view_.HeadingsBy(view_.ChapterRule());
  if (found == nullptr) return;
  const Pagination headings = *found;
  if (headings.pageCount == 0) {
    OfferRules();
    return;
  }
  int current = view_.CurrentPage();
  if (view_.PagingMode() != kChapterPaging) {
    // A heading on the first visible line is the chapter being read.
    const RichPane* pane = view_.Pane();
    const int next = pane->LineIndex(pane->FirstVisibleLine() + 1);
    const std::int64_t top = next > 0 ? OffsetOfPanePosition(view_, next) - 1 : TopOfPaneOffset(view_);
    current = PageHolding(headings, top);
  }
  std::optional<ShownTitles> shown = Converted(headings);
  if (!shown) return;
  if (presenter_ && presenter_(view_.Text(), headings, current - 1, *shown,
                               [this, headings](int chapter) { Jump(headings, chapter); }))
    return;
  ChapterListDialog dialog(view_.Text(), headings, current - 1, &view_, std::move(*shown));
  if (dialog.exec() != QDialog::Accepted || dialog.Chosen() == 0) return;
  Jump(headings, dialog.Chosen());
}

std::optional<ShownTitles> ChapterList::Converted(const Pagination& headings) {
  if (conversion_ == nullptr || conversion_->Mode() == ConvertMode::None) return ShownTitles();
  // One conversion for the whole list: a call per title would cost more than the list.
  QString shown;
  const std::string_view text = view_.Text();
  if (RunLongWork(&view_, QStringLiteral("正在转换……"), [&](WorkControl&) {
        QString all;
        for (int chapter = 1; chapter <= headings.pageCount; ++chapter) {
          if (chapter > 1) all += QLatin1Char('\n');
          all += QString::fromStdU16String(DecodeBookBytes(headings.TitleOf(text, chapter)));
        }
        shown = conversion_->Shown(all);
      }) == WorkOutcome::Cancelled)
    return std::nullopt;
  return shown.split(QLatin1Char('\n'));
}

void ChapterList::Jump(const Pagination& headings, int chapter) {
  const std::int64_t offset = headings.PageStart(chapter);
  const bool byChapters = view_.PagingMode() == kChapterPaging;
  if (!view_.OfferToSaveBeforeTurning()) return;
  if (byChapters) {
    // Saving reads the book again: the chapter may be gone.
    if (chapter > view_.PageCount()) return;
    view_.SetCurrentPage(chapter);
    view_.ShowPage(chapter);
  } else {
    ShowOffset(view_, offset);
  }
}

void ChapterList::OfferRules() {
  // Seven passes over the book: a second on a 1 GB book, off the window's thread.
  std::array<int, 7> counts{};
  if (RunLongWork(&view_, QStringLiteral("正在查找章节……"),
                  [&](WorkControl&) { counts = HeadingCountsByRule(view_.Text()); }) == WorkOutcome::Cancelled)
    return;
  QDialog dialog(&view_);
  dialog.setWindowTitle(QStringLiteral("目录"));
  dialog.setObjectName(QStringLiteral("chapterRules"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("当前规则（") + RuleName(view_.ChapterRule()) +
                                   QStringLiteral("）找不到章节标题。\n各规则找到的标题数，单击即按该规则分页："),
                               &dialog));
  int picked = -1;
  for (int rule = kAutoChapterRule; rule <= 6; ++rule) {
    const int count = counts[static_cast<std::size_t>(rule)];
    auto* button = new QPushButton(RuleName(rule) + QStringLiteral("：%1 个").arg(count), &dialog);
    button->setObjectName(QStringLiteral("rule%1").arg(rule));
    button->setAutoDefault(false);
    // A rule that finds nothing would only page by lines again.
    button->setEnabled(count > 0);
    layout->addWidget(button);
    QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &picked, rule] {
      picked = rule;
      dialog.accept();
    });
  }
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(close, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(close);
  if (dialog.exec() == QDialog::Accepted && picked >= 0)
    view_.OnCommand(kRuleCommands[picked]);
}

}  // namespace varnelo
