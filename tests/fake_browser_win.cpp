// The interfaces are used in their C layout here: each is a table of function pointers in the
// order of its declaration (COM's binary contract), so a table can start with every entry
// answering E_NOTIMPL and get the few methods a host calls by name. The C++ declarations would
// need all of the browser's, the document's and the element's methods (some two hundred) written
// out.
#define CINTERFACE
#define COBJMACROS

#include "tests/fake_browser_win.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleidl.h>

#include <cstring>

namespace fake_browser {

namespace {

// One interface pointer: its table, and the stand-in it belongs to.
struct Face {
  const void* table;
  FakeBrowser* owner;
  FakeBrowser::Objects* objects;
};

}  // namespace

struct FakeBrowser::Objects {
  // The control: one object (one identity, the first face) with five interfaces.
  Face oleObject;
  Face browser;
  Face points;
  Face inPlace;
  Face active;
  // Objects of their own.
  Face frame;     // another browser (a frame's)
  Face point;     // the connection point of the browser's events
  Face document;  // the page's document
  Face element;   // its root element
  long references = 0;
  IDispatch* sink = nullptr;
  IOleClientSite* site = nullptr;
};

namespace {

FakeBrowser::Objects& ObjectsOf(void* face) {
  return *static_cast<Face*>(face)->objects;
}

FakeBrowser& OwnerOf(void* face) {
  return *static_cast<Face*>(face)->owner;
}

// Stands in for every method nobody asked for. The 64-bit calling convention lets a function
// without parameters take any call: the caller owns the argument space.
HRESULT STDMETHODCALLTYPE NotImplemented() {
  return E_NOTIMPL;
}

template <typename Table>
Table StubTable() {
  using Any = HRESULT(STDMETHODCALLTYPE*)();
  static_assert(sizeof(Table) % sizeof(Any) == 0, "a method table holds function pointers only");
  Table table;
  const Any stub = &NotImplemented;
  for (std::size_t at = 0; at < sizeof(Table); at += sizeof(Any)) {
    std::memcpy(reinterpret_cast<char*>(&table) + at, &stub, sizeof stub);
  }
  return table;
}

ULONG STDMETHODCALLTYPE AddRef(IUnknown* self) {
  return static_cast<ULONG>(++ObjectsOf(self).references);
}

ULONG STDMETHODCALLTYPE Release(IUnknown* self) {
  return static_cast<ULONG>(--ObjectsOf(self).references);
}

// The face of the object self belongs to that answers iid, or null.
Face* Answer(void* self, REFIID iid) {
  FakeBrowser::Objects& o = ObjectsOf(self);
  Face* face = static_cast<Face*>(self);
  const bool unknown = IsEqualIID(iid, IID_IUnknown);
  if (face == &o.oleObject || face == &o.browser || face == &o.points || face == &o.inPlace ||
      face == &o.active) {
    if (unknown || IsEqualIID(iid, IID_IOleObject)) return &o.oleObject;
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser2) ||
        IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser))
      return &o.browser;
    if (IsEqualIID(iid, IID_IConnectionPointContainer)) return &o.points;
    if (IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow)) return &o.inPlace;
    if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) return &o.active;
    return nullptr;
  }
  if (face == &o.frame) {
    return unknown || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser2) ? face : nullptr;
  }
  if (face == &o.point) return unknown || IsEqualIID(iid, IID_IConnectionPoint) ? face : nullptr;
  // The document answers IHTMLDocument3 only: the document.all way (IHTMLDocument2) is not there.
  if (face == &o.document) {
    return unknown || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLDocument3) ? face : nullptr;
  }
  if (face == &o.element) {
    return unknown || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLElement) ? face : nullptr;
  }
  return nullptr;
}

HRESULT STDMETHODCALLTYPE QueryInterface(IUnknown* self, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  Face* face = Answer(self, iid);
  *out = face;
  if (!face) return E_NOINTERFACE;
  ++ObjectsOf(self).references;
  return S_OK;
}

template <typename T>
void Hand(Face& face, T** out) {
  ++ObjectsOf(&face).references;
  *out = reinterpret_cast<T*>(&face);
}

// IOleObject
HRESULT STDMETHODCALLTYPE SetClientSite(IOleObject* self, IOleClientSite* site) {
  FakeBrowser::Objects& o = ObjectsOf(self);
  if (site) IOleClientSite_AddRef(site);
  if (o.site) IOleClientSite_Release(o.site);
  o.site = site;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE DoVerb(IOleObject* self, LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
  if (verb == OLEIVERB_INPLACEACTIVATE) ++OwnerOf(self).inPlaceActivations;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Close(IOleObject*, DWORD) {
  return S_OK;
}

// IWebBrowser2
HRESULT STDMETHODCALLTYPE PutSilent(IWebBrowser2* self, VARIANT_BOOL silent) {
  ++OwnerOf(self).silentPuts;
  OwnerOf(self).silent = silent != VARIANT_FALSE;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE GetDocument(IWebBrowser2* self, IDispatch** document) {
  if (!document) return E_POINTER;
  *document = nullptr;
  if (!OwnerOf(self).hasDocument) return S_FALSE;
  Hand(ObjectsOf(self).document, document);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE GetLocationUrl(IWebBrowser2* self, BSTR* url) {
  if (!url) return E_POINTER;
  *url = ::SysAllocString(OwnerOf(self).location.c_str());
  return S_OK;
}

// IConnectionPointContainer and IConnectionPoint
HRESULT STDMETHODCALLTYPE FindConnectionPoint(IConnectionPointContainer* self, REFIID iid,
                                              IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
  Hand(ObjectsOf(self).point, point);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Advise(IConnectionPoint* self, IUnknown* sink, DWORD* cookie) {
  FakeBrowser::Objects& o = ObjectsOf(self);
  if (!sink || !cookie || o.sink) return E_FAIL;
  void* dispatch = nullptr;
  if (FAILED(IUnknown_QueryInterface(sink, DIID_DWebBrowserEvents2, &dispatch)) || !dispatch)
    return E_NOINTERFACE;
  o.sink = static_cast<IDispatch*>(dispatch);
  *cookie = 1;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Unadvise(IConnectionPoint* self, DWORD cookie) {
  FakeBrowser::Objects& o = ObjectsOf(self);
  if (cookie != 1 || !o.sink) return CONNECT_E_NOCONNECTION;
  IDispatch_Release(o.sink);
  o.sink = nullptr;
  return S_OK;
}

// IOleInPlaceObject and IOleInPlaceActiveObject
HRESULT STDMETHODCALLTYPE InPlaceDeactivate(IOleInPlaceObject*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE SetObjectRects(IOleInPlaceObject*, LPCRECT, LPCRECT) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TranslateKey(IOleInPlaceActiveObject* self, LPMSG msg) {
  if (!msg) return E_POINTER;
  OwnerOf(self).keys.push_back(*msg);
  return OwnerOf(self).keyResult;
}

// IHTMLDocument3 and IHTMLElement
HRESULT STDMETHODCALLTYPE GetDocumentElement(IHTMLDocument3* self, IHTMLElement** root) {
  if (!root) return E_POINTER;
  Hand(ObjectsOf(self).element, root);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE GetOuterHtml(IHTMLElement* self, BSTR* html) {
  if (!html) return E_POINTER;
  *html = ::SysAllocString(OwnerOf(self).markup.c_str());
  return S_OK;
}

// Every table starts from the stubs; QueryInterface, AddRef and Release are common to all.
template <typename Table>
Table Base() {
  Table t = StubTable<Table>();
  t.QueryInterface = reinterpret_cast<decltype(t.QueryInterface)>(&QueryInterface);
  t.AddRef = reinterpret_cast<decltype(t.AddRef)>(&AddRef);
  t.Release = reinterpret_cast<decltype(t.Release)>(&Release);
  return t;
}

const IOleObjectVtbl& OleObjectTable() {
  static const IOleObjectVtbl table = [] {
    IOleObjectVtbl t = Base<IOleObjectVtbl>();
    t.SetClientSite = &SetClientSite;
    t.DoVerb = &DoVerb;
    t.Close = &Close;
    return t;
  }();
  return table;
}

const IWebBrowser2Vtbl& BrowserTable() {
  static const IWebBrowser2Vtbl table = [] {
    IWebBrowser2Vtbl t = Base<IWebBrowser2Vtbl>();
    t.put_Silent = &PutSilent;
    t.get_Document = &GetDocument;
    t.get_LocationURL = &GetLocationUrl;
    return t;
  }();
  return table;
}

const IConnectionPointContainerVtbl& PointsTable() {
  static const IConnectionPointContainerVtbl table = [] {
    IConnectionPointContainerVtbl t = Base<IConnectionPointContainerVtbl>();
    t.FindConnectionPoint = &FindConnectionPoint;
    return t;
  }();
  return table;
}

const IConnectionPointVtbl& PointTable() {
  static const IConnectionPointVtbl table = [] {
    IConnectionPointVtbl t = Base<IConnectionPointVtbl>();
    t.Advise = &Advise;
    t.Unadvise = &Unadvise;
    return t;
  }();
  return table;
}

const IOleInPlaceObjectVtbl& InPlaceTable() {
  static const IOleInPlaceObjectVtbl table = [] {
    IOleInPlaceObjectVtbl t = Base<IOleInPlaceObjectVtbl>();
    t.InPlaceDeactivate = &InPlaceDeactivate;
    t.SetObjectRects = &SetObjectRects;
    return t;
  }();
  return table;
}

const IOleInPlaceActiveObjectVtbl& ActiveTable() {
  static const IOleInPlaceActiveObjectVtbl table = [] {
    IOleInPlaceActiveObjectVtbl t = Base<IOleInPlaceActiveObjectVtbl>();
    t.TranslateAccelerator = &TranslateKey;
    return t;
  }();
  return table;
}

const IHTMLDocument3Vtbl& DocumentTable() {
  static const IHTMLDocument3Vtbl table = [] {
    IHTMLDocument3Vtbl t = Base<IHTMLDocument3Vtbl>();
    t.get_documentElement = &GetDocumentElement;
    return t;
  }();
  return table;
}

const IHTMLElementVtbl& ElementTable() {
  static const IHTMLElementVtbl table = [] {
    IHTMLElementVtbl t = Base<IHTMLElementVtbl>();
    t.get_outerHTML = &GetOuterHtml;
    return t;
  }();
  return table;
}

}  // namespace

FakeBrowser::FakeBrowser() : objects(new Objects) {
  objects->oleObject = {&OleObjectTable(), this, objects};
  objects->browser = {&BrowserTable(), this, objects};
  objects->points = {&PointsTable(), this, objects};
  objects->inPlace = {&InPlaceTable(), this, objects};
  objects->active = {&ActiveTable(), this, objects};
  objects->frame = {&BrowserTable(), this, objects};
  objects->point = {&PointTable(), this, objects};
  objects->document = {&DocumentTable(), this, objects};
  objects->element = {&ElementTable(), this, objects};
}

FakeBrowser::~FakeBrowser() {
  if (objects->sink) IDispatch_Release(objects->sink);
  if (objects->site) IOleClientSite_Release(objects->site);
  delete objects;
}

void* FakeBrowser::NewControl() {
  ++objects->references;
  return &objects->oleObject;
}

void* FakeBrowser::Dispatch() const {
  return &objects->browser;
}

void* FakeBrowser::FrameDispatch() const {
  return &objects->frame;
}

void* FakeBrowser::Sink() const {
  return objects->sink;
}

long FakeBrowser::References() const {
  return objects->references;
}

}  // namespace fake_browser
