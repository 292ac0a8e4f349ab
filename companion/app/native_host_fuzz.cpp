// libFuzzer target: the native messaging host's framing and message handling, as a browser (or
// anything else that can start the program) feeds it. The first byte chooses whether the ticker
// runs (bit 0) and whether the caller is our extension (bit 1 clear); the rest is standard input.
// Each run starts from an empty URL list in the in-memory registry.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "companion/app/native_host.h"
#include "support/registry/registry.h"
#include "support/ticker_link/url_list.h"
#include "tests/fuzz_check.h"
#include "tests/recording_ticker.h"

namespace {

namespace nh = zellmate::native_host;

constexpr const char kFuzzRoot[] = "HKEY_CURRENT_USER\\Software\\ZelloraFuzz";

using Ticker = zellora_test::RecordingTicker;

class BytesInput : public nh::Input {
 public:
  BytesInput(const char* d, std::size_t n) : data(d), size(n) {}
  std::size_t Read(char* buffer, std::size_t want) override {
    // Odd-sized pieces, as a pipe may deliver them.
    std::size_t n = want < size - pos ? want : size - pos;
    if (n > 13) n = 13;
    std::memcpy(buffer, data + pos, n);
    pos += n;
    return n;
  }
  const char* data;
  std::size_t size;
  std::size_t pos = 0;
};

class BytesOutput : public nh::Output {
 public:
  bool Write(const char* bytes, std::size_t n) override {
    text.append(bytes, n);
    return true;
  }
  std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  CRegistry parent("HKEY_CURRENT_USER\\Software");
  parent.DeleteKey("ZelloraFuzz");
  CRegistry root(kFuzzRoot);
  Ticker ticker;
  ticker.running = (data[0] & 1) != 0;
  const bool allowed = (data[0] & 2) == 0;
  nh::HostContext context(root, ticker, allowed);
  context.random = [] { return 2; };

  BytesInput in(reinterpret_cast<const char*>(data) + 1, size - 1);
  BytesOutput out;
  const int answered = nh::Serve(in, out, context);

  // The output is exactly `answered` frames, each one JSON object with a boolean "ok" and, when it
  // is false, a short reason; the answers are never larger than a browser takes (1 MB).
  std::size_t pos = 0;
  int frames = 0;
  int oks = 0;
  while (pos < out.text.size()) {
    Check(out.text.size() - pos >= 4);
    std::uint32_t length = 0;
    std::memcpy(&length, out.text.data() + pos, 4);
    pos += 4;
    Check(length <= out.text.size() - pos && length < 200);
    const nlohmann::json answer = nlohmann::json::parse(out.text.substr(pos, length), nullptr, false);
    Check(answer.is_object() && answer.contains("ok") && answer["ok"].is_boolean());
    if (answer["ok"].get<bool>()) {
      Check(answer.size() == 1);
      ++oks;
    } else {
      Check(answer.size() == 2 && answer["error"].is_string());
    }
    pos += length;
    ++frames;
  }
  Check(frames == answered);
  // Nothing is read past what the messages announced, and a refused caller changes nothing.
  Check(in.pos <= in.size);
  const std::vector<url_list::SlotEntry> slots = url_list::ReadSlots(root);
  Check(slots.size() <= static_cast<std::size_t>(url_list::kMaxSlots));
  if (!allowed) Check(oks == 0 && slots.empty() && ticker.commands.empty());
  // Every command told the ticker of a slot that exists, or of the temporary entry.
  for (const int command : ticker.commands) {
    if (command == 11000) {
      UrlEntry temp;
      Check(url_list::LoadEntry(root, url_list::kTempKey, temp) && !temp.url.empty());
    } else {
      Check(command >= 10000 && command < 10000 + static_cast<int>(slots.size()));
    }
  }
  Check(ticker.commands.size() <= static_cast<std::size_t>(oks));
  return 0;
}
