// varnelo-speak: what the reader would say for a chapter or a page of a book, spoken by the
// built-in engine into a WAV file, with one line per sentence: its start in the audio
// (seconds), a tab, the sentence.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "aids/speech/espeak_synth.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "text/book_encoding.h"
#include "text/book_engine.h"
#include "text/sentences.h"
#include "text/utf8_text.h"

namespace {

void Usage() {
  std::fputs("usage: varnelo-speak [--engine espeak-ng] [--voice V] [--rate R]\n"
             "                     [--chapter N | --page K] BOOK OUT.wav\n"
             "  V  espeak-ng voice: cmn (Mandarin, the default) or yue (Cantonese)\n"
             "  R  speed from -10 (slowest) to 10 (fastest), 0 normal\n"
             "  N  chapter N as the reader finds chapters by itself (0: before the first)\n"
             "  K  page K of 50 lines; without either, the first chapter (or page 1)\n",
             stderr);
}

bool ParseInt(const char* text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < -1000000000L || parsed > 1000000000L)
    return false;
  value = static_cast<int>(parsed);
  return true;
}


void PutLittle(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Wav(const std::vector<std::int16_t>& samples, int rate) {
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  PutLittle(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  PutLittle(out, 16, 4);
  PutLittle(out, 1, 2);  // PCM
  PutLittle(out, 1, 2);  // mono
  PutLittle(out, static_cast<std::uint32_t>(rate), 4);
  PutLittle(out, static_cast<std::uint32_t>(rate) * 2, 4);
  PutLittle(out, 2, 2);
  PutLittle(out, 16, 2);
  out += "data";
  PutLittle(out, dataBytes, 4);
  for (std::int16_t s : samples) PutLittle(out, static_cast<std::uint16_t>(s), 2);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  varnelo::SpeechParams params;
  int chapter = -1;
  int page = -1;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--engine") == 0 && hasValue) {
      if (std::strcmp(argv[++i], "espeak-ng") != 0) {
        std::fprintf(stderr, "varnelo-speak: the only engine here is espeak-ng\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--voice") == 0 && hasValue) {
      params.voice = argv[++i];
    } else if (std::strcmp(argv[i], "--rate") == 0 && hasValue) {
      if (!ParseInt(argv[++i], params.rate) || params.rate < -10 || params.rate > 10) {
        std::fprintf(stderr, "varnelo-speak: the rate must be -10 to 10\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--chapter") == 0 && hasValue && page < 0) {
      if (!ParseInt(argv[++i], chapter) || chapter < 0) {
        std::fprintf(stderr, "varnelo-speak: the chapter must be 0 or more\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--page") == 0 && hasValue && chapter < 0) {
      if (!ParseInt(argv[++i], page) || page < 1) {
        std::fprintf(stderr, "varnelo-speak: the page must be 1 or more\n");
        return 2;
      }
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      Usage();
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2) {
    Usage();
    return 2;
  }

  std::string text;
  varnelo::BookForm form;
  const varnelo::LoadStatus status = varnelo::ReadBook(files[0], std::nullopt, text, form);
  if (status != varnelo::LoadStatus::Ok) {
    std::fprintf(stderr, "%s\n", varnelo::LoadMessage(status));
    return 1;
  }
  varnelo::NormaliseBlankLines(text);
  varnelo::Pagination pages;
  int shown = page;
  if (page < 0) {
    pages = varnelo::PaginateByRule(text, varnelo::kAutoChapterRule);
    if (pages.pageCount < varnelo::MinChaptersOf(varnelo::kAutoChapterRule)) {
      if (chapter >= 0) {
        std::fprintf(stderr, "varnelo-speak: 这本书里找不到章节，请用 --page\n");
        return 1;
      }
      pages = varnelo::PaginateByLines(text);
      shown = 1;
    } else {
      shown = chapter >= 0 ? chapter : 1;
    }
  } else {
    pages = varnelo::PaginateByLines(text);
  }
  if (!pages.HasPage(shown)) {
    std::fprintf(stderr, "varnelo-speak: %s %d is not in the book (%d to %d)\n",
                 chapter >= 0 ? "chapter" : "page", shown, pages.mode == varnelo::kChapterPaging ? 0 : 1,
                 pages.pageCount);
    return 2;
  }

  const std::u16string pageText = varnelo::DecodeBookBytes(varnelo::PageText(text, pages, shown));
  const std::string problem = varnelo::EspeakProblem(params.voice);
  if (!problem.empty()) {
    std::fprintf(stderr, "varnelo-speak: %s\n", problem.c_str());
    return 1;
  }
  std::vector<std::int16_t> samples;
  int rate = 0;
  std::string lines;
  for (const varnelo::Sentence& s : varnelo::SplitSentences(pageText)) {
    const std::string sentence = varnelo::Utf8OfUnits(std::u16string_view(pageText).substr(
        static_cast<std::size_t>(s.begin), static_cast<std::size_t>(s.end - s.begin)), true);
    const std::size_t start = samples.size();
    const varnelo::SynthResult result = varnelo::EspeakSynthesise(
        sentence, params, [&](const varnelo::SynthChunk& chunk) {
          samples.insert(samples.end(), chunk.samples, chunk.samples + chunk.count);
        });
    if (!result.ok) {
      std::fprintf(stderr, "varnelo-speak: %s\n", result.error.c_str());
      return 1;
    }
    rate = result.sampleRate;
    char when[32];
    std::snprintf(when, sizeof when, "%.3f\t", static_cast<double>(start) / rate);
    lines += when + sentence + "\n";
  }
  if (rate == 0) rate = 22050;
  std::error_code error;
  if (!varnelo::WriteFileAtomically(files[1], Wav(samples, rate), &error)) {
    std::fprintf(stderr, "varnelo-speak: cannot write %s: %s\n", files[1], error.message().c_str());
    return 1;
  }
  std::fwrite(lines.data(), 1, lines.size(), stdout);
  std::fprintf(stderr, "%.3f s\n", static_cast<double>(samples.size()) / rate);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
