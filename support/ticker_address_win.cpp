#include <windows.h>

#include "support/ticker_address.h"

namespace ticker_address {

namespace {

class CSystemTickerAddress : public TickerAddress {
 public:
  bool PostCommand(unsigned command) override {
    // No class name: the ticker's window is a dialog, and the title alone is its address.
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

}  // namespace ticker_address
