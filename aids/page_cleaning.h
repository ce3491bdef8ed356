// "排版" and "净化" (menu "界面"): the page shown re-flowed, with uniform indents, cleaned by
// replace rules, and typeset (paragraph spacing, justified lines, the chapter heading set
// apart). Only the pane's text changes: the book, its pages, word count, bookmarks and
// chapter rules keep the book's bytes, and every shown unit maps back to its byte. Edit
// mode pauses it, as it pauses 简繁转换, so the pane being edited holds the book's text.
// Each page is laid out once while it stays in a small cache; the next page is prepared
// as soon as the current one shows.
#pragma once

#include <QString>
#include <QTimer>

#include <list>
#include <string>
#include <vector>

#include "aids/rule_matchers.h"
#include "store/config_schema.h"
#include "store/replace_rules.h"
#include "text/display_text.h"
#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class PageCleaning : public ViewPart {
 public:
  explicit PageCleaning(CVarneloView& view);

  void OnStartup(StartupStep step) override;
  void OnBookLeaving() override;
  void OnBookLoaded() override;
  void OnBookSavedAs() override { OnBookLoaded(); }
  void OnPageLayout(int page, std::string_view bytes, QString& text,
                    std::vector<std::size_t>& offsets) override;
  void OnPageShown() override;
  void OnEditModeChanged(bool on) override;
  void OnRulesChangedElsewhere() override;

  void ChooseReflow(ReflowMode mode);
  void ChooseIndent(IndentMode mode);
  void ChooseClean(bool on);
  // "净化所选文字": the selection becomes a plain rule for every book, and cleaning goes on.
  void CleanSelection();
  // Paragraph spacing in pixels, justified lines, the heading set apart; kept and shown.
  void ChooseTypeset(int paraSpacing, bool justify, bool headingApart);

  // The user's rules as stored; replacing them writes Config.ini. False when not written.
  const std::vector<StoredRule>& Rules() const { return rules_; }
  bool SetRules(std::vector<StoredRule> rules);
  // Which built-in rules are on; replacing them writes Config.ini too.
  const std::vector<bool>& BuiltInOn() const { return builtInOn_; }
  bool SetRules(std::vector<StoredRule> rules, std::vector<bool> builtInOn);
  // "净化规则...": the dialog, its rules kept when accepted.
  void EditRules();
  // The rules that apply to the open book now, built-in first (when cleaning is on).
  std::vector<RuleText> RulesForBook(bool evenWhenOff = false) const;
  // The open book's whole text as the pane would show it plain, for counting matches.
  std::u16string BookUnits() const;

  const WrapEvidence& Evidence() const { return evidence_; }
  // How many times a page was really laid out (not taken from the cache).
  int Layouts() const { return layouts_; }

 private:
  bool Active() const;
  DisplayOptions Options() const;
  // The options changed: forget the laid-out pages and show the page again in place.
  void Changed();
  void ShowAgain();
  void PrepareAhead();
  void Typeset();
  const DisplayText& LaidOut(int page, std::string_view bytes);
  void WriteChoice(ConfigKey key, const QString& what);

  struct Cached {
    int page;
    std::size_t length;
    DisplayText shown;
  };

  CVarneloView& view_;
  std::vector<StoredRule> rules_;
  std::vector<bool> builtInOn_;
  MatcherSet matchers_;
  WrapEvidence evidence_;
  std::list<Cached> cache_;  // the most recent first
  QTimer ahead_;
  int layouts_ = 0;
  bool typesetApplied_ = false;
  int typesetGeneration_ = 0;
};

}  // namespace varnelo
