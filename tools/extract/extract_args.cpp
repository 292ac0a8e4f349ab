#include "tools/extract/extract_args.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "support/text/sjis.h"

namespace {

bool ParseInt(const std::string& text, int& value) {
  if (text.empty() || sjis::IsSpace(text[0])) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

const char* ExtractUsage() {
  return "usage: zellora-extract [--level N] [--encoding CODE] [--utf8] [--links] [--referrer TEXT]\n"
         "                       [--user U --password P] (FILE | URL)\n"
         "Extracts a page's headlines (or a feed's items) as the ticker does: prints the title on\n"
         "the first line (empty when there is none), then every item on its own line, in Shift_JIS.\n"
         "  FILE             a saved page body (\"-\" reads standard input)\n"
         "  URL              an http:// or https:// address, fetched as the ticker fetches it\n"
         "  --level N        minimum item length in bytes (default 20)\n"
         "  --encoding CODE  character set a FILE starts in: 0 detect (default), 1 Shift_JIS,\n"
         "                   2 ISO-2022-JP, 3 EUC-JP, 4 UTF-8\n"
         "  --utf8           print UTF-8 instead of Shift_JIS (for a terminal)\n"
         "  --links          follow each item with a TAB and the address of its article (nothing\n"
         "                   after the TAB when it has none); the title line has no TAB\n"
         "  --referrer TEXT  Referer header of the request (URL only)\n"
         "  --user U --password P   proxy credentials (URL only; both or neither)\n"
         "Exit status: 0 the page was read, 1 it could not be read, 2 bad arguments.\n";
}

bool IsHttpUrl(const std::string& target) {
  const std::string_view t = target;
  return sjis::EqualsNoCase(t.substr(0, 7), "http://") || sjis::EqualsNoCase(t.substr(0, 8), "https://");
}

bool ParseExtractArgs(int argc, const char* const* argv, ExtractOptions& options, std::string& error) {
  options = ExtractOptions();
  bool haveTarget = false;
  bool haveEncoding = false;
  bool haveUser = false;
  bool havePassword = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--") {
        optionsEnded = true;
        continue;
      }
      // "--name=value" or "--name value".
      std::string name = arg;
      std::string value;
      bool inlineValue = false;
      const std::size_t eq = arg.find('=');
      if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        inlineValue = true;
      }
      auto takeValue = [&]() -> bool {
        if (inlineValue) return true;
        if (i + 1 >= argc || !argv[i + 1]) {
          error = name + " needs a value";
          return false;
        }
        value = argv[++i];
        return true;
      };
      if (name == "--help" || name == "-h") {
        options.help = true;
      } else if (name == "--utf8" && !inlineValue) {
        options.utf8 = true;
      } else if (name == "--links" && !inlineValue) {
        options.links = true;
      } else if (name == "--level") {
        if (!takeValue()) return false;
        if (!ParseInt(value, options.level)) {
          error = "--level needs a whole number, not \"" + value + "\"";
          return false;
        }
      } else if (name == "--encoding") {
        if (!takeValue()) return false;
        if (!ParseInt(value, options.encoding) || options.encoding < 0 || options.encoding > 4) {
          error = "--encoding needs a code from 0 to 4, not \"" + value + "\"";
          return false;
        }
        haveEncoding = true;
      } else if (name == "--referrer") {
        if (!takeValue()) return false;
        options.referrer = value;
        options.hasReferrer = true;
      } else if (name == "--user") {
        if (!takeValue()) return false;
        options.user = value;
        haveUser = true;
      } else if (name == "--password") {
        if (!takeValue()) return false;
        options.password = value;
        havePassword = true;
      } else {
        error = "unknown option " + name;
        return false;
      }
      continue;
    }
    if (haveTarget) {
      error = "more than one FILE or URL: \"" + arg + "\"";
      return false;
    }
    if (arg.empty()) {
      error = "empty FILE or URL";
      return false;
    }
    options.target = arg;
    haveTarget = true;
  }
  if (options.help) return true;
  if (!haveTarget) {
    error = "no FILE or URL given";
    return false;
  }
  options.isUrl = IsHttpUrl(options.target);
  if (haveUser != havePassword) {
    error = "--user and --password go together";
    return false;
  }
  if (options.isUrl && haveEncoding) {
    error = "--encoding applies to a FILE only (a fetched page is always detected)";
    return false;
  }
  if (!options.isUrl && (options.hasReferrer || haveUser)) {
    error = "--referrer, --user and --password apply to a URL only";
    return false;
  }
  return true;
}
