// libFuzzer target: the checks a .bmp file passes before the system's loader sees it. The input is
// the whole file; the check is also given only its head, and a claimed size other than the real one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/draw/dib_math.h"
#include "tests/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Exact copies, so that ASan sees a read past the head or the file.
  const std::size_t headBytes = std::min(size, kBitmapFileHeaderBytes + kBitmapInfoReadBytes);
  const std::vector<std::uint8_t> head(data, data + headBytes);
  const std::vector<std::uint8_t> file(data, data + size);

  const bool passes = CheckBitmapFile(head.data(), head.size(), size);
  if (passes) {
    Check(size >= kBitmapFileHeaderBytes + 12);
    Check(ReadLe16(data) == kBitmapFileType);
    // The pixel data lies inside the file.
    Check(ReadLe32(data + 10) < size);
  }
  // A file claimed to be shorter than the head read is refused; so is a claim of more than 4 GiB
  // when the offsets say otherwise. Neither may crash.
  if (size > 0) (void)CheckBitmapFile(head.data(), head.size(), size - 1);
  (void)CheckBitmapFile(head.data(), head.size(), std::uint64_t{1} << 40);

  std::vector<std::uint8_t> info(3, 0xEE);
  std::size_t pixelsAt = 12345;
  if (ReadBitmapFileInfo(file.data(), file.size(), info, pixelsAt)) {
    Check(passes);
    Check(pixelsAt < size);
    Check(info.size() >= 40 && info.size() <= kInfoBlockBytes);
    Check(ReadLe32(info.data()) == 40);
    // The description's colour table and masks fit before the pixels of the file.
    const std::int32_t width = static_cast<std::int32_t>(ReadLe32(info.data() + 4));
    const std::int32_t height = static_cast<std::int32_t>(ReadLe32(info.data() + 8));
    const int bits = ReadLe16(info.data() + 14);
    Check(width > 0 && height != 0);
    Check(IsSupportedDepth(bits));
    std::uint64_t bytes = 0;
    if (DibImageSize(width, height < 0 ? -static_cast<std::int64_t>(height) : height, bits, bytes)) {
      Check(DibStride(width, bits) > 0);
    }
  }
  return 0;
}
