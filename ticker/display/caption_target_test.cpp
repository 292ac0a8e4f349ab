#include "ticker/display/caption_target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using ticker::CCaptionTarget;
using ticker::WindowId;
namespace cs = ticker::caption_style;

constexpr std::uint32_t kApp = cs::kVisible | cs::kOverlappedWindow;
constexpr std::uint32_t kPopupApp = cs::kVisible | cs::kPopupWindow;

// A desktop of windows held in memory; writes are counted per window.
class FakeWindows : public ticker::CaptionWindows {
 public:
  struct Window {
    std::uint32_t style = kApp;
    std::u16string title;
    ticker::WindowIdentity identity;
    int width = 640;
    int writes = 0;
    bool busy = false;    // does not answer: writes time out
    std::u16string late;  // a timed-out write, delivered by Wake(id, true)
  };
  void Wake(WindowId id, bool deliverLate) {
    windows[id].busy = false;
    if (deliverLate && !windows[id].late.empty()) windows[id].title = windows[id].late;
    windows[id].late.clear();
  }

  WindowId Add(const std::u16string& title, std::uint32_t style = kApp) {
    const WindowId id = nextId++;
    Window w;
    w.style = style;
    w.title = title;
    w.identity = ticker::WindowIdentity{static_cast<std::uint32_t>(id * 10), 1, "AppClass"};
    w.width = 300 + static_cast<int>(id);
    windows[id] = w;
    zOrder.insert(zOrder.begin(), id);
    return id;
  }
  void Destroy(WindowId id) {
    windows.erase(id);
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), id), zOrder.end());
    if (foreground == id) foreground = ticker::kNoWindow;
  }

  WindowId Foreground() override { return foreground; }
  std::vector<WindowId> TopLevelWindows() override { return zOrder; }
  std::uint32_t Style(WindowId id) override { return Has(id) ? windows[id].style : 0; }
  bool Exists(WindowId id) override { return Has(id); }
  bool Identify(WindowId id, ticker::WindowIdentity& identity) override {
    if (!Has(id)) return false;
    identity = windows[id].identity;
    return true;
  }
  bool ReadTitle(WindowId id, std::u16string& title) override {
    if (!Has(id)) return false;
    title = windows[id].title;
    return true;
  }
  bool WriteTitle(WindowId id, const std::u16string& title) override {
    if (!Has(id)) return false;
    if (windows[id].busy) {
      // Times out; the window may take the title once it answers again.
      windows[id].late = title;
      return false;
    }
    windows[id].title = title;
    ++windows[id].writes;
    return true;
  }
  int OuterWidth(WindowId id) override { return Has(id) ? windows[id].width : 0; }

  bool Has(WindowId id) const { return windows.count(id) != 0; }

  std::map<WindowId, Window> windows;
  std::vector<WindowId> zOrder;  // top first
  WindowId foreground = ticker::kNoWindow;
  WindowId nextId = 1;
};

TEST(CaptionStyle, OnlyApplicationAndPopupWindowsQualify) {
  EXPECT_TRUE(ticker::IsCaptionCandidate(kApp));
  EXPECT_TRUE(ticker::IsCaptionCandidate(kPopupApp));
  EXPECT_TRUE(ticker::IsForegroundCandidate(kApp));
  EXPECT_TRUE(ticker::IsForegroundCandidate(kPopupApp));
  // Each bit of the overlapped-window style is needed.
  for (std::uint32_t bit : {cs::kCaption, cs::kSysMenu, cs::kThickFrame, cs::kMinimizeBox, cs::kMaximizeBox})
    EXPECT_FALSE(ticker::IsCaptionCandidate(kApp & ~bit)) << std::hex << bit;
  EXPECT_FALSE(ticker::IsCaptionCandidate(kApp & ~cs::kVisible));
  EXPECT_FALSE(ticker::IsCaptionCandidate(kApp | cs::kMinimized));
  EXPECT_FALSE(ticker::IsCaptionCandidate(cs::kVisible | cs::kPopup));  // a bare popup (the bar)
  EXPECT_FALSE(ticker::IsCaptionCandidate(kPopupApp & ~cs::kSysMenu));
  EXPECT_FALSE(ticker::IsForegroundCandidate(kPopupApp | cs::kMinimized));
}

TEST(CaptionTargetSearch, ForegroundFirstThenZOrder) {
  FakeWindows w;
  const WindowId bottom = w.Add(u"bottom");
  const WindowId minimised = w.Add(u"minimised", kApp | cs::kMinimized);
  const WindowId tool = w.Add(u"tool", cs::kVisible | cs::kPopup);
  EXPECT_EQ(ticker::FindCaptionTarget(w), bottom);  // no foreground: first suitable from the top
  w.foreground = tool;
  EXPECT_EQ(ticker::FindCaptionTarget(w), bottom);
  const WindowId top = w.Add(u"top", kPopupApp);
  EXPECT_EQ(ticker::FindCaptionTarget(w), top);
  w.foreground = bottom;
  EXPECT_EQ(ticker::FindCaptionTarget(w), bottom);
  w.Destroy(bottom);
  w.Destroy(top);
  EXPECT_EQ(ticker::FindCaptionTarget(w), ticker::kNoWindow);
  (void)minimised;
}

TEST(CaptionTarget, AppendsAfterTwoSpacesAndRestoresExactly) {
  FakeWindows w;
  const WindowId a = w.Add(u"(無題) - メモ帳");
  w.foreground = a;
  CCaptionTarget target(w);
  EXPECT_EQ(target.TargetWidth(), -1);
  target.Draw(u"ニュース");
  EXPECT_EQ(w.windows[a].title, u"(無題) - メモ帳  ニュース");
  EXPECT_EQ(target.Held(), a);
  EXPECT_EQ(target.TargetWidth(), w.windows[a].width);
  target.Draw(u"ュース１");
  EXPECT_EQ(w.windows[a].title, u"(無題) - メモ帳  ュース１");
  EXPECT_EQ(target.SavedTitle(), u"(無題) - メモ帳");
  target.Release();
  EXPECT_EQ(w.windows[a].title, u"(無題) - メモ帳");
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
  // Releasing twice writes nothing more.
  const int writes = w.windows[a].writes;
  target.Release();
  EXPECT_EQ(w.windows[a].writes, writes);
}

TEST(CaptionTarget, ForegroundChangeGivesTheFirstCaptionBack) {
  FakeWindows w;
  const WindowId a = w.Add(u"first");
  const WindowId b = w.Add(u"second");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw(u"ＡＢ");
  EXPECT_EQ(w.windows[a].title, u"first  ＡＢ");
  w.foreground = b;
  target.Draw(u"ＢＣ");
  EXPECT_EQ(w.windows[a].title, u"first");
  EXPECT_EQ(w.windows[b].title, u"second  ＢＣ");
  EXPECT_EQ(target.Held(), b);
  target.Release();
  EXPECT_EQ(w.windows[b].title, u"second");
}

TEST(CaptionTarget, UnsuitableWindowIsGivenBack) {
  FakeWindows w;
  const WindowId a = w.Add(u"only");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw(u"ＡＢ");
  // Minimised, with no other window to take over: given back, nothing held, nothing written.
  w.windows[a].style |= cs::kMinimized;
  target.Draw(u"ＢＣ");
  EXPECT_EQ(w.windows[a].title, u"only");
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
  EXPECT_EQ(target.TargetWidth(), -1);
  // Restored: taken again.
  w.windows[a].style &= ~cs::kMinimized;
  target.Draw(u"ＣＤ");
  EXPECT_EQ(w.windows[a].title, u"only  ＣＤ");
}

TEST(CaptionTarget, HeldWindowKeptWhileNothingElseQualifies) {
  FakeWindows w;
  const WindowId a = w.Add(u"held");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw(u"ＡＢ");
  // The foreground moves to a window that does not qualify: the z-order walk finds the held one.
  const WindowId tool = w.Add(u"tool", cs::kVisible | cs::kPopup);
  w.foreground = tool;
  target.Draw(u"ＢＣ");
  EXPECT_EQ(target.Held(), a);
  EXPECT_EQ(w.windows[a].title, u"held  ＢＣ");
  EXPECT_EQ(w.windows[tool].writes, 0);
}

TEST(CaptionTarget, RetitledWindowKeepsItsNewTitle) {
  FakeWindows w;
  const WindowId a = w.Add(u"page 1 - browser");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw(u"ＡＢ");
  w.windows[a].title = u"page 2 - browser";  // the window sets its own caption
  target.Draw(u"ＢＣ");
  EXPECT_EQ(w.windows[a].title, u"page 2 - browser  ＢＣ");
  EXPECT_EQ(target.SavedTitle(), u"page 2 - browser");
  target.Release();
  EXPECT_EQ(w.windows[a].title, u"page 2 - browser");
}

TEST(CaptionTarget, DestroyedOrReusedHandleIsNeverWritten) {
  FakeWindows w;
  const WindowId a = w.Add(u"doomed");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw(u"ＡＢ");
  w.Destroy(a);
  target.Release();  // nothing to give back to
  EXPECT_EQ(target.Held(), ticker::kNoWindow);

  // A new window that got the same handle must not receive the old window's title.
  const WindowId b = w.Add(u"victim");
  w.foreground = b;
  target.Draw(u"ＡＢ");
  ASSERT_EQ(target.Held(), b);
  FakeWindows::Window replacement;
  replacement.title = u"newcomer";
  replacement.identity = ticker::WindowIdentity{999, 7, "OtherClass"};
  w.windows[b] = replacement;
  EXPECT_EQ(target.TargetWidth(), -1);
  target.Release();
  EXPECT_EQ(w.windows[b].title, u"newcomer");
  EXPECT_EQ(w.windows[b].writes, 0);
}

TEST(CaptionTarget, TimedOutWritesAreNotTakenForARetitle) {
  for (bool deliverLate : {false, true}) {
    FakeWindows w;
    const WindowId a = w.Add(u"busy");
    w.foreground = a;
    CCaptionTarget target(w);
    target.Draw(u"ＡＢ");
    w.windows[a].busy = true;
    target.Draw(u"ＢＣ");  // times out
    EXPECT_EQ(w.windows[a].title, u"busy  ＡＢ");
    w.Wake(a, deliverLate);  // the late write is dropped, or arrives after all
    target.Draw(u"ＣＤ");
    EXPECT_EQ(w.windows[a].title, u"busy  ＣＤ") << deliverLate;
    EXPECT_EQ(target.SavedTitle(), u"busy") << deliverLate;
    target.Release();
    EXPECT_EQ(w.windows[a].title, u"busy") << deliverLate;
  }
}

TEST(CaptionTarget, NoCandidateDrawsNothing) {
  FakeWindows w;
  w.Add(u"hidden", kApp & ~cs::kVisible);
  CCaptionTarget target(w);
  target.Draw(u"ＡＢ");
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
  EXPECT_EQ(w.windows.begin()->second.writes, 0);
}

// No half of a surrogate pair stands alone.
bool WholeCharacters(const std::u16string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool high = s[i] >= 0xD800 && s[i] <= 0xDBFF;
    const bool low = s[i] >= 0xDC00 && s[i] <= 0xDFFF;
    if (low) return false;
    if (high) {
      if (i + 1 == s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

TEST(CaptionFormat, LongTitlesAreCutAtACharacterBoundary) {
  std::u16string ticker;
  for (int i = 0; i < 124; ++i) ticker += u"ニ";  // the most a tick shows
  EXPECT_EQ(ticker::FormatCaption(u"t", ticker), u"t  " + ticker);

  // Counted in UTF-16 units of what is written, whatever script: 1023 of them.
  const std::u16string ascii(1023, u'x');
  EXPECT_EQ(ticker::FormatCaption(ascii, ticker), ascii);
  std::u16string kanji;
  for (int i = 0; i < 1000; ++i) kanji += u"表";
  EXPECT_EQ(ticker::FormatCaption(kanji, ticker), kanji + u"  " + ticker.substr(0, 21));
  EXPECT_EQ(ticker::FormatCaption(kanji, ticker).size(), ticker::kMaxCaptionUnits);

  const std::u16string title(1020, u'y');
  EXPECT_EQ(ticker::FormatCaption(title, ticker), title + u"  ニ");
  EXPECT_EQ(ticker::FormatCaption(title.substr(1), ticker), title.substr(1) + u"  ニニ");
  // A character outside the basic plane counts two units; one that would straddle the limit is
  // left out whole.
  EXPECT_EQ(ticker::FormatCaption(title + u"\U0001F600", ticker), title + u"\U0001F600 ");  // 1022 + 1
  const std::u16string y1021(1021, u'y');
  EXPECT_EQ(ticker::FormatCaption(y1021 + u"\U0001F600", u""), y1021 + u"\U0001F600");  // 1023: kept
  EXPECT_EQ(ticker::FormatCaption(y1021 + u"\u00E9\U0001F600", u""),
            y1021 + u"\u00E9");  // its second half is unit 1024

  for (std::size_t n = 1000; n <= 1030; ++n) {
    std::u16string mixed;
    while (mixed.size() < n) mixed += mixed.size() % 3 ? u"\U0001F600" : u"©";
    const std::u16string c = ticker::FormatCaption(mixed, ticker);
    EXPECT_LE(c.size(), ticker::kMaxCaptionUnits) << n;
    EXPECT_GE(c.size(), ticker::kMaxCaptionUnits - 1) << n;
    EXPECT_TRUE(WholeCharacters(c)) << n;
    const std::size_t common = std::min(c.size(), mixed.size());
    EXPECT_EQ(c.compare(0, common, mixed, 0, common), 0) << n;
  }
}

TEST(CaptionTarget, LongCaptionReadsBackAsWrittenAndIsRestoredWhole) {
  FakeWindows w;
  std::u16string title;
  for (int i = 0; i < 1021; ++i) title += u"能";
  title += u"\U0001F600";  // 1023 units
  const WindowId a = w.Add(title);
  w.foreground = a;
  CCaptionTarget target(w);
  std::u16string ticker;
  for (int i = 0; i < 124; ++i) ticker += u"ニ";
  for (int tick = 0; tick < 5; ++tick) target.Draw(ticker);
  EXPECT_LE(w.windows[a].title.size(), ticker::kMaxCaptionUnits);
  EXPECT_EQ(target.SavedTitle(), title);  // our own writes are never taken for a retitle
  target.Release();
  EXPECT_EQ(w.windows[a].title, title);
  // Longer than the limit: shown cut, given back whole.
  title += u"\u00E4";
  w.windows[a].title = title;
  target.Draw(ticker);
  EXPECT_EQ(w.windows[a].title, title.substr(0, 1023));
  target.Draw(ticker);
  EXPECT_EQ(target.SavedTitle(), title);
  target.Release();
  EXPECT_EQ(w.windows[a].title, title);
}

// A caption in scripts code page 932 cannot hold keeps every character through a whole round.
TEST(CaptionTarget, CaptionsOutsideTheCodePageComeBackExactly) {
  FakeWindows w;
  // "Café 😀 © Ελληνικά — naïve", written with escapes (the compiler's narrow character set is code
  // page 932, which lacks most of them).
  const std::u16string own =
      u"Caf\u00E9 \U0001F600 \u00A9 \u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \u2014 na\u00EFve";
  const WindowId a = w.Add(own);
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw(u"ニュース");
  EXPECT_EQ(w.windows[a].title, own + u"  ニュース");
  w.windows[a].title = own + u" \u2713";  // it retitles itself
  target.Draw(u"ュース");
  EXPECT_EQ(w.windows[a].title, own + u" \u2713  ュース");
  target.Release();
  EXPECT_EQ(w.windows[a].title, own + u" \u2713");
}

}  // namespace
