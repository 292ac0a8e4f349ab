#include "support/net/http_request.h"

// A well-known Japanese portal's top page stands in as the page a visitor came from.
const char kDefaultReferrer[] = "http://www.yahoo.co.jp/";

namespace http_detail {

bool IsSendableUrl(const char* url) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(url); *p; ++p) {
    if (*p < 0x20 || *p == 0x7F) {
      return false;
    }
  }
  return true;
}

bool UseCredentials(const char* userName, const char* password) {
  return userName && password && *userName && *password;
}

namespace {

// A value ends at its first CR or LF: a referrer taken from a page or a list must not be able to
// add header lines of its own.
void AppendValue(std::string& block, const char* value) {
  for (const char* p = value; *p && *p != '\r' && *p != '\n'; ++p) {
    block += *p;
  }
}

}  // namespace

std::string BuildHeaderBlock(const std::string& clientName, const char* referrer) {
  std::string block;
  block.reserve(160 + clientName.size());
  block += "ClientHost: ";
  AppendValue(block, clientName.c_str());
  block += "\r\nAccept: */*\r\n";
  block += "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows2000)\r\n";
  block += "Referer: ";
  AppendValue(block, referrer ? referrer : kDefaultReferrer);
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

namespace http_test {

Settings& Get() {
  static Settings settings;
  return settings;
}

void Reset() {
  Get() = Settings();
}

}  // namespace http_test
