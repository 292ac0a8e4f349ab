// The browser host against a stand-in control (tests/fake_browser_win.h): what it asks of the
// control when it makes it, which events reach its listener, where the page's markup comes from
// and how keys reach the control inside a dialog.
#include <exdispid.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/win/browser_host.h"
#include "support/win/dialog.h"
#include "support/win/dialog_test_res.h"
#include "tests/fake_browser_win.h"

namespace {

// The host with the stand-in in place of the real control; it notes the browser emulation entry
// as it is when the control is made.
class TestHost : public win::CBrowserHost {
 public:
  explicit TestHost(fake_browser::FakeBrowser& stand) : fake(stand) {}
  bool emulationSeen = false;
  DWORD emulationMode = 0;

 protected:
  HRESULT CreateControl(IOleObject** control) override {
    emulationSeen = ReadEmulation(emulationMode);
    *control = static_cast<IOleObject*>(fake.NewControl());
    return S_OK;
  }

 private:
  static bool ReadEmulation(DWORD& mode) {
    DWORD size = sizeof mode;
    return ::RegGetValueA(HKEY_CURRENT_USER, win::kBrowserEmulationKey, ProgramName().c_str(),
                          RRF_RT_REG_DWORD, nullptr, &mode, &size) == ERROR_SUCCESS;
  }

 public:
  static std::string ProgramName() {
    char path[MAX_PATH] = {};
    const std::string full(path, ::GetModuleFileNameA(nullptr, path, sizeof path));
    return full.substr(full.find_last_of("\\/") + 1);
  }

 private:
  fake_browser::FakeBrowser& fake;
};

struct Heard : win::BrowserEvents {
  std::vector<std::string> events;
  void OnBeforeNavigate(const std::string& url) override { events.push_back("before " + url); }
  void OnNavigateComplete(const std::string& url) override { events.push_back("navigated " + url); }
  void OnDocumentComplete(const std::string& url) override { events.push_back("complete " + url); }
  void OnNavigateError(const std::string& url, long status) override {
    events.push_back("error " + url + " " + std::to_string(status));
  }
  void OnTitleChange(const std::string& title) override { events.push_back("title " + title); }
  void OnStatusTextChange(const std::string& text) override { events.push_back("status " + text); }
};

// Key messages that reach the control's own window (those the host did not take).
int keysDispatched = 0;
LRESULT CALLBACK ControlWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN) ++keysDispatched;
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

class BrowserHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ole.Ok());
    WNDCLASSA cls{};
    cls.lpfnWndProc = ControlWindowProc;
    cls.hInstance = ::GetModuleHandleA(nullptr);
    cls.lpszClassName = "FakeBrowserWindow";
    ::RegisterClassA(&cls);
    container =
        ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(container);
    // The control's own window sits inside the container, as the real control's does.
    control = ::CreateWindowExA(0, "FakeBrowserWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, container,
                                nullptr, nullptr, nullptr);
    other = ::CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    keysDispatched = 0;
  }
  void TearDown() override {
    ::DestroyWindow(other);
    ::DestroyWindow(container);
  }

  // Plays an event of the control: args in call order, as the control's IDispatch::Invoke gets them.
  void Fire(DISPID id, std::vector<VARIANT> args) {
    auto* sink = static_cast<IDispatch*>(fake.Sink());
    ASSERT_TRUE(sink);
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    for (VARIANT& v : args) ::VariantClear(&v);
  }
  static VARIANT Object(void* dispatch) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = static_cast<IDispatch*>(dispatch);
    V_DISPATCH(&v)->AddRef();
    return v;
  }
  static VARIANT Text(const wchar_t* text) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocString(text);
    return v;
  }
  static VARIANT Number(long n) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
  }
  static VARIANT Empty() {
    VARIANT v;
    ::VariantInit(&v);
    return v;
  }
  static MSG Key(HWND wnd, WPARAM key) { return MSG{wnd, WM_KEYDOWN, key, 0, 0, {0, 0}}; }

  win::COleInit ole;
  fake_browser::FakeBrowser fake;
  HWND container = nullptr;
  HWND control = nullptr;
  HWND other = nullptr;
};

TEST_F(BrowserHost, TheEmulationEntryComesBeforeTheControlWhichIsSilentAndLetGoOfWhole) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, win::kBrowserEmulationKey, 0, KEY_SET_VALUE, &key) ==
      ERROR_SUCCESS) {
    ::RegDeleteValueA(key, TestHost::ProgramName().c_str());
    ::RegCloseKey(key);
  }
  Heard heard;
  {
    TestHost host(fake);
    ASSERT_TRUE(host.Create(container, &heard));
    EXPECT_TRUE(host.emulationSeen);
    EXPECT_EQ(host.emulationMode, 11001u);
    EXPECT_EQ(fake.silentPuts, 1);
    EXPECT_TRUE(fake.silent);
    EXPECT_EQ(fake.inPlaceActivations, 1);
    EXPECT_NE(fake.Sink(), nullptr);
    EXPECT_EQ(host.LocationUrl(), "http://fake.example/");
  }
  EXPECT_EQ(fake.Sink(), nullptr);
  EXPECT_EQ(fake.References(), 0);
}

TEST_F(BrowserHost, NavigationEventsOfFramesInsideThePageAreNotPassedOn) {
  Heard heard;
  TestHost host(fake);
  ASSERT_TRUE(host.Create(container, &heard));
  // BeforeNavigate2 (browser, URL, flags, target frame, post data, headers, cancel) and the others.
  for (void* from : {fake.Dispatch(), fake.FrameDispatch()}) {
    Fire(DISPID_BEFORENAVIGATE2,
         {Object(from), Text(L"http://a/"), Empty(), Empty(), Empty(), Empty(), Empty()});
    Fire(DISPID_NAVIGATECOMPLETE2, {Object(from), Text(L"http://a/")});
    Fire(DISPID_DOCUMENTCOMPLETE, {Object(from), Text(L"http://a/")});
    Fire(DISPID_NAVIGATEERROR, {Object(from), Text(L"http://a/"), Empty(), Number(404), Empty()});
  }
  // Events that name no browser object are the page's.
  Fire(DISPID_BEFORENAVIGATE2, {Empty(), Text(L"http://b/"), Empty(), Empty(), Empty(), Empty(), Empty()});
  Fire(DISPID_TITLECHANGE, {Text(L"題")});
  Fire(DISPID_STATUSTEXTCHANGE, {Text(L"完了")});
  EXPECT_EQ(heard.events,
            std::vector<std::string>({"before http://a/", "navigated http://a/", "complete http://a/",
                                      "error http://a/ 404", "before http://b/", "title 題", "status 完了"}));
  host.Destroy();
  EXPECT_EQ(fake.References(), 0);
}

TEST_F(BrowserHost, TheMarkupIsTheRootElementsOuterHtml) {
  TestHost host(fake);
  ASSERT_TRUE(host.Create(container, nullptr));
  fake.markup = L"<html><head><title>見出し</title></head><body><p>本文</p></body></html>";
  std::string markup;
  EXPECT_TRUE(host.DocumentMarkup(markup));
  EXPECT_EQ(markup, "<html><head><title>見出し</title></head><body><p>本文</p></body></html>");
  fake.hasDocument = false;
  EXPECT_FALSE(host.DocumentMarkup(markup));
  EXPECT_EQ(markup, "");
  EXPECT_FALSE(host.HasDocument());
  host.Destroy();
  EXPECT_EQ(fake.References(), 0);
}

TEST_F(BrowserHost, KeysForTheControlGoToItsInPlaceActiveObjectFirst) {
  TestHost host(fake);
  ASSERT_TRUE(host.Create(container, nullptr));
  MSG tab = Key(control, VK_TAB);
  fake.keyResult = S_OK;
  EXPECT_TRUE(host.TranslateKey(tab));
  fake.keyResult = S_FALSE;  // Tab past the page's last link: the dialog moves the focus on
  EXPECT_FALSE(host.TranslateKey(tab));
  MSG elsewhere = Key(other, VK_DELETE);
  EXPECT_FALSE(host.TranslateKey(elsewhere));
  MSG mouse{control, WM_MOUSEMOVE, 0, 0, 0, {0, 0}};
  EXPECT_FALSE(host.TranslateKey(mouse));
  ASSERT_EQ(fake.keys.size(), 2u);
  EXPECT_EQ(fake.keys[0].hwnd, control);
  EXPECT_EQ(fake.keys[0].wParam, static_cast<WPARAM>(VK_TAB));

  // The dialog loops' message filter: a message the control took goes no further.
  fake.keyResult = S_OK;
  MSG del = Key(control, VK_DELETE);
  EXPECT_TRUE(::CallMsgFilterA(&del, MSGF_DIALOGBOX));
  EXPECT_FALSE(::CallMsgFilterA(&elsewhere, MSGF_DIALOGBOX));
  host.Destroy();
  fake.keys.clear();
  EXPECT_FALSE(::CallMsgFilterA(&del, MSGF_DIALOGBOX));
  EXPECT_TRUE(fake.keys.empty());
}

// A modal dialog box whose loop gets a key for the control and then OK.
class KeyedDialog : public win::CDialog {
 public:
  KeyedDialog(HWND target, WPARAM key) : CDialog(IDD_TEST_DIALOG), wnd(target), vk(key) {}

 protected:
  bool OnInitDialog() override {
    ::PostMessageA(wnd, WM_KEYDOWN, vk, 0);
    ::PostMessageA(GetHwnd(), WM_COMMAND, IDOK, 0);
    return true;
  }

 private:
  HWND wnd;
  WPARAM vk;
};

TEST_F(BrowserHost, AModalDialogsLoopHandsTheControlItsKeysBeforeTheDialogManager) {
  TestHost host(fake);
  ASSERT_TRUE(host.Create(container, nullptr));
  fake.keyResult = S_OK;
  KeyedDialog taken(control, VK_BACK);
  EXPECT_EQ(taken.DoModal(nullptr), IDOK);
  ASSERT_EQ(fake.keys.size(), 1u);
  EXPECT_EQ(fake.keys[0].wParam, static_cast<WPARAM>(VK_BACK));
  EXPECT_EQ(keysDispatched, 0);

  fake.keyResult = S_FALSE;  // not the control's: the dialog loop goes on with it
  KeyedDialog passed(control, VK_RETURN);
  EXPECT_EQ(passed.DoModal(nullptr), IDOK);
  EXPECT_EQ(fake.keys.size(), 2u);
  EXPECT_EQ(keysDispatched, 1);
}

}  // namespace
