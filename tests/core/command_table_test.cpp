#include "res/command_table.h"

#include "res/command_ids.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace varnelo {
namespace {

void Walk(const std::vector<MenuEntry>& items, const std::function<void(const MenuEntry&)>& fn) {
  for (const MenuEntry& e : items) {
    fn(e);
    Walk(e.items, fn);
  }
}

// A command by id, or a popup by caption when id is 0.
const MenuEntry* Find(int id, std::string_view caption = {}) {
  const MenuEntry* found = nullptr;
  Walk(MenuBar(), [&](const MenuEntry& e) {
    if (id != 0 ? e.kind == MenuKind::Command && e.id == id
                : e.kind == MenuKind::Popup && e.caption == caption)
      found = &e;
  });
  return found;
}

std::vector<std::string> Texts(const std::vector<MenuEntry>& items) {
  std::vector<std::string> out;
  for (const MenuEntry& e : items) out.push_back(e.MenuText());
  return out;
}

TEST(CommandTable, MenuBarPopupsAndRunTimePlaceholders) {
  EXPECT_EQ(Texts(MenuBar()), (std::vector<std::string>{"文件(&F)", "书签(&B)", "选项(&P)",
                                                          "界面(&D)", "拓展(&E)", "听书(&L)",
                                                          "帮助(&H)"}));
  // Recent folders and bookmark lists are found by position and start with one placeholder.
  const struct { std::size_t top, pos; const char* caption; int id; const char* text; } cases[] = {
      {0, 3, "最近文件夹", 57625, "10"},
      {1, 1, "打开书签", 32781, "书签"},
      {1, 2, "删除书签", 61204, "书签"},
  };
  for (const auto& c : cases) {
    const MenuEntry& popup = MenuBar()[c.top].items.at(c.pos);
    EXPECT_EQ(popup.MenuText(), c.caption);
    ASSERT_EQ(popup.items.size(), 1u) << c.caption;
    EXPECT_EQ(popup.items[0].id, c.id);
    EXPECT_EQ(popup.items[0].caption, c.text);
  }
}

TEST(CommandTable, MenuTextsKeepBlanksBeforeTheTab) {
  const struct { int id; const char* popup; const char* text; } cases[] = {
      {57601, "", "打开文件(&O)...\tCtrl+O"},   {57604, "", "另存为..."},
      {32771, "", "字体\t(&1)"},                 {61300, "", "青草绿（默认）"},
      {32803, "", "全屏阅读 \tCtrl+Enter"},       {32800, "", "侧边栏 \tF1"},
      {32802, "", "添加阅读记录 \t(&A)"},         {32823, "", "自动滚屏\tEnter"},
      {57664, "", "关于\t(&A)"},                 {32828, "", "※【网站导航推荐】"},
      {0, "行距 ", "行距 \t(&3)"},               {0, "字体大小 ", "字体大小 \t(&4)"},
      {0, "分页方式 ", "分页方式 \t(&5)"},       {0, "章节分页规则", "章节分页规则\t(&R)"},
  };
  for (const auto& c : cases) {
    const MenuEntry* e = Find(c.id, c.popup);
    ASSERT_NE(e, nullptr) << c.id << c.popup;
    EXPECT_EQ(e->MenuText(), c.text);
  }
}

TEST(CommandTable, ChapterRulesSkip32821) {
  const MenuEntry* rules = Find(0, "章节分页规则");
  ASSERT_NE(rules, nullptr);
  const std::vector<int> ids = {32816, 32817, 32818, 32819, 32820, 32822};
  const char* marks[] = {"章", "卷", "回", "部", "节", "集"};
  ASSERT_EQ(rules->items.size(), ids.size() + 1);  // the six, then the automatic rule
  EXPECT_EQ(rules->items.back().id, 32840);
  EXPECT_EQ(rules->items.back().MenuText(), "自动识别(&0)");
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(rules->items[i].id, ids[i]);
    EXPECT_EQ(rules->items[i].MenuText(), std::string("按“第...") + marks[i] + "”分页(&" + n + ")");
    EXPECT_EQ(CommandString(ids[i]), n);
  }
  EXPECT_EQ(Find(32821), nullptr);
}

TEST(CommandTable, CommandIdsUniqueAndTrayReusesThem) {
  std::set<int> seen;
  Walk(MenuBar(), [&](const MenuEntry& e) {
    EXPECT_EQ(e.kind == MenuKind::Command, e.id != 0) << e.caption;
    EXPECT_EQ(e.kind == MenuKind::Popup, !e.items.empty()) << e.caption;
    if (e.id != 0) {
      EXPECT_TRUE(seen.insert(e.id).second) << "repeated id " << e.id;
    }
  });
  // 47, the six of "编码", 目录, 全书查找, 最近阅读, three of 简繁转换, 自动识别, 章节规则,
  // seven of 排版, three of 净化, 同步, 云书架, 沉浸阅读 and its settings, 14 of 听书
  EXPECT_EQ(seen.size(), 89u);
  // The ranges whose items are made at run time take none of the fixed commands' ids: a
  // command there would run the list's item instead (or the other way round).
  // (The bookmark and recent-book lists stand in the menu as their first item.)
  const struct {
    int first, last;
    bool placeholder;
  } ranges[] = {{cmd::kRecentFolderFirst, cmd::kRecentFolderLast, false},
                {cmd::kOpenBookmarkFirst, cmd::kOpenBookmarkLast, true},
                {cmd::kDeleteBookmarkFirst, cmd::kDeleteBookmarkLast, true},
                {cmd::kUserRuleFirst, cmd::kUserRuleLast, false},
                {cmd::kRecentBookFirst, cmd::kRecentBookLast, true}};
  for (const auto& r : ranges) {
    for (int id : seen) {
      if (r.placeholder && id == r.first) continue;
      EXPECT_FALSE(id >= r.first && id <= r.last) << id << " inside " << r.first << ".." << r.last;
    }
  }
  EXPECT_EQ(Texts(TrayMenu()), (std::vector<std::string>{"关于V2.31", "阅读记录", "开始朗读", "暂停/继续朗读",
                                                           "停止朗读", "退出"}));
  for (const MenuEntry& e : TrayMenu()) EXPECT_NE(Find(e.id), nullptr) << e.id;
}

// Keys shown in the menus must be accelerators of the same command; Enter is the page
// pane's own key, and Ctrl+Z, Alt+Backspace, F6 and Shift+F6 reach no menu command.
TEST(CommandTable, AcceleratorsUniqueAndMatchMenuKeys) {
  std::map<std::string_view, int> byKey;
  for (const Accelerator& a : Accelerators()) {
    EXPECT_FALSE(a.keys.empty() || a.keys.back() == '+' || a.keys.find(' ') != a.keys.npos)
        << a.keys;
    EXPECT_TRUE(byKey.emplace(a.keys, a.id).second) << "repeated key " << a.keys;
  }
  EXPECT_EQ(Accelerators().size(), 30u);
  int advertised = 0;
  Walk(MenuBar(), [&](const MenuEntry& e) {
    if (e.kind != MenuKind::Command || e.keyText.empty() || e.keyText[0] == '(') return;
    const auto it = byKey.find(e.keyText);
    if (e.keyText == "Enter") {
      EXPECT_EQ(it, byKey.end());
      return;
    }
    ASSERT_NE(it, byKey.end()) << e.keyText;
    EXPECT_EQ(it->second, e.id) << e.keyText;
    ++advertised;
  });
  EXPECT_EQ(advertised, 18);
  EXPECT_EQ(byKey["Ctrl+Return"], byKey["Ctrl+Enter"]);
  for (const char* key : {"Ctrl+Z", "Alt+Backspace", "F6", "Shift+F6"}) {
    EXPECT_EQ(Find(byKey.at(key)), nullptr) << key;
  }
}

TEST(CommandTable, ToolBarOrderLabelsAndTips) {
  const struct { int id; const char* label; const char* tip; } expected[] = {
      {32773, "书库", "打开书库"},  {57601, "小说", "打开txt"},
      {32775, "添加书签", "添加书签"}, {32774, "夜间模式", "夜间模式"},
      {32805, "减小字体", ""},      {32806, "增大字体", ""},
      {32807, "减小行距", ""},      {32808, "增大行距", ""},
      {32799, "分页方式", "切换分页方式"}, {32802, "阅读时间", "单击添加到阅读时间记录"},
      {32800, "侧边栏", "快捷键 F1"}, {32803, "全屏", "全屏切换  Ctrl+Enter"},
      {32823, "自动滚屏", "快捷键 Enter"}, {108, "编辑模式", "编辑模式开关"},
      {32940, "听书", "听书  F9"},
  };
  ASSERT_EQ(ToolBarButtons().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(ToolBarButtons()[i].id, expected[i].id) << i;
    EXPECT_EQ(ToolBarButtons()[i].label, expected[i].label) << i;
    EXPECT_EQ(TipOf(expected[i].id), expected[i].tip) << i;
  }
}

TEST(CommandTable, PromptAndTipSplitAtFirstNewline) {
  const struct { int id; const char* prompt; const char* tip; } cases[] = {
      {57601, "打开一个现有文档", "打开txt"},
      {32792, "", "字体大小270"},
      {32798, "每页50行", ""},
      {57621, "打开该文档", ""},
      {61212, "9", ""},
      {103, "阅读", ""},
      {128, "Varnelo", "\nVarnel\n\n\nVarnelo.Document\nVarnel Document"},
      {32780, "", ""},
      {0, "", ""},
      {99999, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PromptOf(c.id), c.prompt) << c.id;
    EXPECT_EQ(TipOf(c.id), c.tip) << c.id;
  }
  EXPECT_EQ(AppTitle(), "Varnelo");
  EXPECT_EQ(IdleText(), "小提示：空格翻屏自动下一页，【F5】添加书签，【←】上一页，【→】下一页");
  EXPECT_EQ(DocumentString(), CommandString(128));
}

}  // namespace
}  // namespace varnelo
