#include <gtest/gtest.h>

#include <string>

#include "support/win/com.h"

namespace {

int g_alive = 0;

// An object with two interfaces, counting how many of it exist.
class CTwoFaced : public win::CComObject<IDispatch, IClassFactory> {
 public:
  CTwoFaced() { ++g_alive; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 protected:
  ~CTwoFaced() override { --g_alive; }
  // A dispatch interface of its own, answered by IDispatch.
  void* FindInterface(REFIID iid) override {
    if (::IsEqualIID(iid, kOwnId)) return static_cast<IDispatch*>(this);
    return CComObject::FindInterface(iid);
  }

 public:
  static const IID kOwnId;
};
const IID CTwoFaced::kOwnId = {0x3b1f7a52, 0x0c41, 0x4b7e, {0x9d, 0x20, 0x51, 0x7a, 0x4e, 0x11, 0x6c, 0x02}};

ULONG RefCount(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

TEST(ComObject, AnswersItsInterfacesWithOneIdentityAndDeletesItselfAtTheLastRelease) {
  {
    win::CComPtr<IDispatch> dispatch(new CTwoFaced);
    EXPECT_EQ(g_alive, 1);
    EXPECT_EQ(RefCount(dispatch.Get()), 1u);

    win::CComPtr<IClassFactory> factory;
    ASSERT_EQ(dispatch.QueryInterface(IID_IClassFactory, factory), S_OK);
    EXPECT_EQ(RefCount(dispatch.Get()), 2u);

    win::CComPtr<IUnknown> fromDispatch, fromFactory;
    ASSERT_EQ(dispatch.QueryInterface(IID_IUnknown, fromDispatch), S_OK);
    ASSERT_EQ(factory.QueryInterface(IID_IUnknown, fromFactory), S_OK);
    EXPECT_EQ(fromDispatch.Get(), fromFactory.Get());

    win::CComPtr<IDispatch> own;
    ASSERT_EQ(factory.QueryInterface(CTwoFaced::kOwnId, own), S_OK);
    EXPECT_EQ(own.Get(), dispatch.Get());

    win::CComPtr<IPersist> missing;
    EXPECT_EQ(dispatch.QueryInterface(IID_IPersist, missing), E_NOINTERFACE);
    EXPECT_FALSE(missing);
    EXPECT_EQ(dispatch->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
    EXPECT_EQ(RefCount(dispatch.Get()), 5u);
  }
  EXPECT_EQ(g_alive, 0);
}

TEST(ComPtr, AttachDetachAndMoveKeepTheCountAssignAddsOne) {
  IDispatch* raw = new CTwoFaced;
  {
    win::CComPtr<IDispatch> a;
    a.Attach(raw);
    EXPECT_EQ(RefCount(raw), 1u);
    win::CComPtr<IDispatch> b(std::move(a));
    EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move): a moved-from pointer is empty
    EXPECT_EQ(b.Get(), raw);
    EXPECT_EQ(RefCount(raw), 1u);

    win::CComPtr<IDispatch> c;
    c.Assign(raw);
    EXPECT_EQ(RefCount(raw), 2u);
    // The same object attached again: still one reference per owner.
    raw->AddRef();
    c.Attach(raw);
    EXPECT_EQ(RefCount(raw), 2u);

    IDispatch* out = c.Detach();
    EXPECT_EQ(out, raw);
    EXPECT_FALSE(c);
    EXPECT_EQ(RefCount(raw), 2u);
    out->Release();

    // Receive releases what was held before handing out the slot.
    raw->AddRef();
    c.Attach(raw);
    EXPECT_EQ(RefCount(raw), 2u);
    EXPECT_EQ(*c.Receive(), nullptr);
    EXPECT_EQ(RefCount(raw), 1u);
    EXPECT_EQ(g_alive, 1);
  }
  EXPECT_EQ(g_alive, 0);
}

bool AnsiIsShiftJis() {
  return ::GetACP() == 932;
}

TEST(ComText, ShiftJisSurvivesTheRoundTripIncludingBackslashTrailBytes) {
  if (!AnsiIsShiftJis()) GTEST_SKIP() << "the prefix's ANSI code page is not 932";
  const std::string text = "表ソ能 お気に入り(1) ｶﾀｶﾅ abc\\def";
  win::CBstr b(text);
  ASSERT_NE(b.Get(), nullptr);
  // 表 ソ 能 are one UTF-16 unit each, not two.
  EXPECT_EQ(b.Get()[0], L'\u8868');
  EXPECT_EQ(b.Get()[1], L'\u30bd');
  EXPECT_EQ(b.ToAnsi(), text);
  EXPECT_EQ(win::BstrToAnsi(nullptr), "");

  // The whole BSTR counts, past an embedded zero.
  BSTR withZero = ::SysAllocStringLen(L"a\0b", 3);
  win::CBstr owned;
  owned.Attach(withZero);
  EXPECT_EQ(owned.Length(), 3u);
  EXPECT_EQ(owned.ToAnsi(), std::string("a\0b", 3));

  win::CBstr moved(std::move(owned));
  // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): a moved-from BSTR is empty
  EXPECT_EQ(owned.Get(), nullptr);
  EXPECT_EQ(moved.Get(), withZero);
  EXPECT_EQ(win::WideToAnsi(L"\u8868", 1), "表");
  EXPECT_EQ(win::AnsiToWide("能"), L"\u80fd");
}

TEST(ComText, VariantsGiveTheirTextThroughReferencesAndRefuseObjects) {
  if (!AnsiIsShiftJis()) GTEST_SKIP() << "the prefix's ANSI code page is not 932";
  std::string text = "stale";
  win::CVariant s(std::string("号外　ニュース"));
  EXPECT_EQ(s.Get()->vt, VT_BSTR);
  EXPECT_TRUE(win::VariantToAnsi(*s.Get(), text));
  EXPECT_EQ(text, "号外　ニュース");

  // A script variable: a variant by reference to one holding the string.
  VARIANT byRef;
  ::VariantInit(&byRef);
  byRef.vt = VT_BYREF | VT_VARIANT;
  byRef.pvarVal = s.Get();
  EXPECT_TRUE(win::VariantToAnsi(byRef, text));
  EXPECT_EQ(text, "号外　ニュース");

  VARIANT bstrRef;
  ::VariantInit(&bstrRef);
  bstrRef.vt = VT_BYREF | VT_BSTR;
  bstrRef.pbstrVal = &s.Get()->bstrVal;
  EXPECT_TRUE(win::VariantToAnsi(bstrRef, text));
  EXPECT_EQ(text, "号外　ニュース");

  win::CVariant n(42L);
  EXPECT_TRUE(win::VariantToAnsi(*n.Get(), text));
  EXPECT_EQ(text, "42");

  win::CVariant empty;
  text = "stale";
  EXPECT_TRUE(win::VariantToAnsi(*empty.Get(), text));
  EXPECT_EQ(text, "");

  VARIANT null;
  ::VariantInit(&null);
  null.vt = VT_NULL;
  text = "stale";
  EXPECT_FALSE(win::VariantToAnsi(null, text));
  EXPECT_EQ(text, "");

  win::CVariant object;
  object.Get()->vt = VT_DISPATCH;
  object.Get()->pdispVal = new CTwoFaced;
  EXPECT_FALSE(win::VariantToAnsi(*object.Get(), text));
  // Clearing the variant released the object.
  *object.Receive() = VARIANT();
  EXPECT_EQ(g_alive, 0);

  // A variant that refers to itself is refused, not followed for ever.
  VARIANT loop;
  ::VariantInit(&loop);
  loop.vt = VT_BYREF | VT_VARIANT;
  loop.pvarVal = &loop;
  EXPECT_FALSE(win::VariantToAnsi(loop, text));
}

TEST(ComDispatch, ArgumentsAreCountedFromTheFirstOfTheCall) {
  VARIANT args[3];
  for (VARIANT& v : args) ::VariantInit(&v);
  // Invoke receives them last first: rgvarg[0] is the third argument.
  args[0].vt = VT_I4;
  args[0].lVal = 3;
  args[2].vt = VT_I4;
  args[2].lVal = 1;
  DISPPARAMS params = {args, nullptr, 3, 0};
  ASSERT_NE(win::DispatchArgument(&params, 0), nullptr);
  EXPECT_EQ(win::DispatchArgument(&params, 0)->lVal, 1);
  EXPECT_EQ(win::DispatchArgument(&params, 2)->lVal, 3);
  EXPECT_EQ(win::DispatchArgument(&params, 3), nullptr);
  EXPECT_EQ(win::DispatchArgument(nullptr, 0), nullptr);
}

TEST(ComOle, TheGuardBalancesNestedInitialisation) {
  win::COleInit outer;
  ASSERT_TRUE(outer.Ok());
  {
    win::COleInit inner;
    EXPECT_TRUE(inner.Ok());
    EXPECT_EQ(inner.Result(), S_FALSE);
  }
  // Still initialised after the inner guard: an OLE call that needs it works.
  win::CComPtr<IUnknown> unknown;
  EXPECT_EQ(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               unknown.ReceiveVoid()),
            S_OK);
}

}  // namespace
