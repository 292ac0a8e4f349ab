#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

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
  }

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
          to->OnBeforeNavigate(ArgumentText(params, 1));
          break;
        case DISPID_NAVIGATECOMPLETE2:
          to->OnNavigateComplete(ArgumentText(params, 1));
          break;
        case DISPID_DOCUMENTCOMPLETE:
          to->OnDocumentComplete(ArgumentText(params, 1));
          break;
        case DISPID_TITLECHANGE:
          to->OnTitleChange(ArgumentText(params, 0));
          break;
        case DISPID_STATUSTEXTCHANGE:
          to->OnStatusTextChange(ArgumentText(params, 0));
          break;
        case DISPID_NAVIGATEERROR:
          to->OnNavigateError(ArgumentText(params, 1), ArgumentNumber(params, 3));
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
  HWND window;
  BrowserEvents* listener;
};

CBrowserHost::CBrowserHost() = default;

CBrowserHost::~CBrowserHost() {
  Destroy();
}

bool CBrowserHost::Create(HWND containerWindow, BrowserEvents* listener) {
  Destroy();
  if (!containerWindow) return false;
  container = containerWindow;
  site = new CSite(containerWindow, listener);
  IOleClientSite* clientSite = static_cast<IOleClientSite*>(site);

  bool ok = SUCCEEDED(::CoCreateInstance(kWebBrowserClass, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                         object.ReceiveVoid())) &&
            SUCCEEDED(object->SetClientSite(clientSite));
  if (ok) {
    ::OleSetContainedObject(object.Get(), TRUE);
    RECT client{};
    ::GetClientRect(container, &client);
    ok = SUCCEEDED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0, container, &client)) &&
         SUCCEEDED(object.QueryInterface(IID_IWebBrowser2, browser)) && browser;
  }
  if (ok) {
    CComPtr<IConnectionPointContainer> points;
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(object.QueryInterface(IID_IConnectionPointContainer, points)) && points &&
        SUCCEEDED(points->FindConnectionPoint(kWebBrowserEvents2, point.Receive())) && point) {
      point->Advise(static_cast<IDispatch*>(site), &cookie);
    }
  }
  if (!ok) Destroy();
  return ok;
}

void CBrowserHost::Destroy() {
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

bool CBrowserHost::FirstElementMarkup(std::string& markup) const {
  markup.clear();
  if (!browser) return false;
  CComPtr<IDispatch> document;
  if (browser->get_Document(document.Receive()) != S_OK || !document) return false;
  CComPtr<IHTMLDocument2> html;
  if (FAILED(document.QueryInterface(__uuidof(IHTMLDocument2), html)) || !html) return false;
  CComPtr<IHTMLElementCollection> all;
  if (FAILED(html->get_all(all.Receive())) || !all) return false;
  long length = 0;
  if (FAILED(all->get_length(&length)) || length <= 0) return false;
  CVariant name(0L), index(0L);
  CComPtr<IDispatch> first;
  if (FAILED(all->item(*name.Get(), *index.Get(), first.Receive())) || !first) return false;
  CComPtr<IHTMLElement> element;
  if (FAILED(first.QueryInterface(__uuidof(IHTMLElement), element)) || !element) return false;
  CBstr outer;
  if (FAILED(element->get_outerHTML(outer.Receive()))) return false;
  markup = outer.ToAnsi();
  return true;
}

}  // namespace win
