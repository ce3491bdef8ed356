// Writing an edited page back into its book. The pane shows a page decoded, every line
// break as one "\n" and runs of blank lines as spaces, while the file keeps its own bytes.
// Only what the user changed in the pane changes in the file: every other byte is copied
// from the file as it is on disk now.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

// The pane's text for a page's shown bytes (PageText's cut): decoded without loss, with
// CR LF, a lone CR and a lone LF each as one "\n". With `unitStarts`, also where the bytes
// of every unit begin, plus the length at the end; the second half of a surrogate pair has
// no bytes of its own and shares the offset of the first.
std::u16string PaneUnits(std::string_view shownBytes,
                         std::vector<std::size_t>* unitStarts = nullptr);

struct PageEdit {
  std::size_t start = 0;           // the page's first byte in the file
  std::string_view shownBytes;     // the bytes the pane's text was made from
  std::u16string_view shownText;   // the pane's text when the page was shown
  std::u16string_view editedText;  // the pane's text now
};

// The whole new file: `fileNow` with the changes from the shown text to the edited text
// written in place of the bytes they replace. Nothing when the shown text was not made from
// the shown bytes, or the page does not lie inside the file. The two spaces that stand for
// one line break of a blank line are one unit: text typed between them, or before them,
// goes after the break (after every blank line there), and the break goes only when both
// are deleted. Nothing, and `splitCharacter` set, when the edit leaves half of a character
// (one unit of a surrogate pair) on its own: no byte could stand for it.
std::optional<std::string> WriteBackPage(std::string_view fileNow, const PageEdit& edit,
                                         bool* splitCharacter = nullptr);

// What a "\n" typed into the page becomes: the first line break from the page on, else the
// file's first, else CR LF.
std::string_view LineBreakOf(std::string_view fileNow, std::size_t pageStart);

// Where "另存为..." writes for the path the dialog gave: trailing blanks dropped, then every
// ".txt" or ".TXT" at the end of the file name, then ".txt" appended. Folders stay as they
// are. Empty for an empty choice.
std::string SaveAsPath(std::string_view chosen);

}  // namespace varnelo
