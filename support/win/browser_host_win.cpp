#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

#include <vector>

#include "support/win/browser_host.h"

namespace win {

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kWebBrowserClass = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// {34A715A0-6587-11D0-924A-0020AFC7AC4D}
const IID kWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

std::string ArgumentText(const DISPPARAMS* params, unsigned index) {
  std::string text;
  if (const VARIANT* v = DispatchArgument(params, index)) VariantToAnsi(*v, text);
  return text;
}

// The dispatch object an argument names, or null.
IDispatch* ArgumentObject(const DISPPARAMS* params, unsigned index) {
  const VARIANT* v = DispatchArgument(params, index);
  if (!v) return nullptr;
  if (V_VT(v) == VT_DISPATCH) return V_DISPATCH(v);
  if (V_VT(v) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(v)) return *V_DISPATCHREF(v);
  return nullptr;
}

// The hosts of this thread that want keyboard messages, and the message filter hook that hands
// them over. Modal dialog boxes call the thread's WH_MSGFILTER hooks with MSGF_DIALOGBOX for every
// message before the dialog manager sees it (so does IsDialogMessage in a dialog loop of our own):
// the one place where a container can offer keys to a control inside a dialog.
struct KeyHosts {
  HHOOK hook = nullptr;
  std::vector<CBrowserHost*> hosts;
};
thread_local KeyHosts keyHosts;

LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == MSGF_DIALOGBOX && lParam) {
    MSG& msg = *reinterpret_cast<MSG*>(lParam);
    // By index: a control's handling may destroy a host and shorten the list.
    for (std::size_t i = 0; i < keyHosts.hosts.size(); ++i) {
      if (keyHosts.hosts[i]->TranslateKey(msg)) return TRUE;
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void AddKeyHost(CBrowserHost* host) {
  if (!keyHosts.hook)
    keyHosts.hook = ::SetWindowsHookExA(WH_MSGFILTER, KeyFilter, nullptr, ::GetCurrentThreadId());
  keyHosts.hosts.push_back(host);
}

void RemoveKeyHost(CBrowserHost* host) {
  auto& hosts = keyHosts.hosts;
  for (auto it = hosts.begin(); it != hosts.end();) it = *it == host ? hosts.erase(it) : it + 1;
  if (hosts.empty() && keyHosts.hook) {
    ::UnhookWindowsHookEx(keyHosts.hook);
    keyHosts.hook = nullptr;
  }
}

long ArgumentNumber(const DISPPARAMS* params, unsigned index) {
  const VARIANT* v = DispatchArgument(params, index);
  if (!v) return 0;
  VARIANT copy;
  ::VariantInit(&copy);
  long number = 0;
  if (SUCCEEDED(::VariantChangeType(&copy, const_cast<VARIANT*>(v), 0, VT_I4))) number = copy.lVal;
  ::VariantClear(&copy);
  return number;
}

}  // namespace

// The container side of the control: one object answering the client site, the in-place site,
// the frame and the event interface. It outlives the host when the control keeps a reference, so
// it only calls the host's listener while Detach has not been called.
class CBrowserHost::CSite : public CComObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IDispatch> {
 public:
  CSite(HWND containerWindow, BrowserEvents* eventListener)
      : window(containerWindow), listener(eventListener) {}
  void Detach() {
    listener = nullptr;
    window = nullptr;
    top = nullptr;
  }
  // The control's identity (its IUnknown), which the events of the top-level page carry.
  void SetTopLevel(IUnknown* identity) { top = identity; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (for the in-place site and the frame alike)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = window ? window : nullptr;
    return window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return window ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    RECT client{};
    if (window) ::GetClientRect(window, &client);
    *pos = client;
    *clip = client;
    info->fMDIApp = FALSE;
    info->hwndFrame = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus, borders or tool space to share.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: the events.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    BrowserEvents* to = listener;
    if (!to) return S_OK;
    try {
      switch (id) {
        case DISPID_BEFORENAVIGATE2:
          if (FromTopLevel(params)) to->OnBeforeNavigate(ArgumentText(params, 1));
          break;
        case DISPID_NAVIGATECOMPLETE2:
          if (FromTopLevel(params)) to->OnNavigateComplete(ArgumentText(params, 1));
          break;
        case DISPID_DOCUMENTCOMPLETE:
          if (FromTopLevel(params)) to->OnDocumentComplete(ArgumentText(params, 1));
          break;
        case DISPID_TITLECHANGE:
          to->OnTitleChange(ArgumentText(params, 0));
          break;
        case DISPID_STATUSTEXTCHANGE:
          to->OnStatusTextChange(ArgumentText(params, 0));
          break;
        case DISPID_NAVIGATEERROR:
          if (FromTopLevel(params)) to->OnNavigateError(ArgumentText(params, 1), ArgumentNumber(params, 3));
          break;
        default:
          break;
      }
    } catch (...) {
      // A handler's failure ends that handler only; the control must not see it.
    }
    return S_OK;
  }

 protected:
  void* FindInterface(REFIID iid) override {
    if (::IsEqualIID(iid, IID_IOleWindow)) return static_cast<IOleInPlaceSite*>(this);
    if (::IsEqualIID(iid, IID_IOleInPlaceUIWindow)) return static_cast<IOleInPlaceFrame*>(this);
    if (::IsEqualIID(iid, kWebBrowserEvents2)) return static_cast<IDispatch*>(this);
    return CComObject::FindInterface(iid);
  }

 private:
  // Whether a navigation event (its first argument names the browser object it is about) concerns
  // the top-level page: a frame's events name the frame's own object. An event that names none
  // is taken as the page's.
  bool FromTopLevel(const DISPPARAMS* params) const {
    IDispatch* from = ArgumentObject(params, 0);
    if (!from || !top) return true;
    IUnknown* identity = nullptr;
    if (FAILED(from->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || !identity)
      return true;
    const bool same = identity == top;
    identity->Release();
    return same;
  }

  HWND window;
  BrowserEvents* listener;
  IUnknown* top = nullptr;  // not a reference of ours: the host holds the control while it is set
};

bool EnterBrowserEmulation() {
  char path[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  std::string name(path, length);
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  HKEY key = nullptr;
  // HKEY_CURRENT_USER needs no rights; a 64-bit program's Software key is not redirected.
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  DWORD mode = 0, type = 0, size = sizeof mode;
  bool ok = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&mode), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof mode && mode == kBrowserEmulationMode;
  if (!ok) {
    mode = kBrowserEmulationMode;
    ok = ::RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                          sizeof mode) == ERROR_SUCCESS;
  }
  ::RegCloseKey(key);
  return ok;
}

CBrowserHost::CBrowserHost() = default;

CBrowserHost::~CBrowserHost() {
  Destroy();
}

HRESULT CBrowserHost::CreateControl(IOleObject** control) {
  return ::CoCreateInstance(kWebBrowserClass, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                            reinterpret_cast<void**>(control));
}

bool CBrowserHost::Create(HWND containerWindow, BrowserEvents* listener) {
  Destroy();
  if (!containerWindow) return false;
  container = containerWindow;
  site = new CSite(containerWindow, listener);
  IOleClientSite* clientSite = static_cast<IOleClientSite*>(site);

  // The engine reads its feature controls when it is first loaded into the process: the entry
  // must be there before the control is made. Without it, pages are rendered as by the engine's
  // oldest version. A failure leaves that mode, which still shows pages.
  EnterBrowserEmulation();
  bool ok =
      SUCCEEDED(CreateControl(object.Receive())) && object && SUCCEEDED(object->SetClientSite(clientSite));
  if (ok) {
    ::OleSetContainedObject(object.Get(), TRUE);
    RECT client{};
    ::GetClientRect(container, &client);
    ok = SUCCEEDED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0, container, &client)) &&
         SUCCEEDED(object.QueryInterface(IID_IWebBrowser2, browser)) && browser;
  }
  if (ok) {
    // Script errors of a page would otherwise open message boxes over the dialog.
    browser->put_Silent(VARIANT_TRUE);
    CComPtr<IUnknown> identity;
    if (SUCCEEDED(object.QueryInterface(IID_IUnknown, identity))) site->SetTopLevel(identity.Get());
    CComPtr<IConnectionPointContainer> points;
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(object.QueryInterface(IID_IConnectionPointContainer, points)) && points &&
        SUCCEEDED(points->FindConnectionPoint(kWebBrowserEvents2, point.Receive())) && point) {
      point->Advise(static_cast<IDispatch*>(site), &cookie);
    }
  }
  if (ok) {
    AddKeyHost(this);
  } else {
    Destroy();
  }
  return ok;
}

void CBrowserHost::Destroy() {
  RemoveKeyHost(this);
  if (site) site->Detach();
  if (object && cookie) {
    CComPtr<IConnectionPointContainer> points;
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(object.QueryInterface(IID_IConnectionPointContainer, points)) && points &&
        SUCCEEDED(points->FindConnectionPoint(kWebBrowserEvents2, point.Receive())) && point) {
      point->Unadvise(cookie);
    }
  }
  cookie = 0;
  browser.Release();
  if (object) {
    CComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object.QueryInterface(IID_IOleInPlaceObject, inPlace)) && inPlace)
      inPlace->InPlaceDeactivate();
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object.Release();
  }
  if (site) {
    site->Release();
    site = nullptr;
  }
  container = nullptr;
}

void CBrowserHost::Resize() {
  if (!object || !container) return;
  CComPtr<IOleInPlaceObject> inPlace;
  if (FAILED(object.QueryInterface(IID_IOleInPlaceObject, inPlace)) || !inPlace) return;
  RECT client{};
  ::GetClientRect(container, &client);
  inPlace->SetObjectRects(&client, &client);
}

bool CBrowserHost::Navigate(const std::string& url) {
  if (!browser) return false;
  CBstr address(url);
  CVariant empty1, empty2, empty3, empty4;
  return SUCCEEDED(browser->Navigate(address.Get(), empty1.Get(), empty2.Get(), empty3.Get(), empty4.Get()));
}

bool CBrowserHost::Navigate2(const std::string& url, const std::string& headers) {
  if (!browser) return false;
  CVariant address(url);
  CVariant flags(0L);
  CVariant frame, postData;
  CVariant extra(headers);
  return SUCCEEDED(browser->Navigate2(address.Get(), flags.Get(), frame.Get(), postData.Get(), extra.Get()));
}

bool CBrowserHost::GoBack() {
  return browser && SUCCEEDED(browser->GoBack());
}
bool CBrowserHost::GoForward() {
  return browser && SUCCEEDED(browser->GoForward());
}
bool CBrowserHost::GoHome() {
  return browser && SUCCEEDED(browser->GoHome());
}
bool CBrowserHost::Refresh() {
  return browser && SUCCEEDED(browser->Refresh());
}
bool CBrowserHost::Stop() {
  return browser && SUCCEEDED(browser->Stop());
}

std::string CBrowserHost::LocationUrl() const {
  if (!browser) return std::string();
  CBstr location;
  if (FAILED(browser->get_LocationURL(location.Receive()))) return std::string();
  return location.ToAnsi();
}

bool CBrowserHost::HasDocument() const {
  if (!browser) return false;
  CComPtr<IDispatch> document;
  return browser->get_Document(document.Receive()) == S_OK && document;
}

bool CBrowserHost::DocumentMarkup(std::string& markup) const {
  markup.clear();
  if (!browser) return false;
  CComPtr<IDispatch> document;
  if (browser->get_Document(document.Receive()) != S_OK || !document) return false;
  CComPtr<IHTMLDocument3> html;
  if (FAILED(document.QueryInterface(__uuidof(IHTMLDocument3), html)) || !html) return false;
  CComPtr<IHTMLElement> root;
  if (FAILED(html->get_documentElement(root.Receive())) || !root) return false;
  CBstr outer;
  if (FAILED(root->get_outerHTML(outer.Receive()))) return false;
  markup = outer.ToAnsi();
  return true;
}

bool CBrowserHost::TranslateKey(MSG& msg) {
  if (!object || !container || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (msg.hwnd != container && !::IsChild(container, msg.hwnd)) return false;
  CComPtr<IOleInPlaceActiveObject> active;
  if (FAILED(object.QueryInterface(IID_IOleInPlaceActiveObject, active)) || !active) return false;
  // S_OK: the control handled the key; S_FALSE: the dialog may handle it (Tab out of the page).
  return active->TranslateAccelerator(&msg) == S_OK;
}

}  // namespace win
