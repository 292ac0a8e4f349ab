#include "ticker/display/caption_target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/text/sjis.h"

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
    std::string title;
    ticker::WindowIdentity identity;
    int width = 640;
    int writes = 0;
    bool busy = false;  // does not answer: writes time out
    std::string late;   // a timed-out write, delivered by Wake(id, true)
  };
  void Wake(WindowId id, bool deliverLate) {
    windows[id].busy = false;
    if (deliverLate && !windows[id].late.empty()) windows[id].title = windows[id].late;
    windows[id].late.clear();
  }

  WindowId Add(const std::string& title, std::uint32_t style = kApp) {
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
  bool ReadTitle(WindowId id, std::string& title) override {
    if (!Has(id)) return false;
    title = windows[id].title;
    return true;
  }
  bool WriteTitle(WindowId id, const std::string& title) override {
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
  const WindowId bottom = w.Add("bottom");
  const WindowId minimised = w.Add("minimised", kApp | cs::kMinimized);
  const WindowId tool = w.Add("tool", cs::kVisible | cs::kPopup);
  EXPECT_EQ(ticker::FindCaptionTarget(w), bottom);  // no foreground: first suitable from the top
  w.foreground = tool;
  EXPECT_EQ(ticker::FindCaptionTarget(w), bottom);
  const WindowId top = w.Add("top", kPopupApp);
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
  const WindowId a = w.Add("(無題) - メモ帳");
  w.foreground = a;
  CCaptionTarget target(w);
  EXPECT_EQ(target.TargetWidth(), -1);
  target.Draw("ニュース");
  EXPECT_EQ(w.windows[a].title, "(無題) - メモ帳  ニュース");
  EXPECT_EQ(target.Held(), a);
  EXPECT_EQ(target.TargetWidth(), w.windows[a].width);
  target.Draw("ュース１");
  EXPECT_EQ(w.windows[a].title, "(無題) - メモ帳  ュース１");
  EXPECT_EQ(target.SavedTitle(), "(無題) - メモ帳");
  target.Release();
  EXPECT_EQ(w.windows[a].title, "(無題) - メモ帳");
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
  // Releasing twice writes nothing more.
  const int writes = w.windows[a].writes;
  target.Release();
  EXPECT_EQ(w.windows[a].writes, writes);
}

TEST(CaptionTarget, ForegroundChangeGivesTheFirstCaptionBack) {
  FakeWindows w;
  const WindowId a = w.Add("first");
  const WindowId b = w.Add("second");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw("ＡＢ");
  EXPECT_EQ(w.windows[a].title, "first  ＡＢ");
  w.foreground = b;
  target.Draw("ＢＣ");
  EXPECT_EQ(w.windows[a].title, "first");
  EXPECT_EQ(w.windows[b].title, "second  ＢＣ");
  EXPECT_EQ(target.Held(), b);
  target.Release();
  EXPECT_EQ(w.windows[b].title, "second");
}

TEST(CaptionTarget, UnsuitableWindowIsGivenBack) {
  FakeWindows w;
  const WindowId a = w.Add("only");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw("ＡＢ");
  // Minimised, with no other window to take over: given back, nothing held, nothing written.
  w.windows[a].style |= cs::kMinimized;
  target.Draw("ＢＣ");
  EXPECT_EQ(w.windows[a].title, "only");
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
  EXPECT_EQ(target.TargetWidth(), -1);
  // Restored: taken again.
  w.windows[a].style &= ~cs::kMinimized;
  target.Draw("ＣＤ");
  EXPECT_EQ(w.windows[a].title, "only  ＣＤ");
}

TEST(CaptionTarget, HeldWindowKeptWhileNothingElseQualifies) {
  FakeWindows w;
  const WindowId a = w.Add("held");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw("ＡＢ");
  // The foreground moves to a window that does not qualify: the z-order walk finds the held one.
  const WindowId tool = w.Add("tool", cs::kVisible | cs::kPopup);
  w.foreground = tool;
  target.Draw("ＢＣ");
  EXPECT_EQ(target.Held(), a);
  EXPECT_EQ(w.windows[a].title, "held  ＢＣ");
  EXPECT_EQ(w.windows[tool].writes, 0);
}

TEST(CaptionTarget, RetitledWindowKeepsItsNewTitle) {
  FakeWindows w;
  const WindowId a = w.Add("page 1 - browser");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw("ＡＢ");
  w.windows[a].title = "page 2 - browser";  // the window sets its own caption
  target.Draw("ＢＣ");
  EXPECT_EQ(w.windows[a].title, "page 2 - browser  ＢＣ");
  EXPECT_EQ(target.SavedTitle(), "page 2 - browser");
  target.Release();
  EXPECT_EQ(w.windows[a].title, "page 2 - browser");
}

TEST(CaptionTarget, DestroyedOrReusedHandleIsNeverWritten) {
  FakeWindows w;
  const WindowId a = w.Add("doomed");
  w.foreground = a;
  CCaptionTarget target(w);
  target.Draw("ＡＢ");
  w.Destroy(a);
  target.Release();  // nothing to give back to
  EXPECT_EQ(target.Held(), ticker::kNoWindow);

  // A new window that got the same handle must not receive the old window's title.
  const WindowId b = w.Add("victim");
  w.foreground = b;
  target.Draw("ＡＢ");
  ASSERT_EQ(target.Held(), b);
  FakeWindows::Window replacement;
  replacement.title = "newcomer";
  replacement.identity = ticker::WindowIdentity{999, 7, "OtherClass"};
  w.windows[b] = replacement;
  EXPECT_EQ(target.TargetWidth(), -1);
  target.Release();
  EXPECT_EQ(w.windows[b].title, "newcomer");
  EXPECT_EQ(w.windows[b].writes, 0);
}

TEST(CaptionTarget, TimedOutWritesAreNotTakenForARetitle) {
  for (bool deliverLate : {false, true}) {
    FakeWindows w;
    const WindowId a = w.Add("busy");
    w.foreground = a;
    CCaptionTarget target(w);
    target.Draw("ＡＢ");
    w.windows[a].busy = true;
    target.Draw("ＢＣ");  // times out
    EXPECT_EQ(w.windows[a].title, "busy  ＡＢ");
    w.Wake(a, deliverLate);  // the late write is dropped, or arrives after all
    target.Draw("ＣＤ");
    EXPECT_EQ(w.windows[a].title, "busy  ＣＤ") << deliverLate;
    EXPECT_EQ(target.SavedTitle(), "busy") << deliverLate;
    target.Release();
    EXPECT_EQ(w.windows[a].title, "busy") << deliverLate;
  }
}

TEST(CaptionTarget, NoCandidateDrawsNothing) {
  FakeWindows w;
  w.Add("hidden", kApp & ~cs::kVisible);
  CCaptionTarget target(w);
  target.Draw("ＡＢ");
  EXPECT_EQ(target.Held(), ticker::kNoWindow);
  EXPECT_EQ(w.windows.begin()->second.writes, 0);
}

bool WholeCharacters(const std::string& s) {
  std::size_t pos = 0;
  while (pos < s.size()) {
    const std::size_t next = sjis::NextChar(s, pos);
    if (next - pos == 1 && sjis::IsLeadByte(s[pos])) return false;  // a lead byte without its partner
    pos = next;
  }
  return true;
}

TEST(CaptionFormat, LongTitlesAreCutAtACharacterBoundary) {
  std::string ticker;
  for (int i = 0; i < 124; ++i) ticker += "ニ";  // 248 bytes
  EXPECT_EQ(ticker::FormatCaption("t", ticker), "t  " + ticker);

  const std::string ascii(1023, 'x');
  EXPECT_EQ(ticker::FormatCaption(ascii, ticker), ascii);

  std::string wide;
  for (int i = 0; i < 511; ++i) wide += "表";  // 1022 bytes, trail byte 0x5C
  const std::string cut = ticker::FormatCaption(wide, ticker);
  EXPECT_EQ(cut, wide + " ");
  EXPECT_LE(cut.size(), ticker::kMaxCaptionBytes);

  // The boundary falls inside a double-byte character of the ticker text: it is left out whole.
  const std::string title(1020, 'y');
  EXPECT_EQ(ticker::FormatCaption(title, ticker), title + "  ");
  const std::string title2(1019, 'y');
  EXPECT_EQ(ticker::FormatCaption(title2, ticker), title2 + "  ニ");

  for (std::size_t n = 1000; n <= 1030; ++n) {
    std::string mixed;
    while (mixed.size() < n) mixed += mixed.size() % 3 ? "ソ" : "a";
    const std::string c = ticker::FormatCaption(mixed, ticker);
    EXPECT_LE(c.size(), ticker::kMaxCaptionBytes) << n;
    EXPECT_TRUE(WholeCharacters(c)) << n;
    EXPECT_EQ(c.compare(0, std::min(c.size(), mixed.size()), mixed, 0, std::min(c.size(), mixed.size())), 0);
  }
}

TEST(CaptionTarget, LongCaptionReadsBackAsWrittenAndIsRestoredWhole) {
  FakeWindows w;
  std::string title;
  for (int i = 0; i < 511; ++i) title += "能";
  title += "z";  // 1023 bytes
  const WindowId a = w.Add(title);
  w.foreground = a;
  CCaptionTarget target(w);
  std::string ticker;
  for (int i = 0; i < 124; ++i) ticker += "ニ";
  for (int tick = 0; tick < 5; ++tick) target.Draw(ticker);
  EXPECT_LE(w.windows[a].title.size(), ticker::kMaxCaptionBytes);
  EXPECT_EQ(target.SavedTitle(), title);  // our own writes are never taken for a retitle
  target.Release();
  EXPECT_EQ(w.windows[a].title, title);
}

}  // namespace
