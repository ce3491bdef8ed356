// What the quotation line shows, step by step: the maxims' ring, a file line by line and
// as a band; the limits on lines and line feeds; the arithmetic of automatic scrolling.
#include "aids/quotation_sequence.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aids/scroll_steps.h"
#include "tests/core/fifo_guard.h"
#include "tests/core/scratch_folder.h"

namespace varnelo {
namespace {

TEST(QuotationSequence, MaximsRunOneToThirtyOneThenAgain) {
  EXPECT_TRUE(BuiltInMaxim(0).empty());
  EXPECT_EQ(BuiltInMaxim(1), "宝剑锋从磨砺出，梅花香自苦寒来！");
  EXPECT_EQ(BuiltInMaxim(31).find("无所不能的人实在一无所能，无所不专的专家实在是一无所专"), 0u);
  for (int index = 0; index <= 31; ++index) {
    EXPECT_EQ(NextMaximIndex(index), index == 31 ? 1 : index + 1);
    EXPECT_EQ(BuiltInMaxim(index).empty(), index == 0) << index;
  }
}

// Each step's text, with "|" after the step that stops.
std::string Steps(const std::string& bytes, bool band, bool loop, int steps) {
  QuotationFile file;
  file.Begin(bytes, band);
  std::string shown;
  for (int i = 0; i < steps; ++i) {
    const QuotationFile::Step step = band ? file.NextBandWindow(loop) : file.NextLine(loop);
    shown += step.tooLong ? "[too long]" : "[" + step.text + (step.stop ? "]|" : "]");
    if (step.stop || step.tooLong) break;
  }
  return shown;
}

std::string Hanzi(int count) {  // GBK characters of two bytes each
  std::string out;
  for (int i = 0; i < count; ++i) out += "\xB0\xA1";
  return out;
}

TEST(QuotationSequence, FileLinesAndBand) {
  const struct {
    std::string bytes;
    bool band, loop;
    int steps;
    std::string shown;
  } cases[] = {
      {"a\nb", false, false, 3, "[a\n][b]|"},
      {"a\nb", false, true, 3, "[a\n][b][a\n]"},
      {"a\r\n", false, true, 3, "[a\r\n][][a\r\n]"},  // an empty last line once a cycle
      // A line of 149 bytes, its line break included, shows; one of 150 does not.
      {std::string(147, 'x') + "\r\n", false, false, 1, "[" + std::string(147, 'x') + "\r\n]"},
      {"ok\n" + std::string(148, 'x') + "\r\n", false, false, 3, "[ok\n][too long]"},
      // Shorter than a window: with the loop an empty line every step, without it once.
      {"a\nb", true, true, 2, "[][]"},
      {"a\nb", true, false, 2, "[a b]|"},
      // The window ending on the last character notices the end a step later.
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", true, false, 9,
       "[ABCDEFGHIJKLMNOPQR][CDEFGHIJKLMNOPQRST][EFGHIJKLMNOPQRSTUV][GHIJKLMNOPQRSTUVWX]"
       "[IJKLMNOPQRSTUVWXYZ][KLMNOPQRSTUVWXYZ]|"},
      {"ABCDEFGHIJKLMNOPQRST", true, true, 4,
       "[ABCDEFGHIJKLMNOPQR][CDEFGHIJKLMNOPQRST][][ABCDEFGHIJKLMNOPQR]"},
      // Two-byte characters move as one; the line break becomes two blanks.
      {Hanzi(19) + "\r\n", true, false, 5,
       "[" + Hanzi(18) + "][" + Hanzi(17) + " ][" + Hanzi(15) + "  ]|"},
      // A lead byte cut short by the end is the last character; nothing is read past it.
      {"ab\xB0", true, false, 2, "[ab\xB0]|"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Steps(c.bytes, c.band, c.loop, c.steps), c.shown) << c.bytes << c.band << c.loop;
}

TEST(QuotationSequence, LineFeedLimit) {
  QuotationFile file;
  EXPECT_EQ(file.Begin("", false), QuotationFile::Start::Empty);
  EXPECT_EQ(file.Begin(std::string(9999, '\n'), false), QuotationFile::Start::Lines);
  EXPECT_EQ(file.Begin(std::string(10000, '\n'), false), QuotationFile::Start::TooManyLines);
  EXPECT_EQ(file.Begin(std::string(10000, '\n'), true), QuotationFile::Start::Band);
}

// The file is read only as far as the line can use it, and a FIFO is not waited for.
TEST(QuotationSequence, FileIsReadOnlyAsFarAsItsBounds) {
  std::string lines;
  for (int i = 0; i < 20000; ++i) lines += "ab\r\n";
  const struct {
    const char* name;
    std::string bytes;
    std::size_t kept;
  } cases[] = {
      {"many.txt", lines, 10000 * 4},
      {"fewer.txt", std::string(9999, '\n') + "x", 10000},
      {"one-line.txt", std::string(kMaxQuoteFileBytes + 5, 'x'), kMaxQuoteFileBytes},
  };
  for (const auto& c : cases) {
    std::string bytes;
    ASSERT_EQ(ReadQuotationFile(testing::ScratchFile(c.name, c.bytes), bytes), LoadStatus::Ok);
    EXPECT_EQ(bytes, c.bytes.substr(0, c.kept)) << c.name;
  }
  std::string bytes;
  ASSERT_EQ(ReadQuotationFile(testing::ScratchFile("many.txt", lines), bytes), LoadStatus::Ok);
  EXPECT_EQ(QuotationFile().Begin(bytes, false), QuotationFile::Start::TooManyLines);

  testing::FifoGuard fifo((testing::ScratchFolder() / "fifo.txt").string());
  ASSERT_TRUE(fifo.Made());
  EXPECT_EQ(ReadQuotationFile(fifo.Path(), bytes), LoadStatus::Missing);
  EXPECT_FALSE(fifo.Rescued());
}

TEST(ScrollSteps, EdgesOfTheArithmetic) {
  EXPECT_EQ(StepKindOf(-1), ScrollStepKind::None);  // "nothing selected" in the dialog
  EXPECT_EQ(StepKindOf(3), ScrollStepKind::None);
  EXPECT_EQ(TimerPeriodOf(-5), 10);
  EXPECT_EQ(PixelStepTarget(65535, 90000), 65536) << "no 16-bit cut on a long page";
  EXPECT_EQ(BoxNumber(" 12ab"), 12);
  EXPECT_EQ(BoxNumber("99999999999"), 2147483647);
  EXPECT_EQ(BoxNumber("-99999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace varnelo
