#include <windows.h>

#include "support/ticker_link/ticker_address.h"

namespace ticker_link {

namespace {

class CSystemTickerAddress : public TickerAddress {
 public:
  // No class name: the ticker's window is a dialog, and the title alone is its address.
  bool IsRunning() override { return ::FindWindowA(nullptr, kWindowTitle) != nullptr; }

  bool PostCommand(int command) override {
    HWND wnd = ::FindWindowA(nullptr, kWindowTitle);
    if (!wnd) return false;
    return ::PostMessageA(wnd, WM_COMMAND, static_cast<WPARAM>(command), 0) != 0;
  }
};

}  // namespace

TickerAddress& SystemTickerAddress() {
  static CSystemTickerAddress address;
  return address;
}

}  // namespace ticker_link
