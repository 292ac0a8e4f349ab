#include "support/ticker_link/ticker_link.h"

#include <cstring>

namespace ticker_link {

std::string ReadCopyDataText(const void* data, std::size_t cbData) {
  if (data == nullptr || cbData == 0) return {};
  const char* text = static_cast<const char*>(data);
  const void* zero = std::memchr(text, 0, cbData);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : cbData;
  return std::string(text, length);
}

}  // namespace ticker_link
