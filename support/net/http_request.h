// One HTTP GET request with the program's header block: the HTTP seam. The Windows build sends it
// with WinInet (http_request_win.cpp), the native build with libcurl (http_request_posix.cpp);
// both send the same request line and headers, follow up to kHttpMaxRedirects redirects, use the
// system's proxy settings, never cache, and read the body of whatever status the server answers with.
// After Open, Response() tells what the server answered: the final status, the address the answer
// came from after the redirects, and the few headers a caller may act on.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

// A conditional request: the validators of an earlier answer. Empty values are not sent, nor is a
// value holding a control character (it could add header lines of its own).
struct HttpConditions {
  std::string ifNoneMatch;      // an ETag, sent as If-None-Match
  std::string ifModifiedSince;  // a Last-Modified date, sent as If-Modified-Since
};

// What the server answered to the last hop of a request. Header values are as the server wrote
// them, white space at both ends trimmed; empty when the header is absent.
struct HttpResponse {
  int status = 0;        // the final status code; 0 when no answer came
  std::string finalUrl;  // the address the answer came from, after redirects
  std::string contentType;
  std::string etag;
  std::string lastModified;
  std::string retryAfter;
};

class HttpRequest {
 public:
  HttpRequest();
  ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Opens a session, a connection and the GET request for url and sends it. referrer, userName
  // and password may be null; a null referrer sends the fixed portal page as Referer. The
  // credentials are used only when both are non-empty. An https:// address is fetched over TLS
  // with the certificate checked; any other scheme but http:// fails, and so does an address
  // holding a control character. The address goes out as a browser sends it (address_encoding.h):
  // Japanese text of its path and query as percent-encoded UTF-8, a Japanese host name in IDNA
  // form; one whose host name cannot be converted fails. On failure everything
  // opened so far is closed again and false is returned. Never throws.
  bool Open(const char* url, const char* referrer, const char* userName, const char* password);

  // The validators sent with the next Open (after the header block, on every hop), until changed.
  void SetConditions(const HttpConditions& validators) { conditions = validators; }

  // The answer to the last successful Open; status 0 before one, and after a failed Open.
  const HttpResponse& Response() const { return response; }

  // Sets the size of the client's read buffer (64 KiB for pages). WinInet takes it as an option of
  // the sent request; libcurl's buffer is fixed when the request is opened, at the same 64 KiB.
  void SetReadBufferSize(unsigned long bytes);

  // Reads up to size bytes of the body into buffer. Returns the number of bytes read, 0 at the end
  // of the body, -1 on failure (a broken connection, a time-out, an abort, no open request).
  long Read(char* buffer, std::size_t size);

  // Closes the request, then the connection, then the session, each only if open; errors while
  // closing are ignored. The destructor does the same.
  void Close();

  bool IsOpen() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl;
  HttpConditions conditions;
  HttpResponse response;
};

// Lets another thread end a fetch at once, whatever the request waits for (the connection, the
// answer, the next bytes of the body). The fetching thread puts it in force with a Scope; while
// that lives, every HttpRequest the thread opens can be ended by Abort() from any thread: the
// request in flight stops waiting and fails like a broken connection, and every request opened
// after it fails at once, until the fetching thread calls Reset(). Requests on other threads, or
// opened without a Scope, are never affected.
class HttpAbort {
 public:
  HttpAbort() = default;
  HttpAbort(const HttpAbort&) = delete;
  HttpAbort& operator=(const HttpAbort&) = delete;

  // Any thread.
  void Abort();
  bool Requested() const { return requested.load(); }
  // The fetching thread, when what comes next is wanted again.
  void Reset() { requested.store(false); }

  class Scope {
   public:
    explicit Scope(HttpAbort& abort);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    HttpAbort* previous;
  };

  // --- for the clients (http_request_*.cpp) ---
  // The abort in force on this thread, or null.
  static HttpAbort* Current();
  // The request in flight, told of an abort through the client's own wake-up (it must stay
  // attached only while it lives).
  void Attach(HttpRequest::Impl* request);
  void Detach(HttpRequest::Impl* request);

 private:
  std::atomic<bool> requested{false};
  std::mutex lock;
  HttpRequest::Impl* inFlight = nullptr;
};

// WinInet's default time-outs, which the native client reproduces: 60 s to connect, 30 s to wait
// for the next data of the response.
constexpr int kHttpConnectTimeoutMs = 60000;
constexpr int kHttpReceiveTimeoutMs = 30000;
// Redirects followed before a request counts as failed (a loop or an endless chain ends there).
constexpr int kHttpMaxRedirects = 10;

// The Referer sent when no referrer is given.
extern const char kDefaultReferrer[];

// The parts of the request that do not depend on the client library.
namespace http_detail {

// False for an address holding a control character (CR, LF, tab, ...): WinInet would copy it
// into the request line, so an address could add header lines of its own.
bool IsSendableUrl(const char* url);

// A value taken from outside for a request header (a referrer, a user name), or empty when it
// holds a control character: CR or LF would start header lines of its own, and a cut-off value
// would be sent as something it never was. Null stays null.
const char* HeaderValue(const char* value);

// True when both texts are given and non-empty, and the user name is a usable header value.
bool UseCredentials(const char* userName, const char* password);

// The header block added to every request, in this order: ClientHost, Accept, User-Agent, Referer,
// each line ended by CR LF. A null referrer gives kDefaultReferrer; an empty one, or one holding a
// control character, an empty Referer.
std::string BuildHeaderBlock(const std::string& clientName, const char* referrer);

// The conditional header lines for validators, each ended by CR LF: If-None-Match, then
// If-Modified-Since; an empty value, or one holding a control character, gives no line.
std::string BuildConditionalHeaders(const HttpConditions& conditions);

// The computer's name, or "ClientPC" when it cannot be read.
std::string ClientName();

// The platform's computer name; false when it cannot be read (each client file defines it).
bool ReadComputerName(std::string& name);

// Wakes a request of the client's that is waiting, so that it sees an abort (each client file
// defines it; called from the aborting thread while the request is attached).
void WakeRequest(HttpRequest::Impl& request);

}  // namespace http_detail

// Settings for tests only: the product never changes them.
namespace http_test {

enum class FailPoint { kNone, kSession, kConnect, kOpenRequest, kSend, kRead };

struct Settings {
  int connectTimeoutMs = 0;             // 0: kHttpConnectTimeoutMs
  int receiveTimeoutMs = 0;             // 0: kHttpReceiveTimeoutMs
  int pageDeadlineMs = 0;               // 0: kPageReadDeadlineMs (page_fetch.h)
  std::string caFile;                   // native client: trust the certificates of this PEM file instead
  std::string proxy;                    // "host:port" of an HTTP proxy instead of the system's settings
  bool noComputerName = false;          // behave as if the computer name could not be read
  FailPoint failAt = FailPoint::kNone;  // make this step of the next requests fail
};

Settings& Get();
// Back to the defaults.
void Reset();

// How many per-request states the client still keeps for notices that may come after the request
// ended (the Windows client; always 0 for the native one). Each goes when its handle is closed.
long LiveRequestStates();

}  // namespace http_test
