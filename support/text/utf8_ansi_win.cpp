// UTF-8 to the ANSI code page through UTF-16, as the system converts it: invalid UTF-8 becomes
// U+FFFD, and characters without a mapping (or a best-fit one) become the default character. The
// other way goes through UTF-16 too, refusing what the code page does not define.
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "support/text/utf8_ansi.h"

void Utf8ToAnsi(std::string& line) {
  // ASCII is the same in UTF-8 and in every ANSI code page the programs run under.
  bool ascii = true;
  for (char c : line) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return;
  // The API counts in int; lines are far shorter (the page reader cuts them at 1 MiB).
  if (line.size() > static_cast<std::size_t>(INT_MAX / 2)) return;

  thread_local std::wstring wide;
  const int srcLen = static_cast<int>(line.size());
  // Every UTF-8 byte yields at most one UTF-16 unit.
  wide.resize(line.size());
  const int wideLen = MultiByteToWideChar(CP_UTF8, 0, line.data(), srcLen, &wide[0], srcLen);
  if (wideLen <= 0) return;

  const int ansiLen = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
  if (ansiLen <= 0) return;
  thread_local std::string ansi;
  ansi.resize(static_cast<std::size_t>(ansiLen));
  const int written =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLen, &ansi[0], ansiLen, nullptr, nullptr);
  if (written <= 0) return;
  line.assign(ansi.data(), static_cast<std::size_t>(written));
}

bool AnsiToUtf8(std::string_view ansi, std::string& utf8) {
  utf8.clear();
  if (ansi.empty()) return true;
  if (ansi.size() > static_cast<std::size_t>(INT_MAX / 4)) return false;
  const int srcLen = static_cast<int>(ansi.size());
  std::wstring wide(ansi.size(), L'\0');
  const int wideLen =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), srcLen, &wide[0], srcLen);
  if (wideLen <= 0) return false;
  const int utf8Len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
  if (utf8Len <= 0) return false;
  utf8.resize(static_cast<std::size_t>(utf8Len));
  return WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLen, &utf8[0], utf8Len, nullptr, nullptr) ==
         utf8Len;
}
