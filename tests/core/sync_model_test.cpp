#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/sync/sync_local.h"
#include "app/sync/sync_model.h"
#include "scratch_folder.h"
#include "res/command_ids.h"
#include "store/book_places.h"
#include "store/chapter_rules.h"
#include "store/config_store.h"
#include "store/replace_rules.h"
#include "text/book_encoding.h"
#include "tests/core/recode.h"

namespace varnelo::sync {
namespace {

std::string ToUtf8(const std::string& gbk) { return varnelo::testing::Recode(gbk, "GB18030", "UTF-8").bytes; }

std::string ReadAs(const std::filesystem::path& file) {
  std::string text;
  BookForm form;
  EXPECT_EQ(ReadBook(file.string(), std::nullopt, text, form), LoadStatus::Ok) << file;
  return text;
}

TEST(SyncModel, AGbkAndAUtf8CopyWithOtherLineEndsShareKeyAndPlaces) {
  std::string gbk;
  ASSERT_EQ(ReadBookFile(std::string(VARNELO_CORPUS_DIR) + "/水浒传.txt", gbk), LoadStatus::Ok);
  gbk.resize(300000);  // a whole number of characters is not needed: the tail is cut alike
  std::string lf;
  std::string crlf;
  for (char c : gbk) {
    if (c == '\r') continue;
    lf += c;
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  const auto folder = testing::ScratchFolder();
  std::filesystem::create_directories(folder / "home");
  std::filesystem::create_directories(folder / "office");
  std::ofstream(folder / "home/水浒.txt", std::ios::binary) << crlf;
  std::ofstream(folder / "office/shz.txt", std::ios::binary) << ToUtf8(lf);
  const std::string a = ReadAs(folder / "home/水浒.txt");
  const std::string b = ReadAs(folder / "office/shz.txt");
  ASSERT_NE(a.size(), b.size());  // the CR LF copy is longer in bytes
  EXPECT_EQ(BookKey(a), BookKey(b));
  EXPECT_NE(BookKey(a), BookKey(a.substr(0, a.size() - 2))) << "the length is part of the key";
  // Places at every kind of character map to the same text in the other copy.
  for (std::int64_t offset : {std::int64_t{0}, std::int64_t{1}, std::int64_t{5000},
                              std::int64_t{123457}, static_cast<std::int64_t>(a.size())}) {
    const std::int64_t index = CharacterIndexOf(a, offset);
    const std::int64_t there = ByteOffsetOf(b, index);
    const std::int64_t back = ByteOffsetOf(a, index);
    EXPECT_LE(back, offset) << offset;
    EXPECT_EQ(CharacterIndexOf(b, there), index) << offset;
    const auto plain = [](std::string_view text, std::int64_t at) {
      std::string out;
      for (char c : text.substr(static_cast<std::size_t>(at), 12)) {
        if (c != '\r') out += c;
      }
      return out.substr(0, 8);
    };
    EXPECT_EQ(plain(a, back), plain(b, there)) << offset;
  }
}

TEST(SyncModel, MergeKeepsTheNewerItemAndCountsEachPeriodOnce) {
  Document home;
  Document office;
  Note(home, kPlace, "100", 50, "home");
  Note(office, kPlace, "900", 60, "office");
  Note(home, "mark.7", "1\t\t0\tx", 70, "home");
  Note(office, "mark.7", "", 65, "office");  // removed earlier than made again
  Note(home, kMode, "1", 80, "home");
  Note(office, kMode, "0", 80, "office");  // same second: the greater host
  home.periods[{"home", 10}] = 300;
  office.periods[{"office", 10}] = 200;
  office.periods[{"home", 10}] = 300;  // office already had it
  for (const Document& merged : {Merge(home, office), Merge(office, home),
                                 Merge(Merge(home, office), Merge(office, home))}) {
    EXPECT_EQ(merged.items.at(kPlace).value, "900");
    EXPECT_EQ(merged.items.at("mark.7").value, "1\t\t0\tx");
    EXPECT_EQ(merged.items.at(kMode).value, "0");
    EXPECT_EQ(merged.TotalSeconds(), 500);
  }
}

TEST(SyncModel, StoredFormRoundTripsAndRefusesBrokenText) {
  Document doc;
  Note(doc, "mark.3", "a\\b\nc\r=,d", 5, "pc");
  doc.periods[{"pc", 7}] = 9;
  EXPECT_EQ(Parse(Serialize(doc)), doc);
  const std::string good = Serialize(doc);
  for (const std::string& broken :
       {std::string(), std::string("<?xml version=\"1.0\"?><d:multistatus/>"),
        good + "place=x,pc,1\n", good.substr(0, good.size() - 3) + "=-1\n",
        good + "[Other]\na=b\n", good + "junk\n"}) {
    EXPECT_FALSE(Parse(broken)) << broken;
  }
}

// Two computers, each its own Config.ini: the documents travel as the server would carry them.
struct Computer {
  std::string settings;
  std::string path;
  std::string text;
  std::string host;
  LocalState state;
  BookContext At(std::int64_t now) const { return {settings, path, text, now, host}; }
};

Computer MakeComputer(const std::string& host, const std::string& text) {
  const auto folder = testing::ScratchFolder() / host;
  std::filesystem::create_directories(folder);
  Computer c{(folder / "Config.ini").string(), (folder / "书.txt").string(), text, host, {}};
  std::ofstream(c.path, std::ios::binary) << text;
  return c;
}

// What one sync does: capture, merge with the server's copy, apply; the server gets the result.
void SyncWith(Computer& c, Document& server, std::int64_t now) {
  CaptureBook(c.state, c.At(now));
  c.state.doc = Merge(c.state.doc, server);
  ASSERT_TRUE(ApplyBook(c.state, c.At(now)));
  server = c.state.doc;
}

TEST(SyncModel, TwoComputersShareMarksRecordsAndTheNewerPlace) {
  std::string text;
  for (int k = 1; k <= 200; ++k) text += "Chapter " + std::to_string(k) + "\r\nSome text.\r\n";
  Computer home = MakeComputer("home", text);
  Computer office = MakeComputer("office", text);
  Document server;

  // Office read the book long ago, before syncing: its old place must not win.
  BookPlaces officePlaces;
  officePlaces.SetSettingsPath(office.settings);
  ASSERT_TRUE(officePlaces.Keep(office.path, 40, 0));

  SyncWith(home, server, 900);  // as the book opens
  BookPlaces homePlaces;
  homePlaces.SetSettingsPath(home.settings);
  ASSERT_TRUE(homePlaces.Keep(home.path, 2000, 1, 3));
  CConfigStore homeStore;
  homeStore.SetSettingsPath(home.settings);
  ASSERT_EQ(homeStore.AddBookmark(home.path, "书", 3, "章节", 2, 1500, "第3回 开头"),
            CConfigStore::AddResult::Added);
  ASSERT_TRUE(homeStore.SaveReadRecord(1, 1, "书.txt", "600", "2026/1/1 8:00", "2026/1/1 9:00"));
  SyncWith(home, server, 1000);

  CConfigStore officeStore;
  officeStore.SetSettingsPath(office.settings);
  ASSERT_TRUE(officeStore.SaveReadRecord(1, 1, "书.txt", "100", "2026/1/1 8:00", "2026/1/1 9:00"));
  SyncWith(office, server, 1100);
  officeStore.LoadBookmarks();
  ASSERT_EQ(officeStore.BookmarkCount(), 1);
  EXPECT_EQ(officeStore.Bookmark(1).offset, 1500);
  EXPECT_EQ(officeStore.Bookmark(1).prompt, "第3回 开头");
  officeStore.LoadReadRecords();
  EXPECT_EQ(officeStore.ReadRecord(0).total, "700");
  std::optional<PlaceOffer> offer = OfferedPlace(office.state, office.At(1100));
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->offset, 2000);
  EXPECT_EQ(offer->mode, 1);
  EXPECT_EQ(offer->rule, 3);

  // Both read on offline: home more time and an earlier place, office a later place.
  ASSERT_TRUE(homeStore.SaveReadRecord(1, 1, "书.txt", "650", "", ""));
  ASSERT_TRUE(homePlaces.Keep(home.path, 2500, 1, 3));
  ASSERT_TRUE(officePlaces.Keep(office.path, 3000, 1, 3));
  ASSERT_TRUE(officeStore.SaveReadRecord(1, 1, "书.txt", "730", "", ""));
  CaptureBook(home.state, home.At(2000));
  CaptureBook(office.state, office.At(2100));
  EXPECT_TRUE(office.state.pending);
  SyncWith(home, server, 2000);
  SyncWith(office, server, 2100);
  SyncWith(home, server, 2200);
  homeStore.LoadReadRecords();
  officeStore.LoadReadRecords();
  EXPECT_EQ(homeStore.ReadRecord(0).total, "780") << "600 + 100 + 50 + 30, each once";
  EXPECT_EQ(officeStore.ReadRecord(0).total, "780");
  offer = OfferedPlace(home.state, home.At(2200));
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->offset, 3000);
  EXPECT_FALSE(OfferedPlace(office.state, office.At(2200))) << "its own place is not offered";

  // A bookmark deleted on one goes on the other.
  ASSERT_TRUE(homeStore.DeleteBookmark(cmd::kDeleteBookmarkFirst));
  homeStore.LoadBookmarks();
  ASSERT_EQ(homeStore.BookmarkCount(), 0);
  SyncWith(home, server, 3000);
  SyncWith(office, server, 3100);
  officeStore.LoadBookmarks();
  EXPECT_EQ(officeStore.BookmarkCount(), 0);
}

}  // namespace
}  // namespace varnelo::sync

namespace varnelo::sync {
namespace {

// The rules document between two settings files, as a server would carry it.
struct RulesComputer {
  std::string settings;
  std::string host;
  LocalState state;
  void Sync(Document& server, std::int64_t now) {
    CaptureRules(state, settings, now, host);
    state.doc = Merge(state.doc, server);
    ASSERT_TRUE(ApplyRules(state, settings));
    server = state.doc;
  }
};

TEST(SyncModel, RulesTravelOneByOneAndADeletedOneStaysDeleted) {
  const auto folder = testing::ScratchFolder();
  RulesComputer home{(folder / "home.ini").string(), "home", {}};
  RulesComputer office{(folder / "office.ini").string(), "office", {}};
  const StoredRule a{true, false, "", "本章未完", ""};
  const StoredRule b{true, true, "", "[0-9]+字", "~"};
  const StoredRule c{false, false, "/书/三国.txt", "甲", "乙"};
  const StoredRule kept{true, false, "", "办公室的", ""};  // office's own, from before syncing
  ASSERT_TRUE(WriteReplaceRules({a, b}, home.settings));
  ASSERT_TRUE(WriteReplaceRules({kept}, office.settings));
  UserChapterRules chapters;
  chapters.SetSettingsPath(home.settings);
  ASSERT_TRUE(chapters.Save({UserChapterRule{4, "回目", "^第.+回 "}}));
  Document server;
  home.Sync(server, 100);
  office.Sync(server, 110);
  home.Sync(server, 120);

  const auto sorted = [](std::vector<StoredRule> rules) {
    std::sort(rules.begin(), rules.end(), [](const auto& x, const auto& y) { return x.pattern < y.pattern; });
    return rules;
  };
  EXPECT_EQ(sorted(ReadReplaceRules(office.settings)), sorted({a, b, kept}));
  EXPECT_EQ(ReadReplaceRules(home.settings), ReadReplaceRules(office.settings)) << "one order on both";
  UserChapterRules arrived;
  arrived.SetSettingsPath(office.settings);
  arrived.Load();
  EXPECT_EQ(arrived.Rules(), chapters.Rules()) << "the chapter rule arrives whole";

  // Offline, home edits a's replacement; office deletes b, adds c and switches b built-in off.
  StoredRule edited = a;
  edited.replacement = "（续）";
  std::vector<StoredRule> homeRules = ReadReplaceRules(home.settings);
  std::replace(homeRules.begin(), homeRules.end(), a, edited);
  ASSERT_TRUE(WriteReplaceRules(homeRules, home.settings));
  std::vector<StoredRule> officeRules = ReadReplaceRules(office.settings);
  officeRules.erase(std::find(officeRules.begin(), officeRules.end(), b));
  officeRules.push_back(c);
  ASSERT_TRUE(WriteReplaceRules(officeRules, office.settings));
  ASSERT_TRUE(WriteBuiltInOn({true, false, true}, office.settings));
  office.Sync(server, 210);
  home.Sync(server, 200);
  office.Sync(server, 220);
  home.Sync(server, 230);  // an old copy of b at home must not bring it back
  for (const RulesComputer* pc : {&home, &office}) {
    EXPECT_EQ(sorted(ReadReplaceRules(pc->settings)), sorted({edited, c, kept})) << pc->host;
    EXPECT_EQ(ReadBuiltInOn(3, pc->settings), (std::vector<bool>{true, false, true})) << pc->host;
  }
  EXPECT_EQ(server.items.count(kCleanPrefix + std::string("builtin")), 1u);
}

}  // namespace
}  // namespace varnelo::sync
