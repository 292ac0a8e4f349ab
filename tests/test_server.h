// Starts and stops tools/http_test_server.py for a test: a private HTTP (or HTTPS) server on
// 127.0.0.1 with a free port, a private folder for the files it serves, and the record of every
// request it received.
//
// The server is a Linux Python program in both builds. Natively it is spawned as a child process.
// Under Wine a Windows program can start a Linux program too (CreateProcessA of its Z: path), but
// gets no usable handle to it and cannot read its output; so the server writes its port to a file
// in the private folder, which the test waits for, and is stopped through its /_quit address. It
// also ends by itself after a while, should a test die before stopping it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class TestHttpServer {
 public:
  TestHttpServer() = default;
  ~TestHttpServer() { Stop(); }
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // Starts the server; with tls, over HTTPS with a certificate for 127.0.0.1 and localhost issued
  // by a certificate authority of its own (CaPemPath, CaDerPath). False when it did not come up.
  bool Start(bool useTls = false) { return Launch(useTls) && WaitUntilReady(); }
  // The two halves of Start, so that several servers can come up side by side.
  bool Launch(bool useTls = false);
  bool WaitUntilReady();
  void Stop();

  int Port() const { return port; }
  // A port on 127.0.0.1 where connection attempts go unanswered (to test connect time-outs).
  int BlackholePort() const { return blackholePort; }
  // "http://127.0.0.1:PORT" + path, or with another name for the host. A TLS server's address is
  // "https://localhost:PORT" + path: its certificate names both, but Wine's certificate check
  // matches host names only, not IP addresses.
  std::string Url(const std::string& pathAndQuery, const std::string& host = "") const;

  // Every request head (request line and headers, up to the blank line) received so far.
  std::string Requests() const;
  void ClearRequests();
  // A TLS server offers "h2" and "http/1.1": the protocol each connection agreed on, one line per
  // connection ("none" when the client asked for none).
  std::string NegotiatedProtocols() const;

  // Writes a file into the folder that /page?file=NAME serves from.
  bool WriteFile(const std::string& name, const std::string& bytes) const;

  // The certificate authority of a TLS server, as this program can open it.
  std::string CaPemPath() const { return LocalPath(folder + "/tls/ca.pem"); }
  std::string CaDerPath() const { return LocalPath(folder + "/tls/ca.der"); }

  // A path of the Linux file system as this program can open it (under Wine: on drive Z:).
  static std::string LocalPath(const std::string& unixPath);
  // Reads a whole file; empty when it cannot be read.
  static std::string ReadFile(const std::string& localPath);
  // Percent-encodes every byte but letters and digits, for the server's query parameters.
  static std::string Encode(const std::string& bytes);

 private:
  std::string folder;  // private folder, Linux path
  int port = 0;
  int blackholePort = 0;
  bool tls = false;
  long long process = 0;
};

// Platform halves (test_server_posix.cpp, test_server_win.cpp).
namespace test_server_detail {
// Starts program with args in the background, its standard streams closed; process identifies it.
bool Spawn(const std::string& program, const std::vector<std::string>& args, long long& process);
// Asks the server on port to quit, then makes sure the process is gone.
void Quit(int port, long long process);
void SleepMs(int ms);
std::string LocalPath(const std::string& unixPath);
}  // namespace test_server_detail

// Makes this process trust the certificate authority of a TLS test server while it lives:
// natively the fetch's test setting names its PEM file; under Wine the certificate goes into the
// current user's "Root" store (Wine's certificate checks honour it) and is removed again.
class TrustedTestCa {
 public:
  explicit TrustedTestCa(const TestHttpServer& server);
  ~TrustedTestCa();
  TrustedTestCa(const TrustedTestCa&) = delete;
  TrustedTestCa& operator=(const TrustedTestCa&) = delete;
  bool Ok() const { return ok; }

 private:
  bool ok = false;
  std::string der;
};

// A test suite that shares one local server; every test starts and ends with the fetch's
// test-only settings reset and the server's request record empty.
class HttpServerTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  static TestHttpServer* server;
};
