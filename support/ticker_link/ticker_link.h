// What the ticker, the browser companion and a second copy of the ticker agree on. They share no
// memory: the registry and window messages carry everything, so every name, id and layout that
// crosses a program boundary is defined here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ticker_link {

// The ticker's hidden main window is the top-level window with this title; other programs find
// it by the title alone.
constexpr const char kWindowTitle[] = "__@ZELLORA@__";

// The ticker's registry key, and the maker's key above it (the uninstall run deletes "Zellora"
// from it).
constexpr const char kRootPath[] = "HKEY_CURRENT_USER\\Software\\HOSHIRAI\\Zellora";
constexpr const char kMakerPath[] = "HKEY_CURRENT_USER\\Software\\HOSHIRAI";

// WM_COMMAND ids. The main window takes kExitCommand and the headline commands itself and relays
// every other id from kShowSlotCommandFirst up to the ticker window; kReloadCommand goes from the
// main window to the ticker window.
constexpr int kExitCommand = 1;
constexpr int kReloadCommand = 1031;
constexpr int kShowSlotCommandFirst = 10000;  // + URL-list slot: show that slot now
constexpr int kShowSlotCommandLast = 10999;
constexpr int kShowTempCommandFirst = 11000;  // show "URL_List\TEMP_URL" once
constexpr int kShowTempCommandLast = 11999;
constexpr int kRelayCommandFirst = kShowSlotCommandFirst;
// + item index (0-based): open the link of that headline of the page now showing in the browser.
constexpr int kOpenHeadlineCommandFirst = 12000;
constexpr int kOpenHeadlineCommandLast = 12999;

// A registered window message (RegisterWindowMessageA of this name) that a second start of the
// ticker sends to the running one's main window: "show your tray icon's balloon". The main
// window answers kShowItselfAnswer while it runs on, 0 once it is ending.
constexpr const char kShowItselfMessage[] = "Zellora.ShowItself";
constexpr long kShowItselfAnswer = 0x5A4C;

// The lock a ticker holds for its whole run: one ticker per session (a "Local\\" mutex).
constexpr const char kInstanceLockName[] = "Local\\Zellora.Ticker";

// The command that shows slot (0-31).
constexpr int ShowSlotCommand(int slot) {
  return kShowSlotCommandFirst + slot;
}

// News messages: WM_COPYDATA to the ticker with COPYDATASTRUCT.dwData one of these tags (the four
// characters read as a big-endian number), lpData the item-stream text in Shift_JIS and cbData its
// length in bytes (a terminating zero may be included; the text ends at the first zero).
constexpr std::uint32_t kTagBar = 0x5A4C4C31;       // 'ZLL1': channel item on the bar
constexpr std::uint32_t kTagDesktop = 0x5A4C4C32;   // 'ZLL2': channel item on the desktop
constexpr std::uint32_t kTagTitleBar = 0x5A4C4C33;  // 'ZLL3': channel item in the caption
constexpr std::uint32_t kTagFlash = 0x464C5348;     // 'FLSH': flash bulletins

// The text of a WM_COPYDATA record: at most cbData bytes, ending early at a zero inside them.
// A null pointer gives empty text. Never reads past data + cbData.
std::string ReadCopyDataText(const void* data, std::size_t cbData);

}  // namespace ticker_link
