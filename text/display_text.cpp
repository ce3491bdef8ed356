#include "text/display_text.h"

#include <algorithm>
#include <array>

#include "platform/codepage.h"
#include "text/page_write_back.h"

namespace varnelo {

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
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
  std::vector<std::size_t> widths;
  std::size_t indentedLines = 0;
  std::size_t from = 0;
  while (from < bytes.size() && widths.size() < kSampleLines) {
    std::size_t stop = bytes.find_first_of("\r\n", from);
    if (stop == std::string_view::npos) stop = bytes.size();
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

void ApplyRules(DisplayText& shown, const std::vector<const TextMatcher*>& rules) {
  if (rules.empty() || shown.text.empty()) return;
  const DisplayText original = shown;
  std::vector<TextEdit> edits;
  for (const TextMatcher* rule : rules) {
    edits.clear();
    rule->FindAll(shown.text, edits);
    if (edits.empty()) continue;
    std::sort(edits.begin(), edits.end(),
              [](const TextEdit& a, const TextEdit& b) { return a.start < b.start; });
    Builder out(shown);
    std::size_t at = 0;
    const std::u16string& text = shown.text;
    for (const TextEdit& edit : edits) {
      const std::size_t end = edit.start + edit.length;
      if (edit.start < at || end > text.size()) continue;  // overlapping or outside
      // Never leave half of a surrogate pair behind.
      if ((edit.start > 0 && IsLow(text[edit.start]) && IsHigh(text[edit.start - 1])) ||
          (end < text.size() && end > 0 && IsLow(text[end]) && IsHigh(text[end - 1])))
        continue;
      if (edit.length == 0 && edit.replacement.empty()) continue;
      out.Copy(at, edit.start);
      out.Insert(edit.replacement, edit.start);
      at = end;
    }
    out.Copy(at, text.size());
    shown = out.Finish();
  }
  // Lines the rules emptied go with their line break: an ad line leaves no gap.
  const std::vector<Line> lines = LinesOf(shown.text);
  std::vector<bool> drop(lines.size(), false);
  bool any = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (!BlankOnly(std::u16string_view(shown.text).substr(line.begin, line.end - line.begin))) continue;
    // The original units behind this line: from after the line break before it.
    auto first = original.offsets.begin();
    if (line.begin > 0) {
      first = std::upper_bound(original.offsets.begin(), original.offsets.end() - 1,
                               shown.offsets[line.begin - 1]);
    }
    const auto last = std::lower_bound(first, original.offsets.end() - 1, shown.offsets[line.end]);
    bool hadText = false;
    for (auto it = first; it < last; ++it) {
      const char16_t c = original.text[static_cast<std::size_t>(it - original.offsets.begin())];
      if (c != u'\n' && !IsBlank(c)) {
        hadText = true;
        break;
      }
    }
    drop[i] = hadText;
    any = any || hadText;
  }
  if (!any) return;
  Builder out(shown);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (drop[i]) continue;
    const bool last = lines[i].end == shown.text.size();
    out.Copy(lines[i].begin, last ? lines[i].end : lines[i].end + 1);
  }
  DisplayText kept = out.Finish();
  // The last line dropped: the line break before it is not needed either.
  if (drop.back() && !kept.text.empty() && kept.text.back() == u'\n') {
    kept.text.pop_back();
    kept.offsets.erase(kept.offsets.end() - 2);
  }
  shown = std::move(kept);
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

constexpr std::size_t kPieceBytes = 256 * 1024;

}  // namespace

std::vector<TextSplice> RuleSplices(std::string_view bytes, const std::vector<const TextMatcher*>& rules,
                                    std::string_view lineBreak) {
  std::vector<TextSplice> splices;
  if (rules.empty()) return splices;
  std::vector<std::size_t> starts;
  for (std::size_t from = 0; from < bytes.size();) {
    const std::size_t stop = PieceEnd(bytes, from, kPieceBytes);
    // Each unit's offset is its own index, so every unit the rules keep is found again.
    DisplayText shown;
    shown.text = PaneUnits(bytes.substr(from, stop - from), &starts);
    const std::u16string original = shown.text;
    const std::size_t n = original.size();
    shown.offsets.resize(n + 1);
    for (std::size_t i = 0; i <= n; ++i) shown.offsets[i] = i;
    ApplyRules(shown, rules);
    // Walk the result: a unit is kept from the original when it is the last of the units
    // sharing its offset and still that unit's character; the rest came from the rules.
    std::size_t next = 0;
    std::u16string added;
    const auto emit = [&](std::size_t to) {
      if (to == next && added.empty()) return;
      std::string encoded;
      std::size_t at = 0;
      for (std::size_t nl; (nl = added.find(u'\n', at)) != std::u16string::npos; at = nl + 1) {
        encoded += EncodeBookText(std::u16string_view(added).substr(at, nl - at));
        encoded += lineBreak;
      }
      encoded += EncodeBookText(std::u16string_view(added).substr(at));
      splices.push_back({from + starts[next], from + starts[to], std::move(encoded)});
      added.clear();
    };
    const std::size_t m = shown.text.size();
    for (std::size_t j = 0; j < m;) {
      const std::size_t v = shown.offsets[j];
      std::size_t k = j;
      while (k < m && shown.offsets[k] == v) ++k;
      const bool kept = v < n && v >= next && shown.text[k - 1] == original[v];
      added.append(shown.text, j, (kept ? k - 1 : k) - j);
      if (kept) {
        emit(v);
        next = v + 1;
      }
      j = k;
    }
    emit(n);
    from = stop;
  }
  return splices;
}

std::size_t CountInBook(std::string_view bytes, const TextMatcher& matcher) {
  std::size_t count = 0;
  std::vector<TextEdit> edits;
  for (std::size_t from = 0; from < bytes.size();) {
    const std::size_t stop = PieceEnd(bytes, from, kPieceBytes);
    edits.clear();
    matcher.FindAll(PaneUnits(bytes.substr(from, stop - from)), edits);
    count += edits.size();
    from = stop;
  }
  return count;
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
