// Small COM helpers for programs built without a class framework: an owning interface pointer,
// a reference-counted base that answers QueryInterface from its list of interfaces, BSTR and
// VARIANT owners with Shift_JIS conversion through the ANSI code page, and an OLE guard.
//
//   class CSink : public win::CComObject<IDispatch> { ... IDispatch methods ... };
//   win::CComPtr<IDispatch> sink(new CSink);           // the new object's first reference
//   win::CComPtr<IWebBrowser2> browser;
//   unknown.QueryInterface(IID_IWebBrowser2, browser);  // or CoCreateInstance(..., browser.ReceiveVoid())
//
// Every owner here is non-copyable (a copy would release twice); they can be moved, and Attach /
// Detach hand a reference or an allocation in and out without touching its count.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>
#include <utility>

namespace win {

// Owner of one reference to an interface.
template <typename T>
class CComPtr {
 public:
  CComPtr() = default;
  // Takes over the reference p carries (a new object's first one, an out parameter's).
  explicit CComPtr(T* p) : ptr(p) {}
  ~CComPtr() { Release(); }
  CComPtr(const CComPtr&) = delete;
  CComPtr& operator=(const CComPtr&) = delete;
  CComPtr(CComPtr&& other) noexcept : ptr(other.Detach()) {}
  CComPtr& operator=(CComPtr&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }

  T* Get() const { return ptr; }
  T* operator->() const { return ptr; }
  explicit operator bool() const { return ptr != nullptr; }

  // Takes over p's reference, releasing the one held before.
  void Attach(T* p) {
    if (p == ptr) {
      // Two references to the same object now: keep one.
      if (p) p->Release();
      return;
    }
    Release();
    ptr = p;
  }
  // Gives the reference up without releasing it.
  T* Detach() {
    T* p = ptr;
    ptr = nullptr;
    return p;
  }
  // Adds a reference of its own to p (a borrowed pointer, an [in] parameter).
  void Assign(T* p) {
    if (p) p->AddRef();
    Attach(p);
  }
  // The static analyzer cannot follow a COM object's count from one interface to another, so it
  // may take an earlier Release for the last one and the object for freed; the two NOLINTs below
  // are that case.
  void Release() {
    T* p = ptr;
    ptr = nullptr;
    if (p) p->Release();  // NOLINT(clang-analyzer-cplusplus.NewDelete)
  }
  // The slot for an out parameter; the reference held before is released first.
  T** Receive() {
    Release();
    return &ptr;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  // Asks the object for another interface. out is empty when it is not there.
  template <typename Q>
  HRESULT QueryInterface(REFIID iid, CComPtr<Q>& out) const {
    if (!ptr) {
      out.Release();
      return E_POINTER;
    }
    return ptr->QueryInterface(iid, out.ReceiveVoid());  // NOLINT(clang-analyzer-cplusplus.NewDelete)
  }

 private:
  T* ptr = nullptr;
};

// The reference count and the QueryInterface table of an object implementing Interfaces (each
// derived from IUnknown, with an id known to __uuidof). QueryInterface answers IUnknown (always
// with the first interface, so the object's identity is one pointer) and every listed interface;
// a derived class answers more ids (a base interface such as IOleWindow, a dispatch interface's
// own id) by overriding FindInterface and falling back on it. A new object starts with one
// reference, its creator's, and deletes itself when the last one is released.
template <typename First, typename... Rest>
class CComObject : public First, public Rest... {
 public:
  CComObject() = default;
  CComObject(const CComObject&) = delete;
  CComObject& operator=(const CComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = FindInterface(iid);
    if (!*out) return E_NOINTERFACE;
    static_cast<IUnknown*>(static_cast<First*>(this))->AddRef();
    return S_OK;
  }
#if defined(__clang_analyzer__)
  // The static analyzer does not follow the interlocked operations, so it would take any Release
  // for the last one; it is shown the same count done plainly.
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(++refs);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = --refs;
#else
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(::InterlockedIncrement(&refs));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&refs);
#endif
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  virtual ~CComObject() = default;

  // The interface pointer for iid, or null; no reference is added here.
  virtual void* FindInterface(REFIID iid) {
    if (::IsEqualIID(iid, IID_IUnknown)) return static_cast<First*>(this);
    void* found = nullptr;
    // First match in list order; the fold stops at it.
    (void)(((found = Match<First>(iid)) != nullptr) || ... || ((found = Match<Rest>(iid)) != nullptr));
    return found;
  }

  template <typename I>
  void* Match(REFIID iid) {
    return ::IsEqualIID(iid, __uuidof(I)) ? static_cast<I*>(this) : nullptr;
  }

 private:
  LONG refs = 1;
};

// Shift_JIS (the ANSI code page) <-> UTF-16 for COM strings. Characters the code page cannot hold
// become its default character.
std::string WideToAnsi(const wchar_t* text, int length);
std::wstring AnsiToWide(const std::string& text);

// Owner of one BSTR.
class CBstr {
 public:
  CBstr() = default;
  explicit CBstr(const std::string& ansi);  // a copy of the text, converted; empty on failure
  ~CBstr() { Free(); }
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;
  CBstr(CBstr&& other) noexcept : str(other.Detach()) {}
  CBstr& operator=(CBstr&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }

  BSTR Get() const { return str; }
  // Characters (UTF-16 units), embedded zeros included; 0 for a null BSTR.
  unsigned Length() const { return ::SysStringLen(str); }
  std::string ToAnsi() const;

  void Attach(BSTR s) {
    if (s != str) Free();
    str = s;
  }
  BSTR Detach() {
    BSTR s = str;
    str = nullptr;
    return s;
  }
  void Free() {
    if (str) ::SysFreeString(str);
    str = nullptr;
  }
  // The slot for an out parameter; the string held before is freed first.
  BSTR* Receive() {
    Free();
    return &str;
  }

 private:
  BSTR str = nullptr;
};

// The whole BSTR (a null one is the empty text) in the ANSI code page.
std::string BstrToAnsi(BSTR text);

// Owner of one VARIANT: initialised empty, cleared (freeing what it holds) when replaced or gone.
class CVariant {
 public:
  CVariant() { ::VariantInit(&var); }
  explicit CVariant(const std::string& ansi);  // VT_BSTR
  explicit CVariant(long value);               // VT_I4
  ~CVariant() { ::VariantClear(&var); }
  CVariant(const CVariant&) = delete;
  CVariant& operator=(const CVariant&) = delete;

  VARIANT* Get() { return &var; }
  const VARIANT* Get() const { return &var; }
  // Cleared, for an out parameter.
  VARIANT* Receive() {
    ::VariantClear(&var);
    return &var;
  }

 private:
  VARIANT var;
};

// The text a VARIANT stands for, in the ANSI code page: a string (through any VT_BYREF), or a
// number, date or boolean as the system converts it. VT_EMPTY is the empty text. False, with text
// empty, for VT_NULL, objects, arrays and anything the system does not convert.
bool VariantToAnsi(const VARIANT& value, std::string& text);

// Argument index (0 = the first in the call) of an IDispatch::Invoke: the arguments arrive last
// first. Null when the call has fewer arguments.
const VARIANT* DispatchArgument(const DISPPARAMS* params, unsigned index);

// OleInitialize for the current thread, undone when the guard goes (only when it succeeded).
class COleInit {
 public:
  COleInit() : result(::OleInitialize(nullptr)) {}
  ~COleInit() {
    if (SUCCEEDED(result)) ::OleUninitialize();
  }
  COleInit(const COleInit&) = delete;
  COleInit& operator=(const COleInit&) = delete;

  // S_FALSE (already initialised on this thread) counts as success; it is balanced as well.
  bool Ok() const { return SUCCEEDED(result); }
  HRESULT Result() const { return result; }

 private:
  HRESULT result;
};

}  // namespace win
