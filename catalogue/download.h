// From an offer's download page to a saved installer: the page scan that finds the file's address
// (on the download page itself or on the shop page behind its marked image) and the transfer
// with its progress texts. Everything the platform does for them goes through DownloadHost, so
// the rules run natively against a fake host and on Windows against WinInet and the dialogs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PageLines;

namespace catalogue {

// The image marker on a download page, and the word of the shop page's refresh tag.
extern const char kDownloadMarker[];
extern const char kRefreshWord[];

class DownloadHost {
 public:
  virtual ~DownloadHost() = default;

  // Waits ms milliseconds while the user interface stays alive; 0 when the download was cancelled
  // or the program is ending (the callers test the cancel flag themselves).
  virtual int PumpMessages(int ms) = 0;
  // The cancel flag of the catalogue window.
  virtual bool IsCancelled() = 0;

  // Fetches a page into converted Shift_JIS lines (no referrer, Shift_JIS at first, no
  // credentials). False when the fetch fails.
  virtual bool FetchPage(const std::string& url, PageLines& page) = 0;
  // The shop's web server ("name" or "name:port").
  virtual std::string ShopHost() = 0;

  // The file request: open it (no cache, binary), ask its length, read blocks, close.
  virtual bool OpenFile(const std::string& url) = 0;
  // False when the answer carries no length.
  virtual bool FileLength(std::uint64_t& length) = 0;
  // Bytes read, 0 at the end, -1 on failure.
  virtual long ReadFile(char* buffer, std::size_t size) = 0;
  virtual void CloseFile() = 0;

  virtual std::string DesktopFolder() = 0;
  // Lets the user confirm or change where the file goes; false when cancelled.
  virtual bool ChooseSavePath(std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool AppendToFile(const std::string& path, const char* bytes, std::size_t count) = 0;
  // Whole seconds of the runtime clock.
  virtual std::int64_t NowSeconds() = 0;

  // The progress dialog.
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetProgressRange(std::uint64_t length) = 0;
  virtual void SetProgressPosition(std::uint64_t position) = 0;
  virtual void SetRemaining(const std::string& text) = 0;
  virtual void SetRate(const std::string& text) = 0;
};

// Scans the download page at address. A META tag in the head that mentions DOWNLOAD leads to the
// file by its content value; an image carrying marker leads, through the last link before it,
// to the shop page FollowLinkPage reads. 1 when a file was saved completely (out path: where),
// 0 otherwise: fetch failure, cancellation, no recognised tag, or a failed transfer.
int ResolveDownloadPage(DownloadHost& host, const std::string& address, const std::string& marker,
                        std::string& path);

// Reads the shop page for link and follows the address of a refresh META tag in its head that
// mentions word. 1 when the file was saved completely, 0 otherwise.
int FollowLinkPage(DownloadHost& host, const std::string& link, const std::string& word, std::string& path);

// Downloads the file at address to a path the user confirms (the desktop and the address's last
// part proposed), in 4096-byte blocks, with the progress texts. 1 when every announced byte was
// saved; 0 otherwise, and then a partly written file is deleted.
int TransferFile(DownloadHost& host, const std::string& address, std::string& path);

// The file name proposed in the save dialog for the file at address, which comes from a web
// page: the last segment of the address's path (no query, no fragment, nothing decoded), without
// the characters a Windows file name cannot hold, without "%" (the save path goes through macro
// and environment expansion), without leading dots and spaces and trailing dots and spaces; a
// device name ("NUL.exe") gets a "_" in front; cut on a character boundary to at most
// kMaxProposedNameBytes keeping its extension; kFallbackFileName when nothing is left.
std::string ProposedFileName(const std::string& address);
constexpr char kFallbackFileName[] = "setup.exe";
constexpr std::size_t kMaxProposedNameBytes = 100;

constexpr std::size_t kTransferBlockBytes = 4096;
// The rate assumed until a whole second has passed.
constexpr std::uint64_t kInitialRate = 1024;

// "1023 Bytes", "1 KB", "1.00 MB".
std::string FormatSize(std::uint64_t bytes);
// "%d秒 (%s 中の %s をコピーしました)" up to 60 seconds, else "%d分%02d秒 (...)".
std::string RemainingText(std::uint64_t seconds, const std::string& total, const std::string& copied);
// "%d KB/秒" above 1024 bytes a second, else "%d Bytes/秒".
std::string RateText(std::uint64_t bytesPerSecond);
// Seconds left: remaining ÷ rate, at least 1; remaining ÷ 1024 when the rate is 0.
std::uint64_t RemainingSeconds(std::uint64_t remaining, std::uint64_t rate);

}  // namespace catalogue
