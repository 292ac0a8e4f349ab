#include "companion/app/auto_proxy_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "companion/app/registration.h"
#include "companion/res/resource.h"
#include "support/system/paths_win.h"
#include "support/win/com.h"

namespace {

// The program's own resources, read from the built Zellmate.exe beside this test.
class ZellmateResources : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string exe = paths::JoinPath(paths::GetModuleFolder(""), "Zellmate.exe");
    module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
  }
  void TearDown() override {
    if (module) ::FreeLibrary(module);
  }
  HMODULE module = nullptr;
};

TEST_F(ZellmateResources, TheOleFailureTextAndTheHiddenMainWindowTemplate) {
  char text[512] = {};
  ASSERT_GT(::LoadStringA(module, IDP_OLE_INIT_FAILED, text, sizeof text), 0);
  EXPECT_STREQ(text, "OLE の初期化に失敗しました。 OLE ﾗｲﾌﾞﾗﾘのﾊﾞｰｼﾞｮﾝが正しいことを確認してください。");

  HRSRC found =
      ::FindResourceA(module, MAKEINTRESOURCEA(IDD_ZELLMATE_DIALOG), MAKEINTRESOURCEA(5));  // RT_DIALOG
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(::LockResource(::LoadResource(module, found)));
  ASSERT_NE(bytes, nullptr);
  // DLGTEMPLATEEX: version, signature, help id, extended style, style, item count, x, y, cx, cy.
  WORD version, signature, items;
  DWORD style;
  short cx, cy;
  std::memcpy(&version, bytes, 2);
  std::memcpy(&signature, bytes + 2, 2);
  std::memcpy(&style, bytes + 12, 4);
  std::memcpy(&items, bytes + 16, 2);
  std::memcpy(&cx, bytes + 22, 2);
  std::memcpy(&cy, bytes + 24, 2);
  ASSERT_EQ(version, 1);
  ASSERT_EQ(signature, 0xFFFF);
  EXPECT_EQ(style & WS_VISIBLE, 0u) << "the main window must never show";
  const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  EXPECT_EQ(style & wanted, wanted);
  EXPECT_EQ(items, 0);
  EXPECT_EQ(cx, 320);
  EXPECT_EQ(cy, 200);
  // No menu, no class, then the caption.
  const auto* words = reinterpret_cast<const wchar_t*>(bytes + 26);
  EXPECT_EQ(words[0], L'\0');
  EXPECT_EQ(words[1], L'\0');
  EXPECT_STREQ(words + 2, L"Zellmate");

  EXPECT_NE(::FindResourceA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14)),
            nullptr);  // RT_GROUP_ICON
}

TEST(ZellmateIds, TheRegisteredTextsMatchTheIdsTheServerUses) {
  CLSID clsid;
  ASSERT_EQ(::CLSIDFromString(win::AnsiToWide(zellmate::kClsidText).c_str(), &clsid), S_OK);
  EXPECT_TRUE(::IsEqualCLSID(clsid, zellmate::kZellmateClsid));
  IID iid;
  ASSERT_EQ(::IIDFromString(win::AnsiToWide(zellmate::kInterfaceIdText).c_str(), &iid), S_OK);
  EXPECT_TRUE(::IsEqualIID(iid, zellmate::kZellmateDispatchIid));
}

class AutoProxy : public ::testing::Test {
 protected:
  // Outside the automation server: no main window to attach to.
  win::CComPtr<IDispatch> proxy{new zellmate::CZellmateDlgAutoProxy};

  HRESULT Invoke(DISPID id, VARIANT* args, UINT count, UINT named = 0, UINT* argError = nullptr) {
    DISPID namedIds[1] = {0};
    DISPPARAMS params = {args, named ? namedIds : nullptr, count, named};
    return proxy->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                         argError);
  }
};

TEST_F(AutoProxy, MethodsHaveTheirIdsByPositionInAnyLetterCase) {
  struct {
    const wchar_t* name;
    DISPID id;
  } cases[] = {{L"TestProc", 1}, {L"AddURL", 2}, {L"SendURL", 3}, {L"addurl", 2}, {L"SENDURL", 3}};
  for (const auto& c : cases) {
    wchar_t buffer[32];
    ::lstrcpyW(buffer, c.name);
    LPOLESTR names[] = {buffer};
    DISPID id = 0;
    EXPECT_EQ(proxy->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, c.id);
  }
  wchar_t unknown[] = L"RemoveURL";
  LPOLESTR names[] = {unknown};
  DISPID id = 0;
  EXPECT_EQ(proxy->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  // Its own dispatch interface id is answered too, by the same object.
  win::CComPtr<IDispatch> own;
  ASSERT_EQ(proxy.QueryInterface(zellmate::kZellmateDispatchIid, own), S_OK);
  EXPECT_EQ(own.Get(), proxy.Get());
  UINT count = 5;
  EXPECT_EQ(proxy->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(AutoProxy, MalformedCallsAreRefusedBeforeAnythingIsDone) {
  win::CVariant args[3];
  // Two strings where three are needed, named arguments, an unknown method, an object argument.
  EXPECT_EQ(Invoke(zellmate::kDispAddURL, args[0].Get(), 2), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(zellmate::kDispSendURL, args[0].Get(), 3, 1), DISP_E_NONAMEDARGS);
  EXPECT_EQ(Invoke(zellmate::kDispTestProc, args[0].Get(), 1), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(42, nullptr, 0), DISP_E_MEMBERNOTFOUND);
  args[1].Get()->vt = VT_UNKNOWN;
  args[1].Get()->punkVal = nullptr;
  UINT bad = 99;
  EXPECT_EQ(Invoke(zellmate::kDispAddURL, args[0].Get(), 3, 0, &bad), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 1u);
  args[1].Get()->vt = VT_EMPTY;
  // Three arguments counted without an array to hold them.
  EXPECT_EQ(Invoke(zellmate::kDispAddURL, nullptr, 3), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(zellmate::kDispSendURL, nullptr, 3), DISP_E_BADPARAMCOUNT);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(proxy->Invoke(zellmate::kDispTestProc, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                          nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(proxy->Invoke(zellmate::kDispTestProc, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr,
                          nullptr),
            DISP_E_MEMBERNOTFOUND);
}

}  // namespace
