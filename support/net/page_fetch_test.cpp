// The page fetch against the local test server: natively through libcurl, under Wine through the
// real WinInet. Both must send the same bytes and read bodies the same way.
#include "support/net/page_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_server.h"

namespace {

using Lines = std::vector<std::string>;

class PageFetch : public HttpServerTest {
 protected:
  static std::string Url(const std::string& path) { return server->Url(path); }

  // What both clients send for a GET of target: the added block, then Host.
  static std::string Head(const std::string& target, const std::string& referer,
                          const std::string& client = http_detail::ClientName(),
                          const std::string& host = "127.0.0.1") {
    return "GET " + target + " HTTP/1.1\r\n" + "ClientHost: " + client + "\r\n" + "Accept: */*\r\n" +
           "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows2000)\r\n" + "Referer: " + referer +
           "\r\n" + "Host: " + host + ":" + std::to_string(server->Port()) + "\r\n\r\n";
  }

  static bool Load(PageLines& page, const std::string& path, const char* referrer = nullptr,
                   const char* user = nullptr, const char* password = nullptr, const std::string& host = "") {
    return LoadPage(page, server->Url(path, host).c_str(), referrer, 0, user, password);
  }
};

struct CountingSink : PageLineSink {
  std::size_t count = 0;
  std::size_t bytes = 0;
  std::string first;
  void OnLine(std::string& line) override {
    if (count++ == 0) first = line;
    bytes += line.size();
  }
};

struct ThrowingSink : PageLineSink {
  void OnLine(std::string&) override { throw std::runtime_error("full"); }
};

}  // namespace

TEST_F(PageFetch, SendsTheHeaderBlockAfterTheRequestLine) {
  PageLines page;
  const std::string target = "/page?body=x";
  // A referrer holding a control character is refused whole: it can neither smuggle in header
  // lines of its own nor be sent cut short as something it never was.
  for (const char* hostile : {"http://r.example/\r\nX-Injected: 1", "http://r.example/\nX: 1", "a\rb",
                              "http://r.example/\t", "x\x1b[0m", "x\x7f"}) {
    server->ClearRequests();
    ASSERT_TRUE(Load(page, target, hostile));
    EXPECT_EQ(server->Requests(), Head(target, ""));
  }
  server->ClearRequests();
  ASSERT_TRUE(Load(page, target, nullptr));
  ASSERT_TRUE(Load(page, target, "http://news.example.jp/top?a=1&b=2"));
  ASSERT_TRUE(Load(page, target, ""));
  // Shift_JIS text is no control character (its trail bytes may look like ASCII).
  ASSERT_TRUE(Load(page, target, "http://r.example/\x95\x5C"));
  EXPECT_EQ(server->Requests(), Head(target, "http://www.yahoo.co.jp/") +
                                    Head(target, "http://news.example.jp/top?a=1&b=2") + Head(target, "") +
                                    Head(target, "http://r.example/\x95\x5C"));

  server->ClearRequests();
  http_test::Get().noComputerName = true;
  ASSERT_TRUE(Load(page, target, "r"));
  EXPECT_EQ(server->Requests(), Head(target, "r", "ClientPC"));
}

TEST_F(PageFetch, CredentialsOnlyWhenBothAreGivenAndOnlyAfterAChallenge) {
  // The order matters under Wine: WinInet remembers accepted credentials for the rest of the
  // process and sends them unasked to that host from then on. So this test alone talks to the
  // server as "localhost".
  const std::string target = "/auth?user=u&password=p&body=welcome";
  // A user name holding a control character is no user name either: it could add header lines
  // to a digest answer, which carries it in clear.
  const char* partial[][2] = {
      {"u", nullptr}, {nullptr, "p"}, {"u", ""}, {"", "p"}, {"u\r\nX-Injected: 1", "p"}, {"u\x01", "p"}};
  for (auto& credentials : partial) {
    server->ClearRequests();
    PageLines page;
    // The challenge's own page is what is read.
    EXPECT_TRUE(Load(page, target, "r", credentials[0], credentials[1], "localhost"));
    EXPECT_EQ(page.lines, Lines{"<html><body>authorization required</body></html>"});
    EXPECT_EQ(server->Requests(), Head(target, "r", http_detail::ClientName(), "localhost"));
  }

  server->ClearRequests();
  PageLines page;
  EXPECT_TRUE(Load(page, target, "r", "u", "p", "localhost"));
  EXPECT_EQ(page.lines, Lines{"welcome"});
  std::string requests = server->Requests();
  std::string first = Head(target, "r", http_detail::ClientName(), "localhost");
  ASSERT_GT(requests.size(), first.size());
  EXPECT_EQ(requests.substr(0, first.size()), first);
  // The answer to the challenge: the same request with the credentials added (libcurl puts the
  // line right after the request line, WinInet after Host).
  std::string second = requests.substr(first.size());
  EXPECT_NE(second.find("\r\nAuthorization: Basic dTpw\r\n"), std::string::npos) << second;
  std::string withoutAuthorization = second;
  withoutAuthorization.erase(withoutAuthorization.find("Authorization: Basic dTpw\r\n"), 27);
  EXPECT_EQ(withoutAuthorization, first);
}

TEST_F(PageFetch, ErrorPagesAreReadAsPagesAndFailuresAreFalse) {
  PageLines page;
  EXPECT_TRUE(Load(page, "/page?status=404&body=%3Chtml%3E%0A%3Cbody%3Emissing%3C/body%3E%0A"));
  EXPECT_EQ(page.lines, (Lines{"<html>", "<body>missing</body>"}));
  EXPECT_TRUE(Load(page, "/page?status=500&body=oops"));
  EXPECT_EQ(page.lines, Lines{"oops"});

  // Nothing listens on port 1: false, and the lines of the previous page are gone.
  EXPECT_FALSE(LoadPage(page, "http://127.0.0.1:1/", nullptr, 0, nullptr, nullptr));
  EXPECT_TRUE(page.lines.empty());
  for (const char* url : {"", "not a url", "ftp://127.0.0.1/", "http://", "file:///etc/passwd"}) {
    page.lines = {"old"};
    EXPECT_FALSE(LoadPage(page, url, nullptr, 0, nullptr, nullptr)) << url;
  }
  // An address cannot carry header lines into the request either.
  server->ClearRequests();
  EXPECT_FALSE(Load(page, "/page?body=x\r\nX-Injected: 1"));
  EXPECT_FALSE(Load(page, "/page?body=x\ty"));
  EXPECT_EQ(server->Requests(), "");

  // A null address fails at once and leaves the page as it was.
  page.lines = {"kept"};
  page.encoding = 3;
  page.inHead = 0;
  EXPECT_FALSE(LoadPage(page, nullptr, nullptr, 1, nullptr, nullptr));
  EXPECT_EQ(page.lines, Lines{"kept"});
  EXPECT_EQ(page.encoding, 3);
  EXPECT_EQ(page.inHead, 0);

  // A new page starts with the given encoding and in the head.
  EXPECT_TRUE(LoadPage(page, Url("/page?body=%0A%0A").c_str(), nullptr, 1, nullptr, nullptr));
  EXPECT_TRUE(page.lines.empty());  // only blank lines
  EXPECT_EQ(page.encoding, 1);
  EXPECT_EQ(page.inHead, 1);
}

TEST_F(PageFetch, AddressesGoOutAsBrowsersSendThem) {
  // ASCII as written: host and scheme in any case, no path; a space as %20.
  PageLines page;
  const std::string port = std::to_string(server->Port());
  EXPECT_TRUE(
      LoadPage(page, ("HTTP://127.0.0.1:" + port + "/page?body=a").c_str(), "r", 0, nullptr, nullptr));
  EXPECT_TRUE(LoadPage(page, ("http://127.0.0.1:" + port).c_str(), "r", 0, nullptr, nullptr));
  EXPECT_TRUE(Load(page, "/page?body=a b", "r"));
  EXPECT_EQ(page.lines, Lines{"a b"});
  // Shift_JIS text of the path and query as percent-encoded UTF-8 (表 and ソ end in a byte that
  // reads as "\"); the fragment stays behind.
  EXPECT_TRUE(Load(page, "/page?body=b&q=\x95\x5C", "r"));
  EXPECT_EQ(page.lines, Lines{"b"});
  EXPECT_TRUE(Load(page, "/ニュース/一覧?q=東京ソ#先頭", "r"));
  EXPECT_EQ(server->Requests(),
            Head("/page?body=a", "r") + Head("/", "r") + Head("/page?body=a%20b", "r") +
                Head("/page?body=b&q=%E8%A1%A8", "r") +
                Head("/%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9/%E4%B8%80%E8%A6%A7?q=%E6%9D%B1%E4%BA%AC%E3%82%BD",
                     "r"));
}

TEST_F(PageFetch, JapaneseHostNamesGoOutInIdnaForm) {
  // The local server stands in for a proxy: the host name the client asked for arrives in the
  // request line and the Host header as it was sent, and nothing needs a name server.
  http_test::Get().proxy = "127.0.0.1:" + std::to_string(server->Port());
  PageLines page;
  EXPECT_TRUE(LoadPage(page, "http://ニュース.日本語.jp:8080/page?body=idn&q=東", "r", 0, nullptr, nullptr));
  EXPECT_EQ(page.lines, Lines{"idn"});
  const std::string requests = server->Requests();
  EXPECT_EQ(requests.rfind(
                "GET http://xn--zck9awe6d.xn--wgv71a119e.jp:8080/page?body=idn&q=%E6%9D%B1 HTTP/1.1\r\n", 0),
            0u)
      << requests;
  EXPECT_NE(requests.find("\r\nHost: xn--zck9awe6d.xn--wgv71a119e.jp:8080\r\n"), std::string::npos)
      << requests;

  // A name that cannot be put in that form fails before anything is sent.
  server->ClearRequests();
  page.lines = {"old"};
  EXPECT_FALSE(LoadPage(page, "http://★.jp/page?body=x", "r", 0, nullptr, nullptr));
  EXPECT_TRUE(page.lines.empty());
  EXPECT_EQ(server->Requests(), "");
}

TEST_F(PageFetch, RedirectsAreFollowedWithTheSameHeaders) {
  for (const char* code : {"301", "302", "303", "307"}) {
    server->ClearRequests();
    PageLines page;
    std::string target = "/page?body=moved%20" + std::string(code);
    std::string redirect = "/redirect?code=" + std::string(code) + "&to=" + TestHttpServer::Encode(target);
    EXPECT_TRUE(Load(page, redirect, "r")) << code;
    EXPECT_EQ(page.lines, Lines{"moved " + std::string(code)});
    EXPECT_EQ(server->Requests(), Head(redirect, "r") + Head(target, "r")) << code;
  }
  // A Location holding UTF-8 text goes out percent-encoded, its bytes as the server sent them.
  server->ClearRequests();
  PageLines utf8;
  EXPECT_TRUE(Load(utf8, "/redirect?to=/page%3Fbody%3Dutf8%26q%3D%E6%9D%B1"));
  EXPECT_EQ(utf8.lines, Lines{"utf8"});
  EXPECT_NE(server->Requests().find("GET /page?body=utf8&q=%E6%9D%B1 HTTP/1.1\r\n"), std::string::npos)
      << server->Requests();
  // An address that redirects to itself fails after kHttpMaxRedirects redirects, on both clients
  // (Wine's WinInet on its own would follow it for ever).
  server->ClearRequests();
  PageLines looped;
  EXPECT_FALSE(Load(looped, "/redirect?loop=1", "r"));
  std::string once = Head("/redirect?loop=1", "r"), all;
  for (int i = 0; i <= kHttpMaxRedirects; ++i) all += once;
  EXPECT_EQ(server->Requests(), all);
  // A chain of ten redirects still arrives; one of ten thousand is given up after the same count.
  server->ClearRequests();
  PageLines chained;
  EXPECT_TRUE(Load(chained, "/redirect?chain=10&to=/page%3Fbody%3Dend", "r"));
  EXPECT_EQ(chained.lines, Lines{"end"});
  EXPECT_FALSE(Load(chained, "/redirect?chain=10000&to=/page%3Fbody%3Dend", "r"));
  const std::string heads = server->Requests();
  std::size_t gets = 0;
  for (std::size_t at = heads.find("GET "); at != std::string::npos; at = heads.find("GET ", at + 1)) ++gets;
  EXPECT_EQ(gets, 2u * (kHttpMaxRedirects + 1));
  // An absolute address, through two redirects.
  PageLines page;
  std::string last = Url("/page?body=far");
  std::string middle = Url("/redirect?to=" + TestHttpServer::Encode(last));
  EXPECT_TRUE(Load(page, "/redirect?code=301&to=" + TestHttpServer::Encode(middle)));
  EXPECT_EQ(page.lines, Lines{"far"});
}

TEST_F(PageFetch, BodiesInEveryFramingKeepEveryLine) {
  // Shift_JIS text (表 and ソ end in 0x5C), CR LF endings and a last line without a line feed.
  const std::string body = "<html>\r\n\x95\x5C\x83\x5C\r\n\r\n  middle  \nlast";
  const Lines expected = {"<html>", "\x95\x5C\x83\x5C", "middle", "last"};
  const std::string encoded = TestHttpServer::Encode(body);
  for (const char* framing : {"mode=length", "mode=close", "mode=chunked&chunk=1", "mode=chunked&chunk=5"}) {
    PageLines page;
    EXPECT_TRUE(Load(page, "/page?body=" + encoded + "&" + framing)) << framing;
    EXPECT_EQ(page.lines, expected) << framing;
  }
  // Thousands of lines, blank ones among them (the reader gives way every 1000 lines).
  PageLines page;
  EXPECT_TRUE(Load(page, "/page?body=line%0A%0A&repeat=2500&mode=chunked&chunk=4096"));
  EXPECT_EQ(page.lines.size(), 2500u);
}

TEST_F(PageFetch, ConnectionBrokenOffMidLineFails) {
  PageLines page;
  // 22 bytes announced, the connection closed after 9: "one\ntwo\nt" arrived.
  EXPECT_FALSE(Load(page, "/page?body=one%0Atwo%0Athree%0Afour%0A&cut=9"));
  EXPECT_EQ(page.lines, (Lines{"one", "two"}));
  // Without a length the end of the connection is the end of the page, even mid-line.
  EXPECT_TRUE(Load(page, "/page?body=one%0Atwo%0Ath&mode=close"));
  EXPECT_EQ(page.lines, (Lines{"one", "two", "th"}));
}

TEST_F(PageFetch, StalledServerTimesOut) {
  PageLines page;
  // A pause shorter than the receive time-out is no failure...
  http_test::Get().receiveTimeoutMs = 5000;
  EXPECT_TRUE(Load(page, "/page?body=a%0Ab%0A&stall=2&stall_secs=0.3"));
  EXPECT_EQ(page.lines, (Lines{"a", "b"}));
  // ...a longer one is: the server would send the rest only after 20 s. (WinInet loses the bytes
  // of the block it was filling when the time-out strikes, libcurl hands them over first.)
  http_test::Get().receiveTimeoutMs = 1000;
  EXPECT_FALSE(Load(page, "/page?body=a%0Ab%0A&stall=2&stall_secs=20"));
  EXPECT_LE(page.lines.size(), 1u);
  // Headers sent, body never begun.
  EXPECT_FALSE(Load(page, "/page?body=a%0Ab%0A&stall=0&stall_secs=20"));
  EXPECT_TRUE(page.lines.empty());
}

TEST_F(PageFetch, TricklingServerIsGivenUpAtThePageDeadline) {
  PageLines page;
  // A slow page that ends in time is read whole...
  http_test::Get().pageDeadlineMs = 10000;
  EXPECT_TRUE(Load(page, "/page?body=a%0Ab%0Ac%0A&mode=chunked&chunk=2&drip=0.1"));
  EXPECT_EQ(page.lines, (Lines{"a", "b", "c"}));
  // ...one that goes on trickling for ever is not (64 bytes every 0.2 s never trip the receive
  // time-out). What arrived before stays; the fetch ends soon after the deadline, not at the
  // body limit two days later.
  http_test::Get().pageDeadlineMs = 2000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Load(page, "/page?body=news%0A&endless=1&mode=close&chunk=64&drip=0.2"));
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 30);
  EXPECT_GE(page.lines.size(), 10u);
  EXPECT_EQ(page.lines.front(), "news");
}

TEST_F(PageFetch, AbortFromAnotherThreadEndsTheFetchAtOnce) {
  // Fetches that another thread aborts after 300 ms; how long each took.
  const auto abortedAfterMs = [](const std::string& url) {
    HttpAbort abort;
    std::thread aborter([&abort] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      abort.Abort();
    });
    PageLines page;
    const auto start = std::chrono::steady_clock::now();
    {
      HttpAbort::Scope scope(abort);
      EXPECT_FALSE(LoadPage(page, url.c_str(), "r", 0, nullptr, nullptr)) << url;
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    aborter.join();
    return ms;
  };
  // What a client keeps for notices after a request ended (WinInet's closing notice of an aborted
  // request comes when the operation it left behind ends) goes within the receive time-out.
  const auto statesGoWithin = [](int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (http_test::LiveRequestStates() != 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return http_test::LiveRequestStates() == 0;
  };
  http_test::Get().receiveTimeoutMs = 3000;

  // A server that does not answer for 20 s, one that stops for 20 s in the middle of the body, and
  // a port that never completes the connection: the abort ends each wait, whatever it waits for.
  EXPECT_LT(abortedAfterMs(Url("/page?body=late&delay=20")), 1300);
  EXPECT_LT(abortedAfterMs(Url("/page?body=a%0Ab%0A&stall=2&stall_secs=20")), 1300);
  EXPECT_TRUE(statesGoWithin(6000));
  EXPECT_LT(abortedAfterMs("http://127.0.0.1:" + std::to_string(server->BlackholePort()) + "/"), 1300);

  // While the abort stands, a fetch of its thread fails before anything is sent; one on another
  // thread is no concern of it; after Reset the next fetch is made again.
  HttpAbort abort;
  abort.Abort();
  HttpAbort::Scope scope(abort);
  server->ClearRequests();
  PageLines page;
  EXPECT_FALSE(Load(page, "/page?body=x"));
  EXPECT_EQ(server->Requests(), "");
  std::thread other([&] {
    PageLines elsewhere;
    EXPECT_TRUE(Load(elsewhere, "/page?body=y"));
    EXPECT_EQ(elsewhere.lines, Lines{"y"});
  });
  other.join();
  abort.Reset();
  EXPECT_TRUE(Load(page, "/page?body=x"));
  EXPECT_EQ(page.lines, Lines{"x"});
}

TEST_F(PageFetch, UnansweredConnectionTimesOut) {
#if defined(ZELLORA_WINDOWS)
  // Wine's WinInet (8.0) waits for the system's own connect time-out (about two minutes) whatever
  // time-out it is given, so this would only measure Wine.
  GTEST_SKIP() << "WinInet under Wine ignores the connect time-out";
#endif
  ASSERT_NE(server->BlackholePort(), 0);
  http_test::Get().connectTimeoutMs = 1000;
  PageLines page;
  std::string url = "http://127.0.0.1:" + std::to_string(server->BlackholePort()) + "/";
  EXPECT_FALSE(LoadPage(page, url.c_str(), nullptr, 0, nullptr, nullptr));
  EXPECT_TRUE(page.lines.empty());
}

TEST_F(PageFetch, HugeLineAndHugeBodyStayBounded) {
  const std::size_t limit = PageLineReader::kMaxLineBytes;
  ASSERT_TRUE(server->WriteFile("long", "start\n" + std::string(3 * limit, 'a') + "\nend\n"));
  PageLines page;
  EXPECT_TRUE(Load(page, "/page?file=long"));
  ASSERT_EQ(page.lines.size(), 3u);
  EXPECT_EQ(page.lines[1], std::string(limit, 'a'));
  EXPECT_EQ(page.lines[2], "end");

  // 20 MB streamed through a sink: nothing is kept in the page.
  CountingSink sink;
  std::string line = std::string(99, 'x') + "\n";
  EXPECT_TRUE(LoadPage(page, Url("/page?body=" + TestHttpServer::Encode(line) + "&repeat=200000").c_str(),
                       nullptr, 0, nullptr, nullptr, sink));
  EXPECT_EQ(sink.count, 200000u);
  EXPECT_EQ(sink.bytes, 200000u * 99);
  EXPECT_TRUE(page.lines.empty());

  // Past the body limit the fetch stops and the page is what came before.
  CountingSink limited;
  line = "x" + std::string(998, ' ') + "\n";
  EXPECT_TRUE(LoadPage(page, Url("/page?body=" + TestHttpServer::Encode(line) + "&repeat=72000").c_str(),
                       nullptr, 0, nullptr, nullptr, limited));
  EXPECT_EQ(limited.count, PageLineReader::kMaxBodyBytes / line.size() + 1);

  // A sink that gives up ends the fetch.
  ThrowingSink throwing;
  EXPECT_FALSE(LoadPage(page, Url("/page?body=a").c_str(), nullptr, 0, nullptr, nullptr, throwing));
}

TEST_F(PageFetch, RequestReadsTheRawBodyAndFailuresAtEveryStepCloseCleanly) {
  HttpRequest request;
  ASSERT_TRUE(OpenHttpRequest(request, Url("/page?body=abc%0Adef&mode=chunked&chunk=2").c_str(), nullptr,
                              nullptr, nullptr));
  EXPECT_TRUE(request.IsOpen());
  std::string body;
  char buffer[3];
  long n;
  while ((n = request.Read(buffer, sizeof buffer)) > 0) body.append(buffer, static_cast<std::size_t>(n));
  EXPECT_EQ(n, 0);
  EXPECT_EQ(body, "abc\ndef");
  CloseHttpRequest(request);
  EXPECT_FALSE(request.IsOpen());
  EXPECT_EQ(request.Read(buffer, sizeof buffer), -1);
  CloseHttpRequest(request);  // closing twice is harmless

  using http_test::FailPoint;
  for (FailPoint point :
       {FailPoint::kSession, FailPoint::kConnect, FailPoint::kOpenRequest, FailPoint::kSend}) {
    http_test::Get().failAt = point;
    EXPECT_FALSE(OpenHttpRequest(request, Url("/page?body=a").c_str(), nullptr, nullptr, nullptr));
    EXPECT_FALSE(request.IsOpen());
    PageLines page;
    page.lines = {"old"};
    EXPECT_FALSE(LoadPage(page, Url("/page?body=a").c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(page.lines.empty());
  }
  http_test::Get().failAt = FailPoint::kRead;
  PageLines page;
  EXPECT_FALSE(LoadPage(page, Url("/page?body=a").c_str(), nullptr, 0, nullptr, nullptr));
}

TEST(PageFetchTls, HttpsChecksTheCertificate) {
  http_test::Reset();
  TestHttpServer trusted;
  TestHttpServer stranger;
  ASSERT_TRUE(trusted.Launch(true));
  ASSERT_TRUE(stranger.Launch(true));
  ASSERT_TRUE(trusted.WaitUntilReady());
  ASSERT_TRUE(stranger.WaitUntilReady());
  TrustedTestCa ca(trusted);
  ASSERT_TRUE(ca.Ok());

  PageLines page;
  EXPECT_TRUE(LoadPage(page, trusted.Url("/page?body=secure%0Apage").c_str(), "r", 0, nullptr, nullptr));
  EXPECT_EQ(page.lines, (Lines{"secure", "page"}));
  EXPECT_NE(trusted.Requests().find("GET /page?body=secure%0Apage HTTP/1.1\r\nClientHost: "),
            std::string::npos);

  // A certificate from an authority nobody trusts is refused: nothing is requested or read.
  EXPECT_FALSE(LoadPage(page, stranger.Url("/page?body=x").c_str(), "r", 0, nullptr, nullptr));
  EXPECT_TRUE(page.lines.empty());
  EXPECT_EQ(stranger.Requests(), "");
  http_test::Reset();
}

// The server offers HTTP/2 first, as most real ones do; the fetch still speaks HTTP/1.1, so the
// request line and the header block are the ones the ticker promises.
TEST(PageFetchTls, HttpsStaysOnHttp11WhenTheServerOffersH2) {
  http_test::Reset();
  TestHttpServer server;
  ASSERT_TRUE(server.Start(true));
  TrustedTestCa ca(server);
  ASSERT_TRUE(ca.Ok());

  PageLines page;
  EXPECT_TRUE(LoadPage(page, server.Url("/page?body=one%0Atwo").c_str(), "http://ref/", 0, nullptr, nullptr));
  EXPECT_EQ(page.lines, (Lines{"one", "two"}));
  const std::string protocols = server.NegotiatedProtocols();
  ASSERT_FALSE(protocols.empty()) << "no TLS connection was recorded";
  EXPECT_EQ(protocols.find("h2"), std::string::npos) << protocols;
  const std::string requests = server.Requests();
  EXPECT_EQ(requests.rfind("GET /page?body=one%0Atwo HTTP/1.1\r\nClientHost: ", 0), 0u) << requests;
  EXPECT_EQ(requests.find("PRI * HTTP/2.0"), std::string::npos);
  EXPECT_NE(requests.find("\r\nReferer: http://ref/\r\n"), std::string::npos) << requests;
  http_test::Reset();
}

TEST_F(PageFetch, ResponseTellsStatusFinalAddressAndValidatorsAndConditionsAreSent) {
  const std::string lastModified = "Wed, 21 Oct 2015 07:28:00 GMT";
  const std::string target =
      "/page?body=feed&status=203&etag=" + TestHttpServer::Encode("\"v1\"") +
      "&last_modified=" + TestHttpServer::Encode(lastModified) +
      "&retry_after=120&content_type=" + TestHttpServer::Encode("application/rss+xml; charset=UTF-8");
  const std::string redirect = "/redirect?code=302&to=" + TestHttpServer::Encode(target);
  PageLines page;
  PageExchange exchange;
  ASSERT_TRUE(LoadPage(page, Url(redirect).c_str(), "r", 0, nullptr, nullptr, nullptr, exchange));
  EXPECT_EQ(page.lines, Lines{"feed"});
  EXPECT_EQ(exchange.response.status, 203);
  EXPECT_EQ(exchange.response.finalUrl, Url(target));
  EXPECT_EQ(exchange.response.contentType, "application/rss+xml; charset=UTF-8");
  EXPECT_EQ(exchange.response.etag, "\"v1\"");
  EXPECT_EQ(exchange.response.lastModified, lastModified);
  EXPECT_EQ(exchange.response.retryAfter, "120");

  // The validators go back after the header block, before Host; the server finds the page
  // unchanged and answers 304 without a body.
  server->ClearRequests();
  exchange.conditions.ifNoneMatch = exchange.response.etag;
  exchange.conditions.ifModifiedSince = exchange.response.lastModified;
  ASSERT_TRUE(LoadPage(page, Url(target).c_str(), "r", 0, nullptr, nullptr, nullptr, exchange));
  EXPECT_TRUE(page.lines.empty());
  EXPECT_EQ(exchange.response.status, 304);
  std::string head = Head(target, "r");
  head.insert(head.find("\r\nHost: ") + 2,
              "If-None-Match: \"v1\"\r\nIf-Modified-Since: " + lastModified + "\r\n");
  EXPECT_EQ(server->Requests(), head);

  // A validator that would add a header line of its own is not sent; only the date goes.
  server->ClearRequests();
  exchange.conditions.ifNoneMatch = "\"v1\"\r\nX-Injected: 1";
  ASSERT_TRUE(LoadPage(page, Url(target).c_str(), "r", 0, nullptr, nullptr, nullptr, exchange));
  EXPECT_EQ(exchange.response.status, 304);
  head = Head(target, "r");
  head.insert(head.find("\r\nHost: ") + 2, "If-Modified-Since: " + lastModified + "\r\n");
  EXPECT_EQ(server->Requests(), head);

  // A changed page: 200 with its body; an error status is told as it is; no answer is status 0.
  exchange.conditions = HttpConditions{"\"v0\"", ""};
  ASSERT_TRUE(LoadPage(page, Url(target).c_str(), "r", 0, nullptr, nullptr, nullptr, exchange));
  EXPECT_EQ(exchange.response.status, 203);
  EXPECT_EQ(page.lines, Lines{"feed"});
  exchange.conditions = HttpConditions();
  ASSERT_TRUE(
      LoadPage(page, Url("/page?status=404&body=gone").c_str(), "r", 0, nullptr, nullptr, nullptr, exchange));
  EXPECT_EQ(exchange.response.status, 404);
  EXPECT_EQ(exchange.response.etag, "");
  EXPECT_FALSE(LoadPage(page, "http://127.0.0.1:1/", "r", 0, nullptr, nullptr, nullptr, exchange));
  EXPECT_EQ(exchange.response.status, 0);
  EXPECT_EQ(exchange.response.finalUrl, "");
}
