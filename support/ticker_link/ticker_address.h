// How other processes reach a running ticker: they post WM_COMMAND messages to its main window,
// found by its title (ticker_link.h). The uninstall run and the browser companion post through
// this seam, so their logic runs in tests against a recording fake.
#pragma once

#include "support/ticker_link/ticker_link.h"

namespace ticker_link {

class TickerAddress {
 public:
  virtual ~TickerAddress() = default;
  // Whether a top-level window titled kWindowTitle exists.
  virtual bool IsRunning() = 0;
  // Posts WM_COMMAND (wParam command, lParam 0) to the first top-level window titled
  // kWindowTitle. False when no such window exists or the post fails.
  virtual bool PostCommand(int command) = 0;
};

#ifdef ZELLORA_WINDOWS
// The real windows of this desktop (FindWindowA / PostMessageA).
TickerAddress& SystemTickerAddress();
#endif

}  // namespace ticker_link
