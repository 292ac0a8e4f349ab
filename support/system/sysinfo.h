// Operating-system classification and program-file version numbers.
//
// The classification is a pure function of the numbers the system reports, so every known version
// can be checked without running on it; the Windows build feeds it the live values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Platform ids as the system reports them.
enum : std::uint32_t {
  kOsPlatformWin32s = 0,
  kOsPlatformWindows9x = 1,
  kOsPlatformNt = 2,
};

// Product type value of a workstation (as opposed to a server or domain controller).
constexpr std::uint8_t kOsProductWorkstation = 1;
// Suite bit of the home edition.
constexpr std::uint16_t kOsSuitePersonal = 0x200;

// What the basic version query reports.
struct OsVersion {
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;  // as reported; on Windows 9x only the low 16 bits are the build
  std::string servicePack;  // e.g. "Service Pack 2", " A " (untrimmed)
};

// What the extended query adds.
struct OsProduct {
  std::uint8_t productType = 0;
  std::uint16_t suiteMask = 0;
};

// Asks the system for product type and suite; false when the extended query fails (the product
// then counts as not a workstation, with no suite bits).
using OsProductQuery = std::function<bool(OsProduct&)>;

// Name and code of the version, service-pack text not included. The product query is called only
// for the versions whose name depends on it.
int ClassifyOs(const OsVersion& version, const OsProductQuery& queryProduct, std::string& name);

// ClassifyOs plus the service-pack text: "name [pack]" when the trimmed pack text is not empty.
int DescribeOs(const OsVersion& version, const OsProductQuery& queryProduct, std::string& text);

// Splits a version text into four numbers: each is the leading run of digits (0 when there is
// none, saturating at INT32_MAX), followed by any run of other characters. White space at both
// ends is ignored. "1, 2, 0, 5" and "1.2.0.5" give 1 2 0 5; "3" gives 3 0 0 0.
void ParseFileVersion(const std::string& text, int numbers[4]);

// Reads one value of a version resource by its sub-block path ("\VarFileInfo\Translation",
// "\StringFileInfo\041103A4\FileVersion"); the value's bytes (a string without its terminator).
using VersionValueReader = std::function<bool(const std::string& subBlock, std::string& value)>;

// Looks a string up under the first translation pair, then under the same language with code page
// 1252. text is unchanged on failure.
bool QueryVersionStringWith(const VersionValueReader& read, const std::string& name, std::string& text);

// A loaded version resource; empty when there is none.
using VersionInfoBlock = std::vector<unsigned char>;

#ifdef ZELLORA_WINDOWS
// The live version numbers; false when the system cannot be asked.
bool QueryOsVersion(OsVersion& version);

// The running system's name (with "[service pack]") and code; 0 and text unchanged when the version
// cannot be queried.
int GetOsName(std::string& text);
int GetOsCode();

// The version resource of a file (path cleaned first); empty when it has none or cannot be read.
VersionInfoBlock LoadVersionInfo(const std::string& path);

// A string of the block's string table; false (text unchanged) without a block or the string.
bool QueryVersionString(const VersionInfoBlock& block, const std::string& name, std::string& text);

// The four numbers of the file's "FileVersion" string; outputs unchanged on failure.
bool ReadFileVersion(const std::string& path, int& a, int& b, int& c, int& d);
#endif
