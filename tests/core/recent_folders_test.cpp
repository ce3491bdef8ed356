#include "store/recent_folders.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "store/config_store.h"
#include "tests/core/ini_file_fixture.h"

using namespace varnelo;

namespace {

// The section and its count key as they stand in the file.
const std::string kHead =
    "[" + std::string(config_names::kFileDir) + "]\r\n" + config_names::kFileNum + "=";

class RecordingMenus : public StoreMenus {
 public:
  void ReplaceItems(StoreMenu menu, const std::vector<StoreMenuItem>& items) override {
    if (menu == StoreMenu::RecentFolders) recent.push_back(items);
  }
  std::vector<std::vector<StoreMenuItem>> recent;
};

class RecentFoldersTest : public varnelo::testing::IniFileTest {
 protected:
  // A fresh store, as each run and each exit save has its own; the view's fills the menu.
  CConfigStore Store(StoreMenus* menus = nullptr) {
    CConfigStore store;
    store.SetSettingsPath(path_);
    store.SetMenus(menus);
    return store;
  }
  RecordingMenus menus_;
};

TEST_F(RecentFoldersTest, ExitUpdateWritesTheChosenFolderOnce) {
  EXPECT_TRUE(Store().UpdateRecentFolders(""));
  EXPECT_EQ(Contents(), "") << "nothing chosen, nothing written";

  EXPECT_TRUE(Store().UpdateRecentFolders("/home/读者/书"));
  EXPECT_EQ(Contents(), kHead + "1\r\n1=/home/读者/书\r\n");
  EXPECT_TRUE(Store().UpdateRecentFolders("/home/读者/书"));
  EXPECT_EQ(Contents(), kHead + "1\r\n1=/home/读者/书\r\n");
  // Letter case counts: another spelling is another entry.
  EXPECT_TRUE(Store().UpdateRecentFolders("/home/读者/BOOKS"));
  EXPECT_TRUE(Store().UpdateRecentFolders("/home/读者/books"));
  EXPECT_EQ(Contents(),
            kHead + "3\r\n1=/home/读者/书\r\n2=/home/读者/BOOKS\r\n"
            "3=/home/读者/books\r\n");

  // Full at five: a sixth is not added.
  Store().UpdateRecentFolders("/d");
  Store().UpdateRecentFolders("/e");
  const std::string full = Contents();
  Store().UpdateRecentFolders("/f");
  EXPECT_EQ(Contents(), full);

  CConfigStore store = Store(&menus_);
  store.LoadRecentFolders();
  ASSERT_EQ(menus_.recent.size(), 1u);
  const std::vector<StoreMenuItem>& items = menus_.recent.back();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].id, 57617);
  EXPECT_EQ(items[0].text, "1 /home/读者/书");
  EXPECT_EQ(items[4].id, 57621);
  EXPECT_EQ(items[4].text, "5 /e");

  // Clearing empties the file's list; this store keeps what it read for the run.
  EXPECT_TRUE(store.ClearRecentFolders());
  EXPECT_EQ(Contents(), kHead + "\r\n1=\r\n2=\r\n3=\r\n4=\r\n5=\r\n");
  EXPECT_EQ(store.RecentFolders().size(), 5u);
  EXPECT_TRUE(Store().UpdateRecentFolders("/g"));
  EXPECT_EQ(Contents(), kHead + "1\r\n1=/g\r\n2=\r\n3=\r\n4=\r\n5=\r\n");
}

TEST_F(RecentFoldersTest, HandEditedCountsAndLongPaths) {
  const std::string deep = "/" + std::string(4094, 'x');  // 4095 bytes, the read limit
  const struct {
    const char* fileNum;
    std::size_t read;
  } cases[] = {{"9", 5}, {"5", 5}, {"2", 2}, {"-3", 0}, {"abc", 0}, {"", 0}};
  for (const auto& c : cases) {
    Put(kHead + c.fileNum + "\r\n1=" + deep +
        "\r\n2=/b\r\n3=/c\r\n4=/d\r\n5=/e\r\n6=/f\r\n7=/g\r\n8=/h\r\n9=/i\r\n");
    CConfigStore store = Store(&menus_);
    store.LoadRecentFolders();
    ASSERT_EQ(store.RecentFolders().size(), c.read) << c.fileNum;
    EXPECT_EQ(menus_.recent.back().size(), c.read) << c.fileNum;
    if (c.read > 0) {
      EXPECT_EQ(store.RecentFolders().front(), deep) << c.fileNum;
    }
  }
  // A count above five never adds a sixth key.
  Put(kHead + "9\r\n");
  EXPECT_TRUE(Store().UpdateRecentFolders("/new"));
  EXPECT_EQ(profile::GetString(config_names::kFileDir, "6", "<none>", path_), "<none>");
}

}  // namespace
