#include "support/system/sysinfo.h"

#include <climits>
#include <cstdio>

#include "support/text/sjis.h"

namespace {

// "<prefix><major>.<minor><suffix>"
std::string VersionText(const char* prefix, std::uint32_t major, std::uint32_t minor, const char* suffix) {
  return prefix + std::to_string(major) + "." + std::to_string(minor) + suffix;
}

OsProduct AskProduct(const OsProductQuery& queryProduct) {
  OsProduct product;
  if (!queryProduct || !queryProduct(product)) product = OsProduct{};
  return product;
}

int ClassifyWindows9x(std::uint32_t minor, std::uint32_t build, std::string& name) {
  switch (minor) {
    case 0:
      if (build == 1111) {
        name = "Windows95 OSR2";
        return 11;
      }
      if (build == 1212 || build == 1213) {
        name = "Windows95 OSR2.1";
        return 11;
      }
      if (build > 1213) {
        name = "Windows95 OSR2.5";
        return 11;
      }
      name = "Windows95";
      return 10;
    case 10:
      name = build < 2222 ? "Windows98" : "Windows98 Second Edition";
      return 12;
    case 90:
      name = "WindowsMe";
      return 13;
    default:
      name.clear();
      return 0;
  }
}

int ClassifyNt(const OsVersion& v, const OsProductQuery& queryProduct, std::string& name) {
  if (v.major == 5 && v.minor == 0) {
    name = AskProduct(queryProduct).productType == kOsProductWorkstation ? "Windows2000 Professional"
                                                                         : "Windows2000 Server";
    return 24;
  }
  if (v.major == 5 && v.minor == 1) {
    OsProduct product = AskProduct(queryProduct);
    if (product.productType != kOsProductWorkstation) {
      name = "Windows.NET";
      return 27;
    }
    name = (product.suiteMask & kOsSuitePersonal) ? "WindowsXP Home Edition" : "WindowsXP Professional";
    return 25;
  }
  if (v.major == 5 && v.minor == 2) {
    name = "WindowsServer2003";
    return 26;
  }
  if (v.major == 6) {
    name = "WindowsVista";
    return 28;
  }

  name = VersionText("WindowsNT", v.major, v.minor, " ");
  // The extended structure exists from NT 4.0 service pack 6 on.
  bool extended = v.major >= 5 || (v.major == 4 && v.servicePack.find_first_of("6789") != std::string::npos);
  if (extended) {
    name += AskProduct(queryProduct).productType == kOsProductWorkstation ? "WorkStation" : "Server";
  }
  switch (v.major) {
    case 3:
      return 20;
    case 4:
      return 21;
    case 5:
      return 22;
    case 6:
      return 23;
    default:
      return 0;
  }
}

}  // namespace

int ClassifyOs(const OsVersion& version, const OsProductQuery& queryProduct, std::string& name) {
  switch (version.platformId) {
    case kOsPlatformWin32s:
      name = VersionText("Windows", version.major, version.minor, "(Win32s)");
      return 1;
    case kOsPlatformWindows9x:
      return ClassifyWindows9x(version.minor, version.build & 0xFFFF, name);
    case kOsPlatformNt:
      return ClassifyNt(version, queryProduct, name);
    default:
      name = "Unknown OS";
      return 0;
  }
}

int DescribeOs(const OsVersion& version, const OsProductQuery& queryProduct, std::string& text) {
  OsVersion trimmed = version;
  trimmed.servicePack = sjis::Trim(version.servicePack);
  std::string name;
  int code = ClassifyOs(trimmed, queryProduct, name);
  if (!trimmed.servicePack.empty()) name += " [" + trimmed.servicePack + "]";
  text = name;
  return code;
}

void ParseFileVersion(const std::string& text, int numbers[4]) {
  std::string_view s = sjis::TrimView(text);
  std::size_t pos = 0;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  for (int i = 0; i < 4; ++i) {
    long long value = 0;
    while (pos < s.size() && isDigit(s[pos])) {
      if (value < INT_MAX) value = value * 10 + (s[pos] - '0');
      ++pos;
    }
    numbers[i] = value > INT_MAX ? INT_MAX : static_cast<int>(value);
    while (pos < s.size() && !isDigit(s[pos])) ++pos;
  }
}

bool QueryVersionStringWith(const VersionValueReader& read, const std::string& name, std::string& text) {
  if (!read) return false;
  std::string translation;
  if (!read("\\VarFileInfo\\Translation", translation) || translation.size() < 4) return false;
  auto word = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(translation[at]) |
                                 (static_cast<unsigned char>(translation[at + 1]) << 8));
  };
  unsigned language = word(0);
  unsigned codePage = word(2);

  char table[16];
  std::snprintf(table, sizeof table, "%04X%04X", language, codePage);
  std::string value;
  if (read("\\StringFileInfo\\" + std::string(table) + "\\" + name, value)) {
    text = value;
    return true;
  }
  // Many resources name one code page in the translation and store their strings under 1252.
  std::snprintf(table, sizeof table, "%04X04E4", language);
  if (read("\\StringFileInfo\\" + std::string(table) + "\\" + name, value)) {
    text = value;
    return true;
  }
  return false;
}
