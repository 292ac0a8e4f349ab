// wintool.exe: looks at and talks to the windows of the Wine desktop it runs on, for the
// end-to-end tests (which run outside Wine and cannot call user32 themselves).
//
//   wintool find TITLE [CLASS]            print "HWND PID" of the window; exit 1 when none
//   wintool wait TITLE TIMEOUT_MS         exit 0 as soon as the window exists, 1 after the timeout
//   wintool gone TITLE TIMEOUT_MS         exit 0 as soon as no such window exists, 1 after the timeout
//   wintool post TITLE MSG WPARAM LPARAM  PostMessage to the window; exit 1 when none
//   wintool send TITLE MSG WPARAM LPARAM  SendMessage (5 s limit); prints the result
//   wintool copydata TITLE TAG TEXT       WM_COPYDATA with TEXT and its NUL; TAG is a number or four
//                                         characters ("FLSH"); \n \r \f \t \\ in TEXT are decoded
//   wintool windows [PID]                 list top-level windows: HWND PID VISIBLE CLASS TITLE
//   wintool client TITLE                  print the client area's "WIDTH HEIGHT"
//   wintool item TITLE ID                 print "VISIBLE ENABLED TEXT" of the dialog item ID
//
// TITLE "-" means any title (with CLASS). Numbers are decimal or 0x-hexadecimal. Text is the
// ANSI code page's (Shift_JIS in the test prefix).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND Find(const char* title, const char* cls) {
  return ::FindWindowA(cls, std::string(title) == "-" ? nullptr : title);
}

unsigned long long Number(const char* text) {
  return std::strtoull(text, nullptr, 0);
}

bool WaitFor(const char* title, bool present, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if ((Find(title, nullptr) != nullptr) == present) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(50);
  }
}

std::string Unescape(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p != '\\' || !p[1]) {
      out += *p;
      continue;
    }
    ++p;
    switch (*p) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'f':
        out += '\f';
        break;
      case 't':
        out += '\t';
        break;
      default:
        out += *p;
        break;
    }
  }
  return out;
}

ULONG_PTR Tag(const char* text) {
  if (std::strlen(text) == 4 && !(text[0] >= '0' && text[0] <= '9')) {
    // The tag as a character constant would spell it: 'FLSH' = 0x464C5348.
    return (static_cast<ULONG_PTR>(static_cast<unsigned char>(text[0])) << 24) |
           (static_cast<ULONG_PTR>(static_cast<unsigned char>(text[1])) << 16) |
           (static_cast<ULONG_PTR>(static_cast<unsigned char>(text[2])) << 8) |
           static_cast<ULONG_PTR>(static_cast<unsigned char>(text[3]));
  }
  return static_cast<ULONG_PTR>(Number(text));
}

struct ListArgs {
  DWORD pid;
};

BOOL CALLBACK ListOne(HWND wnd, LPARAM param) {
  const ListArgs* args = reinterpret_cast<const ListArgs*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  if (args->pid && pid != args->pid) return TRUE;
  char cls[256] = {}, title[512] = {};
  ::GetClassNameA(wnd, cls, sizeof cls);
  ::GetWindowTextA(wnd, title, sizeof title);
  std::printf("%p %lu %d %s %s\n", static_cast<void*>(wnd), static_cast<unsigned long>(pid),
              ::IsWindowVisible(wnd) ? 1 : 0, cls, title);
  return TRUE;
}

int Usage() {
  std::fprintf(stderr, "usage: wintool find|wait|gone|post|send|copydata|windows ...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "find" && argc >= 3) {
    HWND wnd = Find(argv[2], argc >= 4 ? argv[3] : nullptr);
    if (!wnd) return 1;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    std::printf("%p %lu\n", static_cast<void*>(wnd), static_cast<unsigned long>(pid));
    return 0;
  }
  if ((cmd == "wait" || cmd == "gone") && argc >= 4) {
    return WaitFor(argv[2], cmd == "wait", static_cast<DWORD>(Number(argv[3]))) ? 0 : 1;
  }
  if ((cmd == "post" || cmd == "send") && argc >= 6) {
    HWND wnd = Find(argv[2], nullptr);
    if (!wnd) return 1;
    UINT msg = static_cast<UINT>(Number(argv[3]));
    WPARAM w = static_cast<WPARAM>(Number(argv[4]));
    LPARAM l = static_cast<LPARAM>(Number(argv[5]));
    if (cmd == "post") return ::PostMessageA(wnd, msg, w, l) ? 0 : 1;
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(wnd, msg, w, l, SMTO_NORMAL, 5000, &result)) return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(result));
    return 0;
  }
  if (cmd == "copydata" && argc >= 5) {
    HWND wnd = Find(argv[2], nullptr);
    if (!wnd) return 1;
    std::string text = Unescape(argv[4]);
    COPYDATASTRUCT cds = {};
    cds.dwData = Tag(argv[3]);
    cds.cbData = static_cast<DWORD>(text.size() + 1);
    cds.lpData = &text[0];
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 5000,
                               &result)) {
      return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(result));
    return 0;
  }
  if (cmd == "client" && argc >= 3) {
    HWND wnd = Find(argv[2], nullptr);
    RECT r = {};
    if (!wnd || !::GetClientRect(wnd, &r)) return 1;
    std::printf("%ld %ld\n", r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (cmd == "item" && argc >= 4) {
    HWND wnd = Find(argv[2], nullptr);
    HWND item = wnd ? ::GetDlgItem(wnd, static_cast<int>(Number(argv[3]))) : nullptr;
    if (!item) return 1;
    char text[512] = {};
    ::GetWindowTextA(item, text, sizeof text);
    std::printf("%d %d %s\n", ::IsWindowVisible(item) ? 1 : 0, ::IsWindowEnabled(item) ? 1 : 0, text);
    return 0;
  }
  if (cmd == "windows") {
    ListArgs args = {argc >= 3 ? static_cast<DWORD>(Number(argv[2])) : 0};
    ::EnumWindows(ListOne, reinterpret_cast<LPARAM>(&args));
    return 0;
  }
  return Usage();
}
