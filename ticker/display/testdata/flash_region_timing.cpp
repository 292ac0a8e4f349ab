// Times the flash window's region on a screen-wide bitmap full of text, the worst case of a
// bulletin's shape, against the same region joined run by run:
//
//   flash_region_timing.exe [WIDTH] [ROUNDS]     (default 1920 pixels, 20 rounds)
//
// It prints the runs, the region's size and the median and slowest time of each way.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/win/handles.h"
#include "ticker/display/draw_strip_win.h"
#include "ticker/display/flash_wnd_win.h"

namespace {

HRGN RunByRun(CDibSurface& s, COLORREF key, int& runs) {
  HRGN all = ::CreateRectRgn(0, 0, 0, 0);
  runs = 0;
  for (int y = 0; y < s.GetHeight(); ++y) {
    int x = 0;
    while (x < s.GetWidth()) {
      while (x < s.GetWidth() && s.GetPixel(x, y) == key) ++x;
      if (x == s.GetWidth()) break;
      const int start = x;
      while (x < s.GetWidth() && s.GetPixel(x, y) != key) ++x;
      win::CRegionHandle run(::CreateRectRgn(start, y, x, y + 1));
      ::CombineRgn(all, all, run.Get(), RGN_OR);
      ++runs;
    }
  }
  return all;
}

template <typename Make>
std::vector<double> Time(int rounds, Make make) {
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    win::CRegionHandle region(make());
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 1 ? std::max(64, std::atoi(argv[1])) : 1920;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  CDibSurface s;
  if (!s.Create(width, ticker::kFlashHeight, 32)) return 1;
  s.FillSolidRect(0, 0, width, ticker::kFlashHeight, ticker::kFlashKeyColour);
  std::string text;
  for (int i = 0; i < width / 48; ++i) text += "鹿児島付近を震源地に地震が発生しました。";
  s.DrawTextFont(text, RECT{0, 8, width, ticker::kFlashHeight}, DT_CENTER | DT_WORDBREAK, RGB(255, 255, 255),
                 ticker::kFlashPointTenths, ticker::kStripFace);

  win::CRegionHandle region(ticker::CreateRegionFromKey(s, ticker::kFlashKeyColour));
  const DWORD bytes = region ? ::GetRegionData(region.Get(), 0, nullptr) : 0;
  const std::vector<double> fast =
      Time(rounds, [&] { return ticker::CreateRegionFromKey(s, ticker::kFlashKeyColour); });
  int runs = 0;
  const std::vector<double> slow =
      Time(std::min(rounds, 3), [&] { return RunByRun(s, ticker::kFlashKeyColour, runs); });
  std::printf("%d x %d pixels, %d runs, region of %lu bytes\n", width, ticker::kFlashHeight, runs,
              static_cast<unsigned long>(bytes));
  std::printf("rows joined pairwise: median %.1f ms, slowest %.1f ms (%d rounds)\n", fast[fast.size() / 2],
              fast.back(), rounds);
  std::printf("run by run:           median %.1f ms, slowest %.1f ms (%zu rounds)\n", slow[slow.size() / 2],
              slow.back(), slow.size());
  return 0;
}
