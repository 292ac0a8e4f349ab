#include "ticker/dialogs/url_regist_dlg_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/registry/registry.h"
#include "support/ticker_link/list_lock.h"
#include "tests/registry_test_key.h"
#include "ticker/dialogs/test_driver_win.h"
#include "ticker/dialogs/url_regist_dlg_res.h"

namespace {

// The dialog with its test seams in reach.
class TestRegistDlg : public CUrlRegistDlg {
 public:
  using CUrlRegistDlg::CUrlRegistDlg;
  using CUrlRegistDlg::LiveRecords;
  using CUrlRegistDlg::selectPage;
};

class UrlRegistDlg : public RegistryKeyTest {
 protected:
  void SetUp() override {
    RegistryKeyTest::SetUp();
    records = TestRegistDlg::LiveRecords();
  }
  void TearDown() override {
    // Every record an item owned was freed with its item.
    EXPECT_EQ(TestRegistDlg::LiveRecords(), records);
    RegistryKeyTest::TearDown();
  }

  void Store(std::initializer_list<int> slots) {
    for (int slot : slots) {
      const std::string n = std::to_string(slot);
      ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(slot),
                                       UrlEntry{"slot" + n, "http://host/" + n, "http://from/" + n, slot}));
    }
  }
  static std::vector<std::string> Items(CUrlRegistDlg& dlg) {
    std::vector<std::string> items;
    HWND list = dlg.GetItem(IDC_REG_LIST);
    const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[256] = {};
      ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      items.push_back(text);
    }
    return items;
  }
  // Clicks list item index as the user does.
  static void ClickItem(CUrlRegistDlg& dlg, int index) {
    HWND list = dlg.GetItem(IDC_REG_LIST);
    RECT r{};
    ::SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM(r.left + 3, r.top + 2);
    ::SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(list, WM_LBUTTONUP, 0, at);
  }
  static void Press(CUrlRegistDlg& dlg, int id) { ::SendMessageA(dlg.GetItem(id), BM_CLICK, 0, 0); }
  static void Type(CUrlRegistDlg& dlg, int id, const std::string& text) {
    ::SetWindowTextA(dlg.GetItem(id), text.c_str());
  }
  // Adds an entry through the edits and "追加".
  static void Add(CUrlRegistDlg& dlg, const std::string& title, const std::string& url, int level = 40) {
    Type(dlg, IDC_REG_TITLE, title);
    Type(dlg, IDC_REG_URL, url);
    Type(dlg, IDC_REG_REFERRER, "");
    Type(dlg, IDC_REG_LEVEL, std::to_string(level));
    Press(dlg, IDC_REG_ADD);
  }

  long records = 0;
};

TEST_F(UrlRegistDlg, StoredSlotsWithGapsOpenInOrderAndSaveWithoutGaps) {
  Store({0, 3, 7});
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  char title[64] = {};
  ::GetWindowTextA(dlg.GetHwnd(), title, sizeof title);
  EXPECT_STREQ(title, " URL登録");
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "slot3", "slot7"}));
  EXPECT_EQ(TestRegistDlg::LiveRecords(), records + 3);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_TITLE), "");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "40");

  ClickItem(dlg, 2);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_TITLE), "slot7");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_URL), "http://host/7");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_REFERRER), "http://from/7");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "7");

  Press(dlg, IDOK);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  for (int slot = 0; slot < 32; ++slot) EXPECT_EQ(url_list::SlotExists(reg_, slot), slot < 3) << slot;
  UrlEntry e;
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::SlotKey(2), e));
  EXPECT_EQ(e.title, "slot7");
  EXPECT_EQ(e.referrer, "http://from/7");
  EXPECT_EQ(e.level, 7);
}

TEST_F(UrlRegistDlg, AddStopsAtThirtyTwoItemsSoWhatIsListedIsWhatIsSaved) {
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  for (int i = 0; i < 35; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "item%02d", i);
    Add(dlg, name, std::string("http://h/") + name, i + 1);
  }
  EXPECT_EQ(Items(dlg).size(), 32u);
  EXPECT_EQ(Items(dlg).back(), "item31");
  // The refused entry is still in the fields, for the user to make room and add again.
  EXPECT_EQ(dlg.GetItemText(IDC_REG_TITLE), "item34");
  Press(dlg, IDOK);
  const auto saved = url_list::ReadList(reg_);
  ASSERT_EQ(saved.size(), 32u);
  EXPECT_EQ(saved[31].title, "item31");
  EXPECT_EQ(saved[31].level, 32);
  EXPECT_FALSE(url_list::SlotExists(reg_, 32));
}

TEST_F(UrlRegistDlg, TheSameTitleAsksAndYesReplacesInPlaceNoKeepsAll) {
  Store({0, 1, 2});  // slot0, slot1, slot2
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));

  std::string question;
  std::thread no = dialog_test::WhenShown(" Zellora", [&](HWND box) {
    if (!box) return;
    question = dialog_test::MessageBoxText(box);
    ::PostMessageA(box, WM_COMMAND, IDNO, 0);
  });
  Add(dlg, "SLOT2", "http://new/");
  no.join();
  EXPECT_EQ(question, "このURLはすでに登録されています。\n上書きしますか？");
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "slot1", "slot2"}));

  std::thread yes = dialog_test::WhenShown(" Zellora", [&](HWND box) {
    if (box) ::PostMessageA(box, WM_COMMAND, IDYES, 0);
  });
  Add(dlg, "Slot1", "http://new/", 12);  // "slot1", found without case
  yes.join();
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "Slot1", "slot2"}));
  EXPECT_EQ(TestRegistDlg::LiveRecords(), records + 3);
  ClickItem(dlg, 1);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_URL), "http://new/");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "12");

  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_REG_LIST), LB_GETCURSEL, 0, 0), 1);

  // An empty title or address adds nothing (and asks nothing).
  Add(dlg, "", "http://empty/");
  Add(dlg, "no address", "");
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "Slot1", "slot2"}));
  EXPECT_EQ(TestRegistDlg::LiveRecords(), records + 3);
  dlg.DestroyWindow();
}

TEST_F(UrlRegistDlg, DeleteTakesTheItemNamedInTheEditNotTheSelectedOne) {
  Store({0, 1, 2});
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  ClickItem(dlg, 0);
  Type(dlg, IDC_REG_TITLE, "nothing like it");
  Press(dlg, IDC_REG_DELETE);
  EXPECT_EQ(Items(dlg).size(), 3u);
  Type(dlg, IDC_REG_TITLE, "slot2");
  Press(dlg, IDC_REG_DELETE);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "slot1"}));
  EXPECT_EQ(TestRegistDlg::LiveRecords(), records + 2);
  // Only the whole title counts, without case.
  Type(dlg, IDC_REG_TITLE, "SLOT");
  Press(dlg, IDC_REG_DELETE);
  EXPECT_EQ(Items(dlg).size(), 2u);
  Type(dlg, IDC_REG_TITLE, "SLOT1");
  Press(dlg, IDC_REG_DELETE);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0"}));
  Type(dlg, IDC_REG_TITLE, "slot0");
  Press(dlg, IDC_REG_DELETE);
  EXPECT_TRUE(Items(dlg).empty());
  EXPECT_EQ(TestRegistDlg::LiveRecords(), records);
  dlg.DestroyWindow();
}

TEST_F(UrlRegistDlg, ATitleThatBeginsAnotherIsItsOwnEntryAndTheFieldsFollowEachAction) {
  ASSERT_TRUE(url_list::WriteList(
      reg_, {UrlEntry{"星雷タイムズ", "http://times/", "", 30}, UrlEntry{"社会", "http://social/", "", 20}}));
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  EXPECT_EQ(::GetFocus(), dlg.GetItem(IDC_REG_TITLE));
  HWND list = dlg.GetItem(IDC_REG_LIST);

  Add(dlg, "星", "http://star/", 25);  // no question: nothing is called "星" yet
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"星雷タイムズ", "社会", "星"}));
  EXPECT_EQ(::SendMessageA(list, LB_GETCURSEL, 0, 0), 2);

  bool asked = false;
  std::thread yes = dialog_test::WhenShown(" Zellora", [&](HWND box) {
    if (!box) return;
    asked = true;
    ::PostMessageA(box, WM_COMMAND, IDYES, 0);
  });
  Add(dlg, "星", "http://star2/", 26);
  yes.join();
  EXPECT_TRUE(asked);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"星雷タイムズ", "社会", "星"}));
  EXPECT_EQ(::SendMessageA(list, LB_GETCURSEL, 0, 0), 2);

  ClickItem(dlg, 2);
  Press(dlg, IDC_REG_DELETE);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"星雷タイムズ", "社会"}));
  EXPECT_EQ(::SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_TITLE), "");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_URL), "");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "40");

  Press(dlg, IDOK);
  const auto saved = url_list::ReadList(reg_);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].url, "http://times/");
  EXPECT_EQ(saved[0].level, 30);
}

TEST_F(UrlRegistDlg, APageAddedByTheCompanionWhileOpenSurvivesTheSave) {
  Store({0, 1});
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Type(dlg, IDC_REG_TITLE, "slot0");
  Press(dlg, IDC_REG_DELETE);
  {
    // The companion's AddURL: one slot more, written under the list lock.
    url_list::ListLock lock;
    ASSERT_TRUE(
        url_list::WriteEntry(reg_, url_list::SlotKey(2), UrlEntry{"お気に入り(1)", "http://fav/", "", 40}));
  }
  Press(dlg, IDOK);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  const auto saved = url_list::ReadList(reg_);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].title, "slot1");
  EXPECT_EQ(saved[1].title, "お気に入り(1)");
}

TEST_F(UrlRegistDlg, APageThatNoLongerFitsIsNamedAndStaysInTheListUntilThereIsRoom) {
  std::vector<UrlEntry> entries;
  entries.reserve(31);
  for (int i = 0; i < 31; ++i)
    entries.push_back(UrlEntry{"e" + std::to_string(i), "http://e/" + std::to_string(i), "", 40});
  ASSERT_TRUE(url_list::WriteList(reg_, entries));
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Add(dlg, "mine", "http://mine/");
  ASSERT_TRUE(
      url_list::WriteEntry(reg_, url_list::SlotKey(31), UrlEntry{"theirs", "http://theirs/", "", 40}));

  std::string message;
  std::thread user = dialog_test::WhenShown(" Zellora", [&](HWND box) {
    if (!box) return;
    message = dialog_test::MessageBoxText(box);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  Press(dlg, IDOK);
  user.join();
  EXPECT_EQ(message, "次のURLは登録できませんでした（最大32件）：\ntheirs");
  ASSERT_NE(dlg.GetHwnd(), nullptr);
  EXPECT_EQ(Items(dlg).size(), 33u);
  EXPECT_EQ(Items(dlg).back(), "theirs");
  EXPECT_EQ(url_list::ReadList(reg_).back().title, "theirs");
  EXPECT_EQ(url_list::ReadList(reg_)[30].title, "e30");

  Type(dlg, IDC_REG_TITLE, "e0");
  Press(dlg, IDC_REG_DELETE);
  Press(dlg, IDOK);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  const auto saved = url_list::ReadList(reg_);
  ASSERT_EQ(saved.size(), 32u);
  EXPECT_EQ(saved[0].title, "e1");
  EXPECT_EQ(saved[30].title, "mine");
  EXPECT_EQ(saved[31].title, "theirs");
}

TEST_F(UrlRegistDlg, UpAndDownMoveTheSelectionAndDoNothingAtTheEnds) {
  Store({0, 1, 2});
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  Press(dlg, IDC_REG_UP);  // nothing selected
  ClickItem(dlg, 0);
  Press(dlg, IDC_REG_UP);
  ClickItem(dlg, 2);
  Press(dlg, IDC_REG_DOWN);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "slot1", "slot2"}));

  Press(dlg, IDC_REG_UP);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot0", "slot2", "slot1"}));
  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_REG_LIST), LB_GETCURSEL, 0, 0), 1);
  ClickItem(dlg, 0);
  Press(dlg, IDC_REG_DOWN);
  EXPECT_EQ(Items(dlg), std::vector<std::string>({"slot2", "slot0", "slot1"}));
  EXPECT_EQ(::SendMessageA(dlg.GetItem(IDC_REG_LIST), LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(TestRegistDlg::LiveRecords(), records + 3);

  Press(dlg, IDOK);
  const auto saved = url_list::ReadList(reg_);
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[0].url, "http://host/2");
  EXPECT_EQ(saved[1].url, "http://host/0");
}

TEST_F(UrlRegistDlg, LevelTakesDigitsOnlyAndCancelWritesNothing) {
  Store({0, 5});
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  HWND levelEdit = dlg.GetItem(IDC_REG_LEVEL);
  EXPECT_TRUE(::GetWindowLongA(levelEdit, GWL_STYLE) & ES_NUMBER);
  ::SetWindowTextA(levelEdit, "");
  for (char c : std::string("1a-2")) ::SendMessageA(levelEdit, WM_CHAR, static_cast<WPARAM>(c), 0);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "12");

  Add(dlg, "new one", "http://n/");
  Type(dlg, IDC_REG_TITLE, "slot0");
  Press(dlg, IDC_REG_DELETE);
  Press(dlg, IDCANCEL);
  EXPECT_EQ(dlg.GetHwnd(), nullptr);
  EXPECT_TRUE(url_list::SlotExists(reg_, 0));
  EXPECT_TRUE(url_list::SlotExists(reg_, 5));
  EXPECT_FALSE(url_list::SlotExists(reg_, 1));
}

TEST_F(UrlRegistDlg, TheSelectionDialogGetsTheFieldsAndItsChoiceComesBack) {
  TestRegistDlg dlg(base_);
  UrlEntry given;
  dlg.selectPage = [&](HWND owner, UrlEntry& chosen) {
    EXPECT_EQ(owner, dlg.GetHwnd());
    given = chosen;
    chosen = UrlEntry{"ページ", "http://chosen/", "http://came-from/", 25};
    return true;
  };
  ASSERT_TRUE(dlg.Create(nullptr));
  Type(dlg, IDC_REG_URL, "http://typed/");
  Type(dlg, IDC_REG_REFERRER, "http://ref/");
  Type(dlg, IDC_REG_LEVEL, "33");
  Press(dlg, IDC_REG_BROWSE);
  EXPECT_EQ(given.url, "http://typed/");
  EXPECT_EQ(given.referrer, "http://ref/");
  EXPECT_EQ(given.level, 33);
  EXPECT_EQ(dlg.GetItemText(IDC_REG_TITLE), "ページ");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_URL), "http://chosen/");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_REFERRER), "http://came-from/");
  EXPECT_EQ(dlg.GetItemText(IDC_REG_LEVEL), "25");
  dlg.DestroyWindow();
}

TEST_F(UrlRegistDlg, HelpPictureShowsTheRegistrationHelp) {
  TestRegistDlg dlg(base_);
  ASSERT_TRUE(dlg.Create(nullptr));
  std::string shown;
  std::thread user = dialog_test::WhenShown(" Zellora ｵﾌﾟｼｮﾝ設定 ﾍﾙﾌﾟ", [&](HWND help) {
    if (!help) return;
    char text[4096] = {};
    ::GetDlgItemTextA(help, 1033, text, sizeof text);
    shown = text;
    ::PostMessageA(help, WM_COMMAND, IDOK, 0);
  });
  dialog_test::Click(dlg.GetItem(IDC_REG_HELP));
  user.join();
  EXPECT_EQ(shown, url_regist::HelpText());
  dlg.DestroyWindow();
}

}  // namespace
