// Zellmate as the native messaging host of the browser extension. A browser starts the program
// with the calling extension's origin and talks to it over standard input and output: each
// message is a 32-bit length in the machine's byte order followed by that many bytes of UTF-8
// JSON, in both directions. A message {"method": "AddURL" | "SendURL", "title", "url",
// "referrer"} runs the same AddURL / SendURL as the automation server; the answer is {"ok": true}
// or {"ok": false, "error": "<short reason>"}.
//
// This half is portable: the framing, the JSON and the dispatch, over two small stream
// interfaces. native_host_win.cpp binds them to the process's standard handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "companion/app/hand_over.h"

class CRegistry;

namespace zellmate::native_host {

// The host's name in the browsers' registrations and the extension's calls.
constexpr const char kHostName[] = "jp.hoshirai.zellmate";
// The one extension allowed to call the host: its origin in Chromium browsers (the id follows from
// the public key in the extension's manifest) and its id in Firefox.
constexpr const char kChromiumOrigin[] = "chrome-extension://njfelcioljopedogmojajlpfodpnbaim/";
constexpr const char kFirefoxId[] = "zellmate@hoshirai.jp";

// The longest message taken from the browser. Larger ones are refused unread: a page title and two
// addresses never come near it.
constexpr std::uint32_t kMaxMessageBytes = 1024 * 1024;

// The short reasons of a failed call, as the extension shows them.
namespace reason {
constexpr const char kEmptyUrl[] = "the URL is empty";
constexpr const char kListFull[] = "the URL list is full";
constexpr const char kNotRunning[] = "Zellora is not running";
constexpr const char kUnknownMethod[] = "unknown method";
constexpr const char kMalformedJson[] = "malformed JSON";
constexpr const char kMalformedMessage[] = "malformed message";
constexpr const char kTooLong[] = "message too long";
constexpr const char kCutShort[] = "message cut short";
constexpr const char kNotAllowed[] = "extension not allowed";
constexpr const char kInternal[] = "internal error";
}  // namespace reason

enum class Caller {
  kNone,     // not started by a browser
  kAllowed,  // started by a browser for our extension
  kRefused,  // started by a browser for another extension: every message is refused
};

// Who started the program, from its arguments (the program's path left out). A Chromium browser
// passes the calling extension's origin, "chrome-extension://<id>/", maybe followed by
// "--parent-window=<n>"; Firefox passes the path of the host's manifest (a .json file) and the
// extension's id.
Caller IdentifyCaller(const std::vector<std::string>& args);

// The process's standard input and output, or memory in tests.
class Input {
 public:
  virtual ~Input() = default;
  // Reads up to size bytes; 0 at the end of the input (or when it cannot be read any more).
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

class Output {
 public:
  virtual ~Output() = default;
  // Writes all size bytes; false when that failed.
  virtual bool Write(const char* data, std::size_t size) = 0;
};

// What the calls work on.
struct HostContext {
  HostContext(CRegistry& r, ticker_link::TickerAddress& t, bool a) : root(r), ticker(t), allowed(a) {}

  CRegistry& root;                     // Zellora's key
  ticker_link::TickerAddress& ticker;  // the running ticker, if any
  bool allowed;                        // the caller is our extension
  AddOptions addOptions;               // as the automation server's AddURL
  std::function<int()> random;         // SendURL's flash word; null: the C runtime's rand()
};

// The answer (UTF-8 JSON) to one message's text.
std::string HandleMessage(const std::string& message, HostContext& context);

// Answers message after message until the end of the input. A length that is cut off, larger than
// kMaxMessageBytes or longer than what follows is answered with an error and ends the input: the
// next length could not be found. Returns the number of messages answered.
int Serve(Input& in, Output& out, HostContext& context);

// One framed message: the length in the machine's byte order, then the text.
std::string Frame(const std::string& text);

}  // namespace zellmate::native_host
