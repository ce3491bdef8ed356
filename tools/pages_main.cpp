// varnelo-pages: loads a book exactly as the reader does and prints its page table, the
// display bytes of one page, or the text the pane shows for it once cleaned and re-flowed.
// The same engine code as the reader, so its output is the reader's behaviour.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "aids/rule_matchers.h"
#include "text/book_encoding.h"
#include "text/book_engine.h"
#include "text/display_text.h"
#include "text/utf8_text.h"

namespace {

void Usage() {
  std::fputs("usage: varnelo-pages [--chapters RULE] [--encoding NAME] [--page K [--shown]\n"
             "                     [--reflow off|auto|on] [--clean]] FILE\n"
             "  RULE  chapter rule 1 to 6 (第...章 卷 回 部 节 集) or auto (the book's own\n"
             "        headings); without it, pages of 50 lines\n"
             "  NAME  gbk, utf-8, big5, utf-16le or utf-16be; without it, detected\n"
             "  K     write the display text of page K instead of the page table\n"
             "  --shown   page K as the pane shows it, in UTF-8, one paragraph a line\n"
             "  --reflow  join hard-wrapped lines: off (default), auto (when the book is\n"
             "            found hard-wrapped) or on\n"
             "  --clean   apply the built-in replace rules (web tags, ad lines, addresses)\n",
             stderr);
}

bool ParseInt(const char* text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < -2147483647L || parsed > 2147483647L)
    return false;
  value = static_cast<int>(parsed);
  return true;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}


}  // namespace

int main(int argc, char** argv) {
  int mode = varnelo::kLinePaging;
  int rule = 1;
  bool wantPage = false;
  int page = 0;
  const char* file = nullptr;
  std::optional<varnelo::BookEncoding> choice;
  bool wantShown = false;
  bool clean = false;
  varnelo::ReflowMode reflow = varnelo::ReflowMode::Off;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--chapters") == 0 && i + 1 < argc) {
      ++i;
      if (std::strcmp(argv[i], "auto") == 0) {
        rule = varnelo::kAutoChapterRule;
      } else if (!ParseInt(argv[i], rule) || rule < 1 || rule > 6) {
        std::fprintf(stderr, "varnelo-pages: the chapter rule must be 1 to 6 or auto\n");
        return 2;
      }
      mode = varnelo::kChapterPaging;
    } else if (std::strcmp(argv[i], "--encoding") == 0 && i + 1 < argc) {
      choice = varnelo::EncodingFromName(argv[++i]);
      if (!choice) {
        std::fprintf(stderr,
                     "varnelo-pages: the encoding must be gbk, utf-8, big5, utf-16le or utf-16be\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--page") == 0 && i + 1 < argc) {
      if (!ParseInt(argv[++i], page)) {
        std::fprintf(stderr, "varnelo-pages: the page must be an integer\n");
        return 2;
      }
      wantPage = true;
    } else if (std::strcmp(argv[i], "--shown") == 0) {
      wantShown = true;
    } else if (std::strcmp(argv[i], "--clean") == 0) {
      clean = true;
    } else if (std::strcmp(argv[i], "--reflow") == 0 && i + 1 < argc) {
      const std::string word = argv[++i];
      if (word == "off") {
        reflow = varnelo::ReflowMode::Off;
      } else if (word == "auto") {
        reflow = varnelo::ReflowMode::Auto;
      } else if (word == "on") {
        reflow = varnelo::ReflowMode::On;
      } else {
        std::fprintf(stderr, "varnelo-pages: --reflow takes off, auto or on\n");
        return 2;
      }
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      Usage();
      return 2;
    } else if (file == nullptr) {
      file = argv[i];
    } else {
      Usage();
      return 2;
    }
  }
  if (file == nullptr || (wantShown && !wantPage) ||
      (!wantShown && (clean || reflow != varnelo::ReflowMode::Off))) {
    Usage();
    return 2;
  }

  std::string text;
  varnelo::BookForm form;
  const varnelo::LoadStatus status = varnelo::ReadBook(file, choice, text, form);
  if (status != varnelo::LoadStatus::Ok) {
    std::fprintf(stderr, "%s\n", varnelo::LoadMessage(status));
    return 1;
  }
  // As the reader loads: a book paged by lines is normalised and paged in one pass.
  const varnelo::Pagination pages = mode == varnelo::kLinePaging
                                        ? varnelo::NormaliseAndPaginateByLines(text)
                                        : (varnelo::NormaliseBlankLines(text), varnelo::Paginate(text, mode, rule));

  if (wantPage) {
    if (!pages.HasPage(page)) {
      std::fprintf(stderr, "varnelo-pages: page %d is not in the book (0 to %d)\n", page,
                   pages.pageCount);
      return 2;
    }
    std::string shown = varnelo::PageText(text, pages, page);
    if (wantShown) {
      // As the pane takes it: at most its text limit of units, whole characters.
      constexpr std::size_t kPaneLimit = 0x20000;
      if (shown.size() > 2 * kPaneLimit + 2) shown.resize(2 * kPaneLimit + 2);
      varnelo::DisplayOptions options;
      const varnelo::MatcherSet rules =
          clean ? varnelo::MakeMatchers(varnelo::BuiltInRules()) : varnelo::MatcherSet{};
      options.rules = rules.Pointers();
      options.reflow = reflow;
      options.evidence = varnelo::MeasureWrap(text);
      varnelo::DisplayText display = varnelo::ShowPageText(shown, options);
      if (display.text.size() > kPaneLimit) {
        display.text.resize(kPaneLimit);
        if (display.text.back() >= 0xD800 && display.text.back() <= 0xDBFF) display.text.pop_back();
      }
      shown = varnelo::Utf8OfUnits(display.text);
      if (!shown.empty() && shown.back() != '\n') shown += '\n';
    }
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  std::printf("length %zu\nencoding %s\nchars %lld\nmode %d\npages %d\ncurrent %d\n",
              text.size(), std::string(varnelo::EncodingName(form.encoding)).c_str(),
              static_cast<long long>(pages.charCount), pages.mode, pages.pageCount,
              pages.firstPage);
  const int first = pages.mode == varnelo::kChapterPaging ? 0 : 1;
  for (int k = first; k <= pages.pageCount; ++k) {
    if (pages.mode == varnelo::kChapterPaging && k >= 1) {
      std::printf("page %d %lld %s\n", k, static_cast<long long>(pages.PageStart(k)),
                  Hex(pages.TitleOf(text, k)).c_str());
    } else {
      std::printf("page %d %lld\n", k, static_cast<long long>(pages.PageStart(k)));
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
