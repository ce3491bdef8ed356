// An initialization file read once and changed in memory: each section is found in one
// pass over the bytes and its keys are indexed the first time it is asked for, so a read
// or a change costs the keys it touches, not the size of the file. Text() gives exactly
// the bytes the same writes, made one by one on the file itself, would have left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace varnelo::profile {

// Blanks around names and values: ASCII only, as bytes 0x80 and up belong to characters.
std::string_view TrimBlanks(std::string_view s);
std::string LowerName(std::string_view name);

class IniDocument {
 public:
  explicit IniDocument(std::string text = {});

  // The first value of `key` in the sections named `section`, trimmed and unquoted.
  // Names are compared without regard to ASCII letter case; both come trimmed.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // Every key of the section with the value of its first line, by lower-case name.
  std::unordered_map<std::string, std::string> Section(std::string_view section) const;

  // Gives each key its value: in place on the key's first line (its spelling and the blanks
  // after '=' kept), or as a new line after the last key of the section's first occurrence,
  // or in a new section at the end. Names come trimmed and valid, each once. True when the
  // text changed.
  using Change = std::pair<std::string_view, std::string_view>;
  bool Set(std::string_view section, const std::vector<Change>& changes);

  std::string Text() const;

  // Lines classified since the last call: a measure of the work, for tests.
  std::uint64_t TakeLinesParsed() const { return std::exchange(linesParsed_, 0); }

 private:
  // A line of the text as read (`added` false: `at` is the offset of its first byte) or one
  // added since (`at` is its index in added_).
  struct LineId {
    bool added = false;
    std::size_t at = 0;
  };
  struct Line {
    std::size_t begin, end, next;  // content ends before CR LF or LF; the next line starts
  };
  struct Part {  // one header of a section and the lines up to the next header
    std::size_t header;
    std::size_t bodyBegin;
    std::size_t bodyEnd;
  };
  struct SectionState {
    std::vector<std::size_t> parts;  // in file order
    int newSection = -1;             // in newSections_, when the file had no such section
    bool indexed = false;
    std::unordered_map<std::string, LineId> keys;  // the first line of each key
    std::size_t anchor = 0;  // the line new keys follow: the first part's last key or header
  };
  struct NewSection {
    std::string header;
    std::vector<std::size_t> lines;  // in added_
  };

  Line LineAt(std::size_t begin) const;
  std::string_view Content(LineId id) const;
  SectionState* Find(std::string_view section) const;
  void Index(SectionState& state) const;

  std::string text_;
  std::string eol_;
  std::vector<Part> parts_;
  mutable std::unordered_map<std::string, SectionState> sections_;  // by lower-case name
  std::vector<std::string> added_;                            // content, without line break
  std::map<std::size_t, std::string> edited_;                 // new content of lines read
  std::map<std::size_t, std::vector<std::size_t>> inserted_;  // added lines after a line read
  std::vector<NewSection> newSections_;
  mutable std::uint64_t linesParsed_ = 0;
};

}  // namespace varnelo::profile
