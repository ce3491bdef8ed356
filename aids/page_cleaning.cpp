#include "aids/page_cleaning.h"

#include "aids/clean_apply.h"
#include "aids/clean_rules_dialog.h"
#include "aids/typeset_dialog.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/rich_pane.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "store/store_messages.h"
#include "text/page_write_back.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

// Pages kept laid out: turning back and forth over a few pages lays out each once.
constexpr std::size_t kCachedPages = 6;

std::u16string Utf16(const std::string& utf8) { return QString::fromStdString(utf8).toStdU16String(); }

}  // namespace

PageCleaning::PageCleaning(CVarneloView& view) : view_(view) {
  ahead_.setSingleShot(true);
  QObject::connect(&ahead_, &QTimer::timeout, &view_, [this] { PrepareAhead(); });
  const struct {
    int id;
    ReflowMode mode;
  } reflows[] = {{cmd::kReflowOff, ReflowMode::Off},
                 {cmd::kReflowAuto, ReflowMode::Auto},
                 {cmd::kReflowOn, ReflowMode::On}};
  for (const auto& item : reflows) {
    view_.Commands().Add(
        item.id, [this, mode = item.mode](int) { ChooseReflow(mode); },
        [this, mode = item.mode](int, CommandState& state) {
          state.enabled = !view_.EditMode();
          state.checkable = true;
          state.checked = view_.Settings().config.reflowMode == static_cast<int>(mode);
        });
  }
  const struct {
    int id;
    IndentMode mode;
  } indents[] = {{cmd::kIndentKeep, IndentMode::Keep},
                 {cmd::kIndentTwo, IndentMode::TwoSpaces},
                 {cmd::kIndentNone, IndentMode::None}};
  for (const auto& item : indents) {
    view_.Commands().Add(
        item.id, [this, mode = item.mode](int) { ChooseIndent(mode); },
        [this, mode = item.mode](int, CommandState& state) {
          state.enabled = !view_.EditMode();
          state.checkable = true;
          state.checked = view_.Settings().config.indentMode == static_cast<int>(mode);
        });
  }
  view_.Commands().Add(
      cmd::kCleanPage, [this](int) { ChooseClean(view_.Settings().config.cleanFlag == 0); },
      [this](int, CommandState& state) {
        state.enabled = !view_.EditMode();
        state.checkable = true;
        state.checked = view_.Settings().config.cleanFlag != 0;
      });
  view_.Commands().Add(cmd::kCleanSelection, [this](int) { CleanSelection(); },
                       [this](int, CommandState& state) {
                         state.enabled = !view_.EditMode() && view_.Pane()->HasSelection();
                       });
  view_.Commands().Add(cmd::kCleanRules, [this](int) { EditRules(); },
                       [this](int, CommandState& state) { state.enabled = !view_.EditMode(); });
  view_.Commands().Add(
      cmd::kApplyCleanToFile,
      [this](int) {
        const MatcherSet matchers = MakeMatchers(RulesForBook(true));
        ApplyRulesToFile(view_, matchers.Pointers());
      },
      [this](int, CommandState& state) { state.enabled = !view_.EditMode() && !view_.CurrentPath().empty(); });
  view_.Commands().Add(cmd::kTypesetSettings, [this](int) {
    const ConfigValues& config = view_.Settings().config;
    TypesetDialog dialog(config.paraSpacing, config.justify != 0, config.headingApart != 0, &view_);
    if (dialog.exec() == QDialog::Accepted)
      ChooseTypeset(dialog.ParaSpacing(), dialog.Justify(), dialog.HeadingApart());
  });
}

void PageCleaning::CleanSelection() {
  const QString selection = view_.Pane()->SelectedText();
  if (selection.trimmed().isEmpty()) return;
  std::vector<StoredRule> rules = rules_;
  StoredRule rule;
  rule.pattern = selection.toStdString();
  if (std::find(rules.begin(), rules.end(), rule) == rules.end()) rules.push_back(rule);
  const bool written = SetRules(std::move(rules));
  if (view_.Settings().config.cleanFlag == 0) ChooseClean(true);
  if (!written) {
    MessageBoxes().Show(&view_, NotWrittenMessage(view_.Store().SettingsPath(), QStringLiteral("净化规则未保存")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
  }
}

void PageCleaning::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  ConfigValues& config = view_.Settings().config;
  const std::string& path = view_.Store().SettingsPath();
  for (ConfigKey key : {ConfigKey::ReflowMode, ConfigKey::IndentMode, ConfigKey::CleanFlag,
                        ConfigKey::ParaSpacing, ConfigKey::Justify, ConfigKey::HeadingApart})
    ReadKey(config, key, path);
  rules_ = ReadReplaceRules(path);
  builtInOn_ = ReadBuiltInOn(BuiltInRules().size(), path);
}

void PageCleaning::OnRulesChangedElsewhere() {
  const std::string& path = view_.Store().SettingsPath();
  std::vector<StoredRule> rules = ReadReplaceRules(path);
  std::vector<bool> builtInOn = ReadBuiltInOn(BuiltInRules().size(), path);
  if (rules == rules_ && builtInOn == builtInOn_) return;
  rules_ = std::move(rules);
  builtInOn_ = std::move(builtInOn);
  Changed();
}

void PageCleaning::OnBookLeaving() {
  cache_.clear();
  ahead_.stop();
}

void PageCleaning::OnBookLoaded() {
  cache_.clear();
  evidence_ = MeasureWrap(view_.Text());
  matchers_ = MakeMatchers(RulesForBook());
}

std::vector<RuleText> PageCleaning::RulesForBook(bool evenWhenOff) const {
  std::vector<RuleText> rules;
  if (view_.Settings().config.cleanFlag == 0 && !evenWhenOff) return rules;
  const std::vector<RuleText>& builtIn = BuiltInRules();
  for (std::size_t i = 0; i < builtIn.size(); ++i) {
    if (i >= builtInOn_.size() || builtInOn_[i]) rules.push_back(builtIn[i]);
  }
  for (const StoredRule& rule : rules_) {
    if (!rule.enabled || (!rule.book.empty() && rule.book != view_.CurrentPath())) continue;
    rules.push_back({Utf16(rule.pattern), Utf16(rule.replacement), rule.regex, {}});
  }
  return rules;
}

std::u16string PageCleaning::BookUnits() const { return PaneUnits(view_.Text()); }

DisplayOptions PageCleaning::Options() const {
  const ConfigValues& config = view_.Settings().config;
  DisplayOptions options;
  options.rules = matchers_.Pointers();
  options.reflow = static_cast<ReflowMode>(config.reflowMode);
  options.indent = static_cast<IndentMode>(config.indentMode);
  options.evidence = evidence_;
  return options;
}

bool PageCleaning::Active() const {
  if (view_.EditMode() || view_.CurrentPath().empty()) return false;
  const ConfigValues& config = view_.Settings().config;
  const bool reflows = config.reflowMode == static_cast<int>(ReflowMode::On) ||
                       (config.reflowMode == static_cast<int>(ReflowMode::Auto) && evidence_.hardWrapped);
  return reflows || config.indentMode != 0 || !matchers_.owned.empty();
}

const DisplayText& PageCleaning::LaidOut(int page, std::string_view bytes) {
  for (auto it = cache_.begin(); it != cache_.end(); ++it) {
    if (it->page == page && it->length == bytes.size()) {
      cache_.splice(cache_.begin(), cache_, it);
      return cache_.front().shown;
    }
  }
  ++layouts_;
  DisplayText shown = ShowPageText(bytes, Options());
  // The pane holds at most its limit, whole characters.
  const std::size_t limit = static_cast<std::size_t>(view_.Pane()->TextLimit());
  if (shown.text.size() > limit) {
    std::size_t keep = limit;
    if (keep > 0 && shown.text[keep - 1] >= 0xD800 && shown.text[keep - 1] <= 0xDBFF) --keep;
    shown.text.resize(keep);
    shown.offsets.resize(keep + 1);
  }
  cache_.push_front({page, bytes.size(), std::move(shown)});
  if (cache_.size() > kCachedPages) cache_.pop_back();
  return cache_.front().shown;
}

void PageCleaning::OnPageLayout(int page, std::string_view bytes, QString& text,
                                std::vector<std::size_t>& offsets) {
  if (!Active()) return;
  const DisplayText& shown = LaidOut(page, bytes);
  text = QString::fromStdU16String(shown.text);
  offsets = shown.offsets;
}

void PageCleaning::OnPageShown() {
  Typeset();
  if (Active() && view_.CurrentPage() < view_.PageCount()) ahead_.start(0);
}

void PageCleaning::PrepareAhead() {
  const int next = view_.CurrentPage() + 1;
  if (!Active() || next > view_.PageCount()) return;
  LaidOut(next, view_.ShownBytes(next));
  // The page on screen stays the most recent.
  if (cache_.size() > 1) cache_.splice(cache_.begin(), cache_, std::next(cache_.begin()));
}

void PageCleaning::Typeset() {
  const ConfigValues& config = view_.Settings().config;
  RichPane* pane = view_.Pane();
  if (config.paraSpacing == 0 && config.justify == 0 && config.headingApart == 0) {
    // Turned off on the page that has them: the same text again, in the pane's plain form.
    if (typesetApplied_ && pane->TextGeneration() == typesetGeneration_) {
      const bool modified = pane->IsModified();
      pane->SetPaneText(pane->PaneText());
      pane->SetModified(modified);
    }
    typesetApplied_ = false;
    return;
  }
  if (view_.EditMode()) return;
  const bool modified = pane->IsModified();
  QTextDocument* document = pane->document();
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  QTextBlockFormat body;
  body.setBottomMargin(config.paraSpacing);
  body.setAlignment(config.justify != 0 ? Qt::AlignJustify : Qt::AlignLeft);
  cursor.mergeBlockFormat(body);
  if (config.headingApart != 0) {
    // The chapter heading when the page opens with one: centred, bold, larger, space above.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
      const QString line = block.text();
      if (line.trimmed().isEmpty()) continue;
      if (IsHeadingLine(line.toStdU16String())) {
        QTextCursor heading(block);
        heading.select(QTextCursor::BlockUnderCursor);
        QTextBlockFormat apart;
        apart.setAlignment(Qt::AlignHCenter);
        apart.setTopMargin(pane->fontMetrics().height());
        apart.setBottomMargin(pane->fontMetrics().height() / 2 + config.paraSpacing);
        heading.mergeBlockFormat(apart);
        heading = QTextCursor(block);
        heading.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        bold.setFontPointSize(pane->font().pointSizeF() * 1.3);
        heading.mergeCharFormat(bold);
      }
      break;
    }
  }
  cursor.endEditBlock();
  pane->SetModified(modified);
  typesetApplied_ = true;
  typesetGeneration_ = pane->TextGeneration();
}

void PageCleaning::OnEditModeChanged(bool on) {
  if (!on && view_.Pane()->IsModified()) return;
  const ConfigValues& config = view_.Settings().config;
  if (config.reflowMode == 0 && config.indentMode == 0 && matchers_.owned.empty() &&
      config.paraSpacing == 0 && config.justify == 0 && config.headingApart == 0)
    return;
  ShowAgain();
}

void PageCleaning::ShowAgain() {
  if (view_.CurrentPath().empty() || view_.PageCount() == 0) return;
  // The same text stays on top, wherever the new layout puts it.
  const std::int64_t top = TopOfPaneOffset(view_);
  view_.ShowPage(view_.CurrentPage());
  const int position = PanePositionOf(view_, top);
  if (position > 0) ScrollPositionToTop(*view_.Pane(), position);
}

void PageCleaning::Changed() {
  cache_.clear();
  matchers_ = MakeMatchers(RulesForBook());
  ShowAgain();
}

void PageCleaning::WriteChoice(ConfigKey key, const QString& what) {
  const std::string& path = view_.Store().SettingsPath();
  if (!WriteKey(view_.Settings().config, key, path)) {
    MessageBoxes().Show(&view_, NotWrittenMessage(path, what), QString(), MessageButtons::Ok,
                        MessageIcon::Exclamation);
  }
}

void PageCleaning::ChooseReflow(ReflowMode mode) {
  ConfigValues& config = view_.Settings().config;
  if (view_.EditMode() || config.reflowMode == static_cast<int>(mode)) return;
  config.reflowMode = static_cast<int>(mode);
  WriteChoice(ConfigKey::ReflowMode, QStringLiteral("重新分段的选择未保存"));
  Changed();
}

void PageCleaning::ChooseIndent(IndentMode mode) {
  ConfigValues& config = view_.Settings().config;
  if (view_.EditMode() || config.indentMode == static_cast<int>(mode)) return;
  config.indentMode = static_cast<int>(mode);
  WriteChoice(ConfigKey::IndentMode, QStringLiteral("段首缩进的选择未保存"));
  Changed();
}

void PageCleaning::ChooseClean(bool on) {
  ConfigValues& config = view_.Settings().config;
  if (view_.EditMode() || (config.cleanFlag != 0) == on) return;
  config.cleanFlag = on ? 1 : 0;
  WriteChoice(ConfigKey::CleanFlag, QStringLiteral("净化页面的选择未保存"));
  Changed();
}

void PageCleaning::ChooseTypeset(int paraSpacing, bool justify, bool headingApart) {
  ConfigValues& config = view_.Settings().config;
  config.paraSpacing = std::clamp(paraSpacing, 0, kMaxParaSpacing);
  config.justify = justify ? 1 : 0;
  config.headingApart = headingApart ? 1 : 0;
  for (ConfigKey key : {ConfigKey::ParaSpacing, ConfigKey::Justify, ConfigKey::HeadingApart})
    WriteChoice(key, QStringLiteral("排版设置未保存"));
  if (!view_.EditMode()) ShowAgain();
}

bool PageCleaning::SetRules(std::vector<StoredRule> rules, std::vector<bool> builtInOn) {
  builtInOn_ = std::move(builtInOn);
  const bool written = WriteBuiltInOn(builtInOn_, view_.Store().SettingsPath());
  return SetRules(std::move(rules)) && written;
}

void PageCleaning::EditRules() {
  if (view_.EditMode()) return;
  CleanRulesDialog dialog(builtInOn_, rules_, view_.CurrentPath(), view_.Text(), &view_);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!SetRules(dialog.Rules(), dialog.BuiltInOn())) {
    MessageBoxes().Show(&view_, NotWrittenMessage(view_.Store().SettingsPath(), QStringLiteral("净化规则未保存")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
  }
}

bool PageCleaning::SetRules(std::vector<StoredRule> rules) {
  rules_ = std::move(rules);
  const bool written = WriteReplaceRules(rules_, view_.Store().SettingsPath());
  if (!view_.EditMode()) Changed();
  return written;
}

}  // namespace varnelo
