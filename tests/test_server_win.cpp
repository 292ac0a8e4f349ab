// winsock2.h goes before windows.h.
#include <windows.h>
#include <winsock2.h>

#include "tests/test_server.h"

namespace test_server_detail {

bool Spawn(const std::string& program, const std::vector<std::string>& args, long long& process) {
  // Wine starts a Linux program given by its path on drive Z:; the arguments reach it as they are.
  std::string commandLine = "\"" + LocalPath(program) + "\"";
  for (const std::string& a : args) commandLine += " \"" + a + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  // The handles do not lead to the Linux process; only the port says whether it runs.
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  process = -1;
  return true;
}

void Quit(int port, long long) {
  if (port == 0) return;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s != INVALID_SOCKET) {
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      const char request[] = "GET /_quit HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
      send(s, request, sizeof request - 1, 0);
      char reply[256];
      recv(s, reply, sizeof reply, 0);  // wait until the server has seen it
    }
    closesocket(s);
  }
  WSACleanup();
}

void SleepMs(int ms) {
  Sleep(static_cast<DWORD>(ms));
}

std::string LocalPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace test_server_detail

#include <wincrypt.h>

TrustedTestCa::TrustedTestCa(const TestHttpServer& server) {
  der = TestHttpServer::ReadFile(server.CaDerPath());
  ok = !der.empty() &&
       CertAddEncodedCertificateToSystemStoreA("Root", reinterpret_cast<const BYTE*>(der.data()),
                                               static_cast<DWORD>(der.size())) != FALSE;
}

TrustedTestCa::~TrustedTestCa() {
  if (!ok) return;
  HCERTSTORE store = CertOpenSystemStoreA(0, "Root");
  if (!store) return;
  PCCERT_CONTEXT cert = CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  if (cert) {
    PCCERT_CONTEXT found =
        CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, cert, nullptr);
    if (found) CertDeleteCertificateFromStore(found);  // frees found
    CertFreeCertificateContext(cert);
  }
  CertCloseStore(store, 0);
}
