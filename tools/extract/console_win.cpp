#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "tools/extract/console.h"

std::string SjisToUtf8(std::string_view text) {
  std::string out;
  if (text.empty()) return out;
  // Code page 932 explicitly, whatever the system's ANSI code page is. Bytes without a mapping
  // become the default character rather than failing the call.
  const int size = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(932, 0, text.data(), size, nullptr, 0);
  if (wideLength <= 0) return out;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(932, 0, text.data(), size, &wide[0], wideLength);
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return out;
  out.resize(static_cast<std::size_t>(length));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &out[0], length, nullptr, nullptr);
  return out;
}

void SetBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}
