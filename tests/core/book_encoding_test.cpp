// Books in UTF-8, Big5 and UTF-16, made from the corpus with iconv: how each is detected,
// that each pages as its GB18030 form does, and that an edit saved into one changes exactly
// the edited bytes, in the book's encoding.
#include <gtest/gtest.h>


#include <optional>
#include <random>
#include <string>
#include <vector>

#include "store/book_encodings.h"
#include "tests/core/scratch_folder.h"
#include "text/book_encoding.h"
#include "text/book_engine.h"
#include "tests/core/recode.h"

namespace varnelo {
namespace {

// The naive reference: iconv over the whole text at once.
std::string Convert(std::string_view bytes, const char* from, const char* to) {
  testing::Recoded out = testing::Recode(bytes, from, to);
  EXPECT_TRUE(out.whole) << from << " to " << to;
  return std::move(out.bytes);
}

// Drops what Big5 cannot hold, as a Big5 copy of a GBK book does.
std::string ToBig5(std::string_view gbk) { return testing::Recode(gbk, "GB18030", "BIG5//IGNORE").bytes; }

std::string Corpus(const char* name) {
  std::string bytes;
  EXPECT_EQ(ReadBookFile(std::string(VARNELO_CORPUS_DIR) + "/" + name, bytes), LoadStatus::Ok);
  return bytes;
}

const char* const kBooks[] = {"三国演义.txt", "水浒传.txt"};
const std::string kUtf8Mark = "\xEF\xBB\xBF";

// Loads bytes as the reader does, through a file.
LoadStatus Load(const std::string& bytes, std::optional<BookEncoding> choice, std::string& text,
                BookForm& form) {
  const std::string path = testing::ScratchFile("book.txt", bytes).string();
  return ReadBook(path, choice, text, form);
}

TEST(BookEncoding, DetectsEachFormOfARealBook) {
  const std::string gbk = Corpus("三国演义.txt");
  const std::string utf8 = Convert(gbk, "GB18030", "UTF-8");
  std::mt19937 random(7);
  std::string randomGbk;  // random GB2312 Chinese: never valid UTF-8
  for (int i = 0; i < 20000; ++i) {
    randomGbk.push_back(static_cast<char>(0xB0 + random() % 0x48));
    randomGbk.push_back(static_cast<char>(0xA1 + random() % 0x5E));
  }
  std::string stray = utf8;
  stray.insert(stray.size() / 2, "\xFF");
  struct Case {
    const char* what;
    std::string bytes;
    BookEncoding encoding;
    std::size_t mark;
  } cases[] = {
      {"utf-8", utf8, BookEncoding::Utf8, 0},
      {"utf-8 with its mark", kUtf8Mark + utf8, BookEncoding::Utf8, 3},
      {"utf-8 cut in its last character", utf8 + "\xE4\xB8", BookEncoding::Utf8, 0},
      {"utf-8 with a stray byte", stray, BookEncoding::Utf8, 0},
      {"utf-16le mark", "\xFF\xFE" + Convert(gbk, "GB18030", "UTF-16LE"), BookEncoding::Utf16Le, 2},
      {"utf-16be mark", "\xFE\xFF" + Convert(gbk, "GB18030", "UTF-16BE"), BookEncoding::Utf16Be, 2},
      {"big5", ToBig5(gbk), BookEncoding::Big5, 0},
      {"ascii", "Chapter 1\r\nplain text only\r\n", BookEncoding::Gbk, 0},
      {"gbk after a utf-8 prefix", utf8.substr(0, 3000) + gbk, BookEncoding::Gbk, 0},
      {"gbk after a long utf-8 prefix", utf8.substr(0, utf8.find('\n', 300000) + 1) + gbk,
       BookEncoding::Gbk, 0},
      {"random gbk", randomGbk, BookEncoding::Gbk, 0},
      {"overlong", "\xC0\xAF" + utf8.substr(0, 20), BookEncoding::Gbk, 0},
      {"surrogate", "\xED\xA0\x80" + utf8.substr(0, 20), BookEncoding::Gbk, 0},
      // Short files: valid UTF-8 by chance is not evidence enough.
      {"short gbk that is valid utf-8", Convert("女 牛 平 前 钱 全 强 去", "UTF-8", "GB18030"),
       BookEncoding::Gbk, 0},
      {"gbk words valid as utf-8 in ascii lines",
       "Chapter 1\r\n" + Convert("女牛", "UTF-8", "GB18030") + "\r\nThe end\r\n", BookEncoding::Gbk, 0},
      {"short utf-8 chinese", "第8回 中文\n", BookEncoding::Utf8, 0},
      {"short utf-8 latin", "café, résumé\n", BookEncoding::Utf8, 0},
  };
  for (const Case& c : cases) {
    const DetectedEncoding got = DetectEncoding(c.bytes, std::nullopt);
    EXPECT_EQ(got.encoding, c.encoding) << c.what;
    EXPECT_EQ(got.markLength, c.mark) << c.what;
    // Loading checks and transcodes in one pass: a book found not to be UTF-8 on the way
    // keeps its bytes exactly.
    if (c.encoding == BookEncoding::Utf16Le || c.encoding == BookEncoding::Utf16Be) continue;
    std::string text;
    BookForm form;
    ASSERT_EQ(Load(c.bytes, std::nullopt, text, form), LoadStatus::Ok) << c.what;
    EXPECT_EQ(form.encoding, c.encoding) << c.what;
    if (c.encoding == BookEncoding::Gbk) {
      EXPECT_TRUE(text == c.bytes) << c.what;
    }
  }
  for (const char* book : kBooks) {
    const std::string bytes = Corpus(book);
    EXPECT_EQ(DetectEncoding(bytes, std::nullopt).encoding, BookEncoding::Gbk) << book;
    std::string text;
    BookForm form;
    ASSERT_EQ(Load(bytes, std::nullopt, text, form), LoadStatus::Ok) << book;
    EXPECT_EQ(form.encoding, BookEncoding::Gbk) << book;
    EXPECT_TRUE(text == bytes) << book;
  }
  // The user's choice wins, and skips only its own mark.
  EXPECT_EQ(DetectEncoding(kUtf8Mark + utf8, BookEncoding::Gbk).markLength, 0u);
  EXPECT_EQ(DetectEncoding(kUtf8Mark + utf8, BookEncoding::Utf16Le).encoding, BookEncoding::Utf16Le);
}

// A UTF-16 book opens as UTF-16 with its mark, and without it where the evidence is clear;
// the GBK reading stays where it is not. Only the GBK choice for a marked book is refused.
TEST(BookEncoding, Utf16OpensByItsMarkOrItsEvidence) {
  const std::string whole = Corpus("三国演义.txt");
  const std::string start = whole.substr(0, whole.find('\n', 4000) + 1);
  const std::string le = Convert(start, "GB18030", "UTF-16LE");
  const std::string be = Convert(start, "GB18030", "UTF-16BE");
  const std::string ascii = Convert("Chapter 1\r\nPlain words.\r\n", "UTF-8", "UTF-16LE");
  struct Case {
    const char* what;
    std::string bytes;
    LoadStatus status;
    BookEncoding encoding;
  } cases[] = {
      {"le mark", "\xFF\xFE" + le, LoadStatus::Ok, BookEncoding::Utf16Le},
      {"be mark", "\xFE\xFF" + be, LoadStatus::Ok, BookEncoding::Utf16Be},
      {"le chinese, no mark", le, LoadStatus::Ok, BookEncoding::Utf16Le},
      {"be chinese, no mark", be, LoadStatus::Ok, BookEncoding::Utf16Be},
      {"le ascii, no mark", ascii, LoadStatus::Ok, BookEncoding::Utf16Le},
      {"one line, no mark: not clear", Convert("第一回", "UTF-8", "UTF-16LE"), LoadStatus::Ok,
       BookEncoding::Gbk},
      {"ascii text is not utf-16", "Chapter 1\r\nPlain words.\r\n", LoadStatus::Ok, BookEncoding::Gbk},
      {"nothing but the mark", "\xFF\xFE", LoadStatus::Empty, BookEncoding::Utf16Le},
  };
  for (const Case& c : cases) {
    std::string text;
    BookForm form;
    EXPECT_EQ(Load(c.bytes, std::nullopt, text, form), c.status) << c.what;
    EXPECT_EQ(form.encoding, c.encoding) << c.what;
    EXPECT_EQ(DetectEncoding(c.bytes, std::nullopt).encoding, c.encoding) << c.what;
    if (c.bytes.size() > start.size()) {
      EXPECT_EQ(text, start) << c.what;
    }
  }
  std::string text;
  BookForm form;
  EXPECT_EQ(Load("\xFF\xFE" + be, BookEncoding::Gbk, text, form), LoadStatus::Unicode);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(Load(kUtf8Mark, std::nullopt, text, form), LoadStatus::Empty);
}

// Every form pages as the GB18030 form: by lines and by all six rules.
TEST(BookEncoding, EveryFormPagesAsItsGb18030Form) {
  for (const char* book : kBooks) {
    const std::string gbk = Corpus(book);
    const std::string big5 = ToBig5(gbk);
    struct Form {
      const char* what;
      std::string bytes;
      std::optional<BookEncoding> choice;
      std::string reference;
    } forms[] = {
        {"utf-8", Convert(gbk, "GB18030", "UTF-8"), std::nullopt, gbk},
        {"utf-8 mark", kUtf8Mark + Convert(gbk, "GB18030", "UTF-8"), std::nullopt, gbk},
        {"utf-16le", "\xFF\xFE" + Convert(gbk, "GB18030", "UTF-16LE"), BookEncoding::Utf16Le, gbk},
        {"utf-16be", Convert(gbk, "GB18030", "UTF-16BE"), BookEncoding::Utf16Be, gbk},
        {"big5", big5, std::nullopt, Convert(big5, "BIG5", "GB18030")},
    };
    for (Form& f : forms) {
      std::string text;
      BookForm form;
      ASSERT_EQ(Load(f.bytes, f.choice, text, form), LoadStatus::Ok) << f.what;
      ASSERT_TRUE(text == f.reference) << book << " " << f.what;
      NormaliseBlankLines(text);
      NormaliseBlankLines(f.reference);
      for (int rule = 0; rule <= 6; ++rule) {
        const int mode = rule == 0 ? kLinePaging : kChapterPaging;
        const Pagination got = Paginate(text, mode, rule);
        const Pagination want = Paginate(f.reference, mode, rule);
        EXPECT_EQ(got.starts, want.starts) << book << " " << f.what << " rule " << rule;
        EXPECT_EQ(got.titleLengths, want.titleLengths) << book << " " << f.what << " rule " << rule;
        EXPECT_EQ(got.charCount, want.charCount) << book << " " << f.what;
      }
    }
  }
}

// iconv's text, or nothing where the encoding cannot hold it.
std::optional<std::string> TryConvert(std::u32string_view text, const char* to) {
  testing::Recoded out = testing::Recode(
      std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * 4), "UTF-32LE", to);
  if (!out.whole) return std::nullopt;
  return std::move(out.bytes);
}

// Random edits against a naive splice: the file is the original with exactly the edit,
// encoded, and a stray byte before it comes back as it was. The typed text reaches the
// characters whose GB18030 code ends in the byte the replaced text ends in: four-byte codes
// (©, •, emoji, Ext-A and Ext-B, Hangul) end in an ASCII digit, many GBK codes in an ASCII
// letter, so comparing the two texts from the right in bytes stops inside them.
TEST(BookEncoding, RandomEditsChangeOnlyTheEditedBytes) {
  const std::string whole = Corpus("水浒传.txt");
  const std::string gbk = "Chapter 8, P.S. 1999\r\n" + whole.substr(0, whole.find('\n', 60000) + 1);
  const std::string big5 = ToBig5(gbk);
  struct Book {
    const char* code;
    std::string head;  // the mark, or a stray byte that does not decode
    std::string body;  // the rest, in `code`
    std::optional<BookEncoding> choice;
  } books[] = {
      {"UTF-8", kUtf8Mark, Convert(gbk, "GB18030", "UTF-8"), std::nullopt},
      {"UTF-8", "\xE4\xB8\xAD\xFF", Convert(gbk, "GB18030", "UTF-8"), std::nullopt},
      {"UTF-16LE", "\xFF\xFE", Convert(gbk, "GB18030", "UTF-16LE"), BookEncoding::Utf16Le},
      {"UTF-16BE", "", Convert(gbk, "GB18030", "UTF-16BE"), BookEncoding::Utf16Be},
      {"BIG5", "", big5, std::nullopt},
  };
  // ©, •, 😀, 㐀 (Ext-A), 𠀀 (Ext-B), 가 (Hangul), 丂 (81 40), 乄 (81 7C), 關, 8, P, 十.
  const std::u32string special = U"\u00A9\u2022\U0001F600\u3400\U00020000\uAC00\u4E02\u4E44\u95DC8P\u5341";
  std::mt19937 random(13);
  int rounds = 0;
  int cutFromTheRight = 0;  // edits whose byte suffix ends inside a character typed
  for (const Book& b : books) {
    const std::u32string body = [&] {
      const std::string u = Convert(b.body, b.code, "UTF-32LE");
      return std::u32string(reinterpret_cast<const char32_t*>(u.data()), u.size() / 4);
    }();
    const auto encode = [&](std::u32string_view s, const char* code) {
      return Convert(std::string_view(reinterpret_cast<const char*>(s.data()), s.size() * 4),
                     "UTF-32LE", code);
    };
    const std::string file = b.head + b.body;
    std::string textNow;
    BookForm form;
    ASSERT_EQ(Load(file, b.choice, textNow, form), LoadStatus::Ok) << b.code;
    for (int round = 0; round < 300; ++round, ++rounds) {
      std::size_t from = random() % body.size();
      std::size_t to = std::min(body.size(), from + random() % 30);
      std::u32string typed;
      if (round % 2 == 0) {
        // One character replaced by one whose code ends in the same byte, or one of the
        // special ones, at the start where the ASCII is.
        if (round % 4 == 0) from = random() % 20;
        to = from + 1;
        const std::string last = encode(body.substr(from, 1), "GB18030");
        for (int tries = 0; tries < 400 && typed.empty(); ++tries) {
          const char32_t c = tries < 200 ? special[random() % special.size()]
                                         : body[random() % body.size()];
          if (encode(std::u32string(1, c), "GB18030").back() == last.back()) typed = c;
        }
        if (typed.empty()) typed = special[random() % special.size()];
      } else {
        for (std::size_t n = random() % 6; n > 0; --n)
          typed.push_back(random() % 3 == 0 ? special[random() % special.size()]
                                            : body[random() % body.size()]);
      }
      if (round % 5 == 0) typed += U"\r\n";
      const std::string typedGb = encode(typed, "GB18030");
      const std::size_t gbFrom = textNow.size() - encode(body.substr(from), "GB18030").size();
      const std::size_t gbTo = textNow.size() - encode(body.substr(to), "GB18030").size();
      const std::string textEdited = textNow.substr(0, gbFrom) + typedGb + textNow.substr(gbTo);
      // The old way's cut: the shared bytes counted from the right, kept out of the typed text.
      std::size_t suffix = 0;
      while (suffix < textNow.size() - gbFrom && suffix < textEdited.size() - gbFrom &&
             textNow[textNow.size() - 1 - suffix] == textEdited[textEdited.size() - 1 - suffix])
        ++suffix;
      if (textEdited.size() - suffix > gbFrom && textEdited.size() - suffix < gbFrom + typedGb.size())
        ++cutFromTheRight;

      const EncodedEdit edit = EncodeEdit(file, form, textNow, textEdited);
      const std::optional<std::string> typedHere = TryConvert(typed, b.code);
      if (!typedHere) {
        EXPECT_FALSE(edit.file.has_value()) << b.code << " round " << round;
        EXPECT_NE(typed.find(edit.refused), std::u32string::npos) << b.code << " round " << round;
        continue;
      }
      const std::string expected =
          b.head + encode(body.substr(0, from), b.code) + *typedHere + encode(body.substr(to), b.code);
      ASSERT_TRUE(edit.file.has_value()) << b.code << " round " << round;
      EXPECT_TRUE(*edit.file == expected) << b.code << " round " << round << " at " << from;
    }
  }
  // The generator keeps reaching the class of edit that once wrote raw GB18030 bytes.
  EXPECT_GT(cutFromTheRight, rounds / 10) << cutFromTheRight << " of " << rounds;
}

// Half a surrogate pair alone in a UTF-16 book costs that unit only: the text after it reads
// as it should, and an edit elsewhere keeps the unit's bytes.
TEST(BookEncoding, AUtf16BookReadsOnAfterAnUnpairedSurrogate) {
  const std::string whole = Corpus("水浒传.txt");
  const std::string body = Convert(whole.substr(0, whole.find('\n', 20000) + 1), "GB18030", "UTF-16LE");
  for (const std::string& lone : {std::string("\x00\xD8", 2), std::string("\x00\xDC", 2)}) {
    const std::string file = "\xFF\xFE" + body.substr(0, 1000) + lone + body.substr(1000);
    std::string text;
    BookForm form;
    ASSERT_EQ(Load(file, BookEncoding::Utf16Le, text, form), LoadStatus::Ok);
    const std::string second = Convert(body.substr(1000), "UTF-16LE", "GB18030");
    ASSERT_GT(text.size(), second.size());
    EXPECT_TRUE(text.substr(text.size() - second.size()) == second);
    const std::string edited = text + Convert("完", "UTF-8", "GB18030");
    const EncodedEdit edit = EncodeEdit(file, form, text, edited);
    ASSERT_TRUE(edit.file.has_value());
    EXPECT_TRUE(*edit.file == file + Convert("完", "UTF-8", "UTF-16LE"));
  }
}

// A character typed into a Big5 book takes the code Big5 text uses (十 at A451, not A2CC);
// a character left alone between two edits keeps the code it had.
TEST(BookEncoding, Big5TypedCodesAreTheUsualOnesAndUntouchedOnesKeepTheirs) {
  const std::string file = "\xA4\x40\xA2\xCC\xA4\x40\xA2\xCE\xA4\x40";  // 一十一卅一
  std::string text;
  BookForm form;
  ASSERT_EQ(Load(file, BookEncoding::Big5, text, form), LoadStatus::Ok);
  const std::string one = Convert("一", "UTF-8", "GB18030");
  const std::string ten = Convert("十", "UTF-8", "GB18030");
  const std::string two = Convert("二", "UTF-8", "GB18030");
  ASSERT_EQ(text.substr(0, 4), one + ten);
  struct Case {
    const char* what;
    std::string edited;
    std::string file;
  } cases[] = {
      {"十 typed", text + ten, file + "\xA4\x51"},
      {"both neighbours of 十 replaced", two + text.substr(2, 2) + two + text.substr(6),
       "\xA4\x47\xA2\xCC\xA4\x47" + file.substr(6)},
      {"both ends replaced", two + text.substr(2, text.size() - 4) + two,
       "\xA4\x47" + file.substr(2, file.size() - 4) + "\xA4\x47"},
  };
  for (const Case& c : cases) {
    const EncodedEdit edit = EncodeEdit(file, form, text, c.edited);
    ASSERT_TRUE(edit.file.has_value()) << c.what;
    EXPECT_TRUE(*edit.file == c.file) << c.what;
  }
}

// The GB18030 text of a byte that starts no character, made by iconv.
std::string Escape(unsigned char byte) {
  const char32_t c = 0x10FF00 + byte;
  return Convert(std::string_view(reinterpret_cast<const char*>(&c), 4), "UTF-32LE", "GB18030");
}

// A UTF-8 book of every kind of input, one piece at a time, against the naive text of each
// piece: iconv for a character, one escape per byte for a byte that starts none and for a
// character GB18030 lacks. Loaded as UTF-8 it is exactly that text; found not to be UTF-8
// it keeps its bytes; random edits saved into it change exactly the edited pieces.
TEST(BookEncoding, EveryKindOfUtf8InputAgainstANaiveReference) {
  struct Kind {
    std::string bytes;
    bool kept;  // escaped byte by byte
  };
  const Kind kinds[] = {
      {"a", false}, {"\r\n", false}, {"中", false}, {"，", false}, {"\xC2\xB7", false},
      {"\xC3\xA7", false},               // two bytes, a four-byte code
      {"\xE2\x99\xA5", false},           // three bytes, a four-byte code
      {"\xF0\x9F\x98\x80", false},       // beyond the BMP
      {"\xEE\x9E\x8D", true},            // U+E78D, which GB18030 lacks here
      {"\xF4\x8F\xBD\x81", true},        // U+10FF41, among the escapes' code points
      {"\xFF", true}, {"\x80", true}, {"\xC0\xAF", true},
      {"\xE0\x80\x80", true},            // overlong
      {"\xE0\x82\xB7", true},            // overlong of a character with a two-byte code
      {"\xED\xA0\x80", true},            // surrogate
      {"\xF5\x80\x80\x80", true},
  };
  const std::size_t kCharacters = 10;  // the rest are strays
  std::vector<std::string> texts;
  for (const Kind& k : kinds) {
    texts.push_back(k.kept ? "" : Convert(k.bytes, "UTF-8", "GB18030"));
    for (unsigned char b : k.kept ? k.bytes : "") texts.back() += Escape(b);
  }
  std::mt19937 random(29);
  std::vector<std::size_t> pieces;
  for (int i = 0; i < 300; ++i) pieces.push_back(5 + random() % 5);  // text that grows
  for (int i = 0; i < 30000; ++i) pieces.push_back(random() % 4 != 0 ? 2 : random() % kCharacters);
  const std::size_t clean = pieces.size();
  for (int i = 0; i < 3000; ++i) pieces.push_back(random() % std::size(kinds));
  const std::string cut = "\xE4\xB8";  // the book ends inside a character
  const auto join = [&](std::size_t from, std::size_t to, bool text) {
    std::string out;
    for (std::size_t k = from; k < to; ++k)
      out += text ? texts[pieces[k]] : kinds[pieces[k]].bytes;
    return out;
  };
  const std::string file = join(0, pieces.size(), false) + cut;
  const std::string reference = join(0, pieces.size(), true) + Escape(0xE4) + Escape(0xB8);

  std::string text;
  BookForm form;
  for (const std::optional<BookEncoding> choice : {std::optional(BookEncoding::Utf8),
                                                   std::optional<BookEncoding>()}) {
    ASSERT_EQ(Load(kUtf8Mark + file, choice, text, form), LoadStatus::Ok);
    EXPECT_TRUE(text == reference);
  }
  // Every kind of character, then GBK: found out only after the whole clean part.
  const std::string gbk = join(0, clean, false) + Corpus("水浒传.txt");
  ASSERT_EQ(Load(gbk, std::nullopt, text, form), LoadStatus::Ok);
  EXPECT_EQ(form.encoding, BookEncoding::Gbk);
  EXPECT_TRUE(text == gbk);

  ASSERT_EQ(Load(kUtf8Mark + file, std::nullopt, text, form), LoadStatus::Ok);
  for (int round = 0; round < 40; ++round) {
    const std::size_t from = random() % pieces.size();
    const std::size_t to = std::min(pieces.size(), from + random() % 20);
    std::string typedBytes, typedText;
    for (std::size_t n = random() % 4; n > 0; --n) {
      const std::size_t k = random() % 8;
      typedBytes += kinds[k].bytes;
      typedText += texts[k];
    }
    const std::string expected =
        kUtf8Mark + join(0, from, false) + typedBytes + join(to, pieces.size(), false) + cut;
    const std::string edited = join(0, from, true) + typedText + join(to, pieces.size(), true) +
                               Escape(0xE4) + Escape(0xB8);
    const EncodedEdit edit = EncodeEdit(kUtf8Mark + file, form, text, edited);
    ASSERT_TRUE(edit.file.has_value());
    EXPECT_TRUE(*edit.file == expected) << "round " << round << " at piece " << from;
  }
}

TEST(BookEncoding, ACharacterTheEncodingCannotHoldIsRefused) {
  const std::string whole = Corpus("三国演义.txt");
  const std::string big5 = ToBig5(whole.substr(0, whole.find('\n', 20000) + 1));
  std::string text;
  BookForm form;
  ASSERT_EQ(Load(big5, BookEncoding::Big5, text, form), LoadStatus::Ok);
  const std::string edited = text.substr(0, 100) + Convert("们", "UTF-8", "GB18030") + text.substr(100);
  const EncodedEdit edit = EncodeEdit(big5, form, text, edited);
  EXPECT_FALSE(edit.file.has_value());
  EXPECT_EQ(edit.refused, U'们');
  EXPECT_EQ(EncodingFromName("UTF-16LE"), BookEncoding::Utf16Le);
  EXPECT_EQ(EncodingFromName("latin1"), std::nullopt);
}

TEST(BookEncodingChoices, NewestLastAtMostAHundredAndForgotten) {
  std::vector<EncodingChoice> list;
  for (int k = 0; k < 105; ++k) ChooseEncoding(list, "/b/" + std::to_string(k) + ".txt", "big5");
  ChooseEncoding(list, "/b/50.txt", "utf-8");
  ChooseEncoding(list, "/b/60.txt", "");
  ASSERT_EQ(list.size(), 99u);
  EXPECT_EQ(list.front().path, "/b/5.txt");  // the five oldest dropped
  EXPECT_EQ(list.back().path, "/b/50.txt");
  EXPECT_EQ(list.back().name, "utf-8");

  // Through Config.ini, next to the sections older readers know.
  const std::string ini = testing::ScratchFile("Config.ini", "[Style]\r\nSortFlag=1\r\n").string();
  for (const char* book : {"/b/1.txt", "/b/2|x.txt", "/b/3.txt"})
    ASSERT_TRUE(StoreEncodingChoice(book, "big5", ini));
  ASSERT_TRUE(StoreEncodingChoice("/b/1.txt", "utf-16le", ini));
  ASSERT_TRUE(StoreEncodingChoice("/b/3.txt", "", ini));
  EXPECT_EQ(EncodingChoiceOf("/b/1.txt", ini), "utf-16le");
  EXPECT_EQ(EncodingChoiceOf("/b/2|x.txt", ini), "big5");
  EXPECT_EQ(EncodingChoiceOf("/b/3.txt", ini), std::nullopt);
  EXPECT_EQ(ReadEncodingChoices(ini).size(), 2u);
}

}  // namespace
}  // namespace varnelo
