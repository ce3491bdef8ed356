// The reader speaks Chinese whatever the session's language is. Qt's own dialogs take
// their dates from the session's locale, their file types from the default locale and
// their words from the translation; all three are made Chinese here. So is the face the
// interface's Chinese falls back to: fontconfig picks it by the languages it reads from the
// environment, which gives the Simplified Chinese face of a Chinese session.
#pragma once

#include <QTranslator>

#include <memory>
#include <vector>

#include "platform/start_environment.h"

namespace varnelo {

class ChineseLocale {
 public:
  // Before the QApplication is made: Qt reads the session's locale from the environment,
  // which names zh_CN from here until Install.
  ChineseLocale();
  ChineseLocale(const ChineseLocale&) = delete;
  ChineseLocale& operator=(const ChineseLocale&) = delete;
  ~ChineseLocale();

  // Once the QApplication is made: the default locale is zh_CN and Qt's Chinese texts are
  // installed, with the few that its translation lacks.
  void Install();
  // The environment is the session's again, for the programs the reader starts. Not while
  // another thread may read it (the font warm-up): a change under a reader is unsafe.
  void RestoreEnvironment();

 private:
  StartEnvironment environment_;
  std::vector<std::unique_ptr<QTranslator>> translators_;
};

}  // namespace varnelo
