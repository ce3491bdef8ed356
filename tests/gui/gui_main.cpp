// One QApplication for every GUI test, on the offscreen platform unless told otherwise.
#include <QApplication>
#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>

#include "platform/chinese_locale.h"

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A test starts this binary again to have Qt set up as the reader sets it up.
  std::optional<varnelo::ChineseLocale> chinese;
  if (std::getenv("VARNELO_AS_READER") != nullptr) chinese.emplace();
  QApplication app(argc, argv);
  if (chinese) {
    chinese->Install();
    chinese->RestoreEnvironment();
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
