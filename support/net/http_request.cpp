#include "support/net/http_request.h"

// A well-known Japanese portal's top page stands in as the page a visitor came from.
const char kDefaultReferrer[] = "http://www.yahoo.co.jp/";

namespace http_detail {

namespace {

bool HasControlCharacter(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p < 0x20 || *p == 0x7F) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsSendableUrl(const char* url) {
  return !HasControlCharacter(url);
}

const char* HeaderValue(const char* value) {
  return value && HasControlCharacter(value) ? "" : value;
}

bool UseCredentials(const char* userName, const char* password) {
  userName = HeaderValue(userName);
  return userName && password && *userName && *password;
}

std::string BuildHeaderBlock(const std::string& clientName, const char* referrer) {
  std::string block;
  block.reserve(160 + clientName.size());
  block += "ClientHost: ";
  block += HeaderValue(clientName.c_str());
  block += "\r\nAccept: */*\r\n";
  block += "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows2000)\r\n";
  block += "Referer: ";
  block += referrer ? HeaderValue(referrer) : kDefaultReferrer;
  block += "\r\n";
  return block;
}

std::string BuildConditionalHeaders(const HttpConditions& conditions) {
  std::string lines;
  auto add = [&lines](const char* name, const std::string& value) {
    if (value.empty() || !IsSendableUrl(value.c_str()) || value.find('\0') != std::string::npos) return;
    lines += name;
    lines += value;
    lines += "\r\n";
  };
  add("If-None-Match: ", conditions.ifNoneMatch);
  add("If-Modified-Since: ", conditions.ifModifiedSince);
  return lines;
}

std::string ClientName() {
  std::string name;
  if (http_test::Get().noComputerName || !ReadComputerName(name) || name.empty()) {
    return "ClientPC";
  }
  return name;
}

}  // namespace http_detail

namespace {

thread_local HttpAbort* currentAbort = nullptr;

}  // namespace

void HttpAbort::Abort() {
  std::lock_guard<std::mutex> guard(lock);
  requested.store(true);
  if (inFlight) http_detail::WakeRequest(*inFlight);
}

HttpAbort::Scope::Scope(HttpAbort& abort) : previous(currentAbort) {
  currentAbort = &abort;
}

HttpAbort::Scope::~Scope() {
  currentAbort = previous;
}

HttpAbort* HttpAbort::Current() {
  return currentAbort;
}

void HttpAbort::Attach(HttpRequest::Impl* request) {
  std::lock_guard<std::mutex> guard(lock);
  inFlight = request;
}

void HttpAbort::Detach(HttpRequest::Impl* request) {
  std::lock_guard<std::mutex> guard(lock);
  if (inFlight == request) inFlight = nullptr;
}

namespace http_test {

Settings& Get() {
  static Settings settings;
  return settings;
}

void Reset() {
  Get() = Settings();
}

}  // namespace http_test
