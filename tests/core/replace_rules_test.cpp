// The user's replace rules in Config.ini: entries read back as written, whatever the
// pattern holds, and damaged entries are skipped rather than misread.
#include "store/replace_rules.h"

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "store/config_schema.h"
#include "tests/core/scratch_folder.h"

namespace varnelo {
namespace {

TEST(ReplaceRules, EntriesRoundTripAndDamageIsSkipped) {
  const std::vector<StoredRule> rules = {
      {true, false, "", "本章未完", ""},
      {false, true, "/书/甲|乙.txt", "a|b%c\r\nd", "\\1|%"},
      {true, true, "", "^\\s*广告.*$", "  "},
  };
  const std::string path = testing::ScratchFile("rules.ini", "").string();
  ASSERT_TRUE(WriteReplaceRules(rules, path));
  EXPECT_EQ(ReadReplaceRules(path), rules);
  // A shorter list empties the entries beyond it.
  ASSERT_TRUE(WriteReplaceRules({rules[2]}, path));
  EXPECT_EQ(ReadReplaceRules(path), std::vector<StoredRule>{rules[2]});
  EXPECT_EQ(profile::GetString(config_names::kCleanRules, "2", "absent", path), "");

  const struct {
    const char* entry;
    bool read;
  } entries[] = {
      {"1p||甲|乙", true},   {"0r|/b.txt|a%7Cb|", true}, {"1p|||x", false},  // empty pattern
      {"2p||a|b", false},    {"1x||a|b", false},         {"1p||a", false},
      {"1p||a%zz|b", false}, {"", false},                {"1p||a|b|c", false},
  };
  for (const auto& c : entries) {
    StoredRule rule;
    EXPECT_EQ(ParseRuleEntry(c.entry, rule), c.read) << c.entry;
  }
}

// Built-in rules are on unless numbered in BuiltInOff; a damaged list turns off only the
// numbers it clearly names.
TEST(ReplaceRules, BuiltInRulesOnUnlessListedOff) {
  const std::string path = testing::ScratchFile("builtin.ini", "").string();
  EXPECT_EQ(ReadBuiltInOn(4, path), std::vector<bool>(4, true)) << "no key";
  ASSERT_TRUE(WriteBuiltInOn({true, false, true, false}, path));
  EXPECT_EQ(profile::GetString(config_names::kCleanRules, config_names::kBuiltInOff, "", path), "2,4");
  EXPECT_EQ(ReadBuiltInOn(4, path), (std::vector<bool>{true, false, true, false}));
  const struct {
    const char* off;
    std::vector<bool> on;
  } cases[] = {
      {"", {true, true, true}},        {"0,4,99999", {true, true, true}}, {"x,2,,3y", {true, false, true}},
      {"-1,1", {false, true, true}},   {"3,3", {true, true, false}},
  };
  for (const auto& c : cases) {
    profile::WriteString(config_names::kCleanRules, config_names::kBuiltInOff, c.off, path);
    EXPECT_EQ(ReadBuiltInOn(3, path), c.on) << c.off;
  }
}

}  // namespace
}  // namespace varnelo
