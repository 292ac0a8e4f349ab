// The native build has no message box: the dump goes to standard error.
#include <cstdio>

#include "support/buffer/binary.h"

void CBinary::Dump(const char* title) const {
  const std::string text = DumpText(title);
  std::fprintf(stderr, "CBinary dumping\n%s", text.c_str());
}
