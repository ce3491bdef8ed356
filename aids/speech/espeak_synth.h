// libespeak-ng as a plain function: text in, 16-bit mono samples out, with where each word
// begins. The library keeps one global state, so every call holds one lock; it may run on
// any thread. No Qt here: the command-line tool uses it as it is.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varnelo {

struct SpeechParams {
  std::string voice = "cmn";  // espeak-ng voice name
  int rate = 0;               // -10 .. 10 around the normal speed
  int pitch = 0;              // -10 .. 10 around the normal pitch
  int volume = 100;           // 0 .. 100
};

struct WordMark {
  int offset = 0;  // in UTF-16 units of the text
  int length = 0;
  std::size_t sample = 0;  // where its sound begins
};

struct SynthChunk {
  const std::int16_t* samples = nullptr;
  std::size_t count = 0;
};

struct SynthResult {
  bool ok = false;
  std::string error;  // Chinese, when not ok
  int sampleRate = 0;
  std::vector<WordMark> words;
  std::size_t sampleCount = 0;
};

// The folder holding espeak-ng-data, an absolute system path fixed at build time.
std::string EspeakDataParent();

// Whether espeak-ng starts and has the voice; the reason in Chinese when not.
std::string EspeakProblem(const std::string& voice);

// The voices espeak-ng offers for Chinese (Mandarin, Cantonese), as {name, language}.
std::vector<std::pair<std::string, std::string>> EspeakChineseVoices();

// Synthesises UTF-8 `text`. Each piece of sound goes to `onChunk` as it is made; `cancel`
// set from another thread stops it soon after.
SynthResult EspeakSynthesise(const std::string& text, const SpeechParams& params,
                             const std::function<void(const SynthChunk&)>& onChunk,
                             const std::atomic<bool>* cancel = nullptr);

// The espeak-ng words-per-minute of a rate step (-10 .. 10).
int EspeakWordsPerMinute(int rate);

}  // namespace varnelo
