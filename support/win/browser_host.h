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
// throws. The listener is called only while the host exists (Destroy cuts the control off), and
// hears of navigation (BeforeNavigate2, NavigateComplete2, DocumentComplete, NavigateError) only
// for the top-level page: the frames of a page report theirs with their own browser object.
//
// Before the control is made, the program is entered in the current user's browser emulation
// feature control, so that the control renders pages in the engine's current standards mode
// rather than in the mode of its oldest version; the control is silent (no script error boxes).
// While a host exists, the dialog loops of its thread hand it keyboard messages meant for the
// control first (see TranslateKey).
#pragma once

#include <exdisp.h>
#include <windows.h>

#include <string>

#include "support/win/com.h"

namespace win {

// The current user's browser emulation feature control (the value named after the program file
// holds the mode), and the mode written: the standards mode of the engine installed, whatever
// the page's doctype says.
constexpr const char kBrowserEmulationKey[] =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr DWORD kBrowserEmulationMode = 11001;

// Writes kBrowserEmulationMode under HKEY_CURRENT_USER\kBrowserEmulationKey for this program's file
// name (a value that already holds it is left alone). No rights beyond the user's are needed.
// False when it cannot be written.
bool EnterBrowserEmulation();

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
  virtual ~CBrowserHost();
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
  // The markup of the whole document: its root element's outerHTML (IHTMLDocument3's
  // documentElement; the first entry of document.all may be the doctype). False when there is no
  // document or it has no root element.
  bool DocumentMarkup(std::string& markup) const;
  bool HasDocument() const;

  // Hands a keyboard message meant for the control (its window or one inside it) to the control's
  // in-place active object, as a container must so that Tab, Enter, Delete, Backspace and the
  // copy keys work inside the page. True when the control took it: the message must then not be
  // handled any further. Called by the thread's dialog loops through their message filter hook.
  bool TranslateKey(MSG& msg);

 protected:
  // Makes the control (the WebBrowser class); tests give a stand-in.
  virtual HRESULT CreateControl(IOleObject** control);

 private:
  class CSite;
  HWND container = nullptr;
  CSite* site = nullptr;  // one reference, ours
  CComPtr<IOleObject> object;
  CComPtr<IWebBrowser2> browser;
  DWORD cookie = 0;
};

}  // namespace win
