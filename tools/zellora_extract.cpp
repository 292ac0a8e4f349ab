// zellora-extract: runs the ticker's fetch, conversion and extraction on a saved page or a URL and
// prints the title and the headline items.
#include <cstdio>
#include <string>

#include "tools/extract/console.h"
#include "tools/extract/extract_args.h"
#include "tools/extract/extract_run.h"

int main(int argc, char** argv) {
  ExtractOptions options;
  std::string error;
  if (!ParseExtractArgs(argc, argv, options, error)) {
    std::fprintf(stderr, "zellora-extract: %s\n%s", error.c_str(), ExtractUsage());
    return 2;
  }
  if (options.help) {
    std::fputs(ExtractUsage(), stdout);
    return 0;
  }
  SetBinaryStdio();
  std::string out;
  const int status = RunExtract(options, out);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0) return 1;
  return status;
}
