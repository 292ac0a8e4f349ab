#include <errno.h>
#include <iconv.h>

#include "support/text/sjis.h"
#include "tools/extract/console.h"

namespace {

// Owns one conversion descriptor.
class Iconv {
 public:
  Iconv() : cd(iconv_open("UTF-8", "CP932")) {}
  ~Iconv() {
    if (Ok()) iconv_close(cd);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool Ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return cd; }

 private:
  iconv_t cd;
};

}  // namespace

std::string SjisToUtf8(std::string_view text) {
  static Iconv conv;
  std::string out;
  if (!conv.Ok()) {
    // No converter: ASCII passes, everything else is unprintable.
    for (char c : text) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return out;
  }
  iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
  char buffer[4096];
  std::size_t pos = 0;
  while (pos < text.size()) {
    char* in = const_cast<char*>(text.data() + pos);
    std::size_t inLeft = text.size() - pos;
    char* dst = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t r = iconv(conv.Get(), &in, &inLeft, &dst, &outLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    pos = text.size() - inLeft;
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An invalid or incomplete character: replace it and go on after it.
      out.push_back('?');
      pos = sjis::NextChar(text, pos);
      iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

void SetBinaryStdio() {}  // no text mode here
