#include "text/page_write_back.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "platform/codepage.h"
#include "text/book_engine.h"
#include "text/shared_runs.h"
#include "platform/utf16.h"

namespace varnelo {
namespace {

using edit_script::Index;
using edit_script::Run;
using edit_script::SharedRuns;
using edit_script::U;

bool IsEscape(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

unsigned char ByteAt(std::string_view bytes, std::size_t i) {
  return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
}

// The byte length of each decoded unit, read off the GB18030 structure of the bytes it came
// from. False if the two disagree anywhere; the caller then measures slowly.
bool MeasureQuickly(std::string_view bytes, std::u16string_view text,
                    std::vector<std::size_t>& starts) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    starts.push_back(at);
    const unsigned char b0 = ByteAt(bytes, at);
    std::size_t length;
    if (c < 0x80) {
      if (b0 != c) return false;
      length = 1;
    } else if (IsEscape(c)) {
      if (b0 != c - 0xDC00) return false;
      length = 1;
    } else if (b0 < 0x81 || b0 > 0xFE) {
      return false;
    } else if (IsHighSurrogate(c)) {
      if (i + 1 >= text.size()) return false;
      starts.push_back(at);  // the low half
      ++i;
      length = 4;
    } else {
      const unsigned char b1 = ByteAt(bytes, at + 1);
      length = (b1 >= 0x30 && b1 <= 0x39) ? 4 : 2;
    }
    at += length;
    if (at > bytes.size()) return false;
  }
  starts.push_back(at);
  return at == bytes.size();
}

// Each character encoded on its own: slow, and right whatever the structure says.
void MeasureSlowly(std::string_view bytes, std::u16string_view text,
                   std::vector<std::size_t>& starts) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t units =
        (IsHighSurrogate(text[i]) && i + 1 < text.size() && !IsHighSurrogate(text[i + 1])) ? 2 : 1;
    for (std::size_t u = 0; u < units; ++u) starts.push_back(at);
    at += EncodeBookText(text.substr(i, units)).size();
    i += units;
  }
  starts.push_back(std::min(at, bytes.size()));
}

struct Line {
  Index begin, end;  // units, the "\n" included
  std::size_t hash;
};

std::vector<Line> LinesOf(std::u16string_view text, Index from, Index to) {
  std::vector<Line> lines;
  for (Index begin = from, i = from; i < to; ++i) {
    if (text[U(i)] != u'\n' && i + 1 != to) continue;
    lines.push_back(
        {begin, i + 1, std::hash<std::u16string_view>()(text.substr(U(begin), U(i + 1 - begin)))});
    begin = i + 1;
  }
  return lines;
}

// The runs the shown text [oFrom, oTo) and the edited text [eFrom, eTo) share, unit by
// unit. A rewrite too large for that is compared line by line first, then unit by unit
// within each changed block of lines, so distant unchanged lines are still kept.
void SharedRunsBetween(std::u16string_view shown, std::u16string_view edited, Index oFrom,
                       Index oTo, Index eFrom, Index eTo, std::vector<Run>& out) {
  const auto unitsBetween = [&](Index x0, Index x1, Index y0, Index y1) {
    const auto same = [&](Index x, Index y) { return shown[U(x0 + x)] == edited[U(y0 + y)]; };
    return SharedRuns(x1 - x0, y1 - y0, same, x0, y0, out);
  };
  if (unitsBetween(oFrom, oTo, eFrom, eTo)) return;

  const std::vector<Line> a = LinesOf(shown, oFrom, oTo);
  const std::vector<Line> b = LinesOf(edited, eFrom, eTo);
  const auto sameLine = [&](Index x, Index y) {
    const Line& l = a[U(x)];
    const Line& r = b[U(y)];
    return l.hash == r.hash && shown.substr(U(l.begin), U(l.end - l.begin)) ==
                                   edited.substr(U(r.begin), U(r.end - r.begin));
  };
  const Index na = static_cast<Index>(a.size());
  const Index nb = static_cast<Index>(b.size());
  std::vector<Run> lineRuns;
  if (!SharedRuns(na, nb, sameLine, 0, 0, lineRuns)) lineRuns.clear();
  lineRuns.push_back({na, nb, 0});  // closes the last block
  const auto startOf = [](const std::vector<Line>& lines, Index line, Index end) {
    return line < static_cast<Index>(lines.size()) ? lines[U(line)].begin : end;
  };
  Index lineX = 0;
  Index lineY = 0;
  for (const Run& run : lineRuns) {
    const Index x0 = startOf(a, lineX, oTo);
    const Index x1 = startOf(a, run.x, oTo);
    const Index y0 = startOf(b, lineY, eTo);
    const Index y1 = startOf(b, run.y, eTo);
    if (x1 > x0 && y1 > y0) unitsBetween(x0, x1, y0, y1);
    if (run.length > 0) out.push_back({x1, y1, startOf(a, run.x + run.length, oTo) - x1});
    lineX = run.x + run.length;
    lineY = run.y + run.length;
  }
}

// What the pane may show instead of a decoded character (its plain text has no
// no-break space and no separators of its own).
bool PaneShows(char16_t decoded, char16_t shown) {
  if (decoded == shown) return true;
  if (decoded == 0x00A0) return shown == u' ';
  if (decoded == 0x2028 || decoded == 0x2029 || decoded == 0xFDD0 || decoded == 0xFDD1)
    return shown == u'\n';
  return false;
}

// Half of a surrogate pair alone: an edit that split a character. A lone unit of
// U+DC80..U+DCFF is a byte the pane kept, not half of anything.
bool SplitsACharacter(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c)) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF && !IsEscape(c)) {
      return true;
    }
  }
  return false;
}

void AppendTyped(std::u16string_view text, std::string_view lineBreak, std::string& out) {
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t stop = std::min(text.find(u'\n', from), text.size());
    out += EncodeBookText(text.substr(from, stop - from));
    if (stop == text.size()) break;
    out += lineBreak;
    from = stop + 1;
  }
}

}  // namespace

std::u16string PaneUnits(std::string_view shownBytes, std::vector<std::size_t>* unitStarts) {
  if (unitStarts == nullptr) {
    // Line breaks made one "\n" each in place: a whole book goes through here.
    std::u16string units = DecodeBookBytes(shownBytes);
    char16_t* const data = units.data();
    const std::size_t n = units.size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
      char16_t c = data[i];
      if (c == u'\r') {
        c = u'\n';
        if (i + 1 < n && data[i + 1] == u'\n') ++i;
      }
      data[kept++] = c;
    }
    units.resize(kept);
    return units;
  }
  const std::u16string decoded = DecodeBookBytes(shownBytes);
  std::vector<std::size_t> starts;
  if (unitStarts != nullptr) {
    starts.reserve(decoded.size() + 1);
    if (!MeasureQuickly(shownBytes, decoded, starts)) {
      starts.clear();
      MeasureSlowly(shownBytes, decoded, starts);
    }
  }
  std::u16string out;
  out.reserve(decoded.size());
  if (unitStarts != nullptr) {
    unitStarts->clear();
    unitStarts->reserve(decoded.size() + 1);
  }
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    if (unitStarts != nullptr) unitStarts->push_back(starts[i]);
    if (decoded[i] == u'\r') {
      out.push_back(u'\n');
      if (i + 1 < decoded.size() && decoded[i + 1] == u'\n') ++i;
    } else {
      out.push_back(decoded[i]);
    }
  }
  if (unitStarts != nullptr) unitStarts->push_back(shownBytes.size());
  return out;
}

std::string_view LineBreakOf(std::string_view fileNow, std::size_t pageStart) {
  for (std::size_t from : {std::min(pageStart, fileNow.size()), std::size_t{0}}) {
    const std::size_t at = fileNow.find_first_of("\r\n", from);
    if (at == std::string_view::npos) continue;
    if (fileNow[at] == '\n') return "\n";
    return at + 1 < fileNow.size() && fileNow[at + 1] == '\n' ? "\r\n" : "\r";
  }
  return "\r\n";
}

std::optional<std::string> WriteBackPage(std::string_view fileNow, const PageEdit& edit,
                                         bool* splitCharacter) {
  if (splitCharacter != nullptr) *splitCharacter = false;
  std::vector<std::size_t> starts;
  const std::u16string units = PaneUnits(edit.shownBytes, &starts);
  const std::u16string_view shown = edit.shownText;
  const std::u16string_view edited = edit.editedText;
  if (edit.start > fileNow.size() || fileNow.size() - edit.start < edit.shownBytes.size())
    return std::nullopt;
  // The pane may hold less than the page (its text limit), never other text.
  if (shown.size() > units.size()) return std::nullopt;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (!PaneShows(units[i], shown[i])) return std::nullopt;
  }

  const std::size_t base = edit.start;
  const auto byteOf = [&](Index unit) { return starts[U(unit)]; };
  // The CR LF pairs (and the odd CR pairs) that loading turned into the two spaces of a
  // blank line. A page never starts inside one, so a walk from its start finds each first
  // byte: a CR in the file where the shown bytes hold a space.
  std::vector<bool> pairMiddle(edit.shownBytes.size() + 1, false);
  for (std::size_t i = 0; i < edit.shownBytes.size(); ++i) {
    if (edit.shownBytes[i] == ' ' && fileNow[base + i] == '\r') pairMiddle[++i] = true;
  }
  const auto insidePair = [&](std::size_t byte) {
    return byte < pairMiddle.size() && pairMiddle[byte];
  };
  // Where a character of the file begins (the second half of a surrogate pair has no bytes).
  const auto characterStart = [&](Index unit) {
    return unit == 0 || byteOf(unit) != byteOf(unit - 1);
  };
  const auto boundary = [&](Index unit) {
    return characterStart(unit) && !insidePair(byteOf(unit));
  };

  Index n = static_cast<Index>(shown.size());
  Index m = static_cast<Index>(edited.size());
  // A pane cut inside a character (or a blank line) leaves it whole to the bytes after.
  while (n > 0 && m > 0 && !boundary(n) && shown[U(n - 1)] == edited[U(m - 1)]) {
    --n;
    --m;
  }
  Index prefix = 0;
  while (prefix < n && prefix < m && shown[U(prefix)] == edited[U(prefix)]) ++prefix;
  Index suffix = 0;
  while (suffix < n - prefix && suffix < m - prefix &&
         shown[U(n - 1 - suffix)] == edited[U(m - 1 - suffix)])
    ++suffix;

  std::vector<Run> runs;
  if (prefix > 0) runs.push_back({0, 0, prefix});
  if (prefix < n - suffix && prefix < m - suffix)
    SharedRunsBetween(shown, edited, prefix, n - suffix, prefix, m - suffix, runs);
  if (suffix > 0) runs.push_back({n - suffix, m - suffix, suffix});

  // Kept runs come from the file as it is now; everything between them is typed text. The
  // two halves of a blank line's pair are one line break: a run that keeps either half
  // keeps the whole pair, so text typed between the halves goes after the break (before
  // it when the first half was replaced), and only deleting both halves deletes the break.
  const std::string_view lineBreak = LineBreakOf(fileNow, base);
  std::string out(fileNow.substr(0, base));
  std::size_t copied = 0;  // shown bytes already copied from the file
  const auto copy = [&](std::size_t from, std::size_t to) {
    if (insidePair(from)) --from;
    if (insidePair(to)) ++to;
    from = std::max(from, copied);
    if (to > from) out.append(fileNow.substr(base + from, to - from));
    copied = std::max(copied, to);
  };
  // Text only inserted where blank lines begin, or inside one's break, would turn a blank
  // line into a line of its own, though the pane shows it on the line after them: it goes
  // after those blank lines, which the copy up to `keptTo` keeps.
  Index x = 0;
  Index y = 0;
  bool split = false;
  const auto insert = [&](Index unit, std::u16string_view typed, std::size_t keptTo) {
    split = split || SplitsACharacter(typed);
    if (!typed.empty() && unit == x) {
      std::size_t at = std::max(byteOf(unit), copied);
      while (at + 2 <= keptTo && insidePair(at + 1)) at += 2;
      copy(copied, at);
    }
    AppendTyped(typed, lineBreak, out);
  };
  for (Run run : runs) {
    while (run.length > 0 && !characterStart(run.x)) {
      ++run.x;
      ++run.y;
      --run.length;
    }
    while (run.length > 0 && !characterStart(run.x + run.length)) --run.length;
    if (run.length <= 0 || run.x < x || run.y < y) continue;
    insert(run.x, edited.substr(U(y), U(run.y - y)), byteOf(run.x + run.length));
    copy(byteOf(run.x), byteOf(run.x + run.length));
    x = run.x + run.length;
    y = run.y + run.length;
  }
  insert(n, edited.substr(U(y), U(m - y)), byteOf(n));
  std::size_t rest = byteOf(n);
  if (insidePair(rest)) --rest;
  copy(rest, fileNow.size() - base);
  if (split) {
    if (splitCharacter != nullptr) *splitCharacter = true;
    return std::nullopt;
  }
  return out;
}

std::string SaveAsPath(std::string_view chosen) {
  std::string path(chosen);
  while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.pop_back();
  if (path.empty()) return path;
  const std::size_t nameStart =
      path.rfind(kPathSeparator) == std::string::npos ? 0 : path.rfind(kPathSeparator) + 1;
  const auto endsWith = [&](std::string_view tail) {
    return path.size() - nameStart >= tail.size() &&
           std::string_view(path).substr(path.size() - tail.size()) == tail;
  };
  while (endsWith(".txt") || endsWith(".TXT")) path.resize(path.size() - 4);
  return path + ".txt";
}

}  // namespace varnelo
