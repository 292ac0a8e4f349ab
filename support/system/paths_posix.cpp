#include <sys/stat.h>

#include "support/system/paths.h"

namespace paths {

// The native build has no network paths; the local file system answers.
bool PathAttributesReadable(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

}  // namespace paths
