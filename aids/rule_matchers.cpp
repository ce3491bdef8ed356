#include "aids/rule_matchers.h"

#include <QRegularExpression>

namespace varnelo {

namespace {

class RegexMatcher : public TextMatcher {
 public:
  RegexMatcher(QRegularExpression expression, QString replacement)
      : expression_(std::move(expression)), replacement_(std::move(replacement)) {}

  void FindAll(std::u16string_view text, std::vector<TextEdit>& out) const override {
    const QString view = QString::fromRawData(reinterpret_cast<const QChar*>(text.data()),
                                              static_cast<qsizetype>(text.size()));
    QRegularExpressionMatchIterator it = expression_.globalMatch(view);
    while (it.hasNext()) {
      const QRegularExpressionMatch match = it.next();
      if (match.capturedLength() == 0) continue;  // an empty match changes nothing
      out.push_back({static_cast<std::size_t>(match.capturedStart()),
                     static_cast<std::size_t>(match.capturedLength()), Substitute(match)});
    }
  }

 private:
  // "\1" to "\9" stand for the groups, "\\" for a backslash; the rest is as written.
  std::u16string Substitute(const QRegularExpressionMatch& match) const {
    if (!replacement_.contains(u'\\')) return replacement_.toStdU16String();
    QString out;
    for (qsizetype i = 0; i < replacement_.size(); ++i) {
      const QChar c = replacement_[i];
      if (c == u'\\' && i + 1 < replacement_.size()) {
        const QChar next = replacement_[i + 1];
        if (next.isDigit() && next != u'0') {
          out += match.captured(next.digitValue());
          ++i;
          continue;
        }
        if (next == u'\\') {
          out += u'\\';
          ++i;
          continue;
        }
      }
      out += c;
    }
    return out.toStdU16String();
  }

  QRegularExpression expression_;
  QString replacement_;
};

}  // namespace

std::unique_ptr<TextMatcher> MakeMatcher(const RuleText& rule, QString* error) {
  const QString pattern = QString::fromStdU16String(rule.pattern);
  if (pattern.isEmpty()) {
    if (error != nullptr) *error = QStringLiteral("要查找的文字是空的。");
    return nullptr;
  }
  if (!rule.regex) return std::make_unique<PlainMatcher>(rule.pattern, rule.replacement);
  QRegularExpression expression(pattern, QRegularExpression::UseUnicodePropertiesOption);
  if (!expression.isValid()) {
    if (error != nullptr) {
      *error = QStringLiteral("正则表达式有误（第 %1 个字符附近）：%2")
                   .arg(expression.patternErrorOffset() + 1)
                   .arg(expression.errorString());
    }
    return nullptr;
  }
  expression.optimize();
  return std::make_unique<RegexMatcher>(std::move(expression),
                                        QString::fromStdU16String(rule.replacement));
}

std::vector<const TextMatcher*> MatcherSet::Pointers() const {
  std::vector<const TextMatcher*> pointers;
  pointers.reserve(owned.size());
  for (const auto& matcher : owned) pointers.push_back(matcher.get());
  return pointers;
}

MatcherSet MakeMatchers(const std::vector<RuleText>& rules) {
  MatcherSet set;
  for (const RuleText& rule : rules) {
    if (auto matcher = MakeMatcher(rule)) set.owned.push_back(std::move(matcher));
  }
  return set;
}

std::size_t CountMatches(const TextMatcher& matcher, std::u16string_view text) {
  std::vector<TextEdit> edits;
  matcher.FindAll(text, edits);
  return edits.size();
}

}  // namespace varnelo
