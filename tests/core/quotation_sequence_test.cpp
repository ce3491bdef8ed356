// What the quotation line shows, step by step: the maxims' ring, a file line by line, and
// the band over a file; the limits on lines and line feeds.
#include "aids/quotation_sequence.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aids/scroll_steps.h"

namespace varnelo {
namespace {

TEST(QuotationSequence, MaximsRunOneToThirtyOneThenAgain) {
  EXPECT_TRUE(BuiltInMaxim(0).empty());
  EXPECT_TRUE(BuiltInMaxim(32).empty());
  EXPECT_EQ(BuiltInMaxim(1), "宝剑锋从磨砺出，梅花香自苦寒来！");
  EXPECT_EQ(BuiltInMaxim(31).find("无所不能的人实在一无所能，无所不专的专家实在是一无所专"), 0u);
  int index = 0;
  for (int expected = 1; expected <= 31; ++expected) {
    index = NextMaximIndex(index);
    ASSERT_EQ(index, expected);
    EXPECT_FALSE(BuiltInMaxim(index).empty()) << index;
  }
  EXPECT_EQ(NextMaximIndex(index), 1);
}

struct Shown {
  std::string text;
  bool stop = false;
};

std::vector<Shown> Lines(const std::string& bytes, bool loop, int steps) {
  QuotationFile file;
  EXPECT_EQ(file.Begin(bytes, false), QuotationFile::Start::Lines);
  std::vector<Shown> shown;
  for (int i = 0; i < steps; ++i) {
    const QuotationFile::Step step = file.NextLine(loop);
    EXPECT_FALSE(step.tooLong);
    shown.push_back({step.text, step.stop});
    if (step.stop) break;
  }
  return shown;
}

TEST(QuotationSequence, FileLineByLine) {
  using S = std::vector<Shown>;
  const struct {
    const char* bytes;
    bool loop;
    S shown;
  } cases[] = {
      {"a\nb", false, {{"a\n"}, {"b", true}}},
      {"a\nb", true, {{"a\n"}, {"b"}, {"a\n"}, {"b"}}},
      {"a\r\n", true, {{"a\r\n"}, {""}, {"a\r\n"}}},  // an empty last line, once a cycle
      {"one", false, {{"one", true}}},
  };
  for (const auto& c : cases) {
    const std::vector<Shown> shown = Lines(c.bytes, c.loop, static_cast<int>(c.shown.size()));
    ASSERT_EQ(shown.size(), c.shown.size()) << c.bytes << c.loop;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].text, c.shown[i].text) << c.bytes << " step " << i;
      EXPECT_EQ(shown[i].stop, c.shown[i].stop) << c.bytes << " step " << i;
    }
  }
}

TEST(QuotationSequence, LineLimits) {
  for (std::size_t length : {std::size_t{149}, std::size_t{150}}) {
    // The line break counts: 147 or 148 characters, then CR LF.
    const std::string line = std::string(length - 2, 'x') + "\r\n";
    QuotationFile file;
    ASSERT_EQ(file.Begin("ok\n" + line + "end", false), QuotationFile::Start::Lines);
    EXPECT_EQ(file.NextLine(false).text, "ok\n");
    const QuotationFile::Step step = file.NextLine(false);
    EXPECT_EQ(step.tooLong, length >= 150) << length;
    EXPECT_EQ(step.text, length >= 150 ? "" : line) << length;
  }
  QuotationFile file;
  EXPECT_EQ(file.Begin("", false), QuotationFile::Start::Empty);
  EXPECT_EQ(file.Begin(std::string(9999, '\n'), false), QuotationFile::Start::Lines);
  EXPECT_EQ(file.Begin(std::string(10000, '\n'), false), QuotationFile::Start::TooManyLines);
  EXPECT_EQ(file.Begin(std::string(10000, '\n'), true), QuotationFile::Start::Band);
}

std::vector<Shown> Band(const std::string& bytes, bool loop, int steps) {
  QuotationFile file;
  EXPECT_EQ(file.Begin(bytes, true), QuotationFile::Start::Band);
  std::vector<Shown> shown;
  for (int i = 0; i < steps; ++i) {
    const QuotationFile::Step step = file.NextBandWindow(loop);
    shown.push_back({step.text, step.stop});
    if (step.stop) break;
  }
  return shown;
}

TEST(QuotationSequence, BandMovesTwoCharactersAStep) {
  using S = std::vector<Shown>;
  auto hanzi = [](int count) {  // GBK characters of two bytes each
    std::string out;
    for (int i = 0; i < count; ++i) out += "\xB0\xA1";
    return out;
  };
  const struct {
    std::string bytes;
    bool loop;
    S shown;
  } cases[] = {
      // Shorter than a window: with the loop an empty line every step, without it once.
      {"a\nb", true, {{""}, {""}, {""}}},
      {"a\nb", false, {{"a b", true}}},
      // 26 characters: the window ending on the last one notices the end a step later.
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", false,
       {{"ABCDEFGHIJKLMNOPQR"}, {"CDEFGHIJKLMNOPQRST"}, {"EFGHIJKLMNOPQRSTUV"},
        {"GHIJKLMNOPQRSTUVWX"}, {"IJKLMNOPQRSTUVWXYZ"}, {"KLMNOPQRSTUVWXYZ", true}}},
      {"ABCDEFGHIJKLMNOPQRST", true,
       {{"ABCDEFGHIJKLMNOPQR"}, {"CDEFGHIJKLMNOPQRST"}, {""}, {"ABCDEFGHIJKLMNOPQR"}}},
      // Two-byte characters move as one; the line break turns into two blanks.
      {hanzi(19) + "\r\n", false, {{hanzi(18)}, {hanzi(17) + " "}, {hanzi(15) + "  ", true}}},
      // A lead byte cut short by the end is the last character; nothing is read past it.
      {"ab\xB0", false, {{"ab\xB0", true}}},
  };
  for (const auto& c : cases) {
    const std::vector<Shown> shown = Band(c.bytes, c.loop, static_cast<int>(c.shown.size()) + 1);
    ASSERT_EQ(shown.size(), c.shown.size() + (c.loop ? 1 : 0)) << c.bytes;
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(shown[i].text, c.shown[i].text) << c.bytes << " step " << i;
      EXPECT_EQ(shown[i].stop, c.shown[i].stop) << c.bytes << " step " << i;
    }
  }
}

TEST(ScrollSteps, KindsIntervalsAndPixelSteps) {
  const struct {
    int rollType;
    ScrollStepKind kind;
  } kinds[] = {{0, ScrollStepKind::Pixel}, {1, ScrollStepKind::Line}, {2, ScrollStepKind::Screen},
               {-1, ScrollStepKind::None}, {3, ScrollStepKind::None}};
  for (const auto& k : kinds) EXPECT_EQ(StepKindOf(k.rollType), k.kind) << k.rollType;

  // An interval below the platform's minimum gets the minimum, never a spinning 0.
  const int periods[][2] = {{0, 10}, {9, 10}, {-5, 10}, {10, 10}, {30, 30}, {30000, 30000}};
  for (const auto& p : periods) EXPECT_EQ(TimerPeriodOf(p[0]), p[1]) << p[0];

  // One unit on and never past the end; no 16-bit cut on a long page.
  const int pixels[][3] = {{0, 100, 1}, {99, 100, 100}, {100, 100, 100}, {65535, 90000, 65536}};
  for (const auto& p : pixels) EXPECT_EQ(PixelStepTarget(p[0], p[1]), p[2]) << p[0];

  const struct {
    const char* text;
    int value;
  } numbers[] = {{"30", 30}, {"", 0}, {"abc", 0}, {" 12ab", 12}, {"-7", -7},
                 {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
  for (const auto& n : numbers) EXPECT_EQ(LeadingNumber(n.text), n.value) << n.text;
}

}  // namespace
}  // namespace varnelo
