// libFuzzer target: the built-in channel end to end on the virtual clock. The input's first byte
// holds flags, the rest is the channel page as the server sends it: it goes through the page
// extraction at the channel's level, the engine checks it before the first list entry, and a
// bulletin issue comes back to the engine as its own flash message.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fake_ticker_host.h"
#include "tests/fuzz_check.h"
#include "ticker/display/ticker_engine.h"
#include "ticker/news/news_list.h"
#include "ticker/news/news_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 64 * 1024) return 0;
  const std::uint8_t flags = data[0];
  NewsList page;
  page.ExtractFromText(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), 1);

  fake::FakeTickerHost host;
  fake::FakeTickerStore store;
  ticker::TickerEngine engine{host, store};
  host.onTimer = [&engine](int id) {
    engine.OnTimer(id);
    if (id == ticker::kTickTimer) (void)engine.Step();
  };
  host.onNewsMessage = [&engine](std::uint32_t tag, const void* bytes, std::size_t count) {
    return engine.OnCopyData(tag, bytes, count);
  };
  host.SetDate(2026, 12, 8, 9 * 3600 * 1000LL);
  // Without a title the page could hardly ever count; most inputs get the channel's own.
  const bool channelTitle = (flags & 1) != 0 || page.GetTitle() == news::kChannelTitle;
  host.pages[news::kChannelPageUrl] = {channelTitle ? news::kChannelTitle : page.GetTitle(), page.items,
                                       false};
  store.AddSlot(0);
  host.pages["http://site0/"] = {"Site0", {"headline 0"}, false};
  store.settingsValue.howto = (flags >> 1) % 3;
  store.settingsValue.loopCount = (flags >> 3) & 1;
  // Sometimes the issue was already shown.
  if ((flags & 0x10) != 0 && page.ItemCount() > 0) store.homeId = page.GetItem(0);
  const std::string homeBefore = store.homeId;

  engine.OnInit();
  host.RunFor(20 * 1000);

  Check(!host.fetches.empty() && host.fetches[0].url == news::kChannelPageUrl);
  const bool counts = channelTitle && page.ItemCount() > 0 && page.GetItem(0) != homeBefore;
  if (counts) {
    // A new issue is taken once and remembered.
    Check(store.homeIdWrites == 1);
    Check(store.homeId == page.GetItem(0));
    if (page.GetItem(1) == "FLASH") {
      Check(host.Events(fake::HostEvent::kSendMessage).size() == 1);
      Check(!engine.FlashTitle().empty());
    }
  } else {
    Check(store.homeIdWrites == 0);
    Check(store.homeId == homeBefore);
    // The list comes at once.
    Check(host.fetches.size() >= 2 && host.fetches[1].url == "http://site0/");
  }
  return 0;
}
