#include "support/win/com.h"

namespace win {

std::string WideToAnsi(const wchar_t* text, int length) {
  if (!text || length <= 0) return std::string();
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  const int got = ::WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], size, nullptr, nullptr);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  const int got = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, &out[0], size);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

std::string BstrToAnsi(BSTR text) {
  return WideToAnsi(text, static_cast<int>(::SysStringLen(text)));
}

CBstr::CBstr(const std::string& ansi) {
  const std::wstring wide = AnsiToWide(ansi);
  str = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string CBstr::ToAnsi() const {
  return BstrToAnsi(str);
}

CVariant::CVariant(const std::string& ansi) {
  ::VariantInit(&var);
  CBstr text(ansi);
  if (text.Get()) {
    var.vt = VT_BSTR;
    var.bstrVal = text.Detach();
  }
}

CVariant::CVariant(long value) {
  ::VariantInit(&var);
  var.vt = VT_I4;
  var.lVal = value;
}

bool VariantToAnsi(const VARIANT& value, std::string& text) {
  text.clear();
  const VARIANT* v = &value;
  // A script passes its variables by reference to a variant; follow a few such links, never a
  // cycle for ever.
  for (int depth = 0; depth < 4 && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal; ++depth) v = v->pvarVal;
  if (v->vt == (VT_BYREF | VT_VARIANT)) return false;
  if (v->vt == VT_EMPTY) return true;
  if (v->vt == VT_BSTR) {
    text = BstrToAnsi(v->bstrVal);
    return true;
  }
  if (v->vt == (VT_BYREF | VT_BSTR)) {
    if (!v->pbstrVal) return false;
    text = BstrToAnsi(*v->pbstrVal);
    return true;
  }
  if (v->vt == VT_NULL || (v->vt & (VT_ARRAY | VT_VECTOR)) != 0 || v->vt == VT_DISPATCH ||
      v->vt == VT_UNKNOWN || v->vt == (VT_BYREF | VT_DISPATCH) || v->vt == (VT_BYREF | VT_UNKNOWN)) {
    return false;
  }
  CVariant converted;
  if (FAILED(::VariantChangeType(converted.Get(), const_cast<VARIANT*>(v), 0, VT_BSTR)) ||
      converted.Get()->vt != VT_BSTR) {
    return false;
  }
  text = BstrToAnsi(converted.Get()->bstrVal);
  return true;
}

const VARIANT* DispatchArgument(const DISPPARAMS* params, unsigned index) {
  if (!params || !params->rgvarg || index >= params->cArgs) return nullptr;
  return &params->rgvarg[params->cArgs - 1 - index];
}

}  // namespace win
