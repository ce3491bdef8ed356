#include "aids/chapter_rules_part.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "platform/long_work.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "store/store_menus.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

constexpr int kTitlesShown = 10;
constexpr std::size_t kLineBytesMatched = 600;  // a heading is near its line's start
constexpr int kTypingPauseMs = 250;

const char* const kBuiltInNames[] = {"自动识别", "按“第...章”分页", "按“第...卷”分页", "按“第...回”分页",
                                     "按“第...部”分页", "按“第...节”分页", "按“第...集”分页"};
const char* const kBuiltInRules[] = {"书中自己的章节标题：第…章、楔子、一、…",
                                     "“第”后 19 字节内有“章”", "“第”后 19 字节内有“卷”",
                                     "“第”后 19 字节内有“回”", "“第”后 19 字节内有“部”",
                                     "“第”后 19 字节内有“节”", "“第”后 19 字节内有“集”"};
constexpr int kBuiltInCount = 7;

// PCRE's reasons, said in Chinese; anything else is named by where it is.
QString ReasonOf(const QString& error) {
  static const std::pair<const char*, const char*> kReasons[] = {
      {"missing closing parenthesis", "缺少右括号“)”"},
      {"unmatched closing parenthesis", "多了一个右括号“)”"},
      {"missing terminating ]", "缺少右方括号“]”"},
      {"quantifier does not follow a repeatable item", "“*”“+”“?”或“{}”前面没有可以重复的内容"},
      {"at end of pattern", "末尾的反斜杠“\\”后面缺少字符"},
      {"range out of order", "方括号里的范围前后颠倒了"},
      {"number too big", "“{}”里的数字太大"},
      {"numbers out of order", "“{}”里的数字前大后小"},
      {"unrecognized character follows", "反斜杠“\\”后面的字符无法识别"},
      {"lookbehind assertion is not fixed length", "向后查找“(?<=…)”的长度必须固定"},
  };
  for (const auto& [english, chinese] : kReasons) {
    if (error.contains(QLatin1String(english), Qt::CaseInsensitive)) return QString::fromUtf8(chinese);
  }
  return QStringLiteral("写法不对");
}

// Bytes of the GB18030 character at `at`.
std::size_t CharacterBytes(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x81 || lead == 0xFF || at + 1 >= text.size()) return 1;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if (second >= 0x30 && second <= 0x39) return at + 3 < text.size() ? 4 : 1;
  return 2;
}

// The longest run of whole characters from `from` within `bytes`.
std::size_t WholeCharacters(std::string_view text, std::size_t from, std::size_t bytes) {
  std::size_t end = from;
  while (end < text.size()) {
    const std::size_t next = end + CharacterBytes(text, end);
    if (next - from > bytes) break;
    end = next;
  }
  return end - from;
}

QRegularExpression Compiled(const QString& expression) {
  QRegularExpression compiled(expression, QRegularExpression::UseUnicodePropertiesOption);
  compiled.optimize();
  return compiled;
}

QString BuiltInText(int rule) {
  return QString::fromUtf8(kBuiltInNames[rule]) + QStringLiteral("（内置）");
}

}  // namespace

QString HeadingExpressionProblem(const QString& expression) {
  if (expression.trimmed().isEmpty()) return QStringLiteral("请填写标题行的正则表达式。");
  const QRegularExpression compiled(expression);
  if (!compiled.isValid()) {
    return QStringLiteral("正则表达式有误：第 %1 个字符附近%2。")
        .arg(compiled.patternErrorOffset() + 1)
        .arg(ReasonOf(compiled.errorString()));
  }
  if (compiled.match(QString()).hasMatch())
    return QStringLiteral("这个表达式连空行也能匹配，会把每一行都当作章节标题，请写得具体些（例如以“第”开头）。");
  return QString();
}

std::vector<FoundHeading> FindHeadingsByExpression(std::string_view text, const QRegularExpression& expression,
                                                   std::size_t limit) {
  std::vector<FoundHeading> headings;
  if (!expression.isValid()) return headings;
  std::size_t pos = 0;
  while (pos < text.size() && headings.size() < limit) {
    const void* feed = std::memchr(text.data() + pos, '\n', text.size() - pos);
    const std::size_t end = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - text.data()) : text.size();
    std::size_t lineEnd = end;
    if (lineEnd > pos && text[lineEnd - 1] == '\r') --lineEnd;
    std::size_t start = pos;
    while (start < lineEnd) {
      if (text[start] == ' ' || text[start] == '\t') {
        ++start;
      } else if (start + 1 < lineEnd && static_cast<unsigned char>(text[start]) == 0xA1 &&
                 static_cast<unsigned char>(text[start + 1]) == 0xA1) {
        start += 2;  // a full-width space
      } else {
        break;
      }
    }
    if (start < lineEnd) {
      const std::size_t taken = WholeCharacters(text, start, std::min(lineEnd - start, kLineBytesMatched));
      const QString line = QString::fromStdU16String(DecodeBookBytes(text.substr(start, taken)));
      if (expression.match(line).hasMatch()) {
        std::size_t titleEnd = lineEnd;
        while (titleEnd > start && (text[titleEnd - 1] == ' ' || text[titleEnd - 1] == '\t')) --titleEnd;
        FoundHeading heading;
        heading.start = static_cast<std::int64_t>(start);
        heading.titleLength = static_cast<std::uint8_t>(WholeCharacters(text, start, std::min(titleEnd - start, kMaxTitleBytes)));
        headings.push_back(heading);
      }
    }
    pos = end + 1;
  }
  return headings;
}

ChapterRulesDialog::ChapterRulesDialog(std::vector<UserChapterRule> rules, int nextId, std::string_view book,
                                       BuiltInTest builtInTest, QWidget* parent)
    : QDialog(parent),
      rules_(std::move(rules)),
      nextId_(nextId),
      book_(book),
      builtInTest_(std::move(builtInTest)),
      list_(new QListWidget(this)),
      name_(new QLineEdit(this)),
      expression_(new QLineEdit(this)),
      result_(new QLabel(this)),
      titles_(new QListWidget(this)),
      add_(new QPushButton(QStringLiteral("添加"), this)),
      save_(new QPushButton(QStringLiteral("保存修改"), this)),
      delete_(new QPushButton(QStringLiteral("删除"), this)),
      up_(new QPushButton(QStringLiteral("上移"), this)),
      down_(new QPushButton(QStringLiteral("下移"), this)),
      typing_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("章节规则"));
  setObjectName(QStringLiteral("chapterRuleEditor"));
  list_->setObjectName(QStringLiteral("ruleList"));
  name_->setObjectName(QStringLiteral("ruleName"));
  expression_->setObjectName(QStringLiteral("ruleExpression"));
  result_->setObjectName(QStringLiteral("ruleTest"));
  titles_->setObjectName(QStringLiteral("ruleTitles"));
  add_->setObjectName(QStringLiteral("ruleAdd"));
  save_->setObjectName(QStringLiteral("ruleSave"));
  delete_->setObjectName(QStringLiteral("ruleDelete"));
  up_->setObjectName(QStringLiteral("ruleUp"));
  down_->setObjectName(QStringLiteral("ruleDown"));
  name_->setPlaceholderText(QStringLiteral("例如：正文章节"));
  expression_->setPlaceholderText(QStringLiteral("标题行的正则表达式，例如：^第[0-9零一二三四五六七八九十百千]+章"));
  result_->setWordWrap(true);
  for (QPushButton* button : {add_, save_, delete_, up_, down_}) button->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {add_, save_, delete_, up_, down_}) buttons->addWidget(button);
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("名称："), name_);
  fields->addRow(QStringLiteral("表达式："), expression_);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("内置规则在前，不能修改；自己的规则在后，按这里的次序出现在“章节分页规则”菜单中。"), this));
  layout->addWidget(list_);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->addWidget(result_);
  layout->addWidget(titles_);
  layout->addWidget(box);
  resize(520, 600);

  typing_->setSingleShot(true);
  typing_->setInterval(kTypingPauseMs);
  connect(typing_, &QTimer::timeout, this, [this] { TestNow(); });
  connect(expression_, &QLineEdit::textChanged, this, [this] { typing_->start(); });
  connect(list_, &QListWidget::currentRowChanged, this, [this] { Selected(); });
  connect(add_, &QPushButton::clicked, this, [this] { Add(); });
  connect(save_, &QPushButton::clicked, this, [this] { SaveEdit(); });
  connect(delete_, &QPushButton::clicked, this, [this] { Delete(); });
  connect(up_, &QPushButton::clicked, this, [this] { Move(-1); });
  connect(down_, &QPushButton::clicked, this, [this] { Move(1); });
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  FillList(rules_.empty() ? -1 : kBuiltInCount);
  expression_->setFocus();
}

void ChapterRulesDialog::FillList(int select) {
  QSignalBlocker quiet(list_);
  list_->clear();
  for (int rule = 0; rule < kBuiltInCount; ++rule) {
    auto* item = new QListWidgetItem(BuiltInText(rule), list_);
    item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
  }
  for (const UserChapterRule& rule : rules_) new QListWidgetItem(QString::fromStdString(rule.name), list_);
  list_->setCurrentRow(select);
  Selected();
}

int ChapterRulesDialog::SelectedUserRule() const {
  const int row = list_->currentRow();
  return row >= kBuiltInCount && row - kBuiltInCount < static_cast<int>(rules_.size()) ? row - kBuiltInCount : -1;
}

void ChapterRulesDialog::Selected() {
  const int row = list_->currentRow();
  const int user = SelectedUserRule();
  const bool builtIn = row >= 0 && row < kBuiltInCount;
  {
    QSignalBlocker quietName(name_);
    QSignalBlocker quietExpression(expression_);
    if (builtIn) {
      name_->setText(QString::fromUtf8(kBuiltInNames[row]));
      expression_->setText(QString::fromUtf8(kBuiltInRules[row]));
    } else if (user >= 0) {
      name_->setText(QString::fromStdString(rules_[static_cast<std::size_t>(user)].name));
      expression_->setText(QString::fromStdString(rules_[static_cast<std::size_t>(user)].expression));
    }
  }
  name_->setReadOnly(builtIn);
  expression_->setReadOnly(builtIn);
  save_->setEnabled(user >= 0);
  delete_->setEnabled(user >= 0);
  up_->setEnabled(user > 0);
  down_->setEnabled(user >= 0 && user + 1 < static_cast<int>(rules_.size()));
  TestNow();
}

void ChapterRulesDialog::TestNow() {
  typing_->stop();
  titles_->clear();
  const int row = list_->currentRow();
  std::vector<QString> found;
  int count = 0;
  if (row >= 0 && row < kBuiltInCount && expression_->isReadOnly()) {
    const std::optional<std::vector<QString>> titles = builtInTest_ ? builtInTest_(row, count) : std::nullopt;
    if (!titles) {
      result_->setText(QStringLiteral("打开一本小说后，这里会显示规则在书中找到的章节。"));
      return;
    }
    if (count < 0) {
      result_->clear();
      return;
    }
    found = *titles;
  } else {
    const QString problem = HeadingExpressionProblem(expression_->text());
    if (!problem.isEmpty()) {
      result_->setText(expression_->text().isEmpty() ? QString() : problem);
      return;
    }
    if (book_.empty()) {
      result_->setText(QStringLiteral("表达式可以使用。打开一本小说后，这里会显示它在书中找到的章节。"));
      return;
    }
    // A large book's pass runs off the window's thread; cancelled, nothing is shown.
    std::vector<FoundHeading> headings;
    const QRegularExpression compiled = Compiled(expression_->text());
    if (RunLongWork(this, QStringLiteral("正在查找章节……"), [&](WorkControl&) {
          headings = FindHeadingsByExpression(book_, compiled);
        }) == WorkOutcome::Cancelled) {
      result_->clear();
      return;
    }
    count = static_cast<int>(headings.size());
    for (std::size_t k = 0; k < headings.size() && k < static_cast<std::size_t>(kTitlesShown); ++k) {
      const FoundHeading& h = headings[k];
      found.push_back(QString::fromStdU16String(
          DecodeBookBytes(book_.substr(static_cast<std::size_t>(h.start), h.titleLength))));
    }
  }
  if (count < kMinFoundChapters) {
    result_->setText(QStringLiteral("在本书中找到 %1 个标题：少于 %2 个，不能按它分页。").arg(count).arg(kMinFoundChapters));
  } else {
    result_->setText(QStringLiteral("在本书中找到 %1 个标题，前 %2 个：").arg(count).arg(std::min(count, kTitlesShown)));
  }
  for (const QString& title : found) titles_->addItem(title);
}

bool ChapterRulesDialog::FieldsHoldARule(UserChapterRule& rule) {
  const QString name = name_->text().simplified();
  const QString problem = name.isEmpty() ? QStringLiteral("请填写规则的名称。") : HeadingExpressionProblem(expression_->text());
  if (!problem.isEmpty()) {
    MessageBoxes().Show(this, problem, QStringLiteral("章节规则"), MessageButtons::Ok, MessageIcon::Exclamation);
    return false;
  }
  rule.name = name.toStdString();
  rule.expression = expression_->text().toStdString();
  return true;
}

void ChapterRulesDialog::Add() {
  if (rules_.size() >= static_cast<std::size_t>(kMaxUserRules)) {
    MessageBoxes().Show(this, QStringLiteral("自己的规则最多 %1 条，请先删除不用的。").arg(kMaxUserRules),
                        QStringLiteral("章节规则"), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  // Fields showing a rule as it is (a built-in one, or the user's own unchanged) are
  // emptied for a new rule; fields typed into are added as one.
  const int user = SelectedUserRule();
  const bool unchanged = user >= 0 && name_->text().toStdString() == rules_[static_cast<std::size_t>(user)].name &&
                         expression_->text().toStdString() == rules_[static_cast<std::size_t>(user)].expression;
  if (expression_->isReadOnly() || unchanged) {
    list_->setCurrentRow(-1);
    name_->clear();
    expression_->clear();
    expression_->setFocus();
    return;
  }
  UserChapterRule rule;
  if (!FieldsHoldARule(rule)) return;
  rule.id = nextId_++;
  rules_.push_back(rule);
  FillList(kBuiltInCount + static_cast<int>(rules_.size()) - 1);
}

void ChapterRulesDialog::SaveEdit() {
  const int user = SelectedUserRule();
  if (user < 0) return;
  UserChapterRule edited = rules_[static_cast<std::size_t>(user)];
  if (!FieldsHoldARule(edited)) return;
  rules_[static_cast<std::size_t>(user)] = edited;
  FillList(kBuiltInCount + user);
}

void ChapterRulesDialog::Delete() {
  const int user = SelectedUserRule();
  if (user < 0) return;
  rules_.erase(rules_.begin() + user);
  FillList(rules_.empty() ? -1 : kBuiltInCount + std::min(user, static_cast<int>(rules_.size()) - 1));
  if (rules_.empty()) {
    name_->clear();
    expression_->clear();
  }
}

void ChapterRulesDialog::Move(int by) {
  const int user = SelectedUserRule();
  const int to = user + by;
  if (user < 0 || to < 0 || to >= static_cast<int>(rules_.size())) return;
  std::swap(rules_[static_cast<std::size_t>(user)], rules_[static_cast<std::size_t>(to)]);
  FillList(kBuiltInCount + to);
}

ChapterRulesPart::ChapterRulesPart(CVarneloView& view) : view_(view) {
  CommandMap& commands = view_.Commands();
  commands.Add(cmd::kChapterRules, [this](int) { OpenDialog(); });
  commands.AddRange(
      cmd::kUserRuleFirst, cmd::kUserRuleLast,
      [this](int id) {
        const auto k = static_cast<std::size_t>(id - cmd::kUserRuleFirst);
        if (k >= rules_.Rules().size() || !view_.OfferToSaveBeforeTurning()) return;
        view_.SwitchPaging(kChapterPaging, kFirstUserRule + rules_.Rules()[k].id);
      },
      [this](int id, CommandState& state) {
        const auto k = static_cast<std::size_t>(id - cmd::kUserRuleFirst);
        state.enabled = k < rules_.Rules().size();
        state.checkable = true;
        state.checked = state.enabled && view_.ChapterRule() == kFirstUserRule + rules_.Rules()[k].id;
      });
  view_.SetUserRuleScan([this](std::string_view text, int rule) { return Scan(text, rule); });
}

void ChapterRulesPart::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  rules_.SetSettingsPath(view_.Store().SettingsPath());
  rules_.Load();
  RefreshMenu();
  const int chosen = view_.ChosenChapterRule();
  if (IsUserChapterRule(chosen) && rules_.Find(chosen - kFirstUserRule) == nullptr) view_.ForgetChapterRule(chosen);
}

// A book remembered under a rule the user has since deleted takes the automatic one.
void ChapterRulesPart::OnBookOpening(const std::string& path, BookPaging& paging) {
  (void)path;
  if (IsUserChapterRule(paging.rule) && rules_.Find(paging.rule - kFirstUserRule) == nullptr)
    paging.rule = kAutoChapterRule;
}

std::optional<std::vector<FoundHeading>> ChapterRulesPart::Scan(std::string_view text, int rule) {
  const UserChapterRule* found = rules_.Find(rule - kFirstUserRule);
  if (found == nullptr) return std::nullopt;
  auto compiled = compiled_.find(found->id);
  if (compiled == compiled_.end())
    compiled = compiled_.emplace(found->id, Compiled(QString::fromStdString(found->expression))).first;
  if (!compiled->second.isValid()) return std::nullopt;
  return FindHeadingsByExpression(text, compiled->second);
}

void ChapterRulesPart::OpenDialog() {
  const auto builtInTest = [this](int rule, int& count) -> std::optional<std::vector<QString>> {
    if (view_.CurrentPath().empty()) return std::nullopt;
    const Pagination* chapters = view_.HeadingsBy(rule);
    if (chapters == nullptr) {
      count = -1;  // cancelled
      return std::vector<QString>();
    }
    count = chapters->pageCount;
    std::vector<QString> titles;
    for (int page = 1; page <= chapters->pageCount && page <= kTitlesShown; ++page)
      titles.push_back(QString::fromStdU16String(DecodeBookBytes(chapters->TitleOf(view_.Text(), page))));
    return titles;
  };
  ChapterRulesDialog dialog(rules_.Rules(), rules_.NewId(), view_.CurrentPath().empty() ? std::string_view() : view_.Text(),
                            builtInTest, &view_);
  if (dialog.exec() != QDialog::Accepted) return;
  Apply(dialog.Rules());
}

void ChapterRulesPart::Apply(const std::vector<UserChapterRule>& rules) {
  const std::vector<UserChapterRule> before = rules_.Rules();
  if (before == rules) return;
  if (!rules_.Save(rules)) {
    MessageBoxes().Show(&view_, NotWrittenMessage(view_.Store().SettingsPath(), QStringLiteral("章节规则未保存")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  Follow(before);
}

void ChapterRulesPart::OnRulesChangedElsewhere() {
  const std::vector<UserChapterRule> before = rules_.Rules();
  rules_.Load();
  if (rules_.Rules() != before) Follow(before);
}

void ChapterRulesPart::Follow(const std::vector<UserChapterRule>& before) {
  compiled_.clear();
  view_.ForgetHeadingScans();
  RefreshMenu();
  for (const UserChapterRule& old : before) {
    const UserChapterRule* now = rules_.Find(old.id);
    const int rule = kFirstUserRule + old.id;
    if (now == nullptr) {
      view_.ForgetChapterRule(rule);
    } else if (now->expression != old.expression && view_.ChapterRule() == rule &&
               view_.PagingMode() == kChapterPaging && view_.OfferToSaveBeforeTurning()) {
      view_.SwitchPaging(kChapterPaging, rule, false);
    }
  }
}

void ChapterRulesPart::RefreshMenu() {
  StoreMenus* menus = view_.Store().Menus();
  if (menus == nullptr) return;
  std::vector<StoreMenuItem> items;
  const std::vector<UserChapterRule>& rules = rules_.Rules();
  for (std::size_t k = 0; k < rules.size(); ++k) {
    items.push_back({cmd::kUserRuleFirst + static_cast<int>(k), rules[k].name,
                     "按自己的规则“" + rules[k].name + "”分页：" + rules[k].expression});
  }
  menus->ReplaceItems(StoreMenu::ChapterRules, items);
}

}  // namespace varnelo
