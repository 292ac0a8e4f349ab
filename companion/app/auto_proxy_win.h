// CZellmateDlgAutoProxy: the automation object "Zellmate.Application". A script page creates it
// and calls one method; AddURL and SendURL end the program once they have returned.
#pragma once

#include <windows.h>

#include "support/win/com.h"

namespace zellmate {

class CZellmateDlg;

// The dispatch ids, by position.
constexpr DISPID kDispTestProc = 1;
constexpr DISPID kDispAddURL = 2;
constexpr DISPID kDispSendURL = 3;

extern const CLSID kZellmateClsid;
extern const IID kZellmateDispatchIid;

class CZellmateDlgAutoProxy : public win::CComObject<IDispatch> {
 public:
  // Takes the application lock and attaches itself to the main window.
  CZellmateDlgAutoProxy();

  // The window this object acts on; null once it is gone.
  CZellmateDlg* m_pDialog = nullptr;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  void TestProc();
  void AddURL(const std::string& title, const std::string& url, const std::string& referrer);
  void SendURL(const std::string& title, const std::string& url, const std::string& referrer);

 protected:
  ~CZellmateDlgAutoProxy() override;
  void* FindInterface(REFIID iid) override;

 private:
  // Both methods end the window's loop, so the process ends after the call has returned.
  void EndDialog();
};

// The one class factory of the process, a static object. Registered single-use: every creation
// starts a new process.
IClassFactory* ProxyFactory();

}  // namespace zellmate
