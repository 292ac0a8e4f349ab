#include "tests/test_server.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/net/http_request.h"

namespace {

std::string UniqueFolder() {
  static std::atomic<int> counter{0};
  std::random_device random;
  char name[96];
  std::snprintf(name, sizeof name, "/http-%08x-%d", static_cast<unsigned>(random()), counter++);
  return std::string(ZELLORA_BINARY_DIR) + "/test-tmp" + name;
}

}  // namespace

std::string TestHttpServer::LocalPath(const std::string& unixPath) {
  return test_server_detail::LocalPath(unixPath);
}

std::string TestHttpServer::ReadFile(const std::string& localPath) {
  std::ifstream in(localPath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string TestHttpServer::Encode(const std::string& bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool TestHttpServer::Launch(bool useTls) {
  Stop();
  tls = useTls;
  folder = UniqueFolder();
  std::error_code error;
  std::filesystem::create_directories(LocalPath(folder), error);
  if (error) {
    return false;
  }
  std::vector<std::string> args = {std::string(ZELLORA_SOURCE_DIR) + "/tools/http_test_server.py",
                                   "--port-file",
                                   folder + "/port",
                                   "--record",
                                   folder + "/requests",
                                   "--root",
                                   folder};
  if (tls) {
    args.push_back("--tls-auto");
    args.push_back(folder + "/tls");
    args.push_back("--alpn-record");
    args.push_back(folder + "/alpn");
  }
  if (!test_server_detail::Spawn(ZELLORA_PYTHON, args, process)) {
    return false;
  }
  return true;
}

bool TestHttpServer::WaitUntilReady() {
  if (folder.empty()) {
    return false;
  }
  // Making the certificates takes a moment; starting Python alone a fraction of a second.
  for (int i = 0; i < 600 && port == 0; ++i) {
    std::string text = ReadFile(LocalPath(folder + "/port"));
    if (!text.empty()) {
      port = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
      std::size_t second = text.find('\n');
      if (second != std::string::npos) {
        blackholePort = static_cast<int>(std::strtol(text.c_str() + second + 1, nullptr, 10));
      }
      break;
    }
    test_server_detail::SleepMs(50);
  }
  if (port == 0) {
    Stop();
    return false;
  }
  return true;
}

void TestHttpServer::Stop() {
  if (port != 0 || process != 0) {
    test_server_detail::Quit(port, process);
  }
  port = 0;
  blackholePort = 0;
  process = 0;
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::remove_all(LocalPath(folder), error);
    folder.clear();
  }
}

std::string TestHttpServer::Url(const std::string& pathAndQuery, const std::string& host) const {
  std::string name = !host.empty() ? host : tls ? "localhost" : "127.0.0.1";
  return std::string(tls ? "https" : "http") + "://" + name + ":" + std::to_string(port) + pathAndQuery;
}

std::string TestHttpServer::Requests() const {
  return ReadFile(LocalPath(folder + "/requests"));
}

std::string TestHttpServer::NegotiatedProtocols() const {
  return ReadFile(LocalPath(folder + "/alpn"));
}

void TestHttpServer::ClearRequests() {
  // Opening a file for writing empties it.
  { std::ofstream requests(LocalPath(folder + "/requests"), std::ios::binary | std::ios::trunc); }
  if (tls) {
    std::ofstream alpn(LocalPath(folder + "/alpn"), std::ios::binary | std::ios::trunc);
  }
}

bool TestHttpServer::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(LocalPath(folder + "/" + name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

TestHttpServer* HttpServerTest::server = nullptr;

void HttpServerTest::SetUpTestSuite() {
  server = new TestHttpServer;
  if (!server->Start()) {
    delete server;
    server = nullptr;
  }
}

void HttpServerTest::TearDownTestSuite() {
  delete server;
  server = nullptr;
}

void HttpServerTest::SetUp() {
  ASSERT_NE(server, nullptr) << "the test server did not start";
  http_test::Reset();
  server->ClearRequests();
}

void HttpServerTest::TearDown() {
  http_test::Reset();
}
