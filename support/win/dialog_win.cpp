#include <climits>

#include "support/text/sjis.h"
#include "support/win/dialog.h"
#include "support/win/handles.h"

namespace win {

namespace {

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT msg) {
  return (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM ||
         msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON || msg == WM_INITDIALOG;
}

enum class ListKind { kNone, kCombo, kList };

ListKind KindOf(HWND control) {
  if (!control) return ListKind::kNone;
  char name[32] = {};
  if (!::GetClassNameA(control, name, sizeof name)) return ListKind::kNone;
  if (::lstrcmpiA(name, "ComboBox") == 0) return ListKind::kCombo;
  if (::lstrcmpiA(name, "ListBox") == 0) return ListKind::kList;
  return ListKind::kNone;
}

bool IsRadioButton(HWND control) {
  return (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

}  // namespace

CDialog::CDialog(UINT id, HINSTANCE module)
    : templateId(id), instance(module ? module : ::GetModuleHandleA(nullptr)) {}

CDialog::~CDialog() {
  // A derived object is already gone here, so only this class's handlers run during the
  // destruction; derived dialogs that need OnDestroy destroy their window themselves.
  if (hwnd && !modal) ::DestroyWindow(hwnd);
}

INT_PTR CDialog::DoModal(HWND owner) {
  if (hwnd) return -1;
  modal = true;
  INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  modal = false;
  return result;
}

bool CDialog::Create(HWND owner) {
  if (hwnd) return false;
  modal = false;
  HWND made = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  // hwnd is cleared again when initialisation failed and destroyed the window.
  return made != nullptr && hwnd != nullptr;
}

int CDialog::RunModalLoop() {
  if (!hwnd || loopRunning) return -1;
  loopRunning = true;
  loopResult = -1;
  MSG msg;
  while (loopRunning) {
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (hwnd && ::IsDialogMessageA(hwnd, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  loopRunning = false;
  return loopResult;
}

void CDialog::EndModalLoop(int result) {
  if (!loopRunning) return;
  loopResult = result;
  loopRunning = false;
  // Wakes GetMessage when the loop is idle (a call from a timer or another window's handler).
  if (hwnd) ::PostMessageA(hwnd, WM_NULL, 0, 0);
}

void CDialog::EndDialog(int result) {
  if (!hwnd) return;
  if (modal) {
    ::EndDialog(hwnd, result);
  } else if (loopRunning) {
    EndModalLoop(result);
  } else {
    ::DestroyWindow(hwnd);
  }
}

void CDialog::DestroyWindow() {
  if (hwnd && !modal) ::DestroyWindow(hwnd);
}

bool CDialog::OnCommand(int id, int /*code*/, HWND /*control*/) {
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  CDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    if (!self) return FALSE;
    ::SetWindowLongPtrA(wnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd = wnd;
    detail::CountLive(HandleKind::kWindow, +1);  // until WM_NCDESTROY, for the leak checks
  } else {
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(wnd, DWLP_USER));
  }
  if (!self) return FALSE;  // messages before WM_INITDIALOG: default handling
  try {
    return self->Dispatch(msg, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the window manager. A dialog that cannot initialise is not
    // shown; any other failing handler counts as not handled.
    if (msg == WM_INITDIALOG) {
      if (self->modal) {
        ::EndDialog(wnd, -1);
      } else {
        ::DestroyWindow(wnd);
      }
    }
    return FALSE;
  }
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND wnd = hwnd;
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrA(wnd, DWLP_USER, 0);
    hwnd = nullptr;
    detail::CountLive(HandleKind::kWindow, -1);
    loopRunning = false;
    return FALSE;
  }
  if (msg != WM_INITDIALOG) {
    LRESULT result = 0;
    if (OnMessage(msg, wParam, lParam, result)) {
      if (ReturnsResultDirectly(msg)) return static_cast<INT_PTR>(result);
      if (::IsWindow(wnd)) ::SetWindowLongPtrA(wnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
  }
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return TRUE;
    case WM_COPYDATA: {
      bool taken =
          OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      if (::IsWindow(wnd)) ::SetWindowLongPtrA(wnd, DWLP_MSGRESULT, taken ? TRUE : FALSE);
      return TRUE;
    }
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      return FALSE;
  }
}

std::string CDialog::GetItemText(int id) const {
  HWND control = GetItem(id);
  if (!control) return std::string();
  int length = ::GetWindowTextLengthA(control);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int got = ::GetWindowTextA(control, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

bool CDialog::SetItemText(int id, const char* text) {
  HWND control = GetItem(id);
  return control && ::SetWindowTextA(control, text ? text : "");
}

bool CDialog::GetItemInt(int id, int& value) const {
  if (!GetItem(id)) return false;
  std::string text = GetItemText(id);
  std::string_view s = sjis::TrimView(text);
  if (s.empty()) return false;
  bool negative = false;
  std::size_t pos = 0;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    pos = 1;
  }
  if (pos == s.size()) return false;
  long long n = 0;
  for (; pos < s.size(); ++pos) {
    if (s[pos] < '0' || s[pos] > '9') return false;
    n = n * 10 + (s[pos] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) n = -n;
  if (n > INT_MAX || n < INT_MIN) return false;
  value = static_cast<int>(n);
  return true;
}

bool CDialog::SetItemInt(int id, int value) {
  return SetItemText(id, std::to_string(value));
}

bool CDialog::IsChecked(int id) const {
  HWND control = GetItem(id);
  return control && ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CDialog::SetCheck(int id, bool checked) {
  if (HWND control = GetItem(id))
    ::SendMessageA(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int CDialog::GetRadioIndex(int firstId) const {
  HWND first = GetItem(firstId);
  int index = 0;
  for (HWND c = first; c; c = ::GetWindow(c, GW_HWNDNEXT), ++index) {
    if (c != first && (::GetWindowLongA(c, GWL_STYLE) & WS_GROUP)) break;
    if (!IsRadioButton(c)) break;
    if (::SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED) return index;
  }
  return -1;
}

void CDialog::SetRadioIndex(int firstId, int index) {
  HWND first = GetItem(firstId);
  int i = 0;
  for (HWND c = first; c; c = ::GetWindow(c, GW_HWNDNEXT), ++i) {
    if (c != first && (::GetWindowLongA(c, GWL_STYLE) & WS_GROUP)) break;
    if (!IsRadioButton(c)) break;
    ::SendMessageA(c, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

int CDialog::GetListIndex(int id) const {
  HWND control = GetItem(id);
  switch (KindOf(control)) {
    case ListKind::kCombo:
      return static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    case ListKind::kList:
      return static_cast<int>(::SendMessageA(control, LB_GETCURSEL, 0, 0));
    case ListKind::kNone:
      break;
  }
  return -1;
}

bool CDialog::SetListIndex(int id, int index) {
  HWND control = GetItem(id);
  ListKind kind = KindOf(control);
  if (kind == ListKind::kNone) return false;
  UINT message = kind == ListKind::kCombo ? CB_SETCURSEL : LB_SETCURSEL;
  LRESULT got = ::SendMessageA(control, message, static_cast<WPARAM>(index), 0);
  // Clearing the selection reports the error value although it succeeded.
  if (index == -1) return true;
  return index >= 0 && got == index;
}

int CDialog::AddListString(int id, const char* text) {
  HWND control = GetItem(id);
  ListKind kind = KindOf(control);
  if (kind == ListKind::kNone) return -1;
  UINT message = kind == ListKind::kCombo ? CB_ADDSTRING : LB_ADDSTRING;
  LRESULT got = ::SendMessageA(control, message, 0, reinterpret_cast<LPARAM>(text ? text : ""));
  return got < 0 ? -1 : static_cast<int>(got);
}

}  // namespace win
