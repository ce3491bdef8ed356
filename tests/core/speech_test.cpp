// The built-in synthesis and varnelo-speak: real espeak-ng sound, measured.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "aids/speech/espeak_synth.h"
#include "platform/codepage.h"
#include "tests/core/scratch_folder.h"

namespace varnelo {
namespace {

double Rms(const std::vector<std::int16_t>& samples, std::size_t begin, std::size_t end) {
  double sum = 0;
  for (std::size_t i = begin; i < end; ++i) sum += double(samples[i]) * samples[i];
  return end > begin ? std::sqrt(sum / double(end - begin)) : 0;
}

std::vector<std::int16_t> Say(const std::string& text, SpeechParams params, SynthResult* out = nullptr,
                              const std::atomic<bool>* cancel = nullptr) {
  std::vector<std::int16_t> samples;
  const SynthResult result = EspeakSynthesise(
      text, params, [&](const SynthChunk& c) { samples.insert(samples.end(), c.samples, c.samples + c.count); },
      cancel);
  if (out != nullptr) *out = result;
  return samples;
}

TEST(Speech, MandarinIsSynthesisedWithWordsInOrder) {
  ASSERT_EQ(EspeakProblem("cmn"), "");
  SynthResult result;
  const std::string text = "且说董卓字仲颖，陇西临洮人也。";
  const auto samples = Say(text, {}, &result);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.sampleCount, samples.size());
  EXPECT_GT(Rms(samples, 0, samples.size()), 300.0);
  // Words come in order, inside the sentence's 15 UTF-16 units, inside the sound.
  ASSERT_FALSE(result.words.empty());
  for (std::size_t i = 0; i < result.words.size(); ++i) {
    const WordMark& w = result.words[i];
    EXPECT_GE(w.offset, 0);
    EXPECT_LE(w.offset + w.length, 15) << i;
    EXPECT_LE(w.sample, samples.size()) << i;
    if (i > 0) {
      EXPECT_GE(w.offset, result.words[i - 1].offset) << i;
    }
  }
  // Faster speech is shorter; a cancelled one stops early.
  SpeechParams fast;
  fast.rate = 10;
  EXPECT_LT(Say(text, fast).size(), samples.size() * 3 / 4);
  std::atomic<bool> cancel{true};
  EXPECT_LT(Say(text, {}, nullptr, &cancel).size(), samples.size() / 2);
}

TEST(Speech, AMissingVoiceIsRefusedInChinese) {
  SpeechParams params;
  params.voice = "no-such-voice";
  SynthResult result;
  EXPECT_TRUE(Say("你好。", params, &result).empty());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("no-such-voice"), std::string::npos);
  EXPECT_NE(EspeakProblem("no-such-voice"), "");
  // The engine still speaks with a real voice afterwards.
  EXPECT_FALSE(Say("你好。", {}).empty());
}

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Tool(const std::string& arguments) {
  FILE* pipe = ::popen((std::string(VARNELO_SPEAK_TOOL) + " " + arguments + " 2>/dev/null").c_str(), "r");
  ToolRun run{};
  std::array<char, 4096> chunk{};
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.out.append(chunk.data(), got);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TEST(Speech, ToolWritesAChapterWhoseSoundMatchesItsSentenceList) {
  const std::u16string book =
      u"第一章 山\r\n春天来了。\r\n第二章 水\r\n　　河水向东流去，一去不回。\r\n……\r\n\r\n"
      u"他说：“走吧！”她没有回答；天黑了\r\n第三章 风\r\n风起了。\r\n";
  const auto path = testing::ScratchFile("book.txt", EncodeBookText(book));
  const auto wav = testing::ScratchFolder() / "out.wav";
  const ToolRun run = Tool("--chapter 2 " + path.string() + " " + wav.string());
  ASSERT_EQ(run.status, 0);
  // One line per sentence of chapter 2, the heading first, signs-only lines left out.
  std::vector<double> starts;
  std::vector<std::string> said;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const auto tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    starts.push_back(std::stod(line.substr(0, tab)));
    said.push_back(line.substr(tab + 1));
  }
  EXPECT_EQ(said, (std::vector<std::string>{"第二章 水", "河水向东流去，一去不回。", "他说：“走吧！”",
                                             "她没有回答；", "天黑了"}));
  std::ifstream file(wav, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  ASSERT_GT(bytes.size(), 44u);
  ASSERT_EQ(bytes.substr(0, 4), "RIFF");
  std::uint32_t rate = 0, size = 0;
  std::memcpy(&rate, bytes.data() + 24, 4);
  std::memcpy(&size, bytes.data() + 40, 4);
  ASSERT_EQ(size, bytes.size() - 44);
  std::vector<std::int16_t> samples(size / 2);
  std::memcpy(samples.data(), bytes.data() + 44, size);
  const double length = double(samples.size()) / rate;
  // Each sentence starts after the last, and its stretch of the file is heard.
  starts.push_back(length);
  for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
    ASSERT_LT(starts[i], starts[i + 1]) << i;
    const auto from = static_cast<std::size_t>(starts[i] * rate);
    const auto to = static_cast<std::size_t>(starts[i + 1] * rate);
    EXPECT_GT(Rms(samples, from, to), 300.0) << said[i];
  }
  EXPECT_EQ(starts.front(), 0.0);
  // Refusals: a chapter not in the book, an unknown engine.
  EXPECT_EQ(Tool("--chapter 9 " + path.string() + " " + wav.string()).status, 2);
  EXPECT_EQ(Tool("--engine other " + path.string() + " " + wav.string()).status, 2);
}

}  // namespace
}  // namespace varnelo
