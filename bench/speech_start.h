// How soon reading aloud is heard: from "开始朗读" to the first sample of the built-in engine,
// against synthesising that first sentence alone.
#pragma once

#include <string>

namespace varnelo::bench {

struct SpeechStartFigures {
  double firstSampleMs = 0;
  double sentenceAloneMs = 0;
};

SpeechStartFigures MeasureSpeechStart(const std::string& path, int runs);

}  // namespace varnelo::bench
