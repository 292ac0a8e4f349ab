#include "tools/extract/extract_run.h"

#include <memory>

#include "support/net/page_lines.h"
#include "ticker/news/document_reader.h"
#include "ticker/news/extractor.h"
#include "ticker/news/news_list.h"
#include "tools/extract/console.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

void SetNotFound(NewsList& list, const std::string& name) {
  list.Clear();
  list.failed = 1;
  std::string text = kNotFoundItem;
  const std::size_t at = text.find("%s");
  text.replace(at, 2, name);
  list.AddItem(text, 1);
}

}  // namespace

bool ExtractFile(std::FILE* file, const std::string& name, int encoding, int level, NewsList& list) {
  if (!file) {
    SetNotFound(list, name);
    return false;
  }
  bool ok = true;
  try {
    PageLines page;
    page.encoding = encoding;
    page.inHead = 1;
    DocumentReader extractor(list, level, page, std::string());
    PageLineReader reader(page, &extractor);
    static char buffer[1 << 16];
    for (;;) {
      const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
      if (got > 0 && !reader.Feed(buffer, got)) break;  // the body bound was reached
      if (got < sizeof buffer) {
        ok = !std::ferror(file);
        break;
      }
    }
    if (ok) {
      reader.Finish();
      extractor.Finish();
    }
  } catch (...) {
    list.Clear();
    list.failed = 1;
    list.AddItem(kReadErrorItem, 1);
    return false;
  }
  if (!ok) SetNotFound(list, name);
  return list.failed == 0;
}

std::string FormatNewsList(const NewsList& list, bool utf8, bool links) {
  std::string out;
  auto text = [&](const std::string& value) {
    const std::size_t start = out.size();
    out += utf8 ? SjisToUtf8(value) : value;
    // One item per output line: a line break that a converter made out of garbage becomes a
    // space (no trail byte is below 0x40, so these are never half of a character); with links
    // a TAB does too, so that the one after the item is the only one.
    for (std::size_t i = start; i < out.size(); ++i) {
      if (out[i] == '\n' || out[i] == '\r' || (links && out[i] == '\t')) out[i] = ' ';
    }
  };
  text(list.title);
  out += '\n';
  for (int i = 0; i < list.ItemCount(); ++i) {
    text(list.items[static_cast<std::size_t>(i)]);
    if (links) {
      out += '\t';
      text(list.GetLink(i));
    }
    out += '\n';
  }
  return out;
}

int RunExtract(const ExtractOptions& options, std::string& out) {
  NewsList list;
  bool read = true;
  if (options.isUrl) {
    const bool credentials = !options.user.empty() || !options.password.empty();
    list.FetchAndExtract(options.target.c_str(), options.hasReferrer ? options.referrer.c_str() : nullptr,
                         options.level, credentials ? options.user.c_str() : nullptr,
                         credentials ? options.password.c_str() : nullptr);
    read = list.failed == 0;
  } else if (options.target == "-") {
    read = ExtractFile(stdin, "-", options.encoding, options.level, list);
  } else {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(options.target.c_str(), "rb"));
    read = ExtractFile(file.get(), options.target, options.encoding, options.level, list);
  }
  out += FormatNewsList(list, options.utf8, options.links);
  return read ? 0 : 1;
}
