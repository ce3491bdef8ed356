// The selection's web query and the link label's failure texts.
#include "app/links.h"

#include <gtest/gtest.h>

namespace varnelo {
namespace {

TEST(Links, SelectionIsPercentEncodedUtf8InAFixedQuery) {
  const std::string query = "https://www.baidu.com/s?ie=utf-8&wd=";
  const struct {
    std::u16string selection;
    std::string encoded;
  } cases[] = {
      {u"", ""},
      // Characters that would end the query, start another key or reach a shell.
      {u"Az09-._~ b&wd=x#y+z/?%\"'`$;|",
       "Az09-._~%20b%26wd%3Dx%23y%2Bz%2F%3F%25%22%27%60%24%3B%7C"},
      {u"三国", "%E4%B8%89%E5%9B%BD"},
      {u" 滚滚\r\n长江\n", "%20%E6%BB%9A%E6%BB%9A%0D%0A%E9%95%BF%E6%B1%9F%0A"},
      {u"\U00020000", "%F0%A0%80%80"},         // beyond the basic plane: one code point
      {u"a\xDC81z", "a%EF%BF%BDz"},            // an undecodable book byte's stand-in
      {u"\xD840", "%EF%BF%BD"},                // a high surrogate cut off at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WebSearchAddress(c.selection), query + c.encoded) << c.encoded;
  }
}

TEST(Links, OnlyTheFirstCharactersAreSearched) {
  const std::string query = "https://www.baidu.com/s?ie=utf-8&wd=";
  const std::u16string full(kMaxSearchCharacters, u'a');
  const std::u16string pair = u"\U00020000";
  const struct {
    std::u16string selection;
    std::string encoded;
  } cases[] = {
      {full, std::string(kMaxSearchCharacters, 'a')},
      {full + u"b", std::string(kMaxSearchCharacters, 'a')},
      // The last character kept is a pair of surrogates: both halves stay.
      {full.substr(1) + pair + u"b", std::string(kMaxSearchCharacters - 1, 'a') + "%F0%A0%80%80"},
      {full.substr(1) + u"\xDC81" + u"b", std::string(kMaxSearchCharacters - 1, 'a') + "%EF%BF%BD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WebSearchAddress(c.selection), query + c.encoded) << c.selection.size();
  }
}

TEST(Links, FailureTextsByCode) {
  const std::string prefix = "Unable to open hyperlink:\n\n";
  EXPECT_EQ(LinkFailureText(26), prefix + "A sharing violation occurred. ");
  EXPECT_EQ(LinkFailureText(31),
            prefix + "There is no application associated\nwith the given filename extension.");
  EXPECT_EQ(LinkFailureText(0), prefix + "The operating system is out\nof memory or resources.");
  for (int unlisted : {4, 33, -1})
    EXPECT_EQ(LinkFailureText(unlisted), prefix + "Unknown Error (" + std::to_string(unlisted) +
                                             ") occurred.");
}

}  // namespace
}  // namespace varnelo
