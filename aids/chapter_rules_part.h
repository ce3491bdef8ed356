// The user's own chapter rules: "拓展 → 章节规则..." lists the built-in rules and the
// user's, and lets the user add, edit, delete and order their own, each a name and a
// regular expression for a heading line, tested on the open book as it is typed. The
// user's rules follow the built-in ones in "章节分页规则"; choosing one pages the book by
// the lines it matches (from two of them on).
#pragma once

#include <QDialog>
#include <QRegularExpression>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "store/chapter_rules.h"
#include "text/chapter_finder.h"
#include "text/view_part.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace varnelo {

class CVarneloView;

// Why an expression cannot be a heading rule, in words a user understands; empty when it can.
QString HeadingExpressionProblem(const QString& expression);

// The headings an expression finds: each line (after its spaces and full-width spaces) the
// expression matches in, at most `limit` of them. The title is the line, at most the
// longest title on whole characters.
std::vector<FoundHeading> FindHeadingsByExpression(std::string_view text, const QRegularExpression& expression,
                                                   std::size_t limit = SIZE_MAX);

class ChapterRulesDialog : public QDialog {
 public:
  // `test` finds the headings of a built-in rule (0 to 6) on the open book, or nothing
  // when no book is open; a count below 0 says the user cancelled the pass.
  using BuiltInTest = std::function<std::optional<std::vector<QString>>(int rule, int& count)>;
  ChapterRulesDialog(std::vector<UserChapterRule> rules, int nextId, std::string_view book,
                     BuiltInTest builtInTest, QWidget* parent);
  const std::vector<UserChapterRule>& Rules() const { return rules_; }
  // The test of what the fields hold now (the typing pause skipped).
  void TestNow();

 private:
  void FillList(int select);
  void Selected();
  // The user's rule of the selected row; -1 for a built-in one or none.
  int SelectedUserRule() const;
  bool FieldsHoldARule(UserChapterRule& rule);
  void Add();
  void SaveEdit();
  void Delete();
  void Move(int by);
  void Refresh();

  std::vector<UserChapterRule> rules_;
  int nextId_;
  std::string_view book_;
  BuiltInTest builtInTest_;
  QListWidget* list_;
  QLineEdit* name_;
  QLineEdit* expression_;
  QLabel* result_;
  QListWidget* titles_;
  QPushButton* add_;
  QPushButton* save_;
  QPushButton* delete_;
  QPushButton* up_;
  QPushButton* down_;
  QTimer* typing_;
};

class ChapterRulesPart : public ViewPart {
 public:
  explicit ChapterRulesPart(CVarneloView& view);
  void OnStartup(StartupStep step) override;
  void OnBookOpening(const std::string& path, BookPaging& paging) override;
  void OpenDialog();
  // Takes `rules` as the user's list: kept in Config.ini, in the menu, and the book on
  // screen paged again when the rule it is paged by changed or went.
  void Apply(const std::vector<UserChapterRule>& rules);
  const UserChapterRules& Rules() const { return rules_; }
  void OnRulesChangedElsewhere() override;

 private:
  // The list changed from `before`: the menu and the book on screen follow.
  void Follow(const std::vector<UserChapterRule>& before);
  void RefreshMenu();
  std::optional<std::vector<FoundHeading>> Scan(std::string_view text, int rule);

  CVarneloView& view_;
  UserChapterRules rules_;
  std::map<int, QRegularExpression> compiled_;  // by rule id
};

}  // namespace varnelo
