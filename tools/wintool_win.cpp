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
//   wintool child TITLE ID                print the HWND of the window's child with that id
//   wintool postchild TITLE ID MSG W L    PostMessage to that child; exit 1 when none
//   wintool postclass CLASS MSG W L       PostMessage to the top-level window of that class
//                                         (the pop-up menu is "#32768")
//   wintool text TITLE ID                 print the text of the window's child with that id
//   wintool rect TITLE                    print "LEFT TOP RIGHT BOTTOM VISIBLE" of the window
//   wintool region TITLE                  print "TYPE RECTS LEFT TOP RIGHT BOTTOM" of the window's
//                                         region (TYPE 0 none, 1 empty, 2 one rectangle, 3 more)
//   wintool watch TITLE DURATION_MS       samples the window every 10 ms and prints a line
//                                         "MS VISIBLE RECTS LEFT TOP RIGHT BOTTOM WTOP WBOTTOM" at
//                                         every change of visibility, region (RECTS and its box) or
//                                         the window's top and bottom edges (WTOP, WBOTTOM)
//   wintool waitpixel R G B TOP BOTTOM TIMEOUT_MS
//                                         reads screen rows TOP..BOTTOM-1 every 5 ms and prints
//                                         "found" as soon as a pixel has that colour; exit 1 after
//                                         the timeout
//   wintool copyfuzz TITLE COUNT SEED     COUNT hostile WM_COPYDATA messages (random tags, sizes
//                                         and bytes; zero sizes, null data, no terminating zero);
//                                         prints how many the window took
//   wintool client TITLE                  print the client area's "WIDTH HEIGHT"
//   wintool item TITLE ID                 print "VISIBLE ENABLED TEXT" of the dialog item ID
//   wintool record FILE ARG...            append each ARG and a line feed to FILE (a stand-in
//                                         for the program a protocol handler starts)
//
// TITLE "-" means any title (with CLASS); "#HWND" names a window by its handle. Numbers are
// decimal or 0x-hexadecimal. Text is the ANSI code page's (Shift_JIS in the test prefix).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

unsigned long long Number(const char* text) {
  return std::strtoull(text, nullptr, 0);
}

HWND Find(const char* title, const char* cls) {
  if (title[0] == '#') {
    HWND wnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(Number(title + 1)));
    return ::IsWindow(wnd) ? wnd : nullptr;
  }
  return ::FindWindowA(cls, std::string(title) == "-" ? nullptr : title);
}

// A small deterministic generator, so that a failing hostile run can be repeated.
struct Random {
  unsigned long long state;
  unsigned Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33);
  }
};

// The window's region: its type (ERROR when it has none), rectangle count and box.
struct RegionInfo {
  int type = ERROR;
  DWORD rects = 0;
  RECT box = {};
};

RegionInfo ReadRegion(HWND wnd) {
  RegionInfo info;
  HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
  info.type = ::GetWindowRgn(wnd, rgn);
  if (info.type != ERROR) {
    ::GetRgnBox(rgn, &info.box);
    const DWORD size = ::GetRegionData(rgn, 0, nullptr);
    std::string block(size, '\0');
    if (size && ::GetRegionData(rgn, size, reinterpret_cast<RGNDATA*>(&block[0]))) {
      info.rects = reinterpret_cast<RGNDATA*>(&block[0])->rdh.nCount;
    }
  }
  ::DeleteObject(rgn);
  return info;
}

// Visibility, rectangle count and box of the window's region (count 0 for none or empty).
std::string RegionState(HWND wnd) {
  const RegionInfo region = ReadRegion(wnd);
  const DWORD rects = region.rects;
  const RECT box = region.box;
  RECT edges = {};
  ::GetWindowRect(wnd, &edges);
  char line[160];
  std::snprintf(line, sizeof line, "%d %lu %ld %ld %ld %ld %ld %ld", ::IsWindowVisible(wnd) ? 1 : 0,
                static_cast<unsigned long>(rects), box.left, box.top, box.right, box.bottom, edges.top,
                edges.bottom);
  return line;
}

bool WaitPixel(COLORREF colour, int top, int bottom, DWORD timeoutMs) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int rows = bottom - top;
  if (rows <= 0 || width <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -rows;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, dib);
  const unsigned wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  const DWORD start = ::GetTickCount();
  bool found = false;
  while (!found && ::GetTickCount() - start < timeoutMs) {
    ::BitBlt(memory, 0, 0, width, rows, screen, 0, top, SRCCOPY);
    ::GdiFlush();
    const unsigned* p = static_cast<const unsigned*>(bits);
    for (int i = 0; i < width * rows && !found; ++i) found = (p[i] & 0xFFFFFF) == wanted;
    if (!found) ::Sleep(5);
  }
  ::SelectObject(memory, old);
  ::DeleteObject(dib);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return found;
}

int CopyFuzz(HWND wnd, unsigned count, unsigned long long seed) {
  static const ULONG_PTR tags[] = {0x5A4C4C31,     0x5A4C4C32, 0x5A4C4C33, 0x464C5348,
                                   0x1464C5348ULL, 0,          0xFFFFFFFF};
  static const char* const words[] = {"@TITLE@", "@/TITLE@", "@URL@", "@/URL@", "@NEWS@", "\f", "\n", "速報"};
  Random rng{seed};
  unsigned taken = 0;
  std::string data;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned kind = rng.Next() % 8;
    const ULONG_PTR tag = kind < 5 ? tags[rng.Next() % (sizeof tags / sizeof tags[0])] : rng.Next();
    const unsigned length = rng.Next() % 4 == 0 ? 0 : rng.Next() % (rng.Next() % 16 == 0 ? 70000 : 600);
    data.assign(length, '\0');
    for (unsigned j = 0; j < length; ++j) {
      if (rng.Next() % 16 == 0) {
        const char* w = words[rng.Next() % (sizeof words / sizeof words[0])];
        for (; *w && j < length; ++w, ++j) data[j] = *w;
        if (j < length) data[j] = static_cast<char>(rng.Next());
      } else {
        data[j] = static_cast<char>(rng.Next());  // no terminating zero unless one is drawn
      }
    }
    COPYDATASTRUCT cds = {};
    cds.dwData = tag;
    cds.cbData = length;
    cds.lpData = length ? &data[0] : (rng.Next() % 2 ? nullptr : &data[0]);
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 5000,
                              &result) &&
        result) {
      ++taken;
    }
    if (!::IsWindow(wnd)) {
      std::fprintf(stderr, "the window is gone after %u messages\n", i + 1);
      return -1;
    }
  }
  return static_cast<int>(taken);
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
  if ((cmd == "child" || cmd == "text") && argc >= 4) {
    HWND wnd = Find(argv[2], nullptr);
    HWND child = wnd ? ::GetDlgItem(wnd, static_cast<int>(Number(argv[3]))) : nullptr;
    if (!child) return 1;
    if (cmd == "child") {
      std::printf("%p\n", static_cast<void*>(child));
    } else {
      static char text[65536];
      DWORD_PTR got = 0;
      if (!::SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                                 5000, &got)) {
        return 1;
      }
      // Exactly the control's bytes: no CR added before each LF.
      ::_setmode(::_fileno(stdout), _O_BINARY);
      std::fwrite(text, 1, got, stdout);
    }
    return 0;
  }
  if (cmd == "postchild" && argc >= 7) {
    HWND wnd = Find(argv[2], nullptr);
    HWND child = wnd ? ::GetDlgItem(wnd, static_cast<int>(Number(argv[3]))) : nullptr;
    if (!child) return 1;
    return ::PostMessageA(child, static_cast<UINT>(Number(argv[4])), static_cast<WPARAM>(Number(argv[5])),
                          static_cast<LPARAM>(Number(argv[6])))
               ? 0
               : 1;
  }
  if (cmd == "postclass" && argc >= 6) {
    HWND wnd = ::FindWindowA(argv[2], nullptr);
    if (!wnd) return 1;
    return ::PostMessageA(wnd, static_cast<UINT>(Number(argv[3])), static_cast<WPARAM>(Number(argv[4])),
                          static_cast<LPARAM>(Number(argv[5])))
               ? 0
               : 1;
  }
  if (cmd == "rect" && argc >= 3) {
    HWND wnd = Find(argv[2], nullptr);
    RECT r = {};
    if (!wnd || !::GetWindowRect(wnd, &r)) return 1;
    std::printf("%ld %ld %ld %ld %d\n", r.left, r.top, r.right, r.bottom, ::IsWindowVisible(wnd) ? 1 : 0);
    return 0;
  }
  if (cmd == "region" && argc >= 3) {
    HWND wnd = Find(argv[2], nullptr);
    if (!wnd) return 1;
    const RegionInfo region = ReadRegion(wnd);
    std::printf("%d %lu %ld %ld %ld %ld\n", region.type == ERROR ? 0 : region.type,
                static_cast<unsigned long>(region.rects), region.box.left, region.box.top, region.box.right,
                region.box.bottom);
    return 0;
  }
  if (cmd == "watch" && argc >= 4) {
    HWND wnd = Find(argv[2], nullptr);
    if (!wnd) return 1;
    const DWORD start = ::GetTickCount();
    const DWORD duration = static_cast<DWORD>(Number(argv[3]));
    std::string last;
    while (::GetTickCount() - start < duration && ::IsWindow(wnd)) {
      const std::string now = RegionState(wnd);
      if (now != last) {
        std::printf("%lu %s\n", static_cast<unsigned long>(::GetTickCount() - start), now.c_str());
        std::fflush(stdout);
        last = now;
      }
      ::Sleep(10);
    }
    return 0;
  }
  if (cmd == "waitpixel" && argc >= 8) {
    const COLORREF colour = RGB(Number(argv[2]), Number(argv[3]), Number(argv[4]));
    if (!WaitPixel(colour, static_cast<int>(Number(argv[5])), static_cast<int>(Number(argv[6])),
                   static_cast<DWORD>(Number(argv[7])))) {
      return 1;
    }
    std::printf("found\n");
    std::fflush(stdout);
    return 0;
  }
  if (cmd == "copyfuzz" && argc >= 5) {
    HWND wnd = Find(argv[2], nullptr);
    if (!wnd) return 1;
    const int taken = CopyFuzz(wnd, static_cast<unsigned>(Number(argv[3])), Number(argv[4]));
    if (taken < 0) return 1;
    std::printf("%d\n", taken);
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
  if (cmd == "record" && argc >= 3) {
    std::FILE* out = std::fopen(argv[2], "ab");
    if (!out) return 1;
    for (int i = 3; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    return 0;
  }
  if (cmd == "windows") {
    ListArgs args = {argc >= 3 ? static_cast<DWORD>(Number(argv[2])) : 0};
    ::EnumWindows(ListOne, reinterpret_cast<LPARAM>(&args));
    return 0;
  }
  return Usage();
}
