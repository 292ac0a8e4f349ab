// libFuzzer target: link resolution. The input is a base address and a reference separated by the
// first line feed (all of it is the reference when there is none, resolved against a fixed base).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/net/url_resolve.h"
#include "tests/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const std::string_view base = cut == std::string_view::npos
                                    ? std::string_view("http://news.example.jp/a/b/c.html?q#f")
                                    : input.substr(0, cut);
  const std::string_view reference = cut == std::string_view::npos ? input : input.substr(cut + 1);

  const std::string resolved = ResolveUrl(base, reference);
  // Resolution only ever drops text: at most a "/" is added where a path is merged.
  Check(resolved.size() <= base.size() + reference.size() + 1);
  if (resolved.empty()) return 0;
  // An absolute address resolves to itself once its dot segments are gone, whatever the base.
  const std::string again = ResolveUrl("http://other.example/x/", resolved);
  Check(ResolveUrl(base, again) == again);
  Check(ResolveUrl("", again) == again);
  // A web address stays one when a relative path is resolved against it.
  if (IsWebAddress(again)) Check(IsWebAddress(ResolveUrl(again, "../x/./y?z")));
  return 0;
}
