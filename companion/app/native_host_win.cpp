#include "companion/app/native_host_win.h"

#include <windows.h>

#include <climits>

#include "support/registry/registry.h"
#include "support/ticker_link/ticker_address.h"
#include "support/ticker_link/ticker_link.h"

namespace zellmate::native_host {

namespace {

// The browser starts the host with both standard handles on pipes (Chromium through "cmd /c" with
// redirections, Firefox directly); a GUI program inherits them like a console one. Plain ReadFile
// and WriteFile: no C runtime stream stands between, so no text-mode translation of the bytes.
class HandleInput : public Input {
 public:
  explicit HandleInput(HANDLE h) : handle(h) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || size == 0) return 0;
    DWORD got = 0;
    const DWORD want = size > INT_MAX ? INT_MAX : static_cast<DWORD>(size);
    // A pipe whose writer closed reports ERROR_BROKEN_PIPE; a file reports 0 bytes at its end.
    if (!::ReadFile(handle, buffer, want, &got, nullptr)) return 0;
    return got;
  }

 private:
  HANDLE handle;
};

class HandleOutput : public Output {
 public:
  explicit HandleOutput(HANDLE h) : handle(h) {}
  bool Write(const char* data, std::size_t size) override {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    while (size > 0) {
      DWORD wrote = 0;
      const DWORD chunk = size > INT_MAX ? INT_MAX : static_cast<DWORD>(size);
      if (!::WriteFile(handle, data, chunk, &wrote, nullptr) || wrote == 0) return false;
      data += wrote;
      size -= wrote;
    }
    return true;
  }

 private:
  HANDLE handle;
};

}  // namespace

int RunNativeHost(Caller caller, const AddOptions& addOptions) {
  HandleInput in(::GetStdHandle(STD_INPUT_HANDLE));
  HandleOutput out(::GetStdHandle(STD_OUTPUT_HANDLE));
  CRegistry root(ticker_link::kRootPath);
  HostContext context(root, ticker_link::SystemTickerAddress(), caller == Caller::kAllowed);
  context.addOptions = addOptions;
  Serve(in, out, context);
  return caller == Caller::kAllowed ? 0 : 1;
}

}  // namespace zellmate::native_host
