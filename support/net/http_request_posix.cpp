// The HTTP seam on libcurl. It sends what WinInet sends for the same request: the request line,
// the four added header lines, then Host, nothing else; credentials only after the server asks
// for them (libcurl places its Authorization line right after the request line, WinInet after
// Host; the order of header lines carries no meaning in HTTP). Redirects are followed here rather than by
// libcurl, so that the Host line can keep its place after the added block on every hop.
//
// The body is pulled, not pushed: Read() drives the transfer until data is there, and libcurl is
// paused while the caller has not taken what arrived, so memory stays at about two 64 KiB blocks.
#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "support/net/address_encoding.h"
#include "support/net/http_request.h"
#include "support/text/sjis.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kReadBufferBytes = 0x10000;

bool FailHere(http_test::FailPoint point) {
  return http_test::Get().failAt == point;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlUrl {
  CURLU* handle = curl_url();
  CurlUrl() = default;
  ~CurlUrl() { curl_url_cleanup(handle); }
  CurlUrl(const CurlUrl&) = delete;
  CurlUrl& operator=(const CurlUrl&) = delete;

  std::string Part(CURLUPart part, unsigned flags = 0) const {
    char* text = nullptr;
    if (curl_url_get(handle, part, &text, flags) != CURLUE_OK || !text) {
      return std::string();
    }
    std::string result(text);
    curl_free(text);
    return result;
  }
};

}  // namespace

bool http_detail::ReadComputerName(std::string& name) {
  char buffer[1024] = {};
  if (gethostname(buffer, 1023) != 0) {
    return false;
  }
  buffer[1023] = '\0';
  name = buffer;
  return true;
}

struct HttpRequest::Impl {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  CurlUrl url;
  std::string headerBlock;
  std::string conditionalLines;
  std::string userName;
  std::string password;
  bool credentials = false;

  // The current hop.
  bool attached = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  bool connected = false;
  bool secure = false;  // https: connected once the TLS set-up is done
  bool headersDone = false;
  bool redirect = false;  // the current response is a redirect: its body is not the page
  std::string location;
  HttpResponse answer;  // the headers of the current response
  Clock::time_point lastData;

  // Body bytes that arrived and were not read yet.
  std::string pending;
  std::size_t pendingPos = 0;
  bool paused = false;

  // The abort in force on the opening thread, if any (attached once multi exists).
  HttpAbort* abort = nullptr;

  ~Impl() {
    if (abort) abort->Detach(this);
    Release();
  }

  bool Aborted() const { return abort && abort->Requested(); }

  void Release() {
    if (easy) {
      if (multi && attached) curl_multi_remove_handle(multi, easy);
      curl_easy_cleanup(easy);
      easy = nullptr;
    }
    attached = false;
    if (multi) {
      curl_multi_cleanup(multi);
      multi = nullptr;
    }
    if (headers) {
      curl_slist_free_all(headers);
      headers = nullptr;
    }
  }

  bool Open(const char* address, const char* referrer, const char* user, const char* pass,
            const HttpConditions& validators, HttpResponse& reply);
  bool StartHop();
  void EndHop();
  // Drives the transfer until stop() holds or it ends; false on a time-out or transfer error.
  template <class Stop>
  bool Pump(Stop stop);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  // libcurl's progress callback, called while the transfer waits too: non-zero ends it.
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  std::size_t Pending() const { return pending.size() - pendingPos; }

  // The field of answer that a header line fills, or null for the headers nobody asks for.
  std::string* HeaderField(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return nullptr;
    const std::string_view name = sjis::TrimView(line.substr(0, colon));
    if (sjis::EqualsNoCase(name, "Content-Type")) return &answer.contentType;
    if (sjis::EqualsNoCase(name, "ETag")) return &answer.etag;
    if (sjis::EqualsNoCase(name, "Last-Modified")) return &answer.lastModified;
    if (sjis::EqualsNoCase(name, "Retry-After")) return &answer.retryAfter;
    return nullptr;
  }
};

size_t HttpRequest::Impl::OnHeader(char* data, size_t size, size_t count, void* self) {
  Impl& impl = *static_cast<Impl*>(self);
  std::size_t n = size * count;
  impl.lastData = Clock::now();
  std::string_view line(data, n);
  if (line.size() >= 5 && sjis::EqualsNoCase(line.substr(0, 5), "HTTP/")) {
    // A new response (after an authentication round, say): forget the previous one.
    impl.headersDone = false;
    impl.redirect = false;
    impl.location.clear();
    impl.answer = HttpResponse();
  } else if (line.size() > 9 && sjis::EqualsNoCase(line.substr(0, 9), "Location:")) {
    impl.location = std::string(sjis::TrimView(line.substr(9)));
  } else if (std::string* value = impl.HeaderField(line)) {
    const std::size_t colon = line.find(':');
    *value = std::string(sjis::TrimView(line.substr(colon + 1)));
  } else if (sjis::TrimView(line).empty()) {
    impl.headersDone = true;
    long status = 0;
    curl_easy_getinfo(impl.easy, CURLINFO_RESPONSE_CODE, &status);
    if ((status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
        !impl.location.empty()) {
      impl.redirect = true;
      // The body of a redirect is of no interest: end this hop here.
      return 0;
    }
  }
  return n;
}

size_t HttpRequest::Impl::OnBody(char* data, size_t size, size_t count, void* self) {
  Impl& impl = *static_cast<Impl*>(self);
  std::size_t n = size * count;
  if (impl.Pending() >= static_cast<std::size_t>(kReadBufferBytes)) {
    // The caller has not taken the last block yet: hold the transfer until it does.
    impl.paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (impl.pendingPos == impl.pending.size()) {
    impl.pending.clear();
    impl.pendingPos = 0;
  }
  impl.pending.append(data, n);
  impl.lastData = Clock::now();
  return n;
}

int HttpRequest::Impl::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Impl*>(self)->Aborted() ? 1 : 0;
}

long http_test::LiveRequestStates() {
  return 0;
}

void http_detail::WakeRequest(HttpRequest::Impl& request) {
  // Thread-safe by libcurl's contract: ends a curl_multi_poll() in progress at once.
  curl_multi_wakeup(request.multi);
}

bool HttpRequest::Impl::StartHop() {
  EndHop();
  done = false;
  result = CURLE_OK;
  connected = false;
  headersDone = false;
  redirect = false;
  location.clear();
  answer = HttpResponse();
  pending.clear();
  pendingPos = 0;
  paused = false;

  std::string address = url.Part(CURLUPART_URL);
  std::string scheme = url.Part(CURLUPART_SCHEME);
  std::string host = url.Part(CURLUPART_HOST);
  std::string port = url.Part(CURLUPART_PORT);  // empty when the scheme's default is meant
  if (address.empty() || host.empty() || (scheme != "http" && scheme != "https")) {
    return false;
  }
  secure = scheme == "https";

  if (headers) {
    curl_slist_free_all(headers);
    headers = nullptr;
  }
  // libcurl would put its own Host line first; WinInet sends it after the added block. So the
  // "Host:" entry without a value drops libcurl's, and the block ends with our own.
  std::vector<std::string> lines = {"Host:"};
  const std::string added = headerBlock + conditionalLines;
  std::size_t start = 0;
  while (start < added.size()) {
    std::size_t end = added.find("\r\n", start);
    if (end == std::string::npos) end = added.size();
    std::string line = added.substr(start, end - start);
    start = end + 2;
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, ": ") == 0 && lines.size() > 1) {
      // An empty value ("Referer: " for an empty referrer) would make libcurl drop the header; it
      // is sent exactly as WinInet sends it by riding on the line before.
      lines.back() += "\r\n" + line;
    } else {
      lines.push_back(line);
    }
  }
  lines.push_back("Host: " + host + (port.empty() ? "" : ":" + port));
  for (const std::string& line : lines) {
    curl_slist* next = curl_slist_append(headers, line.c_str());
    if (!next) return false;
    headers = next;
  }

  const http_test::Settings& test = http_test::Get();
  easy = curl_easy_init();
  if (!easy) return false;
  curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  // HTTP/1.1 on https too: libcurl would otherwise take HTTP/2 when the server offers it, which
  // changes the request line and the header block the ticker sends.
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReadBufferBytes);
  curl_easy_setopt(
      easy, CURLOPT_CONNECTTIMEOUT_MS,
      static_cast<long>(test.connectTimeoutMs > 0 ? test.connectTimeoutMs : kHttpConnectTimeoutMs));
  // Certificates are always checked (libcurl's defaults, stated here so nobody loses them).
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!test.caFile.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, test.caFile.c_str());
  }
  if (credentials) {
    // Sent only when the server asks, as WinInet does.
    curl_easy_setopt(easy, CURLOPT_USERNAME, userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
  }
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  // The proxy comes from the environment (http_proxy, https_proxy, no_proxy), libcurl's default.
  if (!test.proxy.empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXY, ("http://" + test.proxy).c_str());
  }

  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return false;
  attached = true;
  lastData = Clock::now();
  return true;
}

void HttpRequest::Impl::EndHop() {
  if (easy) {
    if (attached) curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    easy = nullptr;
  }
  attached = false;
}

template <class Stop>
bool HttpRequest::Impl::Pump(Stop stop) {
  const int receiveMs =
      http_test::Get().receiveTimeoutMs > 0 ? http_test::Get().receiveTimeoutMs : kHttpReceiveTimeoutMs;
  // Waiting starts now: time spent by the caller between reads is no stall of the server.
  lastData = Clock::now();
  while (!done && !stop()) {
    if (Aborted()) return false;
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      return false;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
        done = true;
        result = msg->data.result;
      }
    }
    if (done || stop()) {
      break;
    }
    if (!connected) {
      // The connect time-out covers the TCP and TLS set-up; the receive time-out starts after it.
      curl_off_t ready = 0;
      curl_easy_getinfo(easy, secure ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T, &ready);
      if (ready > 0) {
        connected = true;
        lastData = Clock::now();
      }
    }
    auto now = Clock::now();
    if (connected && now - lastData >= std::chrono::milliseconds(receiveMs)) {
      return false;  // the server stopped sending
    }
    int wait = 100;
    if (connected) {
      auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
          lastData + std::chrono::milliseconds(receiveMs) - now);
      wait = static_cast<int>(std::max<long long>(1, std::min<long long>(wait, remaining.count())));
    }
    if (curl_multi_poll(multi, nullptr, 0, wait, nullptr) != CURLM_OK) {
      return false;
    }
  }
  return true;
}

bool HttpRequest::Impl::Open(const char* address, const char* referrer, const char* user, const char* pass,
                             const HttpConditions& validators, HttpResponse& reply) {
  GlobalInit();
  if (FailHere(http_test::FailPoint::kSession)) return false;
  multi = curl_multi_init();
  if (!multi || !url.handle) return false;
  if (abort) abort->Attach(this);
  // Only http and https, with their default ports filled in when absent.
  if (curl_url_set(url.handle, CURLUPART_URL, address, 0) != CURLUE_OK) return false;
  std::string scheme = url.Part(CURLUPART_SCHEME);
  if (scheme != "http" && scheme != "https") return false;

  credentials = http_detail::UseCredentials(user, pass);
  if (credentials) {
    userName = user;
    password = pass;
  }
  headerBlock = http_detail::BuildHeaderBlock(http_detail::ClientName(), referrer);
  conditionalLines = http_detail::BuildConditionalHeaders(validators);
  if (FailHere(http_test::FailPoint::kConnect) || FailHere(http_test::FailPoint::kOpenRequest)) return false;
  if (FailHere(http_test::FailPoint::kSend)) return false;

  for (int hop = 0; hop <= kHttpMaxRedirects; ++hop) {
    if (!StartHop()) return false;
    // Sent and answered: the headers of a response are in, or its body has begun, or it ended.
    if (!Pump([this] { return (headersDone && !redirect) || Pending() > 0; })) return false;
    if (redirect) {
      // Resolve the new address against the current one; a relative Location is allowed.
      // The server's Location is UTF-8, or bytes it means as they are.
      std::string wireLocation;
      if (!http_detail::IsSendableUrl(location.c_str()) ||
          !address_encoding::ToWire(location, address_encoding::Charset::kUtf8, wireLocation) ||
          curl_url_set(url.handle, CURLUPART_URL, wireLocation.c_str(), 0) != CURLUE_OK) {
        return false;
      }
      continue;
    }
    // A body that broke off early is still read up to the break; Read() then reports it.
    if (done && result != CURLE_OK && Pending() == 0) return false;
    reply = answer;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    reply.status = static_cast<int>(status);
    reply.finalUrl = url.Part(CURLUPART_URL);
    return true;
  }
  return false;  // too many redirects
}

HttpRequest::HttpRequest() = default;

HttpRequest::~HttpRequest() {
  Close();
}

bool HttpRequest::Open(const char* url, const char* referrer, const char* userName, const char* password) {
  Close();
  response = HttpResponse();
  if (!url || !http_detail::IsSendableUrl(url)) return false;
  try {
    // The address as a browser sends it; a host name that cannot be converted fails here.
    std::string wire;
    if (!address_encoding::ToWire(url, address_encoding::Charset::kAnsi, wire)) return false;
    HttpAbort* abort = HttpAbort::Current();
    if (abort && abort->Requested()) return false;
    impl.reset(new Impl);
    impl->abort = abort;
    if (impl->Open(wire.c_str(), referrer, userName, password, conditions, response)) return true;
  } catch (...) {
    // std::bad_alloc while building the request: the request fails like any other.
  }
  Close();
  response = HttpResponse();
  return false;
}

void HttpRequest::SetReadBufferSize(unsigned long) {
  // libcurl's receive buffer is set when the request is opened (64 KiB) and cannot change later.
}

long HttpRequest::Read(char* buffer, std::size_t size) {
  if (!impl || !impl->easy) return -1;
  if (FailHere(http_test::FailPoint::kRead) || impl->Aborted()) return -1;
  if (size == 0) return 0;
  try {
    Impl& d = *impl;
    if (d.Pending() == 0) {
      if (d.paused) {
        d.paused = false;
        d.pending.clear();
        d.pendingPos = 0;
        curl_easy_pause(d.easy, CURLPAUSE_CONT);
      }
      if (!d.Pump([&d] { return d.Pending() > 0; })) return -1;
      if (d.Pending() == 0) {
        // The transfer ended: a clean end is the end of the body, anything else a failure.
        return d.done && d.result == CURLE_OK ? 0 : -1;
      }
    }
    std::size_t n = std::min(size, d.Pending());
    std::memcpy(buffer, d.pending.data() + d.pendingPos, n);
    d.pendingPos += n;
    return static_cast<long>(n);
  } catch (...) {
    return -1;
  }
}

void HttpRequest::Close() {
  // libcurl has one handle where WinInet has three; releasing it ends request, connection and
  // session alike.
  impl.reset();
}

bool HttpRequest::IsOpen() const {
  return impl && impl->easy;
}
