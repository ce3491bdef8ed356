#include "text/display_text.h"

#include <algorithm>
#include <array>
#include <functional>

#include "platform/codepage.h"
#include "text/page_write_back.h"
#include "platform/utf16.h"

namespace varnelo {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000 || c == 0x00A0; }

bool BlankOnly(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), IsBlank);
}

bool EndsSentence(char16_t c) {
  static constexpr std::u16string_view kEnds = u"。！？!?…”」』）)：:~～—";
  return kEnds.find(c) != std::u16string_view::npos;
}

bool OpensDialogue(char16_t c) {
  static constexpr std::u16string_view kOpens = u"“「『‘\"【";
  return kOpens.find(c) != std::u16string_view::npos;
}

bool IsAsciiWord(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Builds a new display text piece by piece, keeping the offsets in step.
class Builder {
 public:
  explicit Builder(const DisplayText& from) : from_(from) {
    out_.text.reserve(from.text.size());
    out_.offsets.reserve(from.offsets.size());
  }
  // Units [begin, end) of the source as they are.
  void Copy(std::size_t begin, std::size_t end) {
    out_.text.append(from_.text, begin, end - begin);
    out_.offsets.insert(out_.offsets.end(), from_.offsets.begin() + static_cast<long>(begin),
                        from_.offsets.begin() + static_cast<long>(end));
  }
  // New units standing before source unit `at`.
  void Insert(std::u16string_view units, std::size_t at) {
    out_.text.append(units);
    out_.offsets.insert(out_.offsets.end(), units.size(), from_.offsets[at]);
  }
  DisplayText Finish() {
    out_.offsets.push_back(from_.offsets.back());
    return std::move(out_);
  }

 private:
  const DisplayText& from_;
  DisplayText out_;
};

struct Line {
  std::size_t begin;
  std::size_t end;  // the "\n" or the end of the text
};

std::vector<Line> LinesOf(std::u16string_view text) {
  std::vector<Line> lines;
  std::size_t from = 0;
  while (true) {
    const std::size_t stop = std::min(text.find(u'\n', from), text.size());
    lines.push_back({from, stop});
    if (stop == text.size()) break;
    from = stop + 1;
  }
  return lines;
}

std::size_t LeadingBlanks(std::u16string_view line) {
  std::size_t n = 0;
  while (n < line.size() && IsBlank(line[n])) ++n;
  return n;
}

std::size_t TrailingBlanks(std::u16string_view line) {
  std::size_t n = 0;
  while (n < line.size() && IsBlank(line[line.size() - 1 - n])) ++n;
  return n;
}

// A line opens with the indent of a new paragraph: a full-width space, a tab, or two
// ASCII spaces (which is also how a normalised blank line before it shows).
bool StartsIndented(std::u16string_view line) {
  if (line.empty()) return false;
  if (line[0] == 0x3000 || line[0] == u'\t') return true;
  return line.size() >= 2 && line[0] == u' ' && line[1] == u' ';
}

// Leading blanks count at most this many bytes towards a line's width: blank lines the
// loader turned into spaces would otherwise make a paragraph's first line look long.
constexpr std::size_t kLeadCap = 8;

std::size_t Slack(std::size_t width) { return std::max<std::size_t>(4, width / 10); }

}  // namespace

DisplayText PlainDisplay(std::string_view pageBytes) {
  DisplayText shown;
  shown.text = PaneUnits(pageBytes, &shown.offsets);
  return shown;
}

void PlainMatcher::FindAll(std::u16string_view text, std::vector<TextEdit>& out) const {
  if (words_.empty()) return;
  std::size_t from = 0;
  while ((from = text.find(words_, from)) != std::u16string_view::npos) {
    out.push_back({from, words_.size(), replacement_});
    from += words_.size();
  }
}

const std::vector<RuleText>& BuiltInRules() {
  static const std::vector<RuleText> kRules = {
      {u"(?i)<h[1-6][^<>\\n]{0,100}>\\s*[0-9]*\\s*</h[1-6]>", u"", true, u"网页标题里的序号（<h3>1</h3>）"},
      {u"(?i)</?(?:br|p|div|span|h[1-6]|font|b|i|u|strong|em|a|img|center|hr|table|tr|td|li|ul|ol)"
       u"(?:\\s[^<>\\n]{0,200})?\\s*/?>",
       u"", true, u"网页标签（<br /> <p> <h3> …）"},
      {u"&nbsp;", u" ", false, u"网页空格 &nbsp;"},
      {u"&lt;", u"<", false, u"网页符号 &lt;"},
      {u"&gt;", u">", false, u"网页符号 &gt;"},
      {u"&quot;", u"\"", false, u"网页符号 &quot;"},
      {u"&amp;", u"&", false, u"网页符号 &amp;"},
      {u"[（(]?本章未完[，,]?\\s*(?:请)?点击下一页继续阅读[）)]?[。.！!]*", u"", true,
       u"本章未完，请点击下一页继续阅读"},
      {u"(?m)^[^\\n]{0,30}手机(?:用户)?(?:阅读|请?访问|看书|浏览)[^\\n]{0,40}$", u"", true,
       u"手机阅读……"},
      {u"(?m)^[^\\n]{0,20}(?:更新时间|本章字数)\\s*[:：][^\\n]{0,60}$", u"", true,
       u"更新时间、本章字数"},
      {u"(?i)[《(（【\\[]?(?:https?://)?(?:www|wap|m|bbs)\\.[a-z0-9-]+(?:\\.[a-z0-9-]+)*"
       u"\\.(?:com|net|org|cc|cn|info|la|me|co|tw|tv|in|us)(?:/[\\w./?=&%-]*)?[》)）】\\]]?",
       u"", true, u"网址"},
  };
  return kRules;
}

WrapEvidence MeasureWrap(std::string_view bytes) {
  constexpr std::size_t kSampleLines = 4000;
  constexpr std::size_t kShortest = 16;
  // The sample lies near the start. A book without one of the two line-break bytes (no CR
  // in most books, no LF in one read in the wrong encoding) is searched that far, not to
  // its end: two passes over a 100 MB book held the window 50 ms after every load.
  constexpr std::size_t kSampleBytes = std::size_t{4} << 20;
  bytes = bytes.substr(0, std::min(bytes.size(), kSampleBytes));
  std::vector<std::size_t> widths;
  std::size_t indentedLines = 0;
  std::size_t from = 0;
  // The next CR and the next LF, each found by one fast search and kept until passed: a
  // search for either byte at once goes a byte at a time.
  const auto find = [&bytes](char c, std::size_t at) { return std::min(bytes.find(c, at), bytes.size()); };
  std::size_t nextCr = find('\r', 0);
  std::size_t nextLf = find('\n', 0);
  while (from < bytes.size() && widths.size() < kSampleLines) {
    if (nextCr < from) nextCr = find('\r', from);
    if (nextLf < from) nextLf = find('\n', from);
    const std::size_t stop = std::min(nextCr, nextLf);
    std::string_view line = bytes.substr(from, stop - from);
    from = stop + 1;
    if (from < bytes.size() && bytes[stop] == '\r' && bytes[from] == '\n') ++from;
    // Leading blanks: ASCII spaces and tabs, and full-width spaces (A1 A1).
    std::size_t lead = 0;
    while (lead < line.size()) {
      if (line[lead] == ' ' || line[lead] == '\t') {
        ++lead;
      } else if (lead + 1 < line.size() && static_cast<unsigned char>(line[lead]) == 0xA1 &&
                 static_cast<unsigned char>(line[lead + 1]) == 0xA1) {
        lead += 2;
      } else {
        break;
      }
    }
    std::size_t end = line.size();
    while (end > lead && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
    if (end == lead) continue;
    widths.push_back(end - lead + std::min(lead, kLeadCap));
    const std::string_view head = line.substr(0, std::min<std::size_t>(lead, 4));
    if (head.starts_with("\xA1\xA1") || head.starts_with("\t") || head.starts_with("  ")) ++indentedLines;
  }
  WrapEvidence evidence;
  std::vector<std::size_t> longOnes;
  for (std::size_t w : widths) {
    if (w >= kShortest) longOnes.push_back(w);
  }
  if (longOnes.size() < 30) return evidence;
  std::sort(longOnes.begin(), longOnes.end());
  // The width with the most lines just under it.
  std::size_t bestWidth = 0;
  std::size_t bestCount = 0;
  for (std::size_t i = 0; i < longOnes.size(); ++i) {
    const std::size_t w = longOnes[i];
    if (i + 1 < longOnes.size() && longOnes[i + 1] == w) continue;
    const auto low = std::lower_bound(longOnes.begin(), longOnes.end(), w - std::min(w, Slack(w)));
    const std::size_t count = static_cast<std::size_t>(longOnes.begin() + static_cast<long>(i) + 1 - low);
    if (count > bestCount) {
      bestCount = count;
      bestWidth = w;
    }
  }
  const std::size_t slack = Slack(bestWidth);
  const auto longer = static_cast<std::size_t>(
      longOnes.end() - std::upper_bound(longOnes.begin(), longOnes.end(), bestWidth + slack));
  // Wrapped: a good share of the lines end near one width, and hardly any run past it.
  evidence.hardWrapped = bestCount * 10 >= longOnes.size() * 3 && longer * 20 <= longOnes.size() &&
                         bestWidth >= 2 * kShortest;
  evidence.width = bestWidth;
  evidence.indented = indentedLines * 10 >= widths.size();
  return evidence;
}

bool IsHeadingLine(std::u16string_view line) {
  line.remove_prefix(LeadingBlanks(line));
  line.remove_suffix(TrailingBlanks(line));
  if (line.empty() || line.size() > 40) return false;
  for (std::u16string_view opening : {u"楔子", u"序章", u"序言", u"引子", u"尾声", u"后记", u"番外"}) {
    if (line.starts_with(opening)) return line.size() <= 30;
  }
  if (line.starts_with(u"正文")) {
    line.remove_prefix(2);
    line.remove_prefix(LeadingBlanks(line));
  }
  if (!line.starts_with(u"第")) return false;
  static constexpr std::u16string_view kNumerals =
      u"0123456789０１２３４５６７８９零〇一二三四五六七八九十百千万两";
  static constexpr std::u16string_view kUnits = u"章回节卷集部篇";
  std::size_t k = 1;
  while (k < line.size() && k <= 10 && kNumerals.find(line[k]) != std::u16string_view::npos) ++k;
  return k > 1 && k < line.size() && kUnits.find(line[k]) != std::u16string_view::npos;
}

namespace {

// Units [begin, end) of the text the rules started from become `text`.
struct Change {
  std::size_t begin;
  std::size_t end;
  std::u16string text;
};

// A rule's edits as the page takes them: in order, not overlapping, inside the text, never
// splitting a surrogate pair, and each changing something.
void Sift(std::vector<TextEdit>& edits, std::u16string_view text) {
  std::stable_sort(edits.begin(), edits.end(),
                   [](const TextEdit& a, const TextEdit& b) { return a.start < b.start; });
  std::size_t at = 0;
  std::size_t kept = 0;
  for (TextEdit& edit : edits) {
    const std::size_t end = edit.start + edit.length;
    if (edit.start < at || end > text.size()) continue;
    if ((edit.start > 0 && edit.start < text.size() && IsLowSurrogate(text[edit.start]) && IsHighSurrogate(text[edit.start - 1])) ||
        (end < text.size() && end > 0 && IsLowSurrogate(text[end]) && IsHighSurrogate(text[end - 1])))
      continue;
    if (edit.length == 0 && edit.replacement.empty()) continue;
    at = end;
    if (&edits[kept] != &edit) edits[kept] = std::move(edit);
    ++kept;
  }
  edits.resize(kept);
}

// The text the changes make as alternating stretches: kept units of the original, then the
// new text of a change, and so on, with the current start of each.
class Stretches {
 public:
  Stretches(const std::vector<Change>& changes, std::size_t n) : changes_(changes), n_(n) {}
  bool Kept() const { return at_ % 2 == 0; }
  std::size_t Index() const { return at_ / 2; }
  bool Last() const { return at_ == 2 * changes_.size(); }
  std::size_t Start() const { return start_; }
  std::size_t Length() const { return Kept() ? OriginalEnd() - OriginalBegin() : changes_[Index()].text.size(); }
  std::size_t End() const { return start_ + Length(); }
  // A kept stretch's units in the original.
  std::size_t OriginalBegin() const { return Index() == 0 ? 0 : changes_[Index() - 1].end; }
  std::size_t OriginalEnd() const { return Index() < changes_.size() ? changes_[Index()].begin : n_; }
  void Next() {
    start_ += Length();
    ++at_;
  }

 private:
  const std::vector<Change>& changes_;
  std::size_t n_;
  std::size_t at_ = 0;
  std::size_t start_ = 0;
};

// `changes` (against an original of `n` units) then sifted `edits` of the text they make,
// as one list against the original. A change an edit reaches into is taken into it whole.
std::vector<Change> Compose(std::vector<Change>& changes, std::size_t n, std::vector<TextEdit>& edits) {
  std::vector<Change> out;
  out.reserve(changes.size() + edits.size());
  Stretches at(changes, n);
  // Past a stretch the edits leave alone (measured before its change is moved out).
  const auto pass = [&] {
    const bool kept = at.Kept();
    const std::size_t k = at.Index();
    at.Next();
    if (!kept) out.push_back(std::move(changes[k]));
  };
  std::size_t consumed = 0;  // edits never reach back before this
  for (TextEdit& edit : edits) {
    const std::size_t s = edit.start;
    const std::size_t e = s + edit.length;
    if (s < consumed) continue;
    while (!at.Last() && s >= at.End()) pass();
    Change change;
    std::u16string prefix;
    if (at.Kept()) {
      change.begin = at.OriginalBegin() + (s - at.Start());
    } else {
      const Change& taken = changes[at.Index()];
      change.begin = taken.begin;
      prefix = taken.text.substr(0, s - at.Start());
    }
    if (e > s) {
      while (e > at.End()) at.Next();  // changes wholly inside the edit go with it
    }
    std::u16string suffix;
    if (at.Kept()) {
      change.end = at.OriginalBegin() + (e - at.Start());
      consumed = e;
    } else {
      const Change& taken = changes[at.Index()];
      change.end = taken.end;
      suffix = taken.text.substr(e - at.Start());
      at.Next();
      consumed = at.Start();
    }
    change.text = std::move(prefix);
    change.text += edit.replacement;
    change.text += suffix;
    out.push_back(std::move(change));
  }
  while (true) {
    const bool last = at.Last();
    pass();
    if (last) break;
  }
  return out;
}

// Sifted edits made in `text`: in place when none makes it longer, as cleaning rules do.
void Edit(std::u16string& text, const std::vector<TextEdit>& edits) {
  const bool grows = std::any_of(edits.begin(), edits.end(),
                                 [](const TextEdit& edit) { return edit.replacement.size() > edit.length; });
  if (grows) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t at = 0;
    for (const TextEdit& edit : edits) {
      out.append(text, at, edit.start - at);
      out += edit.replacement;
      at = edit.start + edit.length;
    }
    out.append(text, at);
    text = std::move(out);
    return;
  }
  char16_t* const data = text.data();
  std::size_t to = 0;
  std::size_t at = 0;
  for (const TextEdit& edit : edits) {
    std::copy(data + at, data + edit.start, data + to);
    to += edit.start - at;
    std::copy(edit.replacement.begin(), edit.replacement.end(), data + to);
    to += edit.replacement.size();
    at = edit.start + edit.length;
  }
  std::copy(data + at, data + text.size(), data + to);
  text.resize(to + text.size() - at);
}

// Units [begin, end) of the text the rules started from.
using OriginalUnits = std::function<std::u16string(std::size_t begin, std::size_t end)>;

// The lines the rules left blank that had text, as edits of the rules' `result`: each goes
// with its line break, and when the last line goes, the break before it too.
std::vector<TextEdit> EmptiedLines(std::size_t n, const OriginalUnits& original, std::u16string_view result,
                                   const std::vector<Change>& changes) {
  // Where each change's text stands in the result.
  std::vector<std::size_t> placed(changes.size());
  std::size_t shift = 0;  // result position minus original position
  for (std::size_t k = 0; k < changes.size(); ++k) {
    placed[k] = changes[k].begin + shift;
    shift += changes[k].text.size();
    shift -= changes[k].end - changes[k].begin;
  }
  // The original unit behind result unit `x`: the change's start for a unit it brought.
  // `after` asks for the character after that one.
  const auto behind = [&](std::size_t x, bool after) -> std::size_t {
    const auto it = std::upper_bound(placed.begin(), placed.end(), x);
    std::size_t unit = x;
    if (it != placed.begin()) {
      const std::size_t k = static_cast<std::size_t>(it - placed.begin()) - 1;
      unit = x < placed[k] + changes[k].text.size() ? changes[k].begin
                                                     : changes[k].end + (x - placed[k] - changes[k].text.size());
    }
    if (!after || unit >= n) return unit;
    const std::u16string pair = original(unit, std::min(unit + 2, n));
    return unit + (pair.size() == 2 && IsHighSurrogate(pair[0]) && IsLowSurrogate(pair[1]) ? 2 : 1);
  };
  struct Dropped {
    std::size_t begin;
    std::size_t end;  // the line's "\n", or the end of the result
  };
  std::vector<Dropped> dropped;
  std::size_t checkedTo = 0;  // lines starting before this were looked at
  for (std::size_t k = 0; k < changes.size(); ++k) {
    // The lines the change's text stands in, or beside.
    const std::size_t from = placed[k];
    const std::size_t to = from + changes[k].text.size();
    std::size_t begin = 0;
    if (from > 0) {
      const std::size_t nl = result.rfind(u'\n', from - 1);
      begin = nl == std::u16string_view::npos ? 0 : nl + 1;
    }
    begin = std::max(begin, checkedTo);
    while (begin <= to && begin <= result.size()) {
      const std::size_t end = std::min(result.find(u'\n', begin), result.size());
      checkedTo = end + 1;
      if (BlankOnly(result.substr(begin, end - begin))) {
        const std::size_t first = begin == 0 ? 0 : behind(begin - 1, true);
        const std::size_t last = end == result.size() ? n : behind(end, false);
        if (first < last) {
          const std::u16string behindLine = original(first, last);
          if (std::any_of(behindLine.begin(), behindLine.end(), [](char16_t c) { return c != u'\n' && !IsBlank(c); }))
            dropped.push_back({begin, end});
        }
      }
      begin = end + 1;
    }
  }
  std::vector<TextEdit> edits;
  if (dropped.empty()) return edits;
  // The last line dropped: its run of dropped lines goes with the break before it.
  std::size_t run = dropped.size();
  if (dropped.back().end == result.size()) {
    --run;
    while (run > 0 && dropped[run - 1].end + 1 == dropped[run].begin) --run;
  }
  for (std::size_t i = 0; i < run; ++i) edits.push_back({dropped[i].begin, dropped[i].end + 1 - dropped[i].begin, {}});
  if (run < dropped.size()) {
    const std::size_t begin = dropped[run].begin == 0 ? 0 : dropped[run].begin - 1;
    edits.push_back({begin, result.size() - begin, {}});
  }
  return edits;
}

// Every rule in turn over `text` (n units, taken and left as the rules made it), then the
// lines they emptied, as changes against the text they started from: in order, disjoint,
// one pass of each rule over the text.
std::vector<Change> RuleChanges(std::u16string& text, const std::vector<const TextMatcher*>& rules,
                                const OriginalUnits& original) {
  const std::size_t n = text.size();
  std::vector<Change> changes;
  std::vector<TextEdit> edits;
  for (const TextMatcher* rule : rules) {
    edits.clear();
    rule->FindAll(text, edits);
    Sift(edits, text);
    if (edits.empty()) continue;
    changes = Compose(changes, n, edits);
    Edit(text, edits);
  }
  if (changes.empty()) return changes;
  edits = EmptiedLines(n, original, text, changes);
  if (!edits.empty()) changes = Compose(changes, n, edits);
  return changes;
}

}  // namespace

void ApplyRules(DisplayText& shown, const std::vector<const TextMatcher*>& rules) {
  if (rules.empty() || shown.text.empty()) return;
  std::u16string text = shown.text;
  const std::vector<Change> changes = RuleChanges(
      text, rules, [&](std::size_t begin, std::size_t end) { return shown.text.substr(begin, end - begin); });
  if (changes.empty()) return;
  Builder out(shown);
  std::size_t at = 0;
  for (const Change& change : changes) {
    out.Copy(at, change.begin);
    out.Insert(change.text, change.begin);
    at = change.end;
  }
  out.Copy(at, shown.text.size());
  shown = out.Finish();
}

namespace {

// Where a piece of about `size` bytes from `from` ends: after a line feed, or after a lone
// CR; the whole rest when there is neither.
std::size_t PieceEnd(std::string_view bytes, std::size_t from, std::size_t size) {
  if (bytes.size() - from <= size) return bytes.size();
  const std::size_t lf = bytes.find('\n', from + size);
  if (lf != std::string_view::npos) return lf + 1;
  // No LF after this point: any CR is a lone one.
  const std::size_t cr = bytes.find('\r', from + size);
  return cr == std::string_view::npos ? bytes.size() : cr + 1;
}

// A book's pane units, decoded in pieces cut at line ends, with where each piece starts in
// bytes and in units, so a unit's byte is found again by measuring its piece alone.
class BookUnits {
 public:
  explicit BookUnits(std::string_view bytes) : bytes_(bytes) {
    units_.reserve(bytes.size());  // never more units than bytes
    for (std::size_t from = 0; from < bytes.size();) {
      const std::size_t stop = PieceEnd(bytes, from, kPieceBytes);
      pieces_.push_back({from, units_.size()});
      units_ += PaneUnits(bytes.substr(from, stop - from));
      from = stop;
    }
    pieces_.push_back({bytes.size(), units_.size()});
  }
  const std::u16string& Units() const { return units_; }
  std::u16string TakeUnits() { return std::move(units_); }
  // The byte where unit `unit` begins (the length at the end).
  std::size_t ByteOf(std::size_t unit) {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), unit,
                               [](std::size_t u, const Piece& p) { return u < p.unit; });
    const std::size_t k = static_cast<std::size_t>(it - pieces_.begin()) - 1;
    if (k + 1 == pieces_.size()) return bytes_.size();
    if (k != measured_) {
      PaneUnits(bytes_.substr(pieces_[k].byte, pieces_[k + 1].byte - pieces_[k].byte), &starts_);
      measured_ = k;
    }
    return pieces_[k].byte + starts_[unit - pieces_[k].unit];
  }

 private:
  // Small pieces: only those holding a change are decoded a second time.
  static constexpr std::size_t kPieceBytes = 4 * 1024;
  struct Piece {
    std::size_t byte;
    std::size_t unit;
  };
  std::string_view bytes_;
  std::u16string units_;
  std::vector<Piece> pieces_;
  std::vector<std::size_t> starts_;
  std::size_t measured_ = static_cast<std::size_t>(-1);
};

}  // namespace

std::vector<TextSplice> RuleSplices(std::string_view bytes, const std::vector<const TextMatcher*>& rules,
                                    std::string_view lineBreak) {
  std::vector<TextSplice> splices;
  if (rules.empty() || bytes.empty()) return splices;
  BookUnits book(bytes);
  // The book's units become the rules' result: its own are decoded again where needed.
  std::u16string text = book.TakeUnits();
  const std::vector<Change> changes = RuleChanges(text, rules, [&](std::size_t begin, std::size_t end) {
    const std::size_t from = book.ByteOf(begin);
    return PaneUnits(bytes.substr(from, book.ByteOf(end) - from));
  });
  text = std::u16string();
  const auto encoded = [&](std::u16string_view added) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t nl; (nl = added.find(u'\n', at)) != std::u16string_view::npos; at = nl + 1) {
      out += EncodeBookText(added.substr(at, nl - at));
      out += lineBreak;
    }
    out += EncodeBookText(added.substr(at));
    return out;
  };
  // Changes that touch are one place.
  for (std::size_t k = 0; k < changes.size();) {
    std::size_t last = k;
    std::u16string added = changes[k].text;
    while (last + 1 < changes.size() && changes[last + 1].begin == changes[last].end) added += changes[++last].text;
    const std::size_t begin = book.ByteOf(changes[k].begin);
    const std::size_t end = book.ByteOf(changes[last].end);
    splices.push_back({begin, end, encoded(added)});
    k = last + 1;
  }
  return splices;
}

std::size_t CountInBook(std::string_view bytes, const TextMatcher& matcher) {
  return CountEachInBook(bytes, {&matcher}).front();
}

std::vector<std::size_t> CountEachInBook(std::string_view bytes, const std::vector<const TextMatcher*>& matchers) {
  std::vector<std::size_t> counts;
  if (matchers.empty()) return counts;
  BookUnits book(bytes);
  std::vector<TextEdit> edits;
  for (const TextMatcher* matcher : matchers) {
    edits.clear();
    matcher->FindAll(book.Units(), edits);
    counts.push_back(edits.size());
  }
  return counts;
}

void Reflow(DisplayText& shown, const WrapEvidence& evidence, ReflowMode mode) {
  if (mode == ReflowMode::Off || (mode == ReflowMode::Auto && !evidence.hardWrapped)) return;
  const std::u16string_view text = shown.text;
  const std::vector<Line> lines = LinesOf(text);
  if (lines.size() < 2) return;
  const auto content = [&](const Line& line) { return text.substr(line.begin, line.end - line.begin); };
  // A line's width in the book's bytes, measured as MeasureWrap measures it.
  const auto width = [&](const Line& line) {
    const std::u16string_view units = content(line);
    const std::size_t lead = LeadingBlanks(units);
    const std::size_t trail = TrailingBlanks(units);
    if (lead + trail >= units.size()) return std::size_t{0};
    const std::size_t begin = line.begin + lead;
    const std::size_t end = line.end - trail;
    const std::size_t leadBytes = shown.offsets[begin] - shown.offsets[line.begin];
    return shown.offsets[end] - shown.offsets[begin] + std::min(leadBytes, kLeadCap);
  };
  const std::size_t fullFrom =
      evidence.hardWrapped ? evidence.width - std::min(evidence.width, Slack(evidence.width)) : 0;
  const auto joins = [&](const Line& a, const Line& b) {
    const std::u16string_view first = content(a);
    const std::u16string_view second = content(b);
    if (BlankOnly(first) || BlankOnly(second)) return false;
    if (StartsIndented(second)) return false;
    if (IsHeadingLine(first) || IsHeadingLine(second)) return false;
    const char16_t last = first[first.size() - 1 - TrailingBlanks(first)];
    const char16_t next = second[LeadingBlanks(second)];
    if (!evidence.hardWrapped) {
      // No width to go by: a paragraph ends with its sentence, and dialogue starts anew.
      return !EndsSentence(last) && !OpensDialogue(next);
    }
    if (width(a) < fullFrom) return false;  // short: the paragraph ended there
    // A full line: with indents in the book a new paragraph would be indented; without,
    // a finished sentence followed by an opening quote starts one.
    if (!evidence.indented && EndsSentence(last) && OpensDialogue(next)) return false;
    return true;
  };
  Builder out(shown);
  std::size_t copied = 0;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (!joins(lines[i], lines[i + 1])) continue;
    const std::u16string_view first = content(lines[i]);
    const std::u16string_view second = content(lines[i + 1]);
    const std::size_t keepTo = lines[i].end - TrailingBlanks(first);
    const std::size_t resumeAt = lines[i + 1].begin + LeadingBlanks(second);
    out.Copy(copied, keepTo);
    // Latin words wrapped apart keep a space between them.
    if (IsAsciiWord(text[keepTo - 1]) && IsAsciiWord(text[resumeAt])) out.Insert(u" ", keepTo);
    copied = resumeAt;
  }
  out.Copy(copied, text.size());
  shown = out.Finish();
}

void Indent(DisplayText& shown, IndentMode mode) {
  if (mode == IndentMode::Keep) return;
  const std::u16string_view text = shown.text;
  Builder out(shown);
  for (const Line& line : LinesOf(text)) {
    const std::u16string_view units = text.substr(line.begin, line.end - line.begin);
    const std::size_t lead = LeadingBlanks(units);
    if (lead == units.size()) {
      out.Copy(line.begin, line.end);
    } else {
      if (mode == IndentMode::TwoSpaces && !IsHeadingLine(units)) {
        out.Insert(u"\u3000\u3000", line.begin + lead);
      }
      out.Copy(line.begin + lead, line.end);
    }
    if (line.end < text.size()) out.Copy(line.end, line.end + 1);
  }
  shown = out.Finish();
}

void ShowPageText(DisplayText& shown, const DisplayOptions& options) {
  ApplyRules(shown, options.rules);
  Reflow(shown, options.evidence, options.reflow);
  Indent(shown, options.indent);
}

DisplayText ShowPageText(std::string_view pageBytes, const DisplayOptions& options) {
  DisplayText shown = PlainDisplay(pageBytes);
  ShowPageText(shown, options);
  return shown;
}

long UnitOfOffset(const DisplayText& shown, std::size_t offset) {
  if (shown.offsets.empty() || offset < shown.offsets.front()) return -1;
  const auto at = std::lower_bound(shown.offsets.begin(), shown.offsets.end(), offset);
  long unit = static_cast<long>(at - shown.offsets.begin());
  const long last = static_cast<long>(shown.text.size());
  if (unit > last) unit = last;
  // Inside a character (no character is longer than four bytes): the unit holding it.
  if (unit > 0 && (unit == last + 1 || shown.offsets[static_cast<std::size_t>(unit)] > offset)) {
    const std::size_t before = static_cast<std::size_t>(unit - 1);
    if (offset - shown.offsets[before] < 4 && shown.text[before] != u'\n') return unit - 1;
  }
  return unit;
}

}  // namespace varnelo
