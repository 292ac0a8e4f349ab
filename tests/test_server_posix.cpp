#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tests/test_server.h"

extern char** environ;

namespace test_server_detail {

bool Spawn(const std::string& program, const std::vector<std::string>& args, long long& process) {
  // The client under test takes its proxy from the environment: a proxy set for the machine must
  // not swallow requests to the local server. (The Wine runner does the same for its programs.)
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // The server must not hold on to the test's output: ctest would wait for it.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd < 3; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  }
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  process = pid;
  return true;
}

void Quit(int port, long long process) {
  if (port != 0) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s >= 0) {
      sockaddr_in addr = {};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<unsigned short>(port));
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const char request[] = "GET /_quit HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        (void)!send(s, request, sizeof request - 1, MSG_NOSIGNAL);
      }
      close(s);
    }
  }
  if (process > 0) {
    // A TLS server does not understand a plain request: make sure it ends.
    pid_t pid = static_cast<pid_t>(process);
    for (int i = 0; i < 40; ++i) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) return;
      SleepMs(25);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

void SleepMs(int ms) {
  usleep(static_cast<useconds_t>(ms) * 1000);
}

std::string LocalPath(const std::string& unixPath) {
  return unixPath;
}

}  // namespace test_server_detail

#include "support/net/http_request.h"

TrustedTestCa::TrustedTestCa(const TestHttpServer& server) {
  http_test::Get().caFile = server.CaPemPath();
  ok = !TestHttpServer::ReadFile(server.CaPemPath()).empty();
}

TrustedTestCa::~TrustedTestCa() {
  http_test::Get().caFile.clear();
}
