// The cost of showing a page in other characters: a page of 131,072 characters (the pane's
// limit) put in the pane as it is, and converted to simplified characters on the way.
#pragma once

#include <string>

namespace varnelo::bench {

struct ConversionFigures {
  int characters = 0;
  double plainMs = 0;      // the page shown as the book has it
  double convertedMs = 0;  // the same page shown converted, nothing cached
};

// From the text of the book at `path` (GB18030), in traditional characters.
ConversionFigures MeasureConversion(const std::string& path, int runs);

}  // namespace varnelo::bench
