#include "aids/appearance_steps.h"

namespace varnelo {

namespace {

constexpr int kFontStep = 40;
constexpr int kSpacingStep = 50;

}  // namespace

// Compared before stepping, so that a huge hand-edited value cannot overflow.
int SmallerFontSize(int size) { return size > 160 + kFontStep ? size - kFontStep : size; }

int LargerFontSize(int size) { return size < 1440 - kFontStep ? size + kFontStep : size; }

int NarrowerLineSpacing(int spacing) {
  return spacing > kSpacingStep ? spacing - kSpacingStep : spacing;
}

int WiderLineSpacing(int spacing) {
  return spacing < 800 - kSpacingStep ? spacing + kSpacingStep : spacing;
}

}  // namespace varnelo
