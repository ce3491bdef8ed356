#include "aids/speech/espeak_synth.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <mutex>
#include <optional>

namespace varnelo {
namespace {

std::mutex gLock;  // libespeak-ng is one global state
bool gTried = false;
int gSampleRate = 0;  // 0: did not start
std::string gVoice;   // the voice loaded now (loading one reads its dictionary)

// What the running synthesis collects; set only while gLock is held.
struct Job {
  const std::function<void(const SynthChunk&)>* onChunk = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  const std::vector<int>* utf16Of = nullptr;  // code point index -> UTF-16 offset
  SynthResult* result = nullptr;
};
Job* gJob = nullptr;

int OnSynth(short* wav, int count, espeak_EVENT* events) {
  Job* job = gJob;
  if (job == nullptr) return 1;
  for (espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type != espeakEVENT_WORD) continue;
    // Positions count characters from 1.
    const std::vector<int>& map = *job->utf16Of;
    const int first = std::clamp(e->text_position - 1, 0, static_cast<int>(map.size()) - 1);
    const int last = std::clamp(e->text_position - 1 + e->length, 0, static_cast<int>(map.size()) - 1);
    WordMark mark;
    mark.offset = map[static_cast<std::size_t>(first)];
    mark.length = map[static_cast<std::size_t>(last)] - mark.offset;
    mark.sample = static_cast<std::size_t>(std::max(e->audio_position, 0)) *
                  static_cast<std::size_t>(gSampleRate) / 1000;
    job->result->words.push_back(mark);
  }
  if (wav != nullptr && count > 0) {
    job->result->sampleCount += static_cast<std::size_t>(count);
    if (*job->onChunk) (*job->onChunk)(SynthChunk{wav, static_cast<std::size_t>(count)});
  }
  return job->cancel != nullptr && job->cancel->load() ? 1 : 0;
}

bool StartLocked() {
  if (!gTried) {
    gTried = true;
    const std::string parent = EspeakDataParent();
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 100, parent.c_str(), 0);
    if (rate > 0) {
      gSampleRate = rate;
      espeak_SetSynthCallback(OnSynth);
    }
  }
  return gSampleRate > 0;
}

bool UseVoiceLocked(const std::string& voice) {
  if (voice == gVoice) return true;
  if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) return false;
  gVoice = voice;
  return true;
}

// The UTF-16 offset of each code point of UTF-8 `text`, and one past the end.
std::vector<int> Utf16Offsets(const std::string& text) {
  std::vector<int> offsets;
  int unit = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    offsets.push_back(unit);
    unit += width == 4 ? 2 : 1;
    i += width;
  }
  offsets.push_back(unit);
  return offsets;
}

}  // namespace

std::string EspeakDataParent() { return VARNELO_ESPEAK_DATA_PARENT; }

std::string EspeakProblem(const std::string& voice) {
  std::lock_guard<std::mutex> hold(gLock);
  if (!StartLocked()) return "内置语音引擎 espeak-ng 无法启动（找不到它的语音数据）。";
  if (!UseVoiceLocked(voice)) return "内置语音引擎 espeak-ng 没有“" + voice + "”语音，无法朗读中文。";
  return {};
}

std::vector<std::pair<std::string, std::string>> EspeakChineseVoices() {
  std::lock_guard<std::mutex> hold(gLock);
  // Listing reads every voice file: once a process is enough.
  static std::optional<std::vector<std::pair<std::string, std::string>>> listed;
  if (listed) return *listed;
  std::vector<std::pair<std::string, std::string>> voices;
  if (!StartLocked()) return voices;
  for (const char* language : {"cmn", "yue"}) {
    espeak_VOICE wanted{};
    wanted.languages = language;
    const espeak_VOICE** list = espeak_ListVoices(&wanted);
    for (; list != nullptr && *list != nullptr; ++list) {
      const espeak_VOICE* v = *list;
      // Each language entry is a priority byte, then the name.
      const std::string first = v->languages != nullptr ? std::string(v->languages + 1) : std::string();
      if (first != language) continue;  // pinyin and jyutping voices read Latin letters
      voices.emplace_back(v->identifier != nullptr ? v->identifier : v->name, first);
    }
  }
  listed = voices;
  return voices;
}

int EspeakWordsPerMinute(int rate) {
  rate = std::clamp(rate, -10, 10);
  return rate < 0 ? espeakRATE_NORMAL + rate * (espeakRATE_NORMAL - espeakRATE_MINIMUM) / 10
                  : espeakRATE_NORMAL + rate * 20;
}

SynthResult EspeakSynthesise(const std::string& text, const SpeechParams& params,
                             const std::function<void(const SynthChunk&)>& onChunk,
                             const std::atomic<bool>* cancel) {
  SynthResult result;
  std::lock_guard<std::mutex> hold(gLock);
  if (!StartLocked()) {
    result.error = "内置语音引擎 espeak-ng 无法启动（找不到它的语音数据）。";
    return result;
  }
  if (!UseVoiceLocked(params.voice)) {
    result.error = "内置语音引擎 espeak-ng 没有“" + params.voice + "”语音，无法朗读中文。";
    return result;
  }
  result.sampleRate = gSampleRate;
  espeak_SetParameter(espeakRATE, EspeakWordsPerMinute(params.rate), 0);
  espeak_SetParameter(espeakPITCH, 50 + 4 * std::clamp(params.pitch, -10, 10), 0);
  espeak_SetParameter(espeakVOLUME, std::clamp(params.volume, 0, 100), 0);
  const std::vector<int> offsets = Utf16Offsets(text);
  Job job{&onChunk, cancel, &offsets, &result};
  gJob = &job;
  const espeak_ERROR status = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                           espeakCHARS_UTF8, nullptr, nullptr);
  gJob = nullptr;
  if (status != EE_OK) {
    result.error = "内置语音引擎 espeak-ng 合成失败。";
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace varnelo
