// The tool-bar steps of the text size and the line spacing (twentieths of a point). A step
// is taken only while its result stays inside the bound on its own side; a value out of
// range (a hand-edited Config.ini) can always be stepped back towards the range.
#pragma once

namespace varnelo {

int SmallerFontSize(int size);       // - 40, taken only above 160
int LargerFontSize(int size);        // + 40, taken only below 1440
int NarrowerLineSpacing(int spacing);  // - 50, taken only above 0
int WiderLineSpacing(int spacing);     // + 50, taken only below 800

}  // namespace varnelo
