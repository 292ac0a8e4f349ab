// The registry sub-key of a URL-list slot, relative to the ticker's root key.
#pragma once

#include <cstdio>
#include <string>

// "URL_List\URL%08X": slot 0 is URL_List\URL00000000, the last slot URL_List\URL0000001F.
inline std::string SlotKey(int slot) {
  char key[32];
  std::snprintf(key, sizeof key, "URL_List\\URL%08X", static_cast<unsigned>(slot));
  return key;
}
