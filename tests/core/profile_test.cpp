#include "platform/profile.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/fifo_guard.h"
#include "tests/core/ini_file_fixture.h"

namespace fs = std::filesystem;
using namespace varnelo;

namespace {

class ProfileTest : public varnelo::testing::IniFileTest {};

TEST_F(ProfileTest, NamesMatchWithoutAsciiCaseAndMissingGivesDefault) {
  EXPECT_EQ(profile::GetInt("Look", "size", 270, path_), 270);  // no file
  // 0xC1 and 0xE1 differ like 'A' and 'a' but are GBK bytes, so they must not fold.
  // Keys before any section, in comments or without '=' do not count.
  Put("orphan=1\r\n[Look]\r\nTint=5\r\n;gone=2\r\nbare\r\n[\xC1\xD6]\r\nk=1\r\n");
  struct Case {
    const char* section;
    const char* key;
    int expected;
  } cases[] = {
      {"Look", "Tint", 5}, {"lOOK", "tint", 5}, {" look ", "TINT", 5},
      {"Loo", "Tint", -1}, {"Look", "Tin", -1}, {"\xC1\xD6", "K", 1},
      {"\xE1\xD6", "k", -1},   {"Look", "orphan", -1}, {"Look", "gone", -1},
      {"Look", "bare", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(profile::GetInt(c.section, c.key, -1, path_), c.expected) << c.key;
  }
  EXPECT_EQ(profile::GetString("S", "k", "x", folder_.string()), "x");  // a folder, not a file
}

TEST_F(ProfileTest, ValuesAreTrimmedUnquotedAndCut) {
  struct Case {
    std::string line;
    std::string expected;
  } cases[] = {
      {"  key \t=  two  words \t", "two  words"},
      {"key=\"a b \"", "a b "},
      {"key='x'", "x"},
      {"key=\"x'", "\"x'"},
      {"key=\"", "\""},
      {"key=a=b", "a=b"},
      {"key=x\r", "x"},
      {"key=" + std::string(5000, 'v'), std::string(4095, 'v')},
      {"key=" + std::string(4095, 'e'), std::string(4095, 'e')},
  };
  for (const Case& c : cases) {
    Put("[S]\n" + c.line + "\n");
    EXPECT_EQ(profile::GetString("S", "key", "dflt", path_), c.expected) << c.line;
  }
  EXPECT_EQ(profile::GetString("S", "no", std::string(5000, 'd'), path_),
            std::string(4095, 'd'));
  Put("\xEF\xBB\xBF[S]\r\nkey=1\r\n");  // a UTF-8 byte order mark is not part of the name
  EXPECT_EQ(profile::GetString("S", "key", "dflt", path_), "1");
}

TEST_F(ProfileTest, IntegerTakesTheLeadingNumber) {
  struct Case {
    const char* value;
    int expected;
  } cases[] = {
      {"12abc", 12},  {"-7", -7},  {"+5", 5},  {"abc", 0},  {"", 0},  {" 42 ", 42},
      {"- 3", 0},     {"0x1F", 0}, {"\"17\"", 17},          {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},    {"2147483648", INT_MIN}, {"4294967297", 1},
      {"99999999999999999999", 1661992959},  // wraps modulo 2^32
  };
  for (const Case& c : cases) {
    Put(std::string("[S]\r\nn=") + c.value + "\r\n");
    EXPECT_EQ(profile::GetInt("S", "n", 555, path_), c.expected) << '"' << c.value << '"';
  }
}

TEST_F(ProfileTest, ReplaceKeepsEveryOtherByte) {
  const std::string before =
      "; \xCB\xCE\xCC\xE5\r\n[Look]\r\n  Size = 270  \r\nface=\xCB\xCE\xCC\xE5\r\n\r\n"
      "[Other]\r\nsize=1\r\ntail=no newline";
  Put(before);
  ASSERT_TRUE(profile::WriteString("look", "size", "300", path_));
  ASSERT_TRUE(profile::WriteString("OTHER", "Tail", "", path_));
  std::string expected = before;
  expected.replace(expected.find("270  "), 5, "300");
  expected.erase(expected.find("no newline"));
  EXPECT_EQ(Contents(), expected);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 1);  // no temporary left
}

TEST_F(ProfileTest, NewKeysGoToTheirSectionOrANewOne) {
  struct Case {
    const char* before;  // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {nullptr, "Look", "gap", "", "[Look]\r\ngap=\r\n"},
      {"", "B", "y", "2", "[B]\r\ny=2\r\n"},
      {"[A]\r\nx=1\r\n\r\n;B\r\n[B]\r\n", "a", "z", "3", "[A]\r\nx=1\r\nz=3\r\n\r\n;B\r\n[B]\r\n"},
      {"[A]\n[B]\nb=1\n", "A", "y", "2", "[A]\ny=2\n[B]\nb=1\n"},
      {"[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
      {"[A]\nx=1", "B", "y", "2", "[A]\nx=1\n[B]\ny=2\n"},
      {"[A]\nx=1\n[B]\n[a]\ny=2\n", "A", "Y", "5", "[A]\nx=1\n[B]\n[a]\ny=5\n"},
      {"[A]\nx=1\n[B]\n[a]\ny=2\n", "A", "z", "5", "[A]\nx=1\nz=5\n[B]\n[a]\ny=2\n"},
      {"[A]\nx = 1\ny=\"q\"\n", "A", "y", "b", "[A]\nx = 1\ny=b\n"},
  };
  for (const Case& c : cases) {
    fs::remove(path_);
    if (c.before != nullptr) Put(c.before);
    EXPECT_TRUE(profile::WriteString(c.section, c.key, c.value, path_)) << c.after;
    EXPECT_EQ(Contents(), c.after);
    EXPECT_EQ(profile::GetString(c.section, c.key, "dflt", path_), c.value) << c.after;
  }
}

// A list written at once must leave the bytes a key-by-key write leaves, and a section
// read at once must answer as the single reads do.
TEST_F(ProfileTest, ListsReadAndWrittenAtOnceMatchKeyByKey) {
  const std::vector<profile::Entry> entries = {
      {"y", "2"}, {"new", "n"}, {"X", ""}, {" z ", "3"}, {"other", "o"}};
  const char* files[] = {
      nullptr,
      "",
      "[A]\r\nx = 1\r\ny=\"q\"\r\n\r\n;c\r\n[B]\r\nnew=b\r\n",
      "\xEF\xBB\xBF[a]\nz=9\n[B]\n[A]\ny=old\nx=0",
      "[B]\nb=1",
      "[A]\r\nx=1",
  };
  for (const char* before : files) {
    const std::string label = before ? before : "(no file)";
    std::vector<std::pair<std::string, int>> reads;  // GetString and GetInt, key by key
    fs::remove(path_);
    if (before != nullptr) Put(before);
    for (const char* key : {"x", "Y", "z", "new", "none"}) {
      reads.emplace_back(profile::GetString("A", key, "d", path_),
                         profile::GetInt("a", key, -1, path_));
    }
    const profile::SectionReader section(" a ", path_);
    for (std::size_t i = 0; const char* key : {"x", "Y", "z", "new", "none"}) {
      EXPECT_EQ(section.GetString(key, "d"), reads[i].first) << label << key;
      EXPECT_EQ(section.GetInt(key, -1), reads[i++].second) << label << key;
    }
    for (const auto& [key, value] : entries) ASSERT_TRUE(profile::WriteString("A", key, value, path_));
    const std::string oneByOne = Contents();
    fs::remove(path_);
    if (before != nullptr) Put(before);
    const profile::Traffic start = profile::TrafficSoFar();
    ASSERT_TRUE(profile::WriteStrings("A", entries, path_)) << label;
    EXPECT_EQ(Contents(), oneByOne) << label;
    EXPECT_EQ(profile::TrafficSoFar().fileReads - start.fileReads, 1u) << label;
  }
  // All or nothing: one bad key keeps every other one out too.
  const std::string before = Contents();
  EXPECT_FALSE(profile::WriteStrings("A", {{"y", "9"}, {"a=b", "1"}}, path_));
  EXPECT_FALSE(profile::WriteStrings("A", {{"y", "9"}, {"k", "1\n[B]"}}, path_));
  EXPECT_EQ(Contents(), before);
}

TEST_F(ProfileTest, RefusedOrFailedWritesLeaveTheOldFile) {
  const std::string before = "[A]\r\nx=1\r\n";
  Put(before);
  // Text that would not read back as the same section, key and value.
  for (const char* value : {"1\r\n[B]", "a\nb"}) {
    EXPECT_FALSE(profile::WriteString("A", "x", value, path_));
  }
  for (const char* key : {"a=b", " ", ";x", "[x"}) {
    EXPECT_FALSE(profile::WriteString("A", key, "1", path_));
  }
  EXPECT_FALSE(profile::WriteString("A]", "x", "1", path_));
  EXPECT_EQ(Contents(), before);

  EXPECT_FALSE(profile::WriteString("A", "x", "1", (folder_ / "no" / "Config.ini").string()));
  EXPECT_FALSE(fs::exists(folder_ / "no"));
  fs::create_directory(folder_ / "dir.ini");  // unreadable, so it must not be replaced
  EXPECT_FALSE(profile::WriteString("A", "x", "1", (folder_ / "dir.ini").string()));

  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  fs::permissions(path_, fs::perms::none);  // unreadable file: replacing it would lose keys
  EXPECT_FALSE(profile::WriteString("A", "y", "2", path_));
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Contents(), before);
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(profile::WriteString("A", "x", "2", path_));
  EXPECT_EQ(Contents(), before);
}

TEST_F(ProfileTest, StructsNeedExactLengthAndChecksum) {
  const unsigned char bytes[5] = {0x00, 0x7F, 0x80, 0xFF, 0x12};  // sum 0x210
  ASSERT_TRUE(profile::WriteStruct("S", "blob", bytes, sizeof bytes, path_));
  EXPECT_EQ(profile::GetString("S", "blob", "", path_), "007F80FF1210");
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"007F80FF1210", true},   {"007f80ff1210", true},    {"\"007F80FF1210\"", true},
      {"007F80FF1211", false},  {"007F80FF12", false},     {"007F80FF121000", false},
      {"007F80FF12G0", false},  {"007F80FF12 10", false},  {"", false},
  };
  for (const Case& c : cases) {
    Put(std::string("[S]\nblob=") + c.text + "\n");
    unsigned char data[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(profile::GetStruct("S", "blob", data, sizeof data, path_), c.ok) << c.text;
    EXPECT_EQ(std::vector<unsigned char>(data, data + 5),
              c.ok ? std::vector<unsigned char>(bytes, bytes + 5)
                   : std::vector<unsigned char>(5, 0xAA)) << c.text;
  }
  // Longer than a string read, yet it still round-trips.
  std::vector<unsigned char> big(2100), back(2100);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7);
  ASSERT_TRUE(profile::WriteStruct("S", "big", big.data(), big.size(), path_));
  ASSERT_TRUE(profile::GetStruct("S", "big", back.data(), back.size(), path_));
  EXPECT_EQ(back, big);
}

// The profile functions the plainest way: the file as a list of lines, searched from the
// top for every call. The reference the random test holds the real ones to.
class NaiveIni {
 public:
  explicit NaiveIni(std::string bytes) : text(std::move(bytes)) {}
  std::string text;

  std::optional<std::string> Read(const std::string& section, const std::string& key) const {
    const Scan scan = Find(section, key);
    if (!scan.found) return std::nullopt;
    std::string value = Trim(lines_[*scan.found].content.substr(lines_[*scan.found].content.find('=') + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    return value;
  }

  void Write(const std::string& section, const std::string& key, const std::string& value) {
    const std::size_t nl = text.find('\n');
    const std::string eol = nl != std::string::npos && (nl == 0 || text[nl - 1] != '\r') ? "\n" : "\r\n";
    const Scan scan = Find(section, key);
    if (scan.found) {
      std::string& content = lines_[*scan.found].content;
      std::size_t start = content.find('=') + 1;
      while (!value.empty() && start < content.size() && (content[start] == ' ' || content[start] == '\t')) ++start;
      content = content.substr(0, start) + value;
    } else if (scan.insertAfter) {
      if (lines_[*scan.insertAfter].end.empty()) lines_[*scan.insertAfter].end = eol;
      lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*scan.insertAfter) + 1, {key + "=" + value, eol});
    } else {
      if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = eol;
      lines_.push_back({"[" + section + "]", eol});
      lines_.push_back({key + "=" + value, eol});
    }
    text.clear();
    for (const Line& line : lines_) text += line.content + line.end;
  }

 private:
  struct Line {
    std::string content, end;
  };
  struct Scan {
    std::optional<std::size_t> found, insertAfter;
  };
  mutable std::vector<Line> lines_;

  static std::string Trim(const std::string& s) {
    const std::size_t first = s.find_first_not_of(" \t\r\v\f");
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(" \t\r\v\f") - first + 1);
  }
  static std::string Lower(std::string s) {
    for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
  }

  Scan Find(const std::string& section, const std::string& key) const {
    lines_.clear();
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t nl = text.find('\n', at);
      const std::size_t next = nl == std::string::npos ? text.size() : nl + 1;
      std::size_t end = nl == std::string::npos ? next : nl;
      if (nl != std::string::npos && nl > at && text[nl - 1] == '\r') --end;
      lines_.push_back({text.substr(at, end - at), text.substr(end, next - end)});
      at = next;
    }
    Scan scan;
    bool inSection = false, inFirst = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      std::string t = lines_[i].content;
      if (i == 0 && t.rfind("\xEF\xBB\xBF", 0) == 0) t = t.substr(3);
      t = Trim(t);
      if (t.empty() || t[0] == ';') continue;
      if (t[0] == '[') {
        const std::size_t close = t.find(']');
        inSection = Lower(Trim(t.substr(1, close == std::string::npos ? close : close - 1))) == Lower(section);
        inFirst = inSection && !scan.insertAfter;
        if (inFirst) scan.insertAfter = i;
        continue;
      }
      if (!inSection) continue;
      if (inFirst) scan.insertAfter = i;
      const std::size_t eq = t.find('=');
      if (eq != std::string::npos && !scan.found && Lower(Trim(t.substr(0, eq))) == Lower(key)) scan.found = i;
    }
    return scan;
  }
};

// Random files and random runs of writes and reads: each call alone, the same calls in a
// session that writes at once, and in one that writes only at its end, all as the plain
// reference says; the deferred session reads the file once and writes it once.
TEST_F(ProfileTest, SessionsAnswerAndWriteAsEveryCallAloneDoes) {
  std::mt19937 random(20);
  const auto pick = [&random](const auto& list) { return list[random() % std::size(list)]; };
  const char* pieces[] = {"[A]", "[a]", " [ B ] ", "[C", "[\xC1\xD6]", "x=1", " X = 2 ", "y=\"q\"",
                          "=e",  "z\t=\t", ";c", "bare", "", "new1 = old"};
  const char* ends[] = {"\r\n", "\n", "\r\n"};
  const char* sections[] = {"A", "b", "C", "D", "\xC1\xD6", "E"};
  const char* keys[] = {"x", "Y", "z", "new1", "new2", "New3"};
  const char* values[] = {"", "v", " sp", "\xB3\xA4", "w x"};
  for (int round = 0; round < 250; ++round) {
    std::string before = random() % 5 == 0 ? "\xEF\xBB\xBF" : "";
    const int lineCount = static_cast<int>(random() % 9);
    for (int i = 0; i < lineCount; ++i) before += std::string(pick(pieces)) + pick(ends);
    if (!before.empty() && random() % 3 == 0) before.erase(before.find_last_not_of("\r\n") + 1);
    struct Op {
      bool write;
      std::string section, key, value;
    };
    std::vector<Op> ops;
    for (int i = 1 + static_cast<int>(random() % 10); i > 0; --i)
      ops.push_back({random() % 3 != 0, pick(sections), pick(keys), pick(values)});

    NaiveIni naive{before};
    std::vector<std::string> expectedTexts, expectedReads;
    for (const Op& op : ops) {
      if (op.write) naive.Write(op.section, op.key, op.value);
      expectedTexts.push_back(naive.text);
      expectedReads.push_back(naive.Read(op.section, op.key).value_or("<none>"));
    }
    const std::string label = "round " + std::to_string(round) + ": " + before;
    // Writing at every call costs a sync each: those modes take fewer rounds.
    for (int mode = round < 40 ? 0 : 2; mode < 3; ++mode) {
      Put(before);
      const profile::Traffic start = profile::TrafficSoFar();
      std::optional<profile::Session> session;
      if (mode > 0) {
        session.emplace(path_, mode == 1 ? profile::Session::Writes::Immediate : profile::Session::Writes::Deferred);
      }
      for (std::size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].write) {
          ASSERT_TRUE(profile::WriteString(ops[i].section, ops[i].key, ops[i].value, path_)) << label;
        }
        EXPECT_EQ(profile::GetString(ops[i].section, ops[i].key, "<none>", path_), expectedReads[i])
            << label << " mode " << mode << " op " << i;
        if (mode < 2) {
          ASSERT_EQ(Contents(), expectedTexts[i]) << label << " mode " << mode << " op " << i;
        }
      }
      if (mode == 2) {
        EXPECT_EQ(Contents(), before) << label << ": nothing written before the commit";
        ASSERT_TRUE(session->Commit());
        ASSERT_EQ(Contents(), expectedTexts.back()) << label;
        EXPECT_EQ(profile::TrafficSoFar().fileReads - start.fileReads, 1u) << label;
        EXPECT_LE(profile::TrafficSoFar().fileWrites - start.fileWrites, 1u) << label;
      }
    }
  }
}

// A session joined by an inner one writes once, at the outer end; a failed deferred write
// is reported by the commit; a session on another file leaves this one to every call.
TEST_F(ProfileTest, NestedSessionsJoinAndAFailedCommitSaysSo) {
  Put("[A]\r\nx=1\r\n");
  const profile::Traffic start = profile::TrafficSoFar();
  {
    profile::Session outer(path_, profile::Session::Writes::Deferred);
    {
      profile::Session inner(path_);
      ASSERT_TRUE(profile::WriteString("A", "x", "2", path_));
      EXPECT_TRUE(inner.Commit());
    }
    const profile::Session elsewhere(path_ + ".other", profile::Session::Writes::Deferred);
    EXPECT_EQ(Contents(), "[A]\r\nx=1\r\n");
    ASSERT_TRUE(profile::WriteString("B", "y", "3", path_));
    EXPECT_EQ(profile::GetInt("a", "X", 0, path_), 2);
  }
  EXPECT_EQ(Contents(), "[A]\r\nx=2\r\n[B]\r\ny=3\r\n");
  EXPECT_EQ(profile::TrafficSoFar().fileWrites - start.fileWrites, 1u);

  profile::Session failing(path_, profile::Session::Writes::Deferred);
  ASSERT_TRUE(profile::WriteString("A", "x", "4", path_));
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  const bool committed = failing.Commit();
  fs::permissions(folder_, fs::perms::owner_all);
  if (::geteuid() != 0) {
    EXPECT_FALSE(committed);
  }
  EXPECT_EQ(profile::GetInt("A", "x", 0, path_), committed ? 4 : 2) << "read again after the failure";
}

}  // namespace

namespace varnelo::profile {
namespace {

// A FIFO as Config.ini: read at once as missing-but-unreadable, never written over.
TEST_F(ProfileTest, AFifoIsNeitherWaitedForNorReplaced) {
  std::filesystem::remove(path_);
  testing::FifoGuard fifo(path_);
  ASSERT_TRUE(fifo.Made());
  EXPECT_FALSE(FileReadable(path_));
  EXPECT_EQ(GetInt("Style", "txtsize", 270, path_), 270);
  EXPECT_EQ(GetString("Style", "txtfont", "宋体", path_), "宋体");
  EXPECT_FALSE(WriteString("Style", "txtsize", "300", path_));
  EXPECT_FALSE(fifo.Rescued()) << "the read waited for a writer";
  EXPECT_TRUE(fifo.StillAFifo());
  EXPECT_TRUE(FileReadable(path_ + ".absent")) << "a missing file is simply the defaults";
}

}  // namespace
}  // namespace varnelo::profile
