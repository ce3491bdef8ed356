// "净化规则...": the built-in rules first (each only on or off), then the user's own, each
// plain text or a regular expression with its replacement, for every book or the open one.
// Rules are added, changed and removed from the fields under the list, which count their
// matches in the open book as they are typed; a regular expression that does not compile
// says why and is never kept.
#pragma once

#include <QDialog>
#include <QTimer>

#include <string>
#include <string_view>
#include <vector>

#include "store/replace_rules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace varnelo {

class CleanRulesDialog : public QDialog {
 public:
  // `book` is the open book's path (empty: none) and `bookText` its GB18030 text.
  CleanRulesDialog(std::vector<bool> builtInOn, std::vector<StoredRule> rules, std::string book,
                   std::string_view bookText, QWidget* parent);

  const std::vector<bool>& BuiltInOn() const { return builtInOn_; }
  const std::vector<StoredRule>& Rules() const { return rules_; }

 private:
  int BuiltInCount() const { return static_cast<int>(builtInOn_.size()); }
  void Fill();
  void FillRow(int row, const QString& count);
  // What the count column says for each of `rows`: the places its rule finds in the open
  // book (one pass off the window's thread for all), "—" for another book's rule, nothing
  // when the book is too large to count every rule or the user cancelled the pass.
  std::vector<QString> CountRows(const std::vector<int>& rows);
  void OnSelected();
  void OnChecked(int row, int column);
  // The rule the fields describe; false, with `error` saying why, when it cannot be kept.
  bool FieldsRule(StoredRule& rule, QString& error) const;
  void Recount();
  void Add();
  void Change();
  void Remove();

  std::vector<bool> builtInOn_;
  std::vector<StoredRule> rules_;
  std::string book_;
  std::string_view bookText_;
  bool filling_ = false;

  QTableWidget* table_ = nullptr;
  QLineEdit* pattern_ = nullptr;
  QLineEdit* replacement_ = nullptr;
  QCheckBox* regex_ = nullptr;
  QComboBox* scope_ = nullptr;
  QLabel* count_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* change_ = nullptr;
  QPushButton* remove_ = nullptr;
  QTimer recount_;
};

}  // namespace varnelo
