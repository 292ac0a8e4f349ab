#include "support/net/page_fetch.h"

#include <chrono>
#include <memory>
#include <thread>

namespace {

// A page of many lines gives way to the rest of its thread every 1000 lines.
void SleepOneMillisecond() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool ReadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password, PageLineSink* sink, PageExchange* exchange) {
  if (exchange) exchange->response = HttpResponse();
  if (!url) {
    return false;
  }
  page.lines.clear();
  page.encoding = initialEncoding;
  page.inHead = 1;
  page.encodingFixed = false;
  page.firstLine = true;
  page.xmlDeclared = false;

  HttpRequest request;
  try {
    if (exchange) request.SetConditions(exchange->conditions);
    if (!OpenHttpRequest(request, url, referrer, userName, password)) {
      return false;
    }
    if (exchange) exchange->response = request.Response();
    if (initialEncoding == kEncodingUnknown) {
      // The set the server names replaces the guess; the page's own declaration still wins.
      const int named = EncodingFromContentType(request.Response().contentType);
      if (named != kEncodingUnknown) page.encoding = named;
    }
    if (sink && !sink->OnResponse(request.Response())) {
      CloseHttpRequest(request);
      return true;
    }
    request.SetReadBufferSize(kPageReadBufferBytes);

    PageLineReader reader(page, sink);
    reader.onThousandLines = SleepOneMillisecond;
    std::unique_ptr<char[]> buffer(new char[kPageReadBufferBytes]);
    const int deadlineMs =
        http_test::Get().pageDeadlineMs > 0 ? http_test::Get().pageDeadlineMs : kPageReadDeadlineMs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
      long n = request.Read(buffer.get(), kPageReadBufferBytes);
      if (n < 0) {
        // The connection broke off: keep what was read, but the page is incomplete. The line
        // cut short is not delivered.
        CloseHttpRequest(request);
        return false;
      }
      if (n == 0) {
        break;
      }
      if (!reader.Feed(buffer.get(), static_cast<std::size_t>(n))) {
        break;  // the body limit: the page is what was read so far
      }
      if (sink && sink->Satisfied()) {
        break;  // the reader has all it wants (a feed's last item it keeps)
      }
      if (std::chrono::steady_clock::now() > deadline) {
        // Still reading: a server that trickles. The lines so far stay; the line cut short is
        // not delivered.
        CloseHttpRequest(request);
        return false;
      }
    }
    reader.Finish();
  } catch (...) {
    // std::bad_alloc, or an exception from the sink.
    CloseHttpRequest(request);
    return false;
  }
  CloseHttpRequest(request);
  return true;
}

}  // namespace

bool OpenHttpRequest(HttpRequest& request, const char* url, const char* referrer, const char* userName,
                     const char* password) {
  return request.Open(url, referrer, userName, password);
}

void CloseHttpRequest(HttpRequest& request) {
  request.Close();
}

bool LoadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password) {
  return ReadPage(page, url, referrer, initialEncoding, userName, password, nullptr, nullptr);
}

bool LoadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password, PageLineSink& sink) {
  return ReadPage(page, url, referrer, initialEncoding, userName, password, &sink, nullptr);
}

bool LoadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password, PageLineSink* sink, PageExchange& exchange) {
  return ReadPage(page, url, referrer, initialEncoding, userName, password, sink, &exchange);
}
