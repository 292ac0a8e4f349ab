// libFuzzer target: the scrambled-string codec and the path handling of CRegistry. The input is
// split at the first zero byte: the bytes before it are the base path, the bytes after it the path
// or the stored text to decode.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/registry/registry.h"
#include "support/text/sjis.h"
#include "tests/fuzz_check.h"

namespace {

void CheckScrambled(const std::string& input) {
  // Decoding arbitrary text either fails without touching out or gives text that encodes back to
  // exactly the stored form.
  std::string out = "unchanged";
  if (CRegistry::DecodeScrambled(input, out)) {
    Check(out.size() + 2 == input.size());
    std::string again;
    Check(CRegistry::EncodeScrambled(out, again));
    Check(again == input);
  } else {
    Check(out == "unchanged");
  }
  // Encoding: every text of encodable characters round-trips; any other is refused.
  std::string encoded = "unchanged";
  if (CRegistry::EncodeScrambled(input, encoded)) {
    Check(encoded.size() == input.size() + 2);
    std::string decoded;
    Check(CRegistry::DecodeScrambled(encoded, decoded));
    Check(decoded == input);
    for (const char c : input) Check(c >= 0x20 && c <= 0x7C);
  } else {
    Check(encoded == "unchanged");
  }
}

void CheckPaths(const std::string& base, const std::string& path) {
  CRegistry registry(base);
  const std::string normal = registry.NormalizePath(path.c_str());
  Check(normal.size() <= path.size());
  Check(normal.empty() || normal[0] != '\\');
  Check(!sjis::EndsWith(normal, "\\"));

  HKEY root = reinterpret_cast<HKEY>(1);
  std::string subKey = "stale";
  if (registry.ParseRoot(path.c_str(), root, subKey)) {
    Check(root != nullptr);
    Check(subKey.size() <= normal.size());
  } else {
    Check(root == nullptr && subKey.empty());
  }

  root = reinterpret_cast<HKEY>(1);
  subKey = "stale";
  if (registry.ResolvePath(path.c_str(), root, subKey)) {
    Check(registry.IsBaseValid());
    Check(root != nullptr);
    Check(subKey.size() <= registry.GetBaseSubKey().size() + 1 + normal.size());
    // Everything goes below the base key.
    Check(subKey.compare(0, registry.GetBaseSubKey().size(), registry.GetBaseSubKey()) == 0);
  } else {
    Check(root == nullptr && subKey.empty());
  }
  if (registry.IsBaseValid()) {
    Check(registry.GetBaseRoot() != nullptr);
    Check(registry.GetBasePath() == registry.NormalizePath(base.c_str()));
  } else {
    Check(registry.GetBasePath().empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = all.find('\0');
  const std::string base(all.substr(0, zero));
  const std::string rest(zero == std::string_view::npos ? std::string_view() : all.substr(zero + 1));
  CheckScrambled(std::string(all));
  const std::size_t second = rest.find('\0');
  CheckPaths(base, rest.substr(0, second));
  return 0;
}
