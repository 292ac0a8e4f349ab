// The HTTP seam on WinInet.
//
// WinInet runs in its asynchronous mode, while the fetch itself stays synchronous for its caller:
// every call that has to wait for the network returns ERROR_IO_PENDING, and the calling thread
// waits for the completion notice itself, together with a wake-up event, so that an HttpAbort
// from another thread ends the wait at once in every phase (connecting, waiting for the answer,
// waiting for the body). In the synchronous mode nothing reliable ends a blocked call: Windows
// documents that closing the handle from another thread cancels it, but Wine's WinInet goes on
// waiting until its receive time-out, and that time-out cannot be shortened for the body alone
// (Wine sets the socket's once, when it reads the headers; on Windows a receive time-out cancels
// the request).
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "support/net/address_encoding.h"
#include "support/net/http_request.h"
#include "support/text/sjis.h"
#include "support/win/handles.h"

namespace {

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_TRANSFER_ASCII: always from the
// server, never into the cache.
constexpr DWORD kRequestFlags = 0x84000001;

// The most one read hands over: the read buffer of a page.
constexpr std::size_t kReadChunkBytes = 0x10000;

bool FailHere(http_test::FailPoint point) {
  return http_test::Get().failAt == point;
}

// WinInet handles, in the common owner (a failure while closing changes nothing for us).
struct InternetTraits {
  static constexpr win::HandleKind kKind = win::HandleKind::kInternet;
  using Type = HINTERNET;
  static Type Empty() { return nullptr; }
  static bool IsEmpty(Type h) { return h == nullptr; }
  static void Close(Type h) { InternetCloseHandle(h); }
};
using CInternetHandle = win::CHandle<InternetTraits>;

// The session's agent name: the program's file name without folder and extension.
std::string ApplicationName() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    return "Zellora";
  }
  std::string name(path, n);
  // The folder ends at the last backslash (or slash) that is not the second byte of a double-byte
  // character; GetModuleFileNameA's text is in the ANSI code page.
  const std::size_t backslash = sjis::FindLastChar(name, '\\');
  const std::size_t slash = sjis::FindLastChar(name, '/');
  std::size_t start = 0;
  if (backslash != std::string::npos) start = backslash + 1;
  if (slash != std::string::npos && slash + 1 > start) start = slash + 1;
  name.erase(0, start);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    name.erase(dot);
  }
  return name.empty() ? "Zellora" : name;
}

void SetTimeout(HINTERNET h, DWORD option, int ms) {
  DWORD value = static_cast<DWORD>(ms);
  InternetSetOptionA(h, option, &value, sizeof value);
}

// What a request handle shares with WinInet's status callback, which runs on WinInet's own threads
// and may still come after the request stopped waiting (an abort): an operation left pending is
// cancelled by closing the handle, but its completion notice and the handle's closing notice may
// follow later. So the state is counted: one reference for the request, one for the handle, which
// INTERNET_STATUS_HANDLE_CLOSING gives back ("This indication will be the last callback made from
// a handle", InternetCloseHandle). Pending calls write into it, never into the caller's memory.
std::atomic<long> liveStates{0};

struct AsyncState {
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // a pending operation completed
  std::atomic<long> refs{1};
  std::atomic<bool> succeeded{false};
  DWORD available = 0;       // InternetQueryDataAvailable's answer
  DWORD got = 0;             // InternetReadFile's count
  std::vector<char> buffer;  // InternetReadFile's bytes

  AsyncState() { liveStates.fetch_add(1); }
  ~AsyncState() { liveStates.fetch_sub(1); }
  AsyncState(const AsyncState&) = delete;
  AsyncState& operator=(const AsyncState&) = delete;

  void AddRef() { refs.fetch_add(1); }
  void Release() {
    if (refs.fetch_sub(1) == 1) {
      if (done) CloseHandle(done);
      delete this;
    }
  }
};

void CALLBACK OnStatus(HINTERNET /*handle*/, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  // Only request handles carry a context; the session and the connection have none.
  auto* state = reinterpret_cast<AsyncState*>(context);
  if (!state) return;
  if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
    const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    // dwResult is the call's BOOL; a completed InternetQueryDataAvailable may carry its byte count
    // there instead (0 at the end of the body), so dwError, set on failure, decides as well.
    state->succeeded =
        result && length >= sizeof *result && (result->dwResult != 0 || result->dwError == ERROR_SUCCESS);
    SetEvent(state->done);
  } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
    state->Release();
  }
}

}  // namespace

long http_test::LiveRequestStates() {
  return liveStates.load();
}

bool http_detail::ReadComputerName(std::string& name) {
  char buffer[1024] = {};
  DWORD size = 1023;
  if (!GetComputerNameA(buffer, &size)) {
    return false;
  }
  name.assign(buffer, size < 1023 ? size : 1023);
  return true;
}

struct HttpRequest::Impl {
  CInternetHandle session;
  CInternetHandle connection;
  CInternetHandle request;
  // The state of the current request handle (this object's own reference).
  AsyncState* state = nullptr;
  // Set by an abort from another thread, to end a wait at once.
  win::CKernelHandle wake{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HttpAbort* abort = nullptr;
  // The announced length of the body, when there is one, and the bytes read so far: WinInet
  // reports a connection closed early as a normal end of the body.
  bool lengthKnown = false;
  unsigned long long length = 0;
  unsigned long long received = 0;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (abort) abort->Detach(this);
    // Request first, then connection, then session.
    request.Close();
    connection.Close();
    session.Close();
    ReleaseState();
  }

  void ReleaseState() {
    if (state) state->Release();
    state = nullptr;
  }

  bool Aborted() const { return abort && abort->Requested(); }
  // Waits for the call that just returned FALSE, if it went asynchronous. False when it failed or
  // the fetch was aborted meanwhile.
  bool Await();

  bool Open(const char* url, const char* referrer, const char* userName, const char* password,
            const HttpConditions& validators, HttpResponse& reply);
  // One request of the chain: connects to the address's server and sends the GET. Sets location
  // when the answer is a redirect to follow.
  bool SendHop(const std::string& url, const char* referrer, const char* userName, const char* password,
               const std::string& conditionalLines, std::string& location);
};

namespace {

// The text of a response header, or empty when there is none.
std::string QueryHeader(HINTERNET request, DWORD what) {
  std::string text(256, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD size = static_cast<DWORD>(text.size() - 1);
    if (HttpQueryInfoA(request, what, &text[0], &size, nullptr)) {
      text.resize(size);
      return text;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 0x100000) break;
    text.assign(size + 2, '\0');
  }
  return std::string();
}

// The value of the response header name, or empty. HTTP_QUERY_CUSTOM takes the name in the buffer
// and returns the value there (documented for HttpQueryInfo), so any header can be asked for.
std::string QueryNamedHeader(HINTERNET request, const char* name) {
  std::string text(256, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::memset(&text[0], 0, text.size());
    std::memcpy(&text[0], name, std::strlen(name));
    DWORD size = static_cast<DWORD>(text.size() - 1);
    if (HttpQueryInfoA(request, HTTP_QUERY_CUSTOM, &text[0], &size, nullptr)) {
      text.resize(size);
      return std::string(sjis::TrimView(text));
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 0x100000) break;
    text.assign(size + 2, '\0');
  }
  return std::string();
}

bool IsRedirect(unsigned long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address a Location header names, resolved against the address it came from (it may be
// relative); empty when the two cannot be combined.
std::string CombineUrl(const std::string& base, const std::string& relative) {
  std::string combined(base.size() + relative.size() + 64, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD size = static_cast<DWORD>(combined.size());
    if (InternetCombineUrlA(base.c_str(), relative.c_str(), &combined[0], &size, ICU_NO_ENCODE)) {
      combined.resize(size);
      return combined;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 0x100000) break;
    combined.assign(size + 1, '\0');
  }
  return std::string();
}

}  // namespace

void http_detail::WakeRequest(HttpRequest::Impl& request) {
  SetEvent(request.wake.Get());
}

bool HttpRequest::Impl::Await() {
  if (GetLastError() != ERROR_IO_PENDING || !state) return false;
  const HANDLE handles[] = {state->done, wake.Get()};
  for (;;) {
    // An abort leaves the operation pending: closing the handle cancels it ("Once an API has
    // returned ERROR_IO_PENDING, it is safe to call InternetCloseHandle to cancel that I/O, as long
    // as no subsequent API calls will be issued with the handle", InternetCloseHandle). After a
    // false result the callers make no further call but closing.
    if (Aborted()) return false;
    const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, 1000);
    if (woken == WAIT_OBJECT_0) return state->succeeded;
    if (woken == WAIT_FAILED) return false;
    // The wake-up event, or a second gone by: look at the abort again. WinInet's own time-outs
    // end an operation the server leaves waiting.
  }
}

bool HttpRequest::Impl::Open(const char* url, const char* referrer, const char* userName,
                             const char* password, const HttpConditions& validators, HttpResponse& reply) {
  const http_test::Settings& test = http_test::Get();
  if (FailHere(http_test::FailPoint::kSession)) {
    return false;
  }
  std::string agent = ApplicationName();
  constexpr DWORD kSessionFlags = INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_ASYNC;
  if (test.proxy.empty()) {
    session.Attach(
        InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, kSessionFlags));
  } else {
    const std::string proxy = "http=http://" + test.proxy;
    session.Attach(
        InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, kSessionFlags));
  }
  if (!session || !wake) {
    return false;
  }
  // Set before any handle is made from the session: each takes the callback over when it is made.
  if (InternetSetStatusCallbackA(session.Get(), OnStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
    return false;
  }
  // Windows' own default time-outs, set explicitly: some WinInet implementations (Wine's) wait
  // for ever for a server that stops sending. Tests shorten them. Set on the session, they hold
  // for everything opened from it.
  SetTimeout(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT,
             test.connectTimeoutMs > 0 ? test.connectTimeoutMs : kHttpConnectTimeoutMs);
  const int receiveMs = test.receiveTimeoutMs > 0 ? test.receiveTimeoutMs : kHttpReceiveTimeoutMs;
  SetTimeout(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, receiveMs);
  SetTimeout(session.Get(), INTERNET_OPTION_SEND_TIMEOUT, receiveMs);

  // Redirects are followed here rather than by WinInet: Wine's follows a loop for ever, which
  // would hold the ticker's thread until the program ends.
  const std::string conditionalLines = http_detail::BuildConditionalHeaders(validators);
  std::string address = url;
  for (int hop = 0; hop <= kHttpMaxRedirects; ++hop) {
    std::string location;
    if (!SendHop(address, referrer, userName, password, conditionalLines, location)) {
      return false;
    }
    if (location.empty()) {
      DWORD status = 0;
      DWORD statusSize = sizeof status;
      if (HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                         nullptr)) {
        reply.status = static_cast<int>(status);
      }
      reply.finalUrl = address;
      reply.contentType = QueryNamedHeader(request.Get(), "Content-Type");
      reply.etag = QueryNamedHeader(request.Get(), "ETag");
      reply.lastModified = QueryNamedHeader(request.Get(), "Last-Modified");
      reply.retryAfter = QueryNamedHeader(request.Get(), "Retry-After");
      return true;
    }
    // The server's Location is UTF-8, or bytes it means as they are.
    std::string wireLocation;
    if (!http_detail::IsSendableUrl(location.c_str()) ||
        !address_encoding::ToWire(location, address_encoding::Charset::kUtf8, wireLocation)) {
      return false;
    }
    address = CombineUrl(address, wireLocation);
    if (address.empty() || !http_detail::IsSendableUrl(address.c_str())) {
      return false;
    }
  }
  return false;  // too many redirects
}

bool HttpRequest::Impl::SendHop(const std::string& url, const char* referrer, const char* userName,
                                const char* password, const std::string& conditionalLines,
                                std::string& location) {
  const http_test::Settings& test = http_test::Get();
  request.Close();
  connection.Close();
  ReleaseState();
  lengthKnown = false;
  length = 0;
  received = 0;

  // Split the address. With null buffers and non-zero lengths, InternetCrackUrlA points into url
  // and reports the lengths, so no part is ever cut at a fixed size.
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = 1;
  parts.dwHostNameLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) {
    return false;
  }
  // An https:// address is fetched over TLS with its certificate checked; any scheme but the two
  // is refused rather than spoken to in HTTP.
  DWORD secure = 0;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
    secure = INTERNET_FLAG_SECURE;
  } else if (parts.nScheme != INTERNET_SCHEME_HTTP) {
    return false;
  }
  std::string host(parts.lpszHostName ? parts.lpszHostName : "", parts.dwHostNameLength);
  std::string object;
  if (parts.lpszUrlPath) object.append(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (host.empty()) {
    return false;
  }
  if (object.empty()) {
    object = "/";
  }

  const bool credentials = http_detail::UseCredentials(userName, password);
  if (FailHere(http_test::FailPoint::kConnect)) {
    return false;
  }
  connection.Attach(InternetConnectA(session.Get(), host.c_str(), parts.nPort,
                                     credentials ? userName : nullptr, credentials ? password : nullptr,
                                     INTERNET_SERVICE_HTTP, kRequestFlags | secure, 0));
  if (!connection) {
    return false;
  }
  if (FailHere(http_test::FailPoint::kOpenRequest)) {
    return false;
  }
  // The request's context is its state (one reference for the handle, given back by its closing
  // notice). Should the handle not be made, that reference is kept: a half-made handle may still
  // send its closing notice.
  state = new AsyncState;
  state->buffer.resize(kReadChunkBytes);
  state->AddRef();
  request.Attach(HttpOpenRequestA(connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr,
                                  kRequestFlags | secure | INTERNET_FLAG_NO_AUTO_REDIRECT,
                                  reinterpret_cast<DWORD_PTR>(state)));
  if (!request || !state->done) {
    return false;
  }
  if (credentials) {
    InternetSetOptionA(request.Get(), INTERNET_OPTION_USERNAME, const_cast<char*>(userName),
                       static_cast<DWORD>(strlen(userName)));
    InternetSetOptionA(request.Get(), INTERNET_OPTION_PASSWORD, const_cast<char*>(password),
                       static_cast<DWORD>(strlen(password)));
  }
  const int receiveMs = test.receiveTimeoutMs > 0 ? test.receiveTimeoutMs : kHttpReceiveTimeoutMs;
  SetTimeout(request.Get(), INTERNET_OPTION_CONNECT_TIMEOUT,
             test.connectTimeoutMs > 0 ? test.connectTimeoutMs : kHttpConnectTimeoutMs);
  SetTimeout(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, receiveMs);
  SetTimeout(request.Get(), INTERNET_OPTION_SEND_TIMEOUT, receiveMs);

  // The validators of an earlier answer follow the block, on every hop.
  std::string headers = http_detail::BuildHeaderBlock(http_detail::ClientName(), referrer) + conditionalLines;
  // The result is ignored: a header the request already has stays as it is.
  HttpAddRequestHeadersA(request.Get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                         HTTP_ADDREQ_FLAG_ADD_IF_NEW);

  if (FailHere(http_test::FailPoint::kSend)) {
    return false;
  }
  // Any status counts as an answer; its body is read as the page.
  ResetEvent(state->done);
  if (!HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0) && !Await()) {
    return false;
  }
  DWORD status = 0;
  DWORD statusSize = sizeof status;
  if (HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                     nullptr) &&
      IsRedirect(status)) {
    // A redirect without a Location is an answer like any other: its body is the page.
    location = QueryHeader(request.Get(), HTTP_QUERY_LOCATION);
    if (!location.empty()) return true;
  }
  char text[32] = {};
  DWORD size = sizeof text - 1;
  if (HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) && size > 0) {
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end != text && *end == '\0') {
      lengthKnown = true;
      length = value;
    }
  }
  return true;
}

HttpRequest::HttpRequest() = default;

HttpRequest::~HttpRequest() {
  Close();
}

bool HttpRequest::Open(const char* url, const char* referrer, const char* userName, const char* password) {
  Close();
  response = HttpResponse();
  if (!url || !http_detail::IsSendableUrl(url)) {
    return false;
  }
  try {
    // The address as a browser sends it; a host name that cannot be converted fails here.
    std::string wire;
    if (!address_encoding::ToWire(url, address_encoding::Charset::kAnsi, wire)) {
      return false;
    }
    HttpAbort* abort = HttpAbort::Current();
    if (abort && abort->Requested()) {
      return false;
    }
    impl.reset(new Impl);
    impl->abort = abort;
    if (abort) abort->Attach(impl.get());
    if (impl->Open(wire.c_str(), referrer, userName, password, conditions, response)) {
      return true;
    }
  } catch (...) {
    // std::bad_alloc while building the request: the request fails like any other.
  }
  Close();
  response = HttpResponse();
  return false;
}

void HttpRequest::SetReadBufferSize(unsigned long bytes) {
  if (impl && impl->request) {
    DWORD value = bytes;
    InternetSetOptionA(impl->request.Get(), INTERNET_OPTION_READ_BUFFER_SIZE, &value, sizeof value);
  }
}

long HttpRequest::Read(char* buffer, std::size_t size) {
  if (!impl || !impl->request || !impl->state) {
    return -1;
  }
  if (http_test::Get().failAt == http_test::FailPoint::kRead || impl->Aborted()) {
    return -1;
  }
  AsyncState& state = *impl->state;
  DWORD want = static_cast<DWORD>(size < state.buffer.size() ? size : state.buffer.size());
  // Only what has arrived: a read of more waits until its whole buffer is filled, which for a
  // server that trickles may be hours. The query itself waits for the first bytes (or the receive
  // time-out) and answers 0 at the end of the body; asked again after waiting, it answers from
  // what arrived.
  for (;;) {
    ResetEvent(state.done);
    if (InternetQueryDataAvailable(impl->request.Get(), &state.available, 0, 0)) break;
    if (!impl->Await()) return -1;
  }
  const DWORD available = state.available;
  if (available > 0 && available < want) want = available;
  ResetEvent(state.done);
  state.got = 0;
  if (!InternetReadFile(impl->request.Get(), state.buffer.data(), want, &state.got) && !impl->Await()) {
    return -1;
  }
  const DWORD got = state.got <= want ? state.got : want;
  std::memcpy(buffer, state.buffer.data(), got);
  impl->received += got;
  if (got == 0 && impl->lengthKnown && impl->received < impl->length) {
    return -1;  // the connection closed before the announced end of the body
  }
  return static_cast<long>(got);
}

void HttpRequest::Close() {
  // Request first, then connection, then session (the destructor of Impl, which first lets go of
  // the abort).
  impl.reset();
}

bool HttpRequest::IsOpen() const {
  return impl && impl->request;
}
