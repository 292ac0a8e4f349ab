#include "ticker/news/ticker_store.h"

#include <gtest/gtest.h>

#include "support/registry/registry.h"
#include "tests/fake_ticker_host.h"
#include "ticker/display/ticker_engine.h"
#include "ticker/news/news_message.h"

namespace {

constexpr char kRoot[] = "HKEY_CURRENT_USER\\Software\\ZelloraTests\\TickerStore";

// The engine on the registry store: a slot command shows the slot, the temporary entry is read
// once and deleted, the channel's issue id is kept in "homeId", settings come from "Option".
TEST(RegistryTickerStore, EngineRunsOnTheRegistry) {
  CRegistry reg(kRoot);
  for (int n = 0; n < 32; ++n) reg.DeleteKey(url_list::SlotKey(n));
  reg.DeleteKey(url_list::kTempKey);
  reg.DeleteValue("", settings::kHomeId);
  ASSERT_TRUE(url_list::WriteList(
      reg, {UrlEntry{"一番", "http://one/", "", 20}, UrlEntry{"二番", "http://two/", "", 30}}));
  ASSERT_TRUE(url_list::WriteTempEntry(reg, UrlEntry{"一時", "http://temp/", "http://ref/", 40}));
  ASSERT_TRUE(reg.CreateKey(settings::kOptionKey));
  ASSERT_TRUE(reg.WriteNumber(settings::kOptionKey, settings::kDeskPer, 2));
  ASSERT_TRUE(reg.WriteNumber(settings::kOptionKey, settings::kSpeed, 0));

  RegistryTickerStore store(kRoot);
  fake::FakeTickerHost host;
  host.pages[news::kChannelPageUrl] = {news::kChannelTitle,
                                       {"issue-3", "ZELL1", "Chan", "http://chan/", "n"}};
  ticker::TickerEngine engine(host, store);
  host.onTimer = [&](int id) { engine.OnTimer(id); };
  engine.OnInit();
  EXPECT_EQ(engine.AreaPercent(), 75);
  EXPECT_EQ(host.TimerInterval(ticker::kTickTimer), 80);
  EXPECT_EQ(engine.SiteTitle(), "Chan");
  EXPECT_EQ(store.ReadHomeId(), "issue-3");

  ASSERT_TRUE(engine.OnCommand(10001));
  EXPECT_EQ(host.fetches.back().url, "http://two/");
  EXPECT_EQ(host.fetches.back().level, 30);

  ASSERT_TRUE(engine.OnCommand(11000));
  EXPECT_EQ(host.fetches.back().url, "http://temp/");
  EXPECT_EQ(host.fetches.back().referrer, "http://ref/");
  EXPECT_FALSE(store.KeyExists(url_list::kTempKey));

  url_list::WriteList(reg, {});
  reg.DeleteKey(url_list::kListKey);
  reg.DeleteValue(settings::kOptionKey, settings::kDeskPer);
  reg.DeleteValue(settings::kOptionKey, settings::kSpeed);
  reg.DeleteKey(settings::kOptionKey);
  reg.DeleteValue("", settings::kHomeId);
}

}  // namespace
