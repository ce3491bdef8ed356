#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/config_store.h"
#include "tests/core/ini_file_fixture.h"

using namespace varnelo;

namespace {

class MenuRecorder : public StoreMenus {
 public:
  void ReplaceItems(StoreMenu, const std::vector<StoreMenuItem>& replaced) override { items = replaced; }
  std::vector<StoreMenuItem> items;
};

class RecentFoldersTest : public varnelo::testing::IniFileTest {
 protected:
  // Each run's view and each exit save have their own store; the view's fills the menu.
  CConfigStore Store(StoreMenus* menus = nullptr) {
    CConfigStore store;
    store.SetSettingsPath(path_);
    store.SetMenus(menus);
    return store;
  }
  const std::string head_ =
      "[" + std::string(config_names::kFileDir) + "]\r\n" + config_names::kFileNum + "=";
};

TEST_F(RecentFoldersTest, TheChosenFolderIsAddedOnceAndFiveAtMost) {
  for (const char* chosen : {"", "/home/读者/书", "/home/读者/书", "/home/读者/BOOKS", "/home/读者/books"}) {
    EXPECT_TRUE(Store().UpdateRecentFolders(chosen));
  }
  EXPECT_EQ(Contents(), head_ + "3\r\n1=/home/读者/书\r\n2=/home/读者/BOOKS\r\n3=/home/读者/books\r\n");
  for (const char* chosen : {"/d", "/e", "/f"}) Store().UpdateRecentFolders(chosen);
  MenuRecorder menu;
  CConfigStore view = Store(&menu);
  view.LoadRecentFolders();
  ASSERT_EQ(menu.items.size(), 5u);
  EXPECT_EQ(std::to_string(menu.items[0].id) + menu.items[0].text, "576171 /home/读者/书");
  EXPECT_EQ(std::to_string(menu.items[4].id) + menu.items[4].text, "576215 /e");

  // Cleared in the file; what this run read stays.
  EXPECT_TRUE(view.ClearRecentFolders());
  EXPECT_EQ(Contents(), head_ + "\r\n1=\r\n2=\r\n3=\r\n4=\r\n5=\r\n");
  EXPECT_EQ(view.RecentFolders().size(), 5u);
  EXPECT_TRUE(Store().UpdateRecentFolders("/g"));
  EXPECT_EQ(Contents(), head_ + "1\r\n1=/g\r\n2=\r\n3=\r\n4=\r\n5=\r\n");
}

TEST_F(RecentFoldersTest, AHandEditedCountReadsFiveAtMostAndPathsComeBackWhole) {
  const std::string deep = "/" + std::string(4094, 'x');  // the 4095 bytes a read returns
  Put(head_ + "9\r\n1=" + deep + "\r\n2=/b\r\n3=/c\r\n4=/d\r\n5=/e\r\n6=/f\r\n");
  const std::string full = Contents();
  CConfigStore store = Store();
  EXPECT_TRUE(store.UpdateRecentFolders("/new"));
  EXPECT_EQ(store.RecentFolders(), (std::vector<std::string>{deep, "/b", "/c", "/d", "/e"}));
  EXPECT_EQ(Contents(), full);
}

}  // namespace
