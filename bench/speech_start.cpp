#include "bench/speech_start.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "aids/read_aloud.h"
#include "aids/reading_aids.h"
#include "aids/speech/espeak_engine.h"
#include "aids/speech/espeak_synth.h"
#include "store/shared_settings.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {

SpeechStartFigures MeasureSpeechStart(const std::string& path, int runs) {
  SharedSettings settings;
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-home";
  std::filesystem::create_directories(folder);
  settings.programFolder = folder.string() + "/";
  EspeakEngine* engine = nullptr;
  SpeechEngineMakerSlot() = [&](int) -> std::unique_ptr<SpeechEngine> {
    auto made = std::make_unique<EspeakEngine>(EspeakEngine::Output::Memory);
    engine = made.get();
    return made;
  };
  SpeechStartFigures figures{1e30, 1e30};
  {
    CVarneloView view(settings);
    const ReadingAids aids = AttachReadingAids(view);
    view.resize(1000, 700);
    view.show();
    view.OnInitialUpdate();
    view.LoadText(path);
    QApplication::processEvents();
    (void)EspeakProblem("cmn");  // the voice's dictionary loaded once, as after the first sentence
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      aids.readAloud->StartAt(0);
      while (engine != nullptr && engine->Samples().empty()) QApplication::processEvents(QEventLoop::AllEvents, 1);
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
      figures.firstSampleMs = std::min(figures.firstSampleMs, took.count());
      const Sentence first = aids.readAloud->Current();
      const std::string text = view.SpokenPageText().mid(first.begin, first.end - first.begin).toStdString();
      aids.readAloud->Stop();
      aids.readAloud->SettingsChanged();  // a fresh engine, nothing said yet
      const auto alone = std::chrono::steady_clock::now();
      EspeakSynthesise(text, {}, [](const SynthChunk&) {});
      const std::chrono::duration<double, std::milli> aloneTook = std::chrono::steady_clock::now() - alone;
      figures.sentenceAloneMs = std::min(figures.sentenceAloneMs, aloneTook.count());
    }
  }
  SpeechEngineMakerSlot() = MakeSpeechEngine;
  return figures;
}

}  // namespace varnelo::bench
