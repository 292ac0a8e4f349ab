#include <sys/stat.h>

#include "support/paths.h"

// The native build has no network paths; the local file system answers.
bool PathAttributesReadable(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}
