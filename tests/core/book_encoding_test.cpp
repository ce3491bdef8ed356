// Books in UTF-8, Big5 and UTF-16, made from the corpus with iconv: how each is detected,
// that each pages as its GB18030 form does, and that an edit saved into one changes exactly
// the edited bytes, in the book's encoding.
#include <gtest/gtest.h>

#include <iconv.h>

#include <random>
#include <string>
#include <vector>

#include "store/book_encodings.h"
#include "tests/core/scratch_folder.h"
#include "text/book_encoding.h"
#include "text/book_engine.h"

namespace varnelo {
namespace {

// The naive reference: iconv over the whole text at once.
std::string Convert(std::string_view bytes, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  const std::size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<std::size_t>(-1)) << from << " to " << to;
  out.resize(out.size() - outLeft);
  return out;
}

// Drops what Big5 cannot hold, as a Big5 copy of a GBK book does.
std::string ToBig5(std::string_view gbk) {
  iconv_t cd = iconv_open("BIG5//IGNORE", "GB18030");
  std::string out(gbk.size() * 2, '\0');
  char* in = const_cast<char*>(gbk.data());
  std::size_t inLeft = gbk.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

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

TEST(BookEncoding, UnicodeWithoutAChoiceIsRefusedAndOpensWithIt) {
  const std::string whole = Corpus("三国演义.txt");
  const std::string start = whole.substr(0, whole.find('\n', 4000) + 1);
  const std::string body = Convert(start, "GB18030", "UTF-16BE");
  std::string text;
  BookForm form;
  for (const std::string& bytes : {"\xFF\xFE" + Convert("a", "UTF-8", "UTF-16LE"),
                                   "\xFE\xFF" + body}) {
    EXPECT_EQ(Load(bytes, std::nullopt, text, form), LoadStatus::Unicode);
    EXPECT_TRUE(text.empty());
  }
  EXPECT_EQ(Load("\xFF\xFE" + body, BookEncoding::Gbk, text, form), LoadStatus::Unicode);
  EXPECT_EQ(Load(body, BookEncoding::Utf16Be, text, form), LoadStatus::Ok);
  EXPECT_EQ(text, start);
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

// Random edits against a naive splice: the file is the original with exactly the edit,
// encoded, and a stray byte before it comes back as it was.
TEST(BookEncoding, RandomEditsChangeOnlyTheEditedBytes) {
  const std::string whole = Corpus("水浒传.txt");
  const std::string gbk = whole.substr(0, whole.find('\n', 60000) + 1);
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
  std::mt19937 random(13);
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
    for (int round = 0; round < 40; ++round) {
      const std::size_t from = random() % body.size();
      const std::size_t to = std::min(body.size(), from + random() % 30);
      std::u32string typed;
      for (std::size_t n = random() % 6; n > 0; --n) typed.push_back(body[random() % body.size()]);
      if (round % 5 == 0) typed += U"\r\n";
      const std::string expected = b.head + encode(body.substr(0, from), b.code) +
                                   encode(typed, b.code) + encode(body.substr(to), b.code);
      const std::size_t gbFrom = textNow.size() - encode(body.substr(from), "GB18030").size();
      const std::size_t gbTo = textNow.size() - encode(body.substr(to), "GB18030").size();
      const std::string textEdited =
          textNow.substr(0, gbFrom) + encode(typed, "GB18030") + textNow.substr(gbTo);
      const EncodedEdit edit = EncodeEdit(file, form, textNow, textEdited);
      ASSERT_TRUE(edit.file.has_value()) << b.code;
      EXPECT_TRUE(*edit.file == expected) << b.code << " round " << round << " at " << from;
    }
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
