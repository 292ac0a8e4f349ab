// libFuzzer target: random download pages through the tag scan. The input is split at the first
// two NUL bytes into the download page, the shop page behind a marked image and the file; the
// host serves them and a file of that size, and the scan must neither crash nor save a file that
// it did not download whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/download.h"
#include "support/net/page_lines.h"
#include "tests/fuzz_check.h"

namespace {

class FuzzHost : public catalogue::DownloadHost {
 public:
  std::string downloadPage, shopPage, file;
  std::string saved;
  bool savedExists = false;
  int fetches = 0;
  std::size_t offset = 0;

  int PumpMessages(int) override { return 1; }
  bool IsCancelled() override { return false; }
  bool FetchPage(const std::string&, PageLines& page) override {
    const std::string& body = fetches++ == 0 ? downloadPage : shopPage;
    page.lines.clear();
    page.encoding = 1;
    page.inHead = 1;
    PageLineReader reader(page);
    reader.Feed(body.data(), body.size());
    reader.Finish();
    return true;
  }
  std::string ShopHost() override { return "shop.test"; }
  bool OpenFile(const std::string&) override {
    offset = 0;
    return true;
  }
  bool FileLength(std::uint64_t& length) override {
    length = file.size();
    return true;
  }
  long ReadFile(char* buffer, std::size_t size) override {
    std::size_t n = std::min(size, file.size() - offset);
    std::copy_n(file.data() + offset, n, buffer);
    offset += n;
    return static_cast<long>(n);
  }
  void CloseFile() override {}
  std::string DesktopFolder() override { return "C:\\Desktop"; }
  bool ChooseSavePath(std::string&) override { return true; }
  bool RemoveFile(const std::string&) override {
    saved.clear();
    savedExists = false;
    return true;
  }
  bool AppendToFile(const std::string&, const char* bytes, std::size_t count) override {
    saved.append(bytes, count);
    savedExists = true;
    return true;
  }
  std::int64_t NowSeconds() override { return 0; }
  void SetStatus(const std::string&) override {}
  void SetProgressRange(std::uint64_t) override {}
  void SetProgressPosition(std::uint64_t) override {}
  void SetRemaining(const std::string&) override {}
  void SetRate(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  FuzzHost host;
  std::size_t first = input.find('\0');
  host.downloadPage = input.substr(0, first);
  if (first != std::string::npos) {
    std::size_t second = input.find('\0', first + 1);
    host.shopPage =
        input.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos) host.file = input.substr(second + 1);
  }
  std::string path;
  const int result =
      catalogue::ResolveDownloadPage(host, "http://shop.test/x.html", catalogue::kDownloadMarker, path);
  Check(result == 0 || result == 1);
  Check(host.fetches <= 2);
  if (result == 1) {
    Check(host.savedExists && host.saved == host.file);
    Check(!path.empty());
  }
  return 0;
}
