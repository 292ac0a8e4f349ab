#include "support/registry/registry.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <limits>
#include <new>
#include <thread>
#include <vector>

#include "support/text/sjis.h"

using regseam::ScopedKey;
using regseam::Status;

namespace {

// Rights for opening a key whose values or children are about to change.
constexpr std::uint32_t kModifyAccess = regseam::kKeyRead | regseam::kKeyCreateSubKey | regseam::kKeySetValue;

// Child names come back from the enumeration in the ANSI code page: 255 characters may take two
// bytes each.
constexpr std::uint32_t kChildNameBuffer = 2 * regseam::kMaxKeyNameChars + 2;

struct RootName {
  const char* name;
  HKEY root;
};

const std::array<RootName, 4>& RootNames() {
  static const std::array<RootName, 4> names = {{
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
  }};
  return names;
}

// Top-level keys that a path-form key deletion never removes.
const char* const kProtectedKeys[] = {"AppEvent", "Control Panel", "EUDC",   "Software", "Hardware",
                                      "CLSID",    "Network",       "System", "Security", ".Default"};

void PutDword(std::uint32_t v, unsigned char* b) {
  b[0] = static_cast<unsigned char>(v);
  b[1] = static_cast<unsigned char>(v >> 8);
  b[2] = static_cast<unsigned char>(v >> 16);
  b[3] = static_cast<unsigned char>(v >> 24);
}

std::uint32_t GetDword(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

bool WriteDword(HKEY key, const char* name, std::uint32_t value) {
  unsigned char bytes[4];
  PutDword(value, bytes);
  return regseam::SetValue(key, name, REG_DWORD, bytes, sizeof bytes) == Status::kOk;
}

// Exactly four bytes of a number-like value; anything else (a string, a short or long block) is
// not a number, whatever its bytes happen to be.
bool ReadDword(HKEY key, const char* name, std::uint32_t& value) {
  unsigned char bytes[4];
  std::uint32_t type = REG_NONE;
  std::uint32_t size = sizeof bytes;
  if (regseam::QueryValue(key, name, &type, bytes, &size) != Status::kOk) return false;
  if (size != sizeof bytes || (type != REG_DWORD && type != REG_BINARY)) return false;
  value = GetDword(bytes);
  return true;
}

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ;
}

// The scrambled-string substitution table: a distinct printable code for every character from
// 0x20 to 0x7C, 0 for every character that cannot be stored.
constexpr unsigned char kScramble[256] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x29, 0x3F, 0x37, 0x63, 0x4E, 0x5E, 0x4C, 0x54, 0x60, 0x49, 0x7C, 0x4B, 0x2F, 0x38, 0x27, 0x3B,
    0x4D, 0x5D, 0x22, 0x33, 0x2C, 0x5C, 0x6F, 0x3C, 0x23, 0x5F, 0x24, 0x71, 0x2D, 0x34, 0x74, 0x44,
    0x57, 0x70, 0x6A, 0x21, 0x41, 0x3E, 0x39, 0x26, 0x58, 0x4F, 0x2B, 0x62, 0x72, 0x56, 0x46, 0x30,
    0x2E, 0x51, 0x5B, 0x40, 0x53, 0x66, 0x35, 0x69, 0x7B, 0x47, 0x76, 0x7A, 0x45, 0x79, 0x64, 0x42,
    0x59, 0x20, 0x31, 0x28, 0x73, 0x6B, 0x77, 0x50, 0x36, 0x5A, 0x6D, 0x43, 0x6E, 0x68, 0x75, 0x6C,
    0x78, 0x48, 0x25, 0x52, 0x4A, 0x3A, 0x65, 0x32, 0x55, 0x2A, 0x3D, 0x67, 0x61, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// Stored code -> original character, 0 where no character encodes to the code.
struct Unscramble {
  unsigned char table[256] = {};
  constexpr Unscramble() {
    for (int c = 0; c < 256; ++c) {
      if (kScramble[c] != 0) table[kScramble[c]] = static_cast<unsigned char>(c);
    }
  }
};
constexpr Unscramble kUnscramble;

// The bytes summed as signed 8-bit values, taken as an unsigned 32-bit number, modulo 100.
unsigned ScrambleChecksum(const std::string& text) {
  // Unsigned arithmetic wraps exactly like the signed sum taken as unsigned, without overflow.
  std::uint32_t sum = 0;
  for (char c : text)
    sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
  return sum % 100u;
}

}  // namespace

CRegistry::CRegistry(RegText path) {
  CRegistry::SetBasePath(path);
}

CRegistry::~CRegistry() = default;

// ---- Base path and path rules ----------------------------------------------------------------

bool CRegistry::SetBasePath(RegText path) {
  // A path without a root name must not inherit the root of an earlier base.
  baseValid = false;
  baseRoot = nullptr;
  baseSubKey.clear();
  // Called from the constructor too, where these calls reach CRegistry's own path rules (a
  // subclass's are not there yet): the base a registry object is made with is read the plain way.
  basePath = NormalizePath(path);  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
  HKEY root = nullptr;
  std::string subKey;
  // NOLINTNEXTLINE(clang-analyzer-optin.cplusplus.VirtualCall)
  if (!ParseRoot(basePath, root, subKey) || root == nullptr) {
    basePath.clear();
    return false;
  }
  baseRoot = root;
  baseSubKey = subKey;
  baseValid = true;
  return true;
}

std::string CRegistry::GetBasePath() const {
  return basePath;
}

std::string CRegistry::NormalizePath(RegText path) const {
  std::string s = sjis::Trim(path.c_str());
  std::size_t begin = 0;
  while (begin < s.size() && s[begin] == '\\') ++begin;
  s.erase(0, begin);
  // A final 0x5C may be the second byte of a double-byte character ("表"); only a whole
  // backslash character is removed.
  while (sjis::EndsWith(s, "\\")) s.pop_back();
  return s;
}

bool CRegistry::ParseRoot(RegText path, HKEY& root, std::string& subKey) const {
  root = nullptr;
  subKey.clear();
  const std::string p = NormalizePath(path);
  if (p.empty()) return false;
  for (const RootName& r : RootNames()) {
    const std::size_t n = std::char_traits<char>::length(r.name);
    if (p.size() < n || !sjis::EqualsNoCase(std::string_view(p).substr(0, n), r.name)) continue;
    // "HKEY_USERSDATA" is a key name of its own, not the root HKEY_USERS.
    if (p.size() > n && p[n] != '\\') continue;
    root = r.root;
    if (p.size() > n + 1) subKey = p.substr(n + 1);
    return true;
  }
  if (baseRoot == nullptr) return false;
  root = baseRoot;
  subKey = p;
  return true;
}

bool CRegistry::ResolvePath(RegText path, HKEY& root, std::string& subKey) const {
  root = nullptr;
  subKey.clear();
  if (!baseValid) return false;
  const std::string p = NormalizePath(path);
  if (p.empty()) {
    root = baseRoot;
    subKey = baseSubKey;
    return true;
  }
  HKEY parsedRoot = nullptr;
  std::string parsedSubKey;
  if (!ParseRoot(p, parsedRoot, parsedSubKey) || parsedRoot == nullptr) return false;
  root = parsedRoot;
  if (baseSubKey.empty()) {
    subKey = parsedSubKey;
  } else if (parsedSubKey.empty()) {
    subKey = baseSubKey;  // a bare root name: no dangling separator
  } else {
    subKey = baseSubKey + "\\" + parsedSubKey;
  }
  return true;
}

// ---- Key opening -----------------------------------------------------------------------------

bool CRegistry::OpenForRead(HKEY root, RegText subKey, ScopedKey& key) const {
  return regseam::OpenKey(root, subKey.c_str(), regseam::kKeyRead, key.Receive()) == Status::kOk;
}

bool CRegistry::OpenForWrite(HKEY root, RegText subKey, ScopedKey& key) const {
  return regseam::CreateKey(root, subKey.c_str(), regseam::kKeyAllAccess, key.Receive()) == Status::kOk;
}

bool CRegistry::OpenPathForRead(RegText path, ScopedKey& key) const {
  key.Close();
  HKEY root = nullptr;
  std::string subKey;
  return ResolvePath(path, root, subKey) && OpenForRead(root, subKey, key);
}

bool CRegistry::OpenPathForWrite(RegText path, ScopedKey& key) const {
  key.Close();
  HKEY root = nullptr;
  std::string subKey;
  if (!ResolvePath(path, root, subKey)) return false;
  ScopedKey rootKey;
  if (regseam::OpenKey(root, "", kModifyAccess, rootKey.Receive()) != Status::kOk) return false;
  return OpenForWrite(rootKey.Get(), subKey, key);
}

// Value deletion opens an existing key only: a missing key has no value to delete, and deleting
// must not leave a new empty key behind.
bool CRegistry::OpenPathForDelete(RegText path, ScopedKey& key) const {
  key.Close();
  HKEY root = nullptr;
  std::string subKey;
  if (!ResolvePath(path, root, subKey)) return false;
  ScopedKey rootKey;
  if (regseam::OpenKey(root, "", kModifyAccess, rootKey.Receive()) != Status::kOk) return false;
  return regseam::OpenKey(rootKey.Get(), subKey.c_str(), kModifyAccess, key.Receive()) == Status::kOk;
}

bool CRegistry::QueryValueSize(HKEY key, RegText name, std::size_t& size) {
  std::uint32_t n = 0;
  if (regseam::QueryValue(key, name.c_str(), nullptr, nullptr, &n) != Status::kOk) return false;
  size = n;
  return true;
}

// ---- Keys ------------------------------------------------------------------------------------

bool CRegistry::CreateKey(HKEY key, RegText subKey) {
  ScopedKey created;
  return regseam::CreateKey(key, subKey.c_str(), regseam::kKeyAllAccess, created.Receive()) == Status::kOk;
}

bool CRegistry::CreateKey(RegText path) {
  ScopedKey created;
  return OpenPathForWrite(path, created);
}

bool CRegistry::DeleteKeyTree(HKEY key, RegText subKeyText) {
  const std::string subKey = subKeyText.c_str();
  // An empty sub-key would name key itself and wipe everything below it.
  if (subKey.empty()) return false;
  for (;;) {
    ScopedKey opened;
    if (regseam::OpenKey(key, subKey.c_str(), kModifyAccess, opened.Receive()) != Status::kOk) {
      // Not a key: the last component names a value. The backslash is searched for by whole
      // characters, since the second byte of a double-byte character may be 0x5C.
      const std::size_t slash = sjis::FindLastChar(subKey, '\\');
      if (slash == std::string::npos) return regseam::DeleteValue(key, subKey.c_str()) == Status::kOk;
      ScopedKey parent;
      if (regseam::OpenKey(key, subKey.substr(0, slash).c_str(), kModifyAccess, parent.Receive()) !=
          Status::kOk) {
        return false;
      }
      return regseam::DeleteValue(parent.Get(), subKey.c_str() + slash + 1) == Status::kOk;
    }
    char child[kChildNameBuffer];
    if (regseam::EnumKey(opened.Get(), 0, child, sizeof child) != Status::kOk) {
      opened.Close();
      return regseam::DeleteKey(key, subKey.c_str()) == Status::kOk;
    }
    if (!DeleteKeyTree(opened.Get(), child)) return false;
    opened.Close();
    // Give the registry a moment between deletions, as other programs may watch this tree.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool CRegistry::DeleteKey(RegText path) {
  HKEY root = nullptr;
  std::string subKey;
  if (!ResolvePath(path, root, subKey)) return false;
  if (subKey.empty() || subKey == "\\") return false;
  for (const char* name : kProtectedKeys) {
    if (sjis::EqualsNoCase(subKey, name)) return false;
  }
  ScopedKey rootKey;
  if (regseam::OpenKey(root, "", kModifyAccess, rootKey.Receive()) != Status::kOk) return false;
  return DeleteKeyTree(rootKey.Get(), subKey);
}

// ---- Value deletion --------------------------------------------------------------------------

bool CRegistry::DeleteValue(HKEY root, RegText subKey, RegText name) {
  ScopedKey key;
  if (regseam::OpenKey(root, subKey.c_str(), kModifyAccess, key.Receive()) != Status::kOk) return false;
  return DeleteValue(key.Get(), name);
}

bool CRegistry::DeleteValue(HKEY key, RegText name) {
  return regseam::DeleteValue(key, name.c_str()) == Status::kOk;
}

bool CRegistry::DeleteValue(RegText path, RegText name) {
  ScopedKey key;
  return OpenPathForDelete(path, key) && DeleteValue(key.Get(), name);
}

// ---- Strings ---------------------------------------------------------------------------------

bool CRegistry::WriteString(HKEY root, RegText subKey, RegText name, RegText text) {
  ScopedKey key;
  return OpenForWrite(root, subKey, key) && WriteString(key.Get(), name, text);
}

bool CRegistry::WriteString(HKEY key, RegText name, RegText text) {
  const std::size_t size = std::char_traits<char>::length(text.c_str()) + 1;
  if (size > std::numeric_limits<std::uint32_t>::max()) return false;
  return regseam::SetValue(key, name.c_str(), REG_SZ, text.c_str(), static_cast<std::uint32_t>(size)) ==
         Status::kOk;
}

bool CRegistry::WriteString(RegText path, RegText name, RegText text) {
  ScopedKey key;
  return OpenPathForWrite(path, key) && WriteString(key.Get(), name, text);
}

bool CRegistry::ReadString(HKEY root, RegText subKey, RegText name, std::string& text) {
  ScopedKey key;
  return OpenForRead(root, subKey, key) && ReadString(key.Get(), name, text);
}

bool CRegistry::ReadString(HKEY key, RegText name, std::string& text) {
  // The size is asked first; should the value grow before it is read, ask again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::uint32_t type = REG_NONE;
    std::uint32_t size = 0;
    if (regseam::QueryValue(key, name.c_str(), &type, nullptr, &size) != Status::kOk) return false;
    if (!IsStringType(type)) return false;
    std::vector<char> buffer;
    try {
      buffer.assign(static_cast<std::size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
      return false;
    }
    std::uint32_t got = size;
    const Status st = regseam::QueryValue(key, name.c_str(), &type, buffer.data(), &got);
    if (st == Status::kMoreData) continue;
    if (st != Status::kOk || !IsStringType(type) || got > size) return false;
    // Cut at the first NUL; data stored without one ends where the bytes end.
    std::size_t length = 0;
    while (length < got && buffer[length] != '\0') ++length;
    text.assign(buffer.data(), length);
    return true;
  }
  return false;
}

bool CRegistry::ReadString(RegText path, RegText name, std::string& text) {
  text.clear();
  ScopedKey key;
  return OpenPathForRead(path, key) && ReadString(key.Get(), name, text);
}

// ---- Scrambled strings -----------------------------------------------------------------------

bool CRegistry::EncodeScrambled(const std::string& text, std::string& out) {
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02u", ScrambleChecksum(text));
  std::string plain = digits + text;
  for (char& c : plain) {
    const unsigned char code = kScramble[static_cast<unsigned char>(c)];
    if (code == 0) return false;
    c = static_cast<char>(code);
  }
  out = std::move(plain);
  return true;
}

bool CRegistry::DecodeScrambled(const std::string& stored, std::string& out) {
  if (stored.size() < 2) return false;
  std::string plain = stored;
  for (char& c : plain) {
    const unsigned char original = kUnscramble.table[static_cast<unsigned char>(c)];
    if (original == 0) return false;
    c = static_cast<char>(original);
  }
  // The first two characters must spell the checksum of the rest in decimal digits.
  const char hi = plain[0];
  const char lo = plain[1];
  if (hi < '0' || hi > '9' || lo < '0' || lo > '9') return false;
  std::string text = plain.substr(2);
  if (static_cast<unsigned>((hi - '0') * 10 + (lo - '0')) != ScrambleChecksum(text)) return false;
  out = std::move(text);
  return true;
}

bool CRegistry::WriteScrambled(HKEY root, RegText subKey, RegText name, RegText expected, RegText text) {
  std::string current;
  if (!ReadScrambled(root, subKey, name, current)) current.clear();
  if (!regseam::CollateEqualNoCase(current.c_str(), expected.c_str())) return false;
  std::string encoded;
  return EncodeScrambled(text.c_str(), encoded) && WriteString(root, subKey, name, encoded);
}

bool CRegistry::WriteScrambled(HKEY key, RegText name, RegText expected, RegText text) {
  std::string current;
  if (!ReadScrambled(key, name, current)) return false;
  if (!regseam::CollateEqualNoCase(current.c_str(), expected.c_str())) return false;
  // The empty text is encoded like any other, so that it can be read back and replaced later.
  std::string encoded;
  return EncodeScrambled(text.c_str(), encoded) && WriteString(key, name, encoded);
}

bool CRegistry::WriteScrambled(RegText path, RegText name, RegText expected, RegText text) {
  std::string current;
  if (!ReadScrambled(path, name, current)) current.clear();
  if (!regseam::CollateEqualNoCase(current.c_str(), expected.c_str())) return false;
  std::string encoded;
  return EncodeScrambled(text.c_str(), encoded) && WriteString(path, name, encoded);
}

bool CRegistry::IsScrambledEqual(HKEY root, RegText subKey, RegText name, RegText text) {
  std::string current;
  return ReadScrambled(root, subKey, name, current) &&
         regseam::CollateEqualNoCase(current.c_str(), text.c_str());
}

bool CRegistry::IsScrambledEqual(HKEY key, RegText name, RegText text) {
  std::string current;
  return ReadScrambled(key, name, current) && regseam::CollateEqualNoCase(current.c_str(), text.c_str());
}

bool CRegistry::IsScrambledEqual(RegText path, RegText name, RegText text) {
  std::string current;
  return ReadScrambled(path, name, current) && regseam::CollateEqualNoCase(current.c_str(), text.c_str());
}

bool CRegistry::DeleteScrambledIfEqual(HKEY root, RegText subKey, RegText name, RegText text) {
  return IsScrambledEqual(root, subKey, name, text) && DeleteValue(root, subKey, name);
}

bool CRegistry::DeleteScrambledIfEqual(HKEY key, RegText name, RegText text) {
  return IsScrambledEqual(key, name, text) && DeleteValue(key, name);
}

bool CRegistry::DeleteScrambledIfEqual(RegText path, RegText name, RegText text) {
  return IsScrambledEqual(path, name, text) && DeleteValue(path, name);
}

bool CRegistry::ReadScrambled(HKEY root, RegText subKey, RegText name, std::string& text) {
  std::string encoded;
  if (!ValueExists(root, subKey, name)) {
    if (!EncodeScrambled("", encoded) || !WriteString(root, subKey, name, encoded)) return false;
    text.clear();
    return true;
  }
  std::string stored;
  return ReadString(root, subKey, name, stored) && DecodeScrambled(stored, text);
}

bool CRegistry::ReadScrambled(HKEY key, RegText name, std::string& text) {
  std::string encoded;
  if (!ValueExists(key, name)) {
    if (!EncodeScrambled("", encoded) || !WriteString(key, name, encoded)) return false;
    text.clear();
    return true;
  }
  std::string stored;
  return ReadString(key, name, stored) && DecodeScrambled(stored, text);
}

bool CRegistry::ReadScrambled(RegText path, RegText name, std::string& text) {
  text.clear();
  std::string encoded;
  if (!ValueExists(path, name)) {
    return EncodeScrambled("", encoded) && WriteString(path, name, encoded);
  }
  std::string stored;
  return ReadString(path, name, stored) && DecodeScrambled(stored, text);
}

// ---- 32-bit numbers --------------------------------------------------------------------------

bool CRegistry::WriteNumber(HKEY root, RegText subKey, RegText name, int value) {
  return WriteNumber(root, subKey, name, static_cast<unsigned int>(value));
}

bool CRegistry::WriteNumber(HKEY key, RegText name, int value) {
  return WriteNumber(key, name, static_cast<unsigned int>(value));
}

bool CRegistry::WriteNumber(RegText path, RegText name, int value) {
  return WriteNumber(path, name, static_cast<unsigned int>(value));
}

bool CRegistry::ReadNumber(HKEY root, RegText subKey, RegText name, int& value) {
  unsigned int v = 0;
  if (!ReadNumber(root, subKey, name, v)) return false;
  value = static_cast<int>(v);
  return true;
}

bool CRegistry::ReadNumber(HKEY key, RegText name, int& value) {
  unsigned int v = 0;
  if (!ReadNumber(key, name, v)) return false;
  value = static_cast<int>(v);
  return true;
}

bool CRegistry::ReadNumber(RegText path, RegText name, int& value) {
  unsigned int v = 0;
  if (!ReadNumber(path, name, v)) return false;
  value = static_cast<int>(v);
  return true;
}

bool CRegistry::WriteNumber(HKEY root, RegText subKey, RegText name, unsigned int value) {
  ScopedKey key;
  return OpenForWrite(root, subKey, key) && WriteNumber(key.Get(), name, value);
}

bool CRegistry::WriteNumber(HKEY key, RegText name, unsigned int value) {
  return WriteDword(key, name.c_str(), value);
}

bool CRegistry::WriteNumber(RegText path, RegText name, unsigned int value) {
  ScopedKey key;
  return OpenPathForWrite(path, key) && WriteNumber(key.Get(), name, value);
}

bool CRegistry::ReadNumber(HKEY root, RegText subKey, RegText name, unsigned int& value) {
  ScopedKey key;
  return OpenForRead(root, subKey, key) && ReadNumber(key.Get(), name, value);
}

bool CRegistry::ReadNumber(HKEY key, RegText name, unsigned int& value) {
  std::uint32_t v = 0;
  if (!ReadDword(key, name.c_str(), v)) return false;
  value = v;
  return true;
}

bool CRegistry::ReadNumber(RegText path, RegText name, unsigned int& value) {
  ScopedKey key;
  return OpenPathForRead(path, key) && ReadNumber(key.Get(), name, value);
}

// ---- 16-bit numbers --------------------------------------------------------------------------

bool CRegistry::WriteWord(HKEY root, RegText subKey, RegText name, std::uint16_t value) {
  ScopedKey key;
  return OpenForWrite(root, subKey, key) && WriteWord(key.Get(), name, value);
}

bool CRegistry::WriteWord(HKEY key, RegText name, std::uint16_t value) {
  return WriteDword(key, name.c_str(), value);
}

bool CRegistry::WriteWord(RegText path, RegText name, std::uint16_t value) {
  ScopedKey key;
  return OpenPathForWrite(path, key) && WriteWord(key.Get(), name, value);
}

bool CRegistry::ReadWord(HKEY root, RegText subKey, RegText name, std::uint16_t& value) {
  ScopedKey key;
  return OpenForRead(root, subKey, key) && ReadWord(key.Get(), name, value);
}

bool CRegistry::ReadWord(HKEY key, RegText name, std::uint16_t& value) {
  std::uint32_t v = 0;
  if (!ReadDword(key, name.c_str(), v)) return false;
  value = static_cast<std::uint16_t>(v & 0xFFFFu);
  return true;
}

bool CRegistry::ReadWord(RegText path, RegText name, std::uint16_t& value) {
  ScopedKey key;
  return OpenPathForRead(path, key) && ReadWord(key.Get(), name, value);
}

// ---- Memory blocks ---------------------------------------------------------------------------

bool CRegistry::WriteBinary(HKEY root, RegText subKey, RegText name, const void* data, std::size_t size) {
  if (data == nullptr) return false;
  ScopedKey key;
  return OpenForWrite(root, subKey, key) && WriteBinary(key.Get(), name, data, size);
}

bool CRegistry::WriteBinary(HKEY key, RegText name, const void* data, std::size_t size) {
  if (data == nullptr || size > std::numeric_limits<std::uint32_t>::max()) return false;
  return regseam::SetValue(key, name.c_str(), REG_BINARY, data, static_cast<std::uint32_t>(size)) ==
         Status::kOk;
}

bool CRegistry::WriteBinary(RegText path, RegText name, const void* data, std::size_t size) {
  if (data == nullptr) return false;
  ScopedKey key;
  return OpenPathForWrite(path, key) && WriteBinary(key.Get(), name, data, size);
}

bool CRegistry::ReadBinary(HKEY root, RegText subKey, RegText name, void* data, std::size_t& size) {
  if (data == nullptr) return false;
  ScopedKey key;
  return OpenForRead(root, subKey, key) && ReadBinary(key.Get(), name, data, size);
}

bool CRegistry::ReadBinary(HKEY key, RegText name, void* data, std::size_t& size) {
  if (data == nullptr) return false;
  const std::uint32_t capacity =
      static_cast<std::uint32_t>(std::min<std::size_t>(size, std::numeric_limits<std::uint32_t>::max()));
  std::uint32_t got = capacity;
  const Status st = regseam::QueryValue(key, name.c_str(), nullptr, data, &got);
  if (st == Status::kOk || st == Status::kMoreData) size = got;
  return st == Status::kOk;
}

bool CRegistry::ReadBinary(RegText path, RegText name, void* data, std::size_t& size) {
  if (data == nullptr) return false;
  ScopedKey key;
  return OpenPathForRead(path, key) && ReadBinary(key.Get(), name, data, size);
}

// ---- Types and existence ---------------------------------------------------------------------

bool CRegistry::QueryValueType(HKEY root, RegText subKey, RegText name, std::uint32_t& type) {
  ScopedKey key;
  return OpenForRead(root, subKey, key) && QueryValueType(key.Get(), name, type);
}

bool CRegistry::QueryValueType(HKEY key, RegText name, std::uint32_t& type) {
  std::uint32_t t = REG_NONE;
  if (regseam::QueryValue(key, name.c_str(), &t, nullptr, nullptr) != Status::kOk) return false;
  type = t;
  return true;
}

bool CRegistry::QueryValueType(RegText path, RegText name, std::uint32_t& type) {
  ScopedKey key;
  return OpenPathForRead(path, key) && QueryValueType(key.Get(), name, type);
}

bool CRegistry::ValueExists(HKEY root, RegText subKey, RegText name) {
  ScopedKey key;
  if (!OpenForRead(root, subKey, key)) return false;
  if (name.empty()) return true;
  std::uint32_t type = REG_NONE;
  return QueryValueType(key.Get(), name, type);
}

bool CRegistry::ValueExists(HKEY key, RegText name) {
  std::uint32_t type = REG_NONE;
  return QueryValueType(key, name, type);
}

bool CRegistry::ValueExists(RegText path, RegText name) {
  HKEY root = nullptr;
  std::string subKey;
  if (!ResolvePath(path, root, subKey)) return false;
  ScopedKey rootKey;
  if (!OpenForRead(root, "", rootKey)) return false;
  return ValueExists(root, subKey, name);
}
