// A WebBrowser control hosted in a window without a class framework: the small OLE container it
// needs (client site, in-place site and frame) and the sink of its DWebBrowserEvents2 events,
// which it hands on to a BrowserEvents listener on the thread that made it.
//
//   class CMyDlg : ..., public win::BrowserEvents { void OnTitleChange(const std::string& t) override; };
//   win::COleInit ole;                                  // the thread needs OLE
//   host.Create(::GetDlgItem(dlg, IDC_BROWSER), this);  // fills that child window
//   host.Navigate("http://...");
//
// Every call into the control checks its result and gives false or empty text on failure; nothing
// throws. The listener is called only while the host exists (Destroy cuts the control off).
#pragma once

#include <exdisp.h>
#include <windows.h>

#include <string>

#include "support/win/com.h"

namespace win {

class BrowserEvents {
 public:
  virtual ~BrowserEvents() = default;
  virtual void OnBeforeNavigate(const std::string& /*url*/) {}
  virtual void OnNavigateComplete(const std::string& /*url*/) {}
  virtual void OnDocumentComplete(const std::string& /*url*/) {}
  virtual void OnTitleChange(const std::string& /*title*/) {}
  virtual void OnStatusTextChange(const std::string& /*text*/) {}
  // A navigation failed (status: the error code the control reports).
  virtual void OnNavigateError(const std::string& /*url*/, long /*status*/) {}
};

class CBrowserHost {
 public:
  CBrowserHost();
  ~CBrowserHost();
  CBrowserHost(const CBrowserHost&) = delete;
  CBrowserHost& operator=(const CBrowserHost&) = delete;

  // Creates the control inside container (any child window; the control fills its client area)
  // and connects the events to listener (may be null). False when the control or its activation
  // is not available; the host is then empty.
  bool Create(HWND container, BrowserEvents* listener);
  // Disconnects and closes the control; safe to call twice.
  void Destroy();
  bool IsCreated() const { return static_cast<bool>(browser); }

  // Fits the control to its container's client area again (after the container moved).
  void Resize();

  bool Navigate(const std::string& url);
  // Navigate2 with extra request headers (each line ending in CR LF).
  bool Navigate2(const std::string& url, const std::string& headers);
  bool GoBack();
  bool GoForward();
  bool GoHome();
  bool Refresh();
  bool Stop();

  // The address of the page shown; empty when unknown.
  std::string LocationUrl() const;
  // The markup of the document's first element (document.all.item(0, 0).outerHTML). False when
  // there is no document or it has no element.
  bool FirstElementMarkup(std::string& markup) const;
  bool HasDocument() const;

 private:
  class CSite;
  HWND container = nullptr;
  CSite* site = nullptr;  // one reference, ours
  CComPtr<IOleObject> object;
  CComPtr<IWebBrowser2> browser;
  DWORD cookie = 0;
};

}  // namespace win
