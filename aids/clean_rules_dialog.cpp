#include "aids/clean_rules_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "aids/rule_matchers.h"
#include "platform/dialog_buttons.h"
#include "platform/long_work.h"
#include "platform/services.h"
#include "text/display_text.h"

namespace varnelo {

namespace {

enum Column { kOn, kKind, kPattern, kReplacement, kScope, kCount, kColumns };

// Books larger than this are not counted for every rule at once when the dialog opens: the
// window would stall. The rule being typed is still counted.
constexpr std::size_t kCountAllBelow = 32u << 20;

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

RuleText TextOf(const StoredRule& rule) {
  return {QString::fromStdString(rule.pattern).toStdU16String(),
          QString::fromStdString(rule.replacement).toStdU16String(), rule.regex, {}};
}

}  // namespace

CleanRulesDialog::CleanRulesDialog(std::vector<bool> builtInOn, std::vector<StoredRule> rules,
                                   std::string book, std::string_view bookText, QWidget* parent)
    : QDialog(parent),
      builtInOn_(std::move(builtInOn)),
      rules_(std::move(rules)),
      book_(std::move(book)),
      bookText_(bookText) {
  setWindowTitle(QStringLiteral("净化规则"));
  builtInOn_.resize(BuiltInRules().size(), true);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("tableRules"));
  table_->setHorizontalHeaderLabels({QStringLiteral("启用"), QStringLiteral("类型"), QStringLiteral("查找"),
                                     QStringLiteral("替换为"), QStringLiteral("范围"),
                                     QStringLiteral("本书中")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(kPattern, QHeaderView::Stretch);
  table_->setMinimumSize(640, 280);

  pattern_ = new QLineEdit(this);
  pattern_->setObjectName(QStringLiteral("editPattern"));
  replacement_ = new QLineEdit(this);
  replacement_->setObjectName(QStringLiteral("editReplacement"));
  replacement_->setPlaceholderText(QStringLiteral("空着就是删去"));
  regex_ = new QCheckBox(QStringLiteral("正则表达式（替换中 \\1 到 \\9 代表括号里找到的文字）"), this);
  regex_->setObjectName(QStringLiteral("checkRegex"));
  scope_ = new QComboBox(this);
  scope_->setObjectName(QStringLiteral("comboScope"));
  scope_->addItem(QStringLiteral("所有书"));
  scope_->addItem(QStringLiteral("只用于这本书"));
  scope_->setEnabled(!book_.empty());
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("labelCount"));
  count_->setWordWrap(true);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("查找："), pattern_);
  form->addRow(QStringLiteral("替换为："), replacement_);
  form->addRow(QString(), regex_);
  form->addRow(QStringLiteral("范围："), scope_);
  form->addRow(QString(), count_);

  add_ = new QPushButton(QStringLiteral("添加"), this);
  add_->setObjectName(QStringLiteral("buttonAdd"));
  change_ = new QPushButton(QStringLiteral("修改"), this);
  change_->setObjectName(QStringLiteral("buttonChange"));
  remove_ = new QPushButton(QStringLiteral("删除"), this);
  remove_->setObjectName(QStringLiteral("buttonRemove"));
  auto* edits = new QHBoxLayout;
  edits->addWidget(add_);
  edits->addWidget(change_);
  edits->addWidget(remove_);
  edits->addStretch();

  auto* note = new QLabel(QStringLiteral("净化只改变页面的显示，书本身不变；"
                                         "要改书本身，用“净化 → 把净化规则应用到文件...”。"),
                          this);
  note->setWordWrap(true);
  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addLayout(form);
  layout->addLayout(edits);
  layout->addWidget(note);
  layout->addWidget(buttons);

  recount_.setSingleShot(true);
  recount_.setInterval(250);
  connect(&recount_, &QTimer::timeout, this, [this] { Recount(); });
  const auto later = [this] { recount_.start(); };
  connect(pattern_, &QLineEdit::textChanged, this, later);
  connect(replacement_, &QLineEdit::textChanged, this, later);
  connect(regex_, &QCheckBox::toggled, this, later);
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { OnSelected(); });
  connect(table_, &QTableWidget::cellChanged, this, [this](int row, int column) { OnChecked(row, column); });
  connect(add_, &QPushButton::clicked, this, [this] { Add(); });
  connect(change_, &QPushButton::clicked, this, [this] { Change(); });
  connect(remove_, &QPushButton::clicked, this, [this] { Remove(); });
  Fill();
  OnSelected();
  Recount();
}

void CleanRulesDialog::Fill() {
  filling_ = true;
  table_->setRowCount(BuiltInCount() + static_cast<int>(rules_.size()));
  std::vector<int> rows(static_cast<std::size_t>(table_->rowCount()));
  for (std::size_t k = 0; k < rows.size(); ++k) rows[k] = static_cast<int>(k);
  const std::vector<QString> counts = CountRows(rows);
  for (int row : rows) FillRow(row, counts[static_cast<std::size_t>(row)]);
  filling_ = false;
}

std::vector<QString> CleanRulesDialog::CountRows(const std::vector<int>& rows) {
  std::vector<QString> texts(rows.size());
  if (bookText_.empty() || bookText_.size() >= kCountAllBelow) return texts;
  std::vector<std::unique_ptr<TextMatcher>> matchers;
  std::vector<const TextMatcher*> counted;
  std::vector<std::size_t> countedRows;  // index in `rows` of each counted matcher
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const int row = rows[k];
    RuleText rule;
    if (row < BuiltInCount()) {
      rule = BuiltInRules()[static_cast<std::size_t>(row)];
    } else {
      const StoredRule& stored = rules_[static_cast<std::size_t>(row - BuiltInCount())];
      if (!stored.book.empty() && stored.book != book_) {
        texts[k] = QStringLiteral("—");
        continue;
      }
      rule = TextOf(stored);
    }
    std::unique_ptr<TextMatcher> matcher = MakeMatcher(rule);
    if (!matcher) {
      texts[k] = QStringLiteral("有误");
      continue;
    }
    counted.push_back(matcher.get());
    countedRows.push_back(k);
    matchers.push_back(std::move(matcher));
  }
  std::vector<std::size_t> counts;
  if (RunLongWork(this, QStringLiteral("正在计数……"),
                  [&](WorkControl&) { counts = CountEachInBook(bookText_, counted); }) == WorkOutcome::Cancelled)
    return texts;
  for (std::size_t i = 0; i < counts.size(); ++i) texts[countedRows[i]] = QString::number(counts[i]);
  return texts;
}

void CleanRulesDialog::FillRow(int row, const QString& count) {
  const bool builtIn = row < BuiltInCount();
  QString kind, pattern, replacement, scope;
  bool on = false;
  if (builtIn) {
    const RuleText& rule = BuiltInRules()[static_cast<std::size_t>(row)];
    on = builtInOn_[static_cast<std::size_t>(row)];
    kind = QStringLiteral("内置");
    pattern = QString::fromStdU16String(rule.name);
    replacement = QString::fromStdU16String(rule.replacement);
    scope = QStringLiteral("所有书");
  } else {
    const StoredRule& rule = rules_[static_cast<std::size_t>(row - BuiltInCount())];
    on = rule.enabled;
    kind = rule.regex ? QStringLiteral("正则") : QStringLiteral("文字");
    pattern = Utf8(rule.pattern);
    replacement = Utf8(rule.replacement);
    scope = rule.book.empty() ? QStringLiteral("所有书") : QStringLiteral("一本书：") + Utf8(rule.book);
  }
  filling_ = true;
  auto* check = new QTableWidgetItem;
  check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  check->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  table_->setItem(row, kOn, check);
  const QString texts[] = {kind, pattern, replacement, scope, count};
  for (int column = kKind; column < kColumns; ++column) {
    auto* item = new QTableWidgetItem(texts[column - kKind]);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(texts[column - kKind]);
    table_->setItem(row, column, item);
  }
  filling_ = false;
}

void CleanRulesDialog::OnChecked(int row, int column) {
  if (filling_ || column != kOn || row < 0) return;
  const bool on = table_->item(row, kOn)->checkState() == Qt::Checked;
  if (row < BuiltInCount()) {
    builtInOn_[static_cast<std::size_t>(row)] = on;
  } else if (static_cast<std::size_t>(row - BuiltInCount()) < rules_.size()) {
    rules_[static_cast<std::size_t>(row - BuiltInCount())].enabled = on;
  }
}

void CleanRulesDialog::OnSelected() {
  const int row = table_->currentRow();
  const bool own = row >= BuiltInCount() && static_cast<std::size_t>(row - BuiltInCount()) < rules_.size();
  change_->setEnabled(own);
  remove_->setEnabled(own);
  if (!own) return;
  const StoredRule& rule = rules_[static_cast<std::size_t>(row - BuiltInCount())];
  pattern_->setText(Utf8(rule.pattern));
  replacement_->setText(Utf8(rule.replacement));
  regex_->setChecked(rule.regex);
  scope_->setCurrentIndex(rule.book.empty() ? 0 : 1);
}

bool CleanRulesDialog::FieldsRule(StoredRule& rule, QString& error) const {
  rule.pattern = pattern_->text().toStdString();
  rule.replacement = replacement_->text().toStdString();
  rule.regex = regex_->isChecked();
  rule.book = scope_->currentIndex() == 1 ? book_ : std::string();
  return MakeMatcher(TextOf(rule), &error) != nullptr;
}

void CleanRulesDialog::Recount() {
  recount_.stop();
  StoredRule rule;
  QString error;
  if (pattern_->text().isEmpty()) {
    count_->setText(QStringLiteral("填入要查找的文字，这里会数出它在本书中出现几处。"));
    count_->setStyleSheet(QString());
    return;
  }
  if (!FieldsRule(rule, error)) {
    count_->setText(error);
    count_->setStyleSheet(QStringLiteral("color: #c00000"));
    return;
  }
  count_->setStyleSheet(QString());
  if (book_.empty()) {
    count_->setText(QStringLiteral("没有打开的书，无从计数。"));
    return;
  }
  const auto matcher = MakeMatcher(TextOf(rule));
  // A large book's pass runs off the window's thread; keys typed meanwhile come after it.
  std::size_t found = 0;
  if (RunLongWork(this, QStringLiteral("正在计数……"), [&](WorkControl&) { found = CountInBook(bookText_, *matcher); }) ==
      WorkOutcome::Cancelled) {
    count_->clear();
    return;
  }
  count_->setText(QStringLiteral("在本书中找到 %1 处。").arg(found));
}

void CleanRulesDialog::Add() {
  StoredRule rule;
  QString error;
  if (!FieldsRule(rule, error)) {
    MessageBoxes().Show(this, error, QStringLiteral("净化规则"), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  if (rules_.size() >= static_cast<std::size_t>(kMaxReplaceRules)) {
    MessageBoxes().Show(this, QStringLiteral("净化规则已满（最多 %1 条），请先删除不用的。").arg(kMaxReplaceRules),
                        QStringLiteral("净化规则"), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  rules_.push_back(rule);
  const int row = table_->rowCount();
  table_->setRowCount(row + 1);
  FillRow(row, CountRows({row}).front());
  table_->selectRow(row);
}

void CleanRulesDialog::Change() {
  const int row = table_->currentRow();
  if (row < BuiltInCount() || static_cast<std::size_t>(row - BuiltInCount()) >= rules_.size()) return;
  StoredRule rule;
  QString error;
  if (!FieldsRule(rule, error)) {
    MessageBoxes().Show(this, error, QStringLiteral("净化规则"), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  StoredRule& kept = rules_[static_cast<std::size_t>(row - BuiltInCount())];
  // A rule of another book keeps its book when the scope still says one book.
  if (scope_->currentIndex() == 1 && !kept.book.empty()) rule.book = kept.book;
  rule.enabled = kept.enabled;
  kept = rule;
  FillRow(row, CountRows({row}).front());
}

void CleanRulesDialog::Remove() {
  const int row = table_->currentRow();
  if (row < BuiltInCount() || static_cast<std::size_t>(row - BuiltInCount()) >= rules_.size()) return;
  rules_.erase(rules_.begin() + (row - BuiltInCount()));
  table_->removeRow(row);
  OnSelected();
}

}  // namespace varnelo
