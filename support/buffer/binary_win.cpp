// The dump box: a plain message box without owner, OK button only.
#include <windows.h>

#include "support/buffer/binary.h"

void CBinary::Dump(const char* title) const {
  const std::string text = DumpText(title);
  MessageBoxA(nullptr, text.c_str(), "CBinary dumping", MB_OK);
}
