#include "catalogue/download.h"

#include <cstdio>
#include <new>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_content.h"
#include "catalogue/page_scan.h"
#include "support/net/page_lines.h"
#include "support/system/paths.h"
#include "support/text/sjis.h"
#include "support/text/sjis_cut.h"

namespace catalogue {

const char kDownloadMarker[] = "HTTPでダウンロード";
const char kRefreshWord[] = "REFRESH";

namespace {

constexpr int kPumpMs = 10;

// Calls onTag(tag, upperTag) for every tag of the page's lines in order until it returns true
// (a decision was made: result holds it). Returns false when the page ended first; result is 0
// then, and 0 too when the download was cancelled between two pieces.
template <typename OnTag>
bool ScanTags(DownloadHost& host, const PageLines& page, int& result, OnTag onTag) {
  result = 0;
  for (std::size_t index = 0;; ++index) {
    if (host.IsCancelled()) return true;
    const std::string& line = page.GetLine(index);
    if (line.empty()) return false;
    std::size_t pos = 0;
    std::string_view tag;
    for (;;) {
      if (host.IsCancelled()) return true;
      Piece piece = NextPiece(line, pos, tag);
      if (piece == Piece::kEnd) break;
      if (piece == Piece::kTag && onTag(tag, sjis::ToUpper(tag), result)) return true;
    }
  }
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool Contains(const std::string& s, const std::string& word) {
  return sjis::Find(s, word) != std::string::npos;
}

}  // namespace

int ResolveDownloadPage(DownloadHost& host, const std::string& address, const std::string& marker,
                        std::string& path) {
  try {
    host.PumpMessages(kPumpMs);
    PageLines page;
    if (!host.FetchPage(address, page)) return 0;
    bool inHead = false;
    std::string lastLink;
    const std::string upperMarker = sjis::ToUpper(marker);
    int result = 0;
    ScanTags(host, page, result, [&](std::string_view tag, const std::string& upper, int& outcome) {
      if (upper == "<HEAD>") {
        inHead = true;
      } else if (upper == "</HEAD>") {
        inHead = false;
      }
      std::string value;
      if (inHead) {
        if (StartsWith(upper, "<META") && Contains(upper, "DOWNLOAD") && QuotedValue(tag, "content", value)) {
          outcome = TransferFile(host, value, path);
          return true;
        }
      } else if (StartsWith(upper, "<A")) {
        if (QuotedValue(tag, "href", value)) lastLink = value;
      } else if (StartsWith(upper, "<IMG") && Contains(upper, upperMarker)) {
        outcome = FollowLinkPage(host, lastLink, kRefreshWord, path);
        return true;
      }
      return false;
    });
    // A page without a recognised tag saved nothing: that is a failure, not a success with an
    // empty path.
    return result;
  } catch (...) {
    return 0;  // an error while scanning ends the step without a file
  }
}

int FollowLinkPage(DownloadHost& host, const std::string& link, const std::string& word, std::string& path) {
  try {
    host.PumpMessages(kPumpMs);
    PageLines page;
    if (!host.FetchPage(ShopAddress(host.ShopHost(), link), page)) return 0;
    bool inHead = false;
    const std::string upperWord = sjis::ToUpper(word);
    int result = 0;
    ScanTags(host, page, result, [&](std::string_view tag, const std::string& upper, int& outcome) {
      if (upper == "<HEAD>") {
        inHead = true;
      } else if (upper == "</HEAD>") {
        inHead = false;
      }
      std::string value;
      if (inHead && StartsWith(upper, "<META") && Contains(upper, upperWord) && RefreshValue(tag, value)) {
        outcome = TransferFile(host, value, path);
        return true;
      }
      return false;
    });
    return result;
  } catch (...) {
    return 0;
  }
}

std::string FormatSize(std::uint64_t bytes) {
  char text[64];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu Bytes", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1048576) {
    std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(bytes / 1024));
  } else {
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1048576.0);
  }
  return text;
}

std::string RemainingText(std::uint64_t seconds, const std::string& total, const std::string& copied) {
  char text[512];
  if (seconds <= 60) {
    std::snprintf(text, sizeof text, "%llu秒 (%s 中の %s をコピーしました)",
                  static_cast<unsigned long long>(seconds), total.c_str(), copied.c_str());
  } else {
    std::snprintf(text, sizeof text, "%llu分%02u秒 (%s 中の %s をコピーしました)",
                  static_cast<unsigned long long>(seconds / 60), static_cast<unsigned>(seconds % 60),
                  total.c_str(), copied.c_str());
  }
  return text;
}

std::string RateText(std::uint64_t bytesPerSecond) {
  char text[64];
  if (bytesPerSecond > 1024) {
    std::snprintf(text, sizeof text, "%llu KB/秒", static_cast<unsigned long long>(bytesPerSecond / 1024));
  } else {
    std::snprintf(text, sizeof text, "%llu Bytes/秒", static_cast<unsigned long long>(bytesPerSecond));
  }
  return text;
}

std::uint64_t RemainingSeconds(std::uint64_t remaining, std::uint64_t rate) {
  if (rate == 0) return remaining / 1024;
  std::uint64_t s = remaining / rate;
  return s < 1 ? 1 : s;
}

namespace {

bool IsNameByte(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return false;
  // Reserved by Windows file names, and "%", which the save path's expansion would act on.
  return std::string_view("<>:\"/\\|?*%").find(static_cast<char>(c)) == std::string_view::npos;
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name devices whatever the extension.
bool IsDeviceName(std::string_view name) {
  const std::size_t dot = sjis::FindChar(name, '.');
  const std::string stem = sjis::ToUpper(sjis::TrimRight(name.substr(0, dot)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

std::string TrimDotsAndSpaces(std::string_view name, bool front) {
  std::size_t begin = 0, end = name.size();
  if (front) {
    while (begin < end && (name[begin] == '.' || name[begin] == ' ')) ++begin;
  }
  // Trail bytes are never '.' or ' ', so the last byte of a double-byte character is never cut.
  while (end > begin && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  return std::string(name.substr(begin, end - begin));
}

}  // namespace

std::string ProposedFileName(const std::string& address) {
  std::string_view rest(address);
  rest = rest.substr(0, sjis::FindChar(rest, '#'));
  rest = rest.substr(0, sjis::FindChar(rest, '?'));
  // The path starts after the host: "http://host" alone has an empty one.
  const std::size_t scheme = sjis::Find(rest, "://");
  if (scheme != std::string_view::npos) {
    const std::size_t path = sjis::FindChar(rest, '/', scheme + 3);
    rest = path == std::string_view::npos ? std::string_view() : rest.substr(path);
  }
  const std::size_t slash = sjis::FindLastChar(rest, '/');
  if (slash != std::string_view::npos) rest = rest.substr(slash + 1);

  std::string kept;
  for (std::size_t i = 0; i < rest.size();) {
    const std::size_t length = sjis::CharLength(rest, i);
    // A double-byte character is kept whole (its trail byte may be '\\' or '|'); a lone lead byte
    // at the end is no character.
    if (length == 2) {
      kept.append(rest, i, 2);
    } else if (!sjis::IsLeadByte(rest[i]) && IsNameByte(static_cast<unsigned char>(rest[i]))) {
      kept.push_back(rest[i]);
    }
    i += length;
  }
  std::string name = TrimDotsAndSpaces(kept, true);
  if (IsDeviceName(name)) name.insert(0, "_");
  if (name.size() > kMaxProposedNameBytes) {
    const std::size_t dot = sjis::FindLastChar(name, '.');
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    if (extension.size() < kMaxProposedNameBytes / 2) {
      name = TrimDotsAndSpaces(
                 sjis::CutToBytes(name.substr(0, dot), kMaxProposedNameBytes - extension.size()), false) +
             extension;
    } else {
      name = TrimDotsAndSpaces(sjis::CutToBytes(name, kMaxProposedNameBytes), false);
    }
  }
  return name.empty() ? std::string(kFallbackFileName) : name;
}

int TransferFile(DownloadHost& host, const std::string& address, std::string& path) {
  if (!host.OpenFile(address)) return 0;
  std::uint64_t length = 0;
  if (!host.FileLength(length)) {
    host.CloseFile();
    return 0;
  }
  const std::string fileName = ProposedFileName(address);
  std::string chosen = paths::JoinPath(host.DesktopFolder(), fileName);
  if (!host.ChooseSavePath(chosen)) {
    host.CloseFile();
    return 0;
  }
  path = chosen;

  char status[512];
  std::snprintf(status, sizeof status, "ダウンロードしています．．．\n%s", fileName.c_str());
  host.SetStatus(status);
  host.SetProgressRange(length);
  host.SetProgressPosition(0);

  const std::string totalText = FormatSize(length);
  std::string copiedText = FormatSize(0);
  const std::int64_t start = host.NowSeconds();
  host.SetRemaining(RemainingText(length / 1024, totalText, copiedText));
  host.SetRate(RateText(kInitialRate));
  host.PumpMessages(kPumpMs);

  // The old file goes; the new one exists from here on, so an empty download saves an empty file.
  host.RemoveFile(chosen);
  if (!host.AppendToFile(chosen, nullptr, 0)) {
    host.CloseFile();
    return 0;
  }
  std::vector<char> buffer;
  try {
    buffer.resize(kTransferBlockBytes);
  } catch (const std::bad_alloc&) {
    host.CloseFile();
    return 0;
  }

  std::uint64_t rate = kInitialRate;
  std::uint64_t copied = 0;
  while (copied < length && !host.IsCancelled()) {
    // Never more than was announced, so a server sending extra bytes cannot grow the file.
    const std::uint64_t left = length - copied;
    const std::size_t want = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
    const long got = host.ReadFile(buffer.data(), want);
    if (got <= 0) break;
    if (!host.AppendToFile(chosen, buffer.data(), static_cast<std::size_t>(got))) break;
    copied += static_cast<std::uint64_t>(got);

    host.SetProgressPosition(copied);
    host.PumpMessages(kPumpMs);
    copiedText = FormatSize(copied);
    const std::int64_t elapsed = host.NowSeconds() - start;
    if (elapsed > 0) rate = copied / static_cast<std::uint64_t>(elapsed);
    host.SetRemaining(RemainingText(RemainingSeconds(length - copied, rate), totalText, copiedText));
    host.SetRate(RateText(rate));
    host.PumpMessages(kPumpMs);
  }
  host.CloseFile();
  if (copied == length) return 1;
  // Cancelled, cut short by the server or not writable: nothing half-written stays behind.
  host.RemoveFile(chosen);
  return 0;
}

}  // namespace catalogue
