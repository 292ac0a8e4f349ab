// How other processes reach a running ticker: its hidden main window is a top-level window titled
// "__@ZELLORA@__", and it takes WM_COMMAND messages. The uninstall run and the browser companion
// post through this seam, so their logic runs in tests against a recording fake.
#pragma once

namespace ticker_address {

constexpr const char kWindowTitle[] = "__@ZELLORA@__";

// Command ids understood by the main window.
constexpr unsigned kExitCommand = 1;
constexpr unsigned kShowSlotCommandBase = 10000;  // + URL-list slot
constexpr unsigned kShowTempCommand = 11000;

class TickerAddress {
 public:
  virtual ~TickerAddress() = default;
  // Posts WM_COMMAND (wParam command, lParam 0) to the first top-level window titled
  // kWindowTitle. False when no such window exists (or the post fails).
  virtual bool PostCommand(unsigned command) = 0;
};

#ifdef ZELLORA_WINDOWS
// The real windows of this desktop (FindWindowA / PostMessageA).
TickerAddress& SystemTickerAddress();
#endif

}  // namespace ticker_address
