#include "companion/app/auto_proxy_win.h"

#include <new>
#include <string>

#include "companion/app/hand_over.h"
#include "companion/app/zellmate_app_win.h"
#include "companion/app/zellmate_dlg_win.h"
#include "support/registry/registry.h"
#include "support/ticker_link/ticker_address.h"
#include "support/ticker_link/ticker_link.h"

namespace zellmate {

// {20A86032-7B79-492D-BE26-D23CA7542C12}, kClsidText in registration.h.
const CLSID kZellmateClsid = {0x20a86032, 0x7b79, 0x492d, {0xbe, 0x26, 0xd2, 0x3c, 0xa7, 0x54, 0x2c, 0x12}};
// {7BA10111-FA4C-4D2B-9591-4CBA773B1CB4}, kInterfaceIdText.
const IID kZellmateDispatchIid = {
    0x7ba10111, 0xfa4c, 0x4d2b, {0x95, 0x91, 0x4c, 0xba, 0x77, 0x3b, 0x1c, 0xb4}};

namespace {

struct MethodName {
  const wchar_t* name;
  DISPID id;
};
constexpr MethodName kMethods[] = {
    {L"TestProc", kDispTestProc},
    {L"AddURL", kDispAddURL},
    {L"SendURL", kDispSendURL},
};

// The three strings of AddURL and SendURL, in call order. A missing value (null, undefined) is
// the empty text; an object is refused.
HRESULT ReadTexts(const DISPPARAMS* params, std::string (&texts)[3], UINT* argError) {
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != 3) return DISP_E_BADPARAMCOUNT;
  for (unsigned i = 0; i < 3; ++i) {
    const VARIANT* arg = win::DispatchArgument(params, i);
    // A caller in the same process can count three arguments and pass no array.
    if (!arg) return DISP_E_BADPARAMCOUNT;
    if (win::VariantToAnsi(*arg, texts[i])) continue;
    if (arg->vt == VT_NULL ||
        (arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal && arg->pvarVal->vt == VT_NULL))
      continue;
    // rgvarg index of the bad one.
    if (argError) *argError = params->cArgs - 1 - i;
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

}  // namespace

CZellmateDlgAutoProxy::CZellmateDlgAutoProxy() {
  LockApp();
  m_pDialog = MainDialog();
  if (m_pDialog) m_pDialog->m_pAutoProxy = this;
}

CZellmateDlgAutoProxy::~CZellmateDlgAutoProxy() {
  if (m_pDialog) m_pDialog->m_pAutoProxy = nullptr;
  UnlockApp();
}

void* CZellmateDlgAutoProxy::FindInterface(REFIID iid) {
  if (::IsEqualIID(iid, kZellmateDispatchIid)) return static_cast<IDispatch*>(this);
  return CComObject::FindInterface(iid);
}

HRESULT CZellmateDlgAutoProxy::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT CZellmateDlgAutoProxy::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT CZellmateDlgAutoProxy::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  if (count == 0) return S_OK;
  HRESULT hr = S_OK;
  ids[0] = DISPID_UNKNOWN;
  if (names[0]) {
    for (const MethodName& m : kMethods) {
      if (::lstrcmpiW(names[0], m.name) == 0) ids[0] = m.id;
    }
  }
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // No method has named parameters.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT CZellmateDlgAutoProxy::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                      VARIANT* result, EXCEPINFO*, UINT* argError) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  if (!params) params = &none;
  if (result) ::VariantInit(result);
  try {
    switch (id) {
      case kDispTestProc:
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        TestProc();
        return S_OK;
      case kDispAddURL:
      case kDispSendURL: {
        std::string texts[3];
        const HRESULT hr = ReadTexts(params, texts, argError);
        if (FAILED(hr)) return hr;
        if (id == kDispAddURL) {
          AddURL(texts[0], texts[1], texts[2]);
        } else {
          SendURL(texts[0], texts[1], texts[2]);
        }
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  } catch (...) {
    // Nothing may unwind into the COM runtime; the call still ends the program.
    if (id != kDispTestProc) EndDialog();
    return E_UNEXPECTED;
  }
}

void CZellmateDlgAutoProxy::TestProc() {
  ::MessageBoxA(nullptr, "TEST", nullptr, MB_OK);
}

void CZellmateDlgAutoProxy::AddURL(const std::string& title, const std::string& url,
                                   const std::string& referrer) {
  CRegistry root(ticker_link::kRootPath);
  zellmate::AddURL(root, ticker_link::SystemTickerAddress(), title, url, referrer, AppAddOptions());
  EndDialog();
}

void CZellmateDlgAutoProxy::SendURL(const std::string& title, const std::string& url,
                                    const std::string& referrer) {
  CRegistry root(ticker_link::kRootPath);
  zellmate::SendURL(root, ticker_link::SystemTickerAddress(), title, url, referrer);
  EndDialog();
}

void CZellmateDlgAutoProxy::EndDialog() {
  if (m_pDialog) m_pDialog->EndDialog(IDOK);
}

namespace {

class CProxyFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // A static object: references do not decide its life.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CZellmateDlgAutoProxy* proxy = new (std::nothrow) CZellmateDlgAutoProxy;
    if (!proxy) return E_OUTOFMEMORY;
    const HRESULT hr = proxy->QueryInterface(iid, out);
    proxy->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      LockApp();
    } else {
      UnlockApp();
    }
    return S_OK;
  }
};

}  // namespace

IClassFactory* ProxyFactory() {
  static CProxyFactory factory;
  return &factory;
}

}  // namespace zellmate
