#include "ticker/display/ticker_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ticker_link/url_list.h"
#include "support/ticker_link/url_slot.h"
#include "tests/fake_ticker_host.h"
#include "ticker/news/news_message.h"

namespace {

using fake::HostEvent;
using ticker::TickerEngine;

constexpr long long kMinuteMs = 60'000;  // the virtual clock counts milliseconds
constexpr long long kHourMs = 60 * kMinuteMs;
constexpr long long kStepMs = 160;  // one tick at the default speed

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    host.onTimer = [this](int id) {
      engine.OnTimer(id);
      if (id == ticker::kTickTimer && engine.Step() == 1) passes.push_back(engine.DisplayLineText());
    };
    host.onNewsMessage = [this](std::uint32_t tag, const void* data, std::size_t size) {
      return engine.OnCopyData(tag, data, size);
    };
    host.SetDate(2026, 12, 7, 12 * kHourMs);
  }

  // Slot n with a page of one headline.
  void AddSite(int n) {
    store.AddSlot(n);
    host.pages["http://site" + std::to_string(n) + "/"] = {"Site" + std::to_string(n),
                                                           {"headline " + std::to_string(n)}};
  }

  // URLs fetched from the URL list (the channel left out).
  std::vector<std::string> SiteFetches() const {
    std::vector<std::string> urls;
    for (const auto& f : host.fetches) {
      if (f.url != news::kChannelPageUrl) urls.push_back(f.url);
    }
    return urls;
  }

  int Count(HostEvent::Kind kind, int id = -1) const {
    int n = 0;
    for (const auto& e : host.events) {
      if (e.kind == kind && (id < 0 || e.id == id)) ++n;
    }
    return n;
  }

  bool Send(std::uint32_t tag, const std::string& text) {
    return engine.OnCopyData(tag, text.c_str(), text.size() + 1);
  }

  fake::FakeTickerHost host;
  fake::FakeTickerStore store;
  TickerEngine engine{host, store};
  std::vector<std::string> passes;  // the display line at the start of every pass
};

// ---------------------------------------------------------------------------------------------
// Choosing the next slot

TEST_F(Engine, RegistrationOrderNeverPassesAGap) {
  AddSite(0);
  AddSite(2);
  engine.OnInit();
  host.RunFor(10 * kMinuteMs);
  const auto urls = SiteFetches();
  ASSERT_GE(urls.size(), 5u);
  for (const auto& u : urls) EXPECT_EQ(u, "http://site0/");
  // Slot 1 missing: every later probe falls back to slot 0, each after its own 100 ms pause.
  ASSERT_GE(store.probes.size(), 3u);
  EXPECT_EQ(store.probes[0], url_list::SlotKey(0));
  EXPECT_EQ(store.probes[1], url_list::SlotKey(1));
  EXPECT_EQ(store.probes[2], url_list::SlotKey(0));
  for (const auto& e : host.Events(HostEvent::kSleep)) EXPECT_EQ(e.value, ticker::kProbePauseMs);
  EXPECT_EQ(engine.CurrentSlot(), 0);
}

TEST_F(Engine, RegistrationOrderWalksTheListAndFallsBackAfterTheLast) {
  for (int n = 0; n < 3; ++n) AddSite(n);
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 5; }, 30 * kMinuteMs);
  EXPECT_EQ(SiteFetches(), (std::vector<std::string>{"http://site0/", "http://site1/", "http://site2/",
                                                     "http://site0/", "http://site1/"}));
  EXPECT_EQ(engine.NextSlot(), 2);
}

TEST_F(Engine, EmptyListProbesOnceThenPauses) {
  engine.OnInit();
  EXPECT_EQ(Count(HostEvent::kSleep), 1);
  EXPECT_EQ(store.probes, (std::vector<std::string>{url_list::SlotKey(0)}));
  EXPECT_EQ(host.TimerInterval(ticker::kPauseTimer), 1000);
  EXPECT_FALSE(host.TimerActive(ticker::kTickTimer));
  EXPECT_TRUE(SiteFetches().empty());
  // The list is probed again when the pause is over.
  host.RunFor(1000);
  EXPECT_EQ(store.probes.size(), 2u);
  EXPECT_FALSE(engine.Busy());
}

TEST_F(Engine, EmptyListInRandomOrderPausesWithoutTheProbePause) {
  store.settingsValue.order = 1;
  engine.OnInit();
  EXPECT_EQ(Count(HostEvent::kSleep), 0);
  EXPECT_EQ(store.probes.size(), 32u);
  EXPECT_TRUE(host.TimerActive(ticker::kPauseTimer));
}

TEST_F(Engine, EmptyListOfflineArmsNothing) {
  store.settingsValue.online = 0;
  engine.OnInit();
  EXPECT_TRUE(host.fetches.empty());
  EXPECT_EQ(Count(HostEvent::kSetTimer), 0);
  host.RunFor(kHourMs);
  EXPECT_TRUE(host.fetches.empty());
}

TEST_F(Engine, NoInfiniteProbeWhenNeitherNextSlotNorSlotZeroExists) {
  AddSite(5);
  engine.OnInit();  // slot 0 missing: empty for registration order
  engine.SetNextSlot(3);
  EXPECT_EQ(engine.SelectSlot(), -1);
  EXPECT_EQ(engine.NextSlot(), 3);
  EXPECT_EQ(store.probes.back(), url_list::SlotKey(0));
}

TEST_F(Engine, RandomOrderSwapsTenTimesCountWithTheHostsNumbers) {
  store.settingsValue.order = 1;
  for (int n = 0; n < 4; ++n) AddSite(n);
  // 40 swaps = 80 numbers: first swap positions 0 and 2, then only no-op swaps.
  host.randomQueue.assign(80, 0);
  host.randomQueue[1] = 2;
  engine.OnInit();
  EXPECT_EQ(SiteFetches(), (std::vector<std::string>{"http://site2/"}));
  EXPECT_TRUE(host.randomQueue.empty());
  EXPECT_EQ(engine.CurrentSlot(), 2);
  EXPECT_EQ(engine.NextSlot(), 2);
}

TEST_F(Engine, RandomOrderWithOneEntryAlwaysChoosesIt) {
  store.settingsValue.order = 1;
  AddSite(7);
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 4; }, 30 * kMinuteMs);
  for (const auto& u : SiteFetches()) EXPECT_EQ(u, "http://site7/");
}

// ---------------------------------------------------------------------------------------------
// Slot and temporary-entry commands

TEST_F(Engine, SlotCommandShowsThatSlotAndWrapsAfterTheLast) {
  AddSite(0);
  AddSite(31);
  engine.OnInit();
  ASSERT_TRUE(engine.OnCommand(10031));
  EXPECT_EQ(SiteFetches().back(), "http://site31/");
  EXPECT_EQ(engine.CurrentSlot(), 31);
  EXPECT_EQ(engine.NextSlot(), 0);
  EXPECT_EQ(Count(HostEvent::kRebuildWallpaper), 2);  // reload and the command
}

TEST_F(Engine, FavouriteInRandomOrderShowsARandomSlot) {
  store.settingsValue.order = 1;
  for (int n = 0; n < 5; ++n) AddSite(n);
  engine.OnInit();
  host.randomQueue.assign(100, 0);
  host.randomQueue[1] = 1;  // the first swap brings slot 1 to the front
  ASSERT_TRUE(engine.OnCommand(10003));
  EXPECT_EQ(SiteFetches().back(), "http://site1/");
}

TEST_F(Engine, SlotCommandsForMissingOrOutOfRangeSlotsDoNothing) {
  AddSite(0);
  store.keys[url_list::SlotKey(40)] = UrlEntry{"forty", "http://forty/", "", 1};  // above 31: never read
  engine.OnInit();
  host.RunFor(2000);
  const auto before = host.events.size();
  const auto fetches = host.fetches.size();
  store.probes.clear();
  EXPECT_TRUE(engine.OnCommand(10040));
  EXPECT_TRUE(engine.OnCommand(10005));
  EXPECT_EQ(host.events.size(), before);  // no Stop, no timer change
  EXPECT_EQ(host.fetches.size(), fetches);
  EXPECT_EQ(store.probes, (std::vector<std::string>{url_list::SlotKey(5)}));
  EXPECT_NE(engine.LineBuilt(), 0);  // still scrolling
}

TEST_F(Engine, SlotCommandOfflineOnlyStops) {
  AddSite(0);
  store.settingsValue.online = 0;
  engine.OnInit();
  EXPECT_TRUE(engine.OnCommand(10000));
  EXPECT_TRUE(host.fetches.empty());
  EXPECT_GE(Count(HostEvent::kHideBar), 2);
}

TEST_F(Engine, TemporaryEntryIsShownOnceAndTheInterruptedSlotComesNext) {
  AddSite(0);
  AddSite(1);
  AddSite(2);
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 2 && engine.LineBuilt() != 0; }, 10 * kMinuteMs);
  ASSERT_EQ(engine.CurrentSlot(), 1);
  store.keys[url_list::kTempKey] = UrlEntry{"Temp", "http://temp/", "http://ref/", 8};
  host.pages["http://temp/"] = {"Temp", {"temporary"}};
  ASSERT_TRUE(engine.OnCommand(11000));
  EXPECT_EQ(host.fetches.back().url, "http://temp/");
  EXPECT_EQ(host.fetches.back().referrer, "http://ref/");
  EXPECT_EQ(host.fetches.back().level, 8);
  EXPECT_EQ(store.keys.count(url_list::kTempKey), 0u);
  EXPECT_EQ(engine.CurrentSlot(), 1);
  host.RunUntil([this] { return SiteFetches().size() == 4; }, 10 * kMinuteMs);
  EXPECT_EQ(SiteFetches()[3], "http://site1/");  // the interrupted entry again
}

TEST_F(Engine, TemporaryEntryOfflineIsDeletedUnread) {
  store.settingsValue.online = 0;
  engine.OnInit();
  store.keys[url_list::kTempKey] = UrlEntry{"Temp", "http://temp/", "", 8};
  EXPECT_TRUE(engine.OnCommand(11500));
  EXPECT_EQ(store.keys.count(url_list::kTempKey), 0u);
  EXPECT_TRUE(host.fetches.empty());
  // Without a temporary entry the command does nothing.
  const auto before = host.events.size();
  EXPECT_TRUE(engine.OnCommand(11000));
  EXPECT_EQ(host.events.size(), before);
}

// ---------------------------------------------------------------------------------------------
// The display line and scrolling

TEST_F(Engine, FetchedHeadlinesBecomeOneFullWidthLine) {
  store.AddSlot(0, UrlEntry{"経済ニュース", "http://p/", "", 10});
  host.pages["http://p/"] = {"ignored", {"Hello\tWorld 2026", "雨が降る。", "", "after the gap"}};
  engine.OnInit();
  host.RunFor(200);
  const std::string& line = engine.DisplayLineText();
  EXPECT_NE(line.find("【　経済ニュース　１２月７日　】"), std::string::npos);
  EXPECT_NE(line.find("　　　　　●ＨｅｌｌｏＷｏｒｌｄ　２０２６．．．"), std::string::npos);
  EXPECT_NE(line.find("　　　　　●雨が降る．．．　以上"), std::string::npos);
  EXPECT_EQ(line.find("ａｆｔｅｒ"), std::string::npos);
  EXPECT_EQ(engine.LineBuilt(), 3);
  EXPECT_EQ(engine.SiteTitle(), "経済ニュース");
  EXPECT_EQ(engine.FilterLevel(), 10);
}

TEST_F(Engine, BarAndDesktopMoveFourPixelsPerTickAndTitleBarOneCharacter) {
  AddSite(0);
  store.settingsValue.howto = 0;
  engine.OnInit();
  host.RunFor(6 * kStepMs);
  auto draws = host.Events(HostEvent::kDrawBar);
  ASSERT_EQ(draws.size(), 6u);
  const std::string& line = engine.DisplayLineText();
  for (int s = 0; s < 6; ++s) {
    EXPECT_EQ(draws[s].id, -4 * (s % 3));
    EXPECT_EQ(draws[s].text, line.substr(static_cast<std::size_t>(s / 3) * 2, 248));
  }
  EXPECT_EQ(engine.Remaining(), static_cast<int>(line.size() / 2) - 2);

  // Title bar: one character per tick; without a target the screen width gives the lead-in.
  host.ClearEvents();
  store.settingsValue.howto = 2;
  host.captionWidth = 240;
  engine.OnCommand(ticker_link::kReloadCommand);
  host.RunFor(3 * kStepMs);
  draws = host.Events(HostEvent::kDrawCaption);
  ASSERT_EQ(draws.size(), 3u);
  const std::string& caption = engine.DisplayLineText();
  EXPECT_EQ(caption.find("【"), 20u * 2);  // 240 / 12
  for (int s = 0; s < 3; ++s) EXPECT_EQ(draws[s].text, caption.substr(static_cast<std::size_t>(s) * 2, 248));
  EXPECT_EQ(engine.Remaining(), static_cast<int>(caption.size() / 2) - 3);
}

TEST_F(Engine, LeadInOnAWideBarShowsTheTextFirstAt1476Pixels) {
  AddSite(0);
  store.settingsValue.howto = 0;
  host.barWidth = 2000;
  engine.OnInit();
  host.RunFor(200 * kStepMs);
  bool seen = false;
  for (const auto& draw : host.Events(HostEvent::kDrawBar)) {
    EXPECT_LE(draw.text.size(), 248u);
    std::size_t first = std::string::npos;
    for (std::size_t i = 0; i < draw.text.size(); i += 2) {
      if (draw.text.compare(i, 2, "　") != 0) {
        first = i / 2;
        break;
      }
    }
    if (first == std::string::npos) continue;
    EXPECT_EQ(static_cast<int>(first) * 12 + draw.id, 1476);
    seen = true;
    break;
  }
  EXPECT_TRUE(seen);
}

TEST_F(Engine, DesktopStripUsesAtLeastAQuarterOfTheScreen) {
  AddSite(0);
  store.settingsValue.deskPer = 10;
  engine.OnInit();
  host.RunFor(51 * kStepMs);
  const auto draws = host.Events(HostEvent::kDrawDesktop);
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws[0].value, 25);
  EXPECT_EQ(engine.DisplayLineText().find("【"), 21u * 2);  // 1024 * 25 / 100 / 12
  EXPECT_EQ(Count(HostEvent::kCheckWallpaper), static_cast<int>(draws.size()));
  EXPECT_EQ(Count(HostEvent::kRefreshSnapshot), 2);  // the new line, then step 50
}

TEST_F(Engine, LoopCountGivesExtraPassesWithAFreshDate) {
  AddSite(0);
  store.settingsValue.howto = 0;
  store.settingsValue.loopCount = 2;
  host.SetDate(2026, 12, 31, 24 * kHourMs - 10000);  // ten seconds to midnight
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 2; }, 30 * kMinuteMs);
  ASSERT_EQ(passes.size(), 3u);
  EXPECT_NE(passes[0].find("１２月３１日"), std::string::npos);
  EXPECT_NE(passes[1].find("　１月１日"), std::string::npos);
  EXPECT_NE(passes[2].find("　１月１日"), std::string::npos);
  EXPECT_EQ(Count(HostEvent::kSetTimer, ticker::kPauseTimer), 1);
}

TEST_F(Engine, LoopCountZeroScrollsOnceThenPausesOneSecond) {
  AddSite(0);
  engine.OnInit();
  host.RunUntil([this] { return host.TimerActive(ticker::kPauseTimer); }, 30 * kMinuteMs);
  EXPECT_EQ(passes.size(), 1u);
  EXPECT_EQ(host.TimerInterval(ticker::kPauseTimer), 1000);
  EXPECT_FALSE(host.TimerActive(ticker::kTickTimer));
  const long long ended = host.now;
  host.RunUntil([this] { return SiteFetches().size() == 2; }, 5000);
  EXPECT_EQ(host.now - ended, 1000 + 2 * ticker::kProbePauseMs);  // slot 1, then slot 0
}

TEST_F(Engine, ADrawingFailureStillCountsTheTick) {
  AddSite(0);
  host.throwOnDraw = true;
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 2; }, 30 * kMinuteMs);
  EXPECT_EQ(passes.size(), 1u);
}

TEST_F(Engine, AMissingBarHaltsTheRotation) {
  AddSite(0);
  store.settingsValue.howto = 0;
  host.barExists = false;
  engine.OnInit();
  host.RunFor(kHourMs);
  EXPECT_EQ(Count(HostEvent::kTimerFired, ticker::kTickTimer), 1);
  EXPECT_EQ(SiteFetches().size(), 1u);
  EXPECT_FALSE(host.TimerActive(ticker::kPauseTimer));
}

// ---------------------------------------------------------------------------------------------
// Settings and their ranges

TEST_F(Engine, LongRunKeepsTheTimersOneShotAndTheCycleInOrder) {
  AddSite(0);
  AddSite(1);
  store.settingsValue.loopCount = 1;
  store.proxy = {"user", "secret"};
  int busyDuringFetch = 0;
  host.onFetch = [&](const std::string&) { busyDuringFetch += engine.Busy() ? 1 : 0; };
  engine.OnInit();
  host.RunFor(2 * kHourMs);

  const auto& ev = host.events;
  int ticks = 0;
  bool armed = true;  // timer 100 armed by the first fetch
  for (std::size_t i = 0; i < ev.size(); ++i) {
    if (ev[i].kind == HostEvent::kSetTimer && ev[i].id == ticker::kTickTimer) {
      EXPECT_EQ(ev[i].value, 160);
      armed = true;
    }
    if (ev[i].kind == HostEvent::kTimerFired && ev[i].id == ticker::kTickTimer) {
      ++ticks;
      EXPECT_TRUE(armed) << "tick without re-arming at " << ev[i].time;
      ASSERT_LT(i + 1, ev.size());
      EXPECT_EQ(ev[i + 1].kind, HostEvent::kKillTimer);  // killed before any work
      EXPECT_EQ(ev[i + 1].id, ticker::kTickTimer);
      armed = false;
    }
    if (ev[i].kind == HostEvent::kSetTimer && ev[i].id == ticker::kPauseTimer) {
      EXPECT_EQ(ev[i].value, 1000);
    }
  }
  EXPECT_GT(ticks, 1000);
  // Every list fetch comes right after a channel check, with the proxy credentials, while busy.
  const auto& f = host.fetches;
  ASSERT_GT(f.size(), 20u);
  for (std::size_t i = 0; i < f.size(); i += 2) {
    EXPECT_EQ(f[i].url, news::kChannelPageUrl);
    EXPECT_EQ(f[i].referrer, news::kChannelReferrer);
    EXPECT_EQ(f[i].level, 1);
    ASSERT_LT(i + 1, f.size());
    EXPECT_EQ(f[i + 1].url, (i / 2) % 2 == 0 ? "http://site0/" : "http://site1/");
    EXPECT_EQ(f[i + 1].user, "user");
    EXPECT_EQ(f[i + 1].password, "secret");
  }
  EXPECT_EQ(busyDuringFetch, static_cast<int>(f.size()));
  EXPECT_FALSE(engine.Busy());
  // Two passes per source (loopCount 1); the last source may still be in its first or second.
  const std::size_t sources = f.size() / 2;
  EXPECT_GE(passes.size(), 2 * sources - 1);
  EXPECT_LE(passes.size(), 2 * sources);
}

TEST_F(Engine, TickIntervalFollowsSpeedAndPauseFollowsSleep) {
  AddSite(0);
  const int speeds[] = {0, 1, 2, -1};
  const long long ticks[] = {80, 160, 240, 0};
  for (int i = 0; i < 4; ++i) {
    store.settingsValue.speed = speeds[i];
    engine.OnCommand(ticker_link::kReloadCommand);
    EXPECT_EQ(host.Events(HostEvent::kSetTimer).back().value, ticks[i]);
  }
  const int sleeps[] = {0, 1, 5, 11};
  const long long pauses[] = {1000, 10000, 300000, 3600000};
  store.settingsValue.speed = 0;
  for (int i = 0; i < 4; ++i) {
    store.settingsValue.sleep = sleeps[i];
    engine.OnCommand(ticker_link::kReloadCommand);
    host.RunUntil([this] { return host.TimerActive(ticker::kPauseTimer); }, 10 * kMinuteMs);
    EXPECT_EQ(host.TimerInterval(ticker::kPauseTimer), pauses[i]);
  }
}

TEST_F(Engine, SleepOutOfRangeStopsTheRotationAfterOneSource) {
  AddSite(0);
  store.settingsValue.sleep = 12;
  engine.OnInit();
  host.RunFor(2 * kHourMs);
  EXPECT_EQ(SiteFetches().size(), 1u);
  EXPECT_EQ(passes.size(), 1u);
  EXPECT_FALSE(host.TimerActive(ticker::kPauseTimer));
  EXPECT_FALSE(host.TimerActive(ticker::kTickTimer));
  // A command still shows a slot.
  engine.OnCommand(10000);
  EXPECT_EQ(SiteFetches().size(), 2u);
}

TEST_F(Engine, HowtoOutOfRangeStopsAtTheFirstTick) {
  AddSite(0);
  store.settingsValue.howto = 3;
  engine.OnInit();
  host.RunFor(2 * kHourMs);
  EXPECT_EQ(SiteFetches().size(), 1u);
  EXPECT_EQ(Count(HostEvent::kTimerFired, ticker::kTickTimer), 1);
  EXPECT_EQ(Count(HostEvent::kDrawBar) + Count(HostEvent::kDrawDesktop) + Count(HostEvent::kDrawCaption), 0);
  EXPECT_FALSE(host.TimerActive(ticker::kPauseTimer));
  // The next reload with a valid mode starts again.
  store.settingsValue.howto = 1;
  engine.OnCommand(ticker_link::kReloadCommand);
  host.RunFor(1000);
  EXPECT_GT(Count(HostEvent::kDrawDesktop), 0);
}

TEST_F(Engine, ReloadDropsTheLineAndStartsFromTheFirstSlot) {
  AddSite(0);
  AddSite(1);
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 2; }, 10 * kMinuteMs);
  host.RunFor(5 * kStepMs);
  store.settingsValue.speed = 2;
  engine.OnCommand(ticker_link::kReloadCommand);
  EXPECT_EQ(SiteFetches().back(), "http://site0/");
  EXPECT_EQ(host.TimerInterval(ticker::kTickTimer), 240);
  EXPECT_EQ(engine.LineBuilt(), 0);
  EXPECT_EQ(engine.NextSlot(), 1);
  EXPECT_EQ(store.settingsReads, 2);
}

TEST_F(Engine, StopCleansUpEveryModeAndCloseEndsTheEngine) {
  AddSite(0);
  engine.OnInit();
  host.RunFor(500);
  host.ClearEvents();
  engine.OnClose();
  EXPECT_EQ(Count(HostEvent::kClearDesktop), 1);
  EXPECT_EQ(Count(HostEvent::kReleaseCaption), 1);
  EXPECT_EQ(Count(HostEvent::kHideBar), 1);
  EXPECT_EQ(Count(HostEvent::kCloseWindows), 1);
  EXPECT_FALSE(host.TimerActive(ticker::kTickTimer));
  EXPECT_TRUE(engine.DisplayLineText().empty());
  EXPECT_FALSE(engine.OnCommand(ticker_link::kReloadCommand));
  EXPECT_FALSE(Send(ticker_link::kTagFlash, "x"));
  engine.OnTimer(ticker::kPauseTimer);
  EXPECT_EQ(SiteFetches().size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Full-screen programs

TEST_F(Engine, TheBarGivesWayToAFullScreenProgramAndGoesOnWhereItWas) {
  AddSite(0);
  store.settingsValue.howto = 0;
  engine.OnInit();
  host.RunFor(20 * kStepMs);
  ASSERT_TRUE(host.barVisible);

  host.fullScreen = true;
  host.RunFor(kStepMs);  // the next tick sees it
  EXPECT_TRUE(engine.GivingWay());
  EXPECT_FALSE(host.barVisible);
  EXPECT_FALSE(host.TimerActive(ticker::kTickTimer));
  const int held = engine.Step();
  const int remaining = engine.Remaining();

  // A minute behind a video: nothing is drawn, nothing scrolls; a look every half second.
  host.ClearEvents();
  host.RunFor(kMinuteMs);
  EXPECT_EQ(Count(HostEvent::kDrawBar), 0);
  EXPECT_EQ(Count(HostEvent::kTimerFired, ticker::kTickTimer), 0);
  EXPECT_EQ(Count(HostEvent::kTimerFired, ticker::kGiveWayTimer), kMinuteMs / ticker::kGiveWayCheckMs);
  EXPECT_EQ(engine.Step(), held);
  EXPECT_EQ(engine.Remaining(), remaining);
  EXPECT_FALSE(host.barVisible);

  // A bulletin still shows.
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@TITLE@速報@/TITLE@@NEWS@一行"));
  host.RunFor(5000);
  EXPECT_TRUE(host.flashVisible);
  EXPECT_EQ(host.flashText, "速報");

  // The program ends: within half a second the bar is back and the line goes on.
  host.fullScreen = false;
  host.ClearEvents();
  host.RunFor(ticker::kGiveWayCheckMs);
  EXPECT_FALSE(engine.GivingWay());
  EXPECT_TRUE(host.barVisible);
  const auto draws = host.Events(HostEvent::kDrawBar);
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(engine.Step(), held + static_cast<int>(draws.size()));
  EXPECT_EQ(draws.front().id, -4 * (held % 3));
}

TEST_F(Engine, OnlyTheBarGivesWay) {
  // The desktop strip lies under every window and the caption belongs to the window in front:
  // neither is in a full-screen program's way.
  for (const int howto : {1, 2}) {
    SCOPED_TRACE(howto);
    fake::FakeTickerHost other;
    fake::FakeTickerStore otherStore;
    TickerEngine otherEngine{other, otherStore};
    other.onTimer = [&](int id) { otherEngine.OnTimer(id); };
    otherStore.settingsValue.howto = howto;
    otherStore.AddSlot(0);
    other.pages["http://site0/"] = {"Site0", {"headline"}};
    other.fullScreen = true;
    otherEngine.OnInit();
    other.RunFor(20 * kStepMs);
    EXPECT_FALSE(otherEngine.GivingWay());
    EXPECT_GE(otherEngine.Step(), 19);
  }
  // A reload in bar mode while giving way looks again at the next tick.
  AddSite(0);
  store.settingsValue.howto = 0;
  host.fullScreen = true;
  engine.OnInit();
  host.RunFor(kStepMs);
  ASSERT_TRUE(engine.GivingWay());
  host.fullScreen = false;
  EXPECT_TRUE(engine.OnCommand(ticker_link::kReloadCommand));
  EXPECT_FALSE(engine.GivingWay());
  host.RunFor(kStepMs);
  EXPECT_TRUE(host.barVisible);
  EXPECT_FALSE(host.TimerActive(ticker::kGiveWayTimer));
}

// While the host waits in a send to another process, Windows delivers the messages other threads
// send to the ticker window. Such a message must not run inside the tick: a close would be
// followed by the rest of the tick drawing again, an item by the tick writing its stale text.
TEST(EngineDuringASend, AMessageWaitsUntilTheRunningHandlerIsDone) {
  struct Case {
    const char* name;
    int howto;  // 1 desktop, 2 title bar
    HostEvent::Kind during;
    bool close;  // otherwise a title-bar item arrives
  };
  const Case cases[] = {
      {"close during the snapshot", 1, HostEvent::kRefreshSnapshot, true},
      {"close during the wallpaper check", 1, HostEvent::kCheckWallpaper, true},
      {"close during the strip's copy", 1, HostEvent::kDrawDesktop, true},
      {"close during a caption write", 2, HostEvent::kDrawCaption, true},
      {"item during the snapshot", 1, HostEvent::kRefreshSnapshot, false},
      {"item during a caption write", 2, HostEvent::kDrawCaption, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeTickerHost host;
    fake::FakeTickerStore store;
    TickerEngine engine{host, store};
    host.onTimer = [&](int id) { engine.OnTimer(id); };
    store.settingsValue.howto = c.howto;
    store.AddSlot(0);
    host.pages["http://site0/"] = {"Site0", {"headline one", "headline two"}};
    engine.OnInit();
    host.RunFor(60 * kStepMs);  // past the first 50-tick snapshot

    bool delivered = false;
    host.duringSend = [&](HostEvent::Kind kind) {
      if (kind != c.during || delivered) return;
      delivered = true;
      if (c.close) {
        engine.OnClose();
        EXPECT_FALSE(engine.OnCommand(ticker_link::kReloadCommand)) << "closing already";
      } else {
        const std::string item = "@TITLE@A@/TITLE@@NEWS@new item";
        EXPECT_TRUE(engine.OnCopyData(ticker_link::kTagTitleBar, item.c_str(), item.size() + 1));
      }
    };
    ASSERT_TRUE(host.RunUntil([&] { return delivered; }, 60 * kStepMs));

    if (c.close) {
      EXPECT_EQ(host.desktopShows, "") << "the strip was drawn again after the clean-up";
      EXPECT_EQ(host.captionShows, "") << "the caption kept the ticker's text";
      EXPECT_FALSE(host.TimerActive(ticker::kTickTimer));
      EXPECT_FALSE(host.TimerActive(ticker::kPauseTimer));
      const auto closes = host.Events(HostEvent::kCloseWindows);
      ASSERT_EQ(closes.size(), 1u);
      EXPECT_EQ(host.events.back().kind, HostEvent::kCloseWindows) << "nothing after the end";
    } else {
      EXPECT_EQ(engine.SiteTitle(), "A");
      EXPECT_EQ(host.desktopShows, "") << "the old strip stays on the desktop";
      const auto written = host.Events(HostEvent::kDrawCaption);
      ASSERT_FALSE(written.empty());
      EXPECT_EQ(host.captionShows, written.back().text) << "a stale text was written last";
      EXPECT_NE(host.captionShows.find("ｎｅｗ"), std::string::npos);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// What the tray menu's headlines read from the other thread: the list now showing with its links,
// replaced whenever the list is (a fetch, a channel or news message).
TEST_F(Engine, ShownHeadlinesFollowEveryChangeOfTheList) {
  EXPECT_TRUE(engine.ShownHeadlines().empty());
  store.AddSlot(0, UrlEntry{"経済", "http://p/", "", 1});
  store.AddSlot(1, UrlEntry{"天気", "http://q/", "", 1});
  host.pages["http://p/"] = {"P", {"一つ目", "二つ目"}, false, {"http://p/1", ""}};
  host.pages["http://q/"] = {"Q", {"雨"}};
  engine.OnInit();
  host.RunFor(200);
  auto shown = engine.ShownHeadlines();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "一つ目");
  EXPECT_EQ(shown[0].link, "http://p/1");
  EXPECT_EQ(shown[1].text, "二つ目");
  EXPECT_EQ(shown[1].link, "");

  host.RunUntil([this] { return SiteFetches().size() == 2; }, 10 * kMinuteMs);
  shown = engine.ShownHeadlines();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "雨");
  EXPECT_EQ(shown[0].link, "");

  ASSERT_TRUE(Send(ticker_link::kTagDesktop, "@TITLE@A@/TITLE@@URL@B@/URL@@NEWS@x\ny\n"));
  shown = engine.ShownHeadlines();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, "y");
}

// News messages

TEST_F(Engine, ChannelItemMessageReplacesTheLine) {
  AddSite(0);
  AddSite(1);
  store.settingsValue.loopCount = 2;
  store.settingsValue.howto = 0;
  engine.OnInit();
  host.RunUntil([this] { return SiteFetches().size() == 2 && engine.Step() > 3; }, 10 * kMinuteMs);
  ASSERT_EQ(engine.CurrentSlot(), 1);
  host.ClearEvents();
  passes.clear();

  ASSERT_TRUE(Send(ticker_link::kTagDesktop, "@TITLE@A@/TITLE@@URL@B@/URL@@NEWS@x\ny\n"));
  EXPECT_EQ(engine.Mode(), 1);
  EXPECT_EQ(engine.SiteTitle(), "A");
  EXPECT_EQ(engine.SiteUrl(), "B");
  EXPECT_EQ(engine.Headlines().items, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(engine.RepeatCounter(), 2);
  EXPECT_EQ(engine.NextSlot(), 1);               // the interrupted entry comes again
  EXPECT_EQ(Count(HostEvent::kDrawDesktop), 1);  // the first tick ran at once
  EXPECT_NE(engine.DisplayLineText().find("●ｘ．．．　　　　　●ｙ．．．"), std::string::npos);
  EXPECT_TRUE(host.TimerActive(ticker::kTickTimer));

  // loopCount passes (two), then the list goes on with the interrupted slot in the user's mode.
  int passesOfMessage = 1;
  host.onTimer = [&](int id) {
    engine.OnTimer(id);
    if (id == ticker::kTickTimer && engine.Step() == 1 && engine.SiteTitle() == "A") ++passesOfMessage;
  };
  host.RunUntil([this] { return SiteFetches().size() == 3; }, 10 * kMinuteMs);
  EXPECT_EQ(passesOfMessage, 2);
  EXPECT_EQ(SiteFetches().back(), "http://site1/");
  EXPECT_EQ(engine.Mode(), 0);
}

TEST_F(Engine, ChannelItemWithLoopCountZeroStillGetsOnePass) {
  engine.OnInit();
  host.onTimer = [this](int id) { engine.OnTimer(id); };
  ASSERT_TRUE(Send(ticker_link::kTagTitleBar, "@TITLE@A@/TITLE@@NEWS@only"));
  EXPECT_EQ(engine.Mode(), 2);
  EXPECT_EQ(engine.RepeatCounter(), 0);
  const int chars = engine.Remaining() + 1;
  host.RunUntil([this] { return host.TimerActive(ticker::kPauseTimer); }, 10 * kMinuteMs);
  EXPECT_EQ(Count(HostEvent::kDrawCaption), chars);
}

TEST_F(Engine, FlashMessageKeepsTheLineAndStartsTheSequence) {
  AddSite(0);
  engine.OnInit();
  host.RunFor(500);
  const int built = engine.LineBuilt();
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@TITLE@A@/TITLE@@URL@B@/URL@@NEWS@x\ny\n"));
  EXPECT_EQ(engine.FlashTitle(), "A");
  EXPECT_EQ(engine.FlashLines(), (std::vector<std::string>{"x\ny"}));
  EXPECT_EQ(host.TimerInterval(ticker::kFlashTimerFirst), 1000);
  EXPECT_EQ(engine.LineBuilt(), built);
  EXPECT_TRUE(host.TimerActive(ticker::kTickTimer));
  // Nothing to show: no sequence.
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@NEWS@\f \f"));
  EXPECT_FALSE(host.TimerActive(ticker::kFlashTimerFirst));
}

TEST_F(Engine, FlashSequenceTiming) {
  store.settingsValue.online = 0;
  engine.OnInit();
  host.ClearEvents();
  const long long t0 = host.now;
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@TITLE@T@/TITLE@@NEWS@one\ftwo\fthree\f"));
  host.RunFor(kMinuteMs);
  struct Shown {
    long long at;
    std::string text;
  };
  std::vector<Shown> shown;
  for (const auto& e : host.Events(HostEvent::kFlashText)) shown.push_back({e.time - t0, e.text});
  const std::vector<Shown> expected = {{1000, "T"}, {2000, ""},    {2300, "T"},    {3300, ""},
                                       {3600, "T"}, {8600, "one"}, {13600, "two"}, {18600, "three"}};
  ASSERT_EQ(shown.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(shown[i].at, expected[i].at) << i;
    EXPECT_EQ(shown[i].text, expected[i].text) << i;
  }
  const auto hides = host.Events(HostEvent::kHideFlash);
  ASSERT_EQ(hides.size(), 1u);
  EXPECT_EQ(hides[0].time - t0, 23600);
  EXPECT_FALSE(host.flashVisible);
  EXPECT_TRUE(engine.FlashLines().empty());
  for (int id = ticker::kFlashTimerFirst; id <= ticker::kFlashTimerLast; ++id)
    EXPECT_FALSE(host.TimerActive(id));
}

TEST_F(Engine, NewFlashRestartsWithTheTitle) {
  store.settingsValue.online = 0;
  engine.OnInit();
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@TITLE@old@/TITLE@@NEWS@a\fb"));
  host.RunFor(9000);  // into the lines
  ASSERT_EQ(host.flashText, "a");
  host.ClearEvents();
  const long long t0 = host.now;
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@TITLE@new@/TITLE@@NEWS@c"));
  host.RunFor(1000);
  const auto texts = host.Events(HostEvent::kFlashText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "new");
  EXPECT_EQ(texts[0].time - t0, 1000);
}

TEST_F(Engine, ChannelItemDuringAFlashLetsTheFlashFinish) {
  store.settingsValue.online = 0;
  engine.OnInit();
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@TITLE@T@/TITLE@@NEWS@a\fb"));
  host.RunFor(9000);  // showing line a
  ASSERT_TRUE(Send(ticker_link::kTagBar, "@TITLE@C@/TITLE@@NEWS@item"));
  host.RunFor(20000);
  EXPECT_EQ(Count(HostEvent::kHideFlash), 1);
  EXPECT_FALSE(host.flashVisible);
  EXPECT_EQ(host.Events(HostEvent::kFlashText).back().text, "b");
}

TEST_F(Engine, FlashWithoutItsWindowDropsTheLines) {
  host.flashExists = false;
  ASSERT_TRUE(Send(ticker_link::kTagFlash, "@NEWS@a"));
  host.RunFor(2000);
  EXPECT_TRUE(engine.FlashLines().empty());
  EXPECT_EQ(Count(HostEvent::kFlashText), 0);
}

TEST_F(Engine, UnknownTagIsRefusedAndChangesNothing) {
  AddSite(0);
  engine.OnInit();
  host.RunFor(500);
  host.ClearEvents();
  EXPECT_FALSE(engine.OnCopyData(0x12345678, "@TITLE@A@/TITLE@", 17));
  EXPECT_FALSE(engine.OnCopyData(0x5A4C4C34, "x", 2));
  EXPECT_TRUE(host.events.empty());
  EXPECT_EQ(engine.SiteTitle(), "site0");
}

TEST_F(Engine, MessageWithoutTerminatorIsReadOnlyToItsLength) {
  const std::string text = "@TITLE@Q@/TITLE@@NEWS@zz";
  std::vector<char> exact(text.begin(), text.end());  // no zero: the sanitizer guards the end
  ASSERT_TRUE(engine.OnCopyData(ticker_link::kTagBar, exact.data(), exact.size() - 1));
  EXPECT_EQ(engine.SiteTitle(), "Q");
  EXPECT_EQ(engine.Headlines().items, (std::vector<std::string>{"z"}));
  EXPECT_EQ(engine.SiteUrl(), news::kMakerHomeUrl);
}

// ---------------------------------------------------------------------------------------------
// The built-in channel

class Channel : public Engine {
 protected:
  void Issue(std::vector<std::string> items, const std::string& title = news::kChannelTitle) {
    host.pages[news::kChannelPageUrl] = {title, std::move(items)};
  }
};

TEST_F(Channel, NewIssueIsShownOnceBeforeTheList) {
  AddSite(0);
  store.settingsValue.howto = 0;
  store.settingsValue.loopCount = 1;
  Issue({"id7", "ZELL3", "Chan", "http://chan/", "n1", "n2", "", "after the gap"});
  engine.OnInit();
  EXPECT_TRUE(SiteFetches().empty());
  EXPECT_EQ(engine.Mode(), 2);
  EXPECT_EQ(engine.SiteTitle(), "Chan");
  EXPECT_EQ(engine.SiteUrl(), "http://chan/");
  EXPECT_EQ(engine.Referrer(), "");
  EXPECT_EQ(engine.FilterLevel(), 0);
  EXPECT_EQ(engine.Headlines().items, (std::vector<std::string>{"n1", "n2"}));
  EXPECT_EQ(engine.RepeatCounter(), 2);
  EXPECT_EQ(store.homeId, "id7");
  EXPECT_EQ(host.TimerInterval(ticker::kTickTimer), 160);
  // Shown once: the next step goes to the list, in the user's mode again.
  host.RunUntil([this] { return SiteFetches().size() == 1; }, 30 * kMinuteMs);
  EXPECT_EQ(passes.size(), 2u);
  EXPECT_EQ(engine.Mode(), 0);
  EXPECT_EQ(store.homeIdWrites, 1);
}

TEST_F(Channel, AlreadyShownIssueLeavesTheList) {
  AddSite(0);
  store.homeId = "id7";
  Issue({"id7", "ZELL1", "Chan", "http://chan/", "n1"});
  engine.OnInit();
  EXPECT_EQ(SiteFetches(), (std::vector<std::string>{"http://site0/"}));
  EXPECT_EQ(store.homeIdWrites, 0);
  // Clearing "homeId" brings the issue back.
  store.homeId.clear();
  engine.OnCommand(ticker_link::kReloadCommand);
  EXPECT_EQ(engine.SiteTitle(), "Chan");
  EXPECT_EQ(engine.Mode(), 0);
}

TEST_F(Channel, OtherKindsAreShownInTheUsersMode) {
  store.settingsValue.howto = 2;
  Issue({"id9", "NOTICE", "Chan", "http://chan/", "n1"});
  engine.OnInit();
  EXPECT_EQ(engine.SiteTitle(), "Chan");
  EXPECT_EQ(engine.Mode(), 2);
  EXPECT_TRUE(host.TimerActive(ticker::kTickTimer));
}

TEST_F(Channel, FlashIssueGoesToTheFlashWindowAndTheListGoesOn) {
  AddSite(0);
  Issue({"id8", "FLASH", "速報", "http://u/", "a&enter;b", "c"});
  engine.OnInit();
  const auto sent = host.Events(HostEvent::kSendMessage);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(sent[0].id), ticker_link::kTagFlash);
  const std::string body = "@TITLE@速報@/TITLE@@URL@http://u/@/URL@@NEWS@a\r\nb\fc\f";
  EXPECT_EQ(sent[0].text, body + std::string(1, '\0'));
  EXPECT_EQ(engine.FlashTitle(), "速報");
  EXPECT_EQ(engine.FlashLines(), (std::vector<std::string>{"a\r\nb", "c"}));
  EXPECT_EQ(store.homeId, "id8");
  EXPECT_EQ(SiteFetches(), (std::vector<std::string>{"http://site0/"}));
}

TEST_F(Channel, PagesThatDoNotCountAreSilent) {
  AddSite(0);
  Issue({"id1", "ZELL1", "Chan", "http://chan/", "n1"}, "Other News");
  engine.OnInit();
  EXPECT_EQ(SiteFetches().size(), 1u);
  host.pages[news::kChannelPageUrl].title = news::kChannelTitle;
  host.pages[news::kChannelPageUrl].failed = true;
  engine.OnCommand(ticker_link::kReloadCommand);
  EXPECT_EQ(SiteFetches().size(), 2u);
  host.pages[news::kChannelPageUrl] = {news::kChannelTitle, {}};
  engine.OnCommand(ticker_link::kReloadCommand);
  EXPECT_EQ(SiteFetches().size(), 3u);
  EXPECT_EQ(store.homeIdWrites, 0);
}

}  // namespace
