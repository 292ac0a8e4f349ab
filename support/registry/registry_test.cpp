// CRegistry in both builds: natively against the in-memory registry, under Wine against the real
// registry of the prefix. Each test works below HKEY_CURRENT_USER\Software\ZelloraTest\<test> and
// removes that key afterwards; every test also checks that no handle was left open.
#include "support/registry/registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/registry_test_key.h"

namespace {

using regseam::Op;
using regseam::ScopedFailure;
using regseam::ScopedKey;
using regseam::Status;

// Registry calls that change something.
long ChangingCalls() {
  return regseam::CallCount(Op::kCreate) + regseam::CallCount(Op::kSet) +
         regseam::CallCount(Op::kDeleteValue) + regseam::CallCount(Op::kDeleteKey);
}

class Registry : public RegistryKeyTest {
 protected:
  // The stored value as raw type and bytes, read with the primitives alone.
  bool Raw(const std::string& sub, const char* name, std::uint32_t* type, std::string* bytes) {
    ScopedKey k;
    const std::string full = sub.empty() ? subKey_ : subKey_ + "\\" + sub;
    if (regseam::OpenKey(HKEY_CURRENT_USER, full.c_str(), regseam::kKeyRead, k.Receive()) != Status::kOk) {
      return false;
    }
    std::uint32_t size = 0;
    if (regseam::QueryValue(k.Get(), name, type, nullptr, &size) != Status::kOk) return false;
    std::vector<char> buf(size + 1);
    if (regseam::QueryValue(k.Get(), name, type, buf.data(), &size) != Status::kOk) return false;
    bytes->assign(buf.data(), size);
    return true;
  }
  bool PutRaw(const std::string& sub, const char* name, std::uint32_t type, const std::string& bytes) {
    ScopedKey k;
    const std::string full = sub.empty() ? subKey_ : subKey_ + "\\" + sub;
    if (regseam::CreateKey(HKEY_CURRENT_USER, full.c_str(), regseam::kKeyAllAccess, k.Receive()) !=
        Status::kOk) {
      return false;
    }
    return regseam::SetValue(k.Get(), name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())) ==
           Status::kOk;
  }
  bool KeyExists(const std::string& sub) {
    ScopedKey k;
    const std::string full = sub.empty() ? subKey_ : subKey_ + "\\" + sub;
    return regseam::OpenKey(HKEY_CURRENT_USER, full.c_str(), regseam::kKeyRead, k.Receive()) == Status::kOk;
  }
  // The scrambled form of arbitrary storable characters (no checksum in front).
  static std::string Scramble(const std::string& plain) {
    std::string enc;
    EXPECT_TRUE(CRegistry::EncodeScrambled(plain, enc));
    return enc.substr(2);
  }
};

// ---- Path rules ------------------------------------------------------------------------------

TEST(RegistryPath, NormalizeTrimsBlanksAndOuterBackslashesOnly) {
  CRegistry r;
  EXPECT_EQ(r.NormalizePath("  \\\\Software\\HOSHIRAI\\\\ \t"), "Software\\HOSHIRAI");
  EXPECT_EQ(r.NormalizePath("\\\\\\"), "");
  EXPECT_EQ(r.NormalizePath(std::string(" a\\b ")), "a\\b");
  // The final byte of "表" is 0x5C; it is part of the character, not a separator.
  EXPECT_EQ(r.NormalizePath("Keys\\表"), "Keys\\表");
  EXPECT_EQ(r.NormalizePath("Keys\\表\\\\"), "Keys\\表");
}

TEST(RegistryPath, RootNamesMatchInAnyCaseAndOnlyAsAWholeComponent) {
  CRegistry r;
  HKEY root = nullptr;
  std::string sub;
  ASSERT_TRUE(r.ParseRoot("hkey_local_machine\\Software", root, sub));
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(sub, "Software");
  ASSERT_TRUE(r.ParseRoot("HKEY_USERS", root, sub));
  EXPECT_EQ(root, HKEY_USERS);
  EXPECT_EQ(sub, "");
  ASSERT_TRUE(r.ParseRoot(" \\Hkey_Classes_Root\\.txt\\ ", root, sub));
  EXPECT_EQ(root, HKEY_CLASSES_ROOT);
  EXPECT_EQ(sub, ".txt");
  ASSERT_TRUE(r.ParseRoot("HKEY_CURRENT_USER\\a\\b", root, sub));
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  EXPECT_EQ(sub, "a\\b");
  // Without a base root, a path with no root name cannot be placed.
  EXPECT_FALSE(r.ParseRoot("Software\\X", root, sub));
  EXPECT_EQ(root, nullptr);
  EXPECT_FALSE(r.ParseRoot("HKEY_USERSDATA", root, sub));
  EXPECT_FALSE(r.ParseRoot("", root, sub));
  // With one, it is a sub-key of that root.
  CRegistry based("HKEY_LOCAL_MACHINE\\Software");
  ASSERT_TRUE(based.ParseRoot("HKEY_USERSDATA\\x", root, sub));
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(sub, "HKEY_USERSDATA\\x");
}

TEST(RegistryPath, PathsResolveBelowTheBase) {
  CRegistry r(" \\HKEY_CURRENT_USER\\Software\\HOSHIRAI\\Zellora\\\\ ");
  ASSERT_TRUE(r.IsBaseValid());
  EXPECT_EQ(r.GetBasePath(), "HKEY_CURRENT_USER\\Software\\HOSHIRAI\\Zellora");
  HKEY root = nullptr;
  std::string sub;
  ASSERT_TRUE(r.ResolvePath("Option", root, sub));
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  EXPECT_EQ(sub, "Software\\HOSHIRAI\\Zellora\\Option");
  ASSERT_TRUE(r.ResolvePath(std::string("\\URL_List\\URL00000001\\"), root, sub));
  EXPECT_EQ(sub, "Software\\HOSHIRAI\\Zellora\\URL_List\\URL00000001");
  // The empty path is the base key itself.
  ASSERT_TRUE(r.ResolvePath("  ", root, sub));
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  EXPECT_EQ(sub, "Software\\HOSHIRAI\\Zellora");
  // A path naming a root keeps that root but still goes below the base sub-key.
  ASSERT_TRUE(r.ResolvePath("HKEY_LOCAL_MACHINE\\X", root, sub));
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(sub, "Software\\HOSHIRAI\\Zellora\\X");
  ASSERT_TRUE(r.ResolvePath("hkey_users", root, sub));
  EXPECT_EQ(root, HKEY_USERS);
  EXPECT_EQ(sub, "Software\\HOSHIRAI\\Zellora");
  // A base that is a bare root.
  CRegistry top("HKEY_CURRENT_USER");
  ASSERT_TRUE(top.ResolvePath("Software", root, sub));
  EXPECT_EQ(sub, "Software");
  ASSERT_TRUE(top.ResolvePath("", root, sub));
  EXPECT_EQ(sub, "");
}

TEST(RegistryPath, UnrecognisedBaseFailsEveryPathOperationAndTouchesNothing) {
  CRegistry r("Software\\HOSHIRAI\\Zellora");
  EXPECT_FALSE(r.IsBaseValid());
  EXPECT_EQ(r.GetBasePath(), "");
  HKEY root = HKEY_CURRENT_USER;
  std::string sub = "junk";
  EXPECT_FALSE(r.ResolvePath("", root, sub));
  EXPECT_EQ(root, nullptr);
  EXPECT_EQ(sub, "");

  const long opens = regseam::CallCount(Op::kOpen);
  const long changes = ChangingCalls();
  std::string s = "keep";
  int n = 5;
  unsigned int u = 5;
  std::uint16_t w = 5;
  std::uint32_t type = 0;
  char buf[4];
  std::size_t size = sizeof buf;
  EXPECT_FALSE(r.WriteString("Option", "a", "b"));
  EXPECT_FALSE(r.ReadString("Option", "a", s));
  EXPECT_EQ(s, "");
  EXPECT_FALSE(r.WriteNumber("Option", "a", 1));
  EXPECT_FALSE(r.ReadNumber("Option", "a", n));
  EXPECT_FALSE(r.WriteNumber("Option", "a", 1u));
  EXPECT_FALSE(r.ReadNumber("Option", "a", u));
  EXPECT_FALSE(r.WriteWord("Option", "a", 1));
  EXPECT_FALSE(r.ReadWord("Option", "a", w));
  EXPECT_FALSE(r.WriteBinary("Option", "a", buf, 1));
  EXPECT_FALSE(r.ReadBinary("Option", "a", buf, size));
  EXPECT_FALSE(r.WriteScrambled("Option", "a", "", "x"));
  EXPECT_FALSE(r.ReadScrambled("Option", "a", s));
  EXPECT_FALSE(r.IsScrambledEqual("Option", "a", ""));
  EXPECT_FALSE(r.DeleteScrambledIfEqual("Option", "a", ""));
  EXPECT_FALSE(r.QueryValueType("Option", "a", type));
  EXPECT_FALSE(r.ValueExists("Option", ""));
  EXPECT_FALSE(r.ValueExists("", "a"));
  EXPECT_FALSE(r.DeleteValue("Option", "a"));
  EXPECT_FALSE(r.CreateKey("Option"));
  EXPECT_FALSE(r.DeleteKey("Option"));
  EXPECT_EQ(regseam::CallCount(Op::kOpen), opens);
  EXPECT_EQ(ChangingCalls(), changes);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(u, 5u);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(size, sizeof buf);
}

TEST(RegistryPath, RebindingToAnUnrecognisedPathDropsTheOldBase) {
  CRegistry r("HKEY_CURRENT_USER\\Software\\ZelloraTest");
  ASSERT_TRUE(r.IsBaseValid());
  EXPECT_FALSE(r.SetBasePath("Elsewhere"));
  EXPECT_FALSE(r.IsBaseValid());
  EXPECT_EQ(r.GetBaseRoot(), nullptr);
  HKEY root = nullptr;
  std::string sub;
  EXPECT_FALSE(r.ResolvePath("x", root, sub));
}

// ---- Strings ---------------------------------------------------------------------------------

TEST_F(Registry, StringsRoundTripInAllThreeForms) {
  ASSERT_TRUE(reg_.WriteString("Option", "ProxyUser", "ユーザー表"));
  std::string s;
  ASSERT_TRUE(reg_.ReadString("Option", "ProxyUser", s));
  EXPECT_EQ(s, "ユーザー表");
  std::uint32_t type = 0;
  std::string raw;
  ASSERT_TRUE(Raw("Option", "ProxyUser", &type, &raw));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  EXPECT_EQ(raw, std::string("ユーザー表") + '\0');  // the terminating NUL is stored

  // Root form, with std::string arguments.
  const std::string sub = subKey_ + "\\Root";
  ASSERT_TRUE(reg_.WriteString(HKEY_CURRENT_USER, sub, std::string("Name"), std::string("")));
  s = "x";
  ASSERT_TRUE(reg_.ReadString(HKEY_CURRENT_USER, sub, "NAME", s));
  EXPECT_EQ(s, "");

  // Key form; the empty name is the key's default value.
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, sub.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  ASSERT_TRUE(reg_.WriteString(k.Get(), "", "C:\\Zellmate\\ZellAdd.htm"));
  ASSERT_TRUE(reg_.ReadString(k.Get(), "", s));
  EXPECT_EQ(s, "C:\\Zellmate\\ZellAdd.htm");
  ASSERT_TRUE(reg_.ReadString("Root", "", s));
  EXPECT_EQ(s, "C:\\Zellmate\\ZellAdd.htm");
}

TEST_F(Registry, StringReadStopsAtTheFirstNulAndAtTheEndOfUnterminatedData) {
  ASSERT_TRUE(PutRaw("", "nul", REG_SZ, std::string("ab\0c", 4)));
  std::string s;
  ASSERT_TRUE(reg_.ReadString("", "nul", s));
  EXPECT_EQ(s, "ab");
  ASSERT_TRUE(PutRaw("", "bare", REG_SZ, "xyz"));
  ASSERT_TRUE(reg_.ReadString("", "bare", s));
  EXPECT_EQ(s, "xyz");
  ASSERT_TRUE(PutRaw("", "empty", REG_SZ, ""));
  s = "x";
  ASSERT_TRUE(reg_.ReadString("", "empty", s));
  EXPECT_EQ(s, "");
}

TEST_F(Registry, StringReadFailuresLeaveOrEmptyTheOutputAsDeclared) {
  std::string s = "keep";
  EXPECT_FALSE(reg_.ReadString("", "absent", s));
  EXPECT_EQ(s, "");  // path form empties
  s = "keep";
  EXPECT_FALSE(reg_.ReadString(HKEY_CURRENT_USER, subKey_, "absent", s));
  EXPECT_EQ(s, "keep");
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyRead, k.Receive()),
            Status::kOk);
  EXPECT_FALSE(reg_.ReadString(k.Get(), "absent", s));
  EXPECT_EQ(s, "keep");
  // A number or a block is not text.
  ASSERT_TRUE(reg_.WriteNumber("", "num", 0x00636261));
  EXPECT_FALSE(reg_.ReadString(k.Get(), "num", s));
  ASSERT_TRUE(PutRaw("", "bin", REG_BINARY, "abc"));
  EXPECT_FALSE(reg_.ReadString(k.Get(), "bin", s));
  EXPECT_EQ(s, "keep");
  // Reading from a missing key creates nothing.
  EXPECT_FALSE(reg_.ReadString("NoSuchKey", "v", s));
  EXPECT_FALSE(KeyExists("NoSuchKey"));
}

// ---- Numbers ---------------------------------------------------------------------------------

TEST_F(Registry, NumbersAreFourLittleEndianBytesOfADword) {
  ASSERT_TRUE(reg_.WriteNumber("Option", "Speed", -2));
  std::uint32_t type = 0;
  std::string raw;
  ASSERT_TRUE(Raw("Option", "Speed", &type, &raw));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_DWORD));
  EXPECT_EQ(raw, std::string("\xFE\xFF\xFF\xFF", 4));
  int n = 0;
  ASSERT_TRUE(reg_.ReadNumber("Option", "Speed", n));
  EXPECT_EQ(n, -2);
  unsigned int u = 0;
  ASSERT_TRUE(reg_.ReadNumber("Option", "Speed", u));
  EXPECT_EQ(u, 0xFFFFFFFEu);

  ASSERT_TRUE(reg_.WriteNumber(HKEY_CURRENT_USER, subKey_ + "\\Option", "Min", INT_MIN));
  ASSERT_TRUE(reg_.ReadNumber(HKEY_CURRENT_USER, subKey_ + "\\Option", "Min", n));
  EXPECT_EQ(n, INT_MIN);
  ASSERT_TRUE(reg_.WriteNumber("Option", "contexts", 0xF3u));
  ASSERT_TRUE(Raw("Option", "contexts", &type, &raw));
  EXPECT_EQ(raw, std::string("\xF3\0\0\0", 4));

  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\Option").c_str(), regseam::kKeyAllAccess,
                             k.Receive()),
            Status::kOk);
  ASSERT_TRUE(reg_.WriteNumber(k.Get(), "Max", 0xFFFFFFFFu));
  ASSERT_TRUE(reg_.ReadNumber(k.Get(), "Max", n));
  EXPECT_EQ(n, -1);
}

TEST_F(Registry, NumberReadsRefuseValuesOfTheWrongTypeOrSize) {
  // "abc" with its NUL is exactly four bytes, but it is text.
  ASSERT_TRUE(reg_.WriteString("", "text", "abc"));
  ASSERT_TRUE(PutRaw("", "short", REG_BINARY, std::string("\x01\x02", 2)));
  ASSERT_TRUE(PutRaw("", "long", REG_BINARY, std::string("\x01\x02\x03\x04\x05", 5)));
  ASSERT_TRUE(PutRaw("", "dwordShort", REG_DWORD, std::string("\x01", 1)));
  int n = 42;
  unsigned int u = 42;
  std::uint16_t w = 42;
  for (const char* name : {"text", "short", "long", "dwordShort", "absent"}) {
    EXPECT_FALSE(reg_.ReadNumber("", name, n)) << name;
    EXPECT_FALSE(reg_.ReadNumber("", name, u)) << name;
    EXPECT_FALSE(reg_.ReadWord("", name, w)) << name;
  }
  EXPECT_EQ(n, 42);
  EXPECT_EQ(u, 42u);
  EXPECT_EQ(w, 42);
  // Four raw bytes are a number.
  ASSERT_TRUE(PutRaw("", "four", REG_BINARY, std::string("\x01\x02\x03\x04", 4)));
  ASSERT_TRUE(reg_.ReadNumber("", "four", u));
  EXPECT_EQ(u, 0x04030201u);
}

TEST_F(Registry, WordsAreStoredZeroExtendedAndReadAsTheLow16Bits) {
  ASSERT_TRUE(reg_.WriteWord("", "w", 0xFFFF));
  std::uint32_t type = 0;
  std::string raw;
  ASSERT_TRUE(Raw("", "w", &type, &raw));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_DWORD));
  EXPECT_EQ(raw, std::string("\xFF\xFF\0\0", 4));
  unsigned int u = 0;
  ASSERT_TRUE(reg_.ReadNumber("", "w", u));
  EXPECT_EQ(u, 0x0000FFFFu);
  ASSERT_TRUE(reg_.WriteNumber("", "big", 0x12345678u));
  std::uint16_t w = 0;
  ASSERT_TRUE(reg_.ReadWord("", "big", w));
  EXPECT_EQ(w, 0x5678);
  ASSERT_TRUE(reg_.WriteWord(HKEY_CURRENT_USER, subKey_, "r", 7));
  ASSERT_TRUE(reg_.ReadWord(HKEY_CURRENT_USER, subKey_, "r", w));
  EXPECT_EQ(w, 7);
}

// ---- Memory blocks ---------------------------------------------------------------------------

TEST_F(Registry, BlocksRoundTripAndReportTheSizeNeeded) {
  const unsigned char data[] = {0x00, 0x5C, 0xFF, 0x81, 0x00};
  ASSERT_TRUE(reg_.WriteBinary("Bin", "b", data, sizeof data));
  std::uint32_t type = 0;
  std::string raw;
  ASSERT_TRUE(Raw("Bin", "b", &type, &raw));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_BINARY));
  EXPECT_EQ(raw, std::string(reinterpret_cast<const char*>(data), sizeof data));

  unsigned char out[16] = {};
  std::size_t size = sizeof out;
  ASSERT_TRUE(reg_.ReadBinary("Bin", "b", out, size));
  EXPECT_EQ(size, sizeof data);
  EXPECT_EQ(std::memcmp(out, data, sizeof data), 0);

  size = 2;
  EXPECT_FALSE(reg_.ReadBinary("Bin", "b", out, size));
  EXPECT_EQ(size, sizeof data);
  // A string into a buffer too small for it.
  ASSERT_TRUE(reg_.WriteString("Bin", "s", "longer text"));
  char small[4];
  size = sizeof small;
  EXPECT_FALSE(reg_.ReadBinary("Bin", "s", small, size));
  EXPECT_EQ(size, 12u);

  EXPECT_FALSE(reg_.WriteBinary("Bin", "null", nullptr, 3));
  size = sizeof out;
  EXPECT_FALSE(reg_.ReadBinary("Bin", "b", nullptr, size));
  EXPECT_FALSE(reg_.ReadBinary("Bin", "absent", out, size));
  EXPECT_EQ(size, sizeof out);

  // An empty block, in the root and key forms.
  ASSERT_TRUE(reg_.WriteBinary(HKEY_CURRENT_USER, subKey_ + "\\Bin", "empty", data, 0));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\Bin").c_str(), regseam::kKeyRead, k.Receive()),
            Status::kOk);
  size = sizeof out;
  ASSERT_TRUE(reg_.ReadBinary(k.Get(), "empty", out, size));
  EXPECT_EQ(size, 0u);
}

// ---- Types, existence, keys ------------------------------------------------------------------

TEST_F(Registry, TypesAndExistence) {
  ASSERT_TRUE(reg_.WriteString("URL_List\\URL00000000", "Title", "t"));
  ASSERT_TRUE(reg_.WriteNumber("URL_List\\URL00000000", "Filter", 20));
  std::uint32_t type = 0;
  ASSERT_TRUE(reg_.QueryValueType("URL_List\\URL00000000", "Title", type));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  ASSERT_TRUE(reg_.QueryValueType(HKEY_CURRENT_USER, subKey_ + "\\URL_List\\URL00000000", "Filter", type));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_DWORD));
  type = 99;
  EXPECT_FALSE(reg_.QueryValueType("URL_List\\URL00000000", "REFERRER", type));
  EXPECT_EQ(type, 99u);

  // An empty name asks for the key.
  EXPECT_TRUE(reg_.ValueExists("URL_List\\URL00000000", ""));
  EXPECT_TRUE(reg_.ValueExists("url_list\\url00000000", "title"));
  EXPECT_FALSE(reg_.ValueExists("URL_List\\URL00000001", ""));
  EXPECT_FALSE(KeyExists("URL_List\\URL00000001"));
  EXPECT_TRUE(reg_.ValueExists("", ""));
  EXPECT_TRUE(reg_.ValueExists(HKEY_CURRENT_USER, subKey_ + "\\URL_List", ""));
  EXPECT_FALSE(reg_.ValueExists(HKEY_CURRENT_USER, subKey_ + "\\URL_List", "Title"));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\URL_List\\URL00000000").c_str(),
                             regseam::kKeyRead, k.Receive()),
            Status::kOk);
  EXPECT_TRUE(reg_.ValueExists(k.Get(), "URL") == false);
  EXPECT_TRUE(reg_.ValueExists(k.Get(), "Title"));
}

TEST_F(Registry, CreateKeyInBothForms) {
  EXPECT_TRUE(reg_.CreateKey("a\\b\\c"));
  EXPECT_TRUE(KeyExists("a\\b\\c"));
  EXPECT_TRUE(reg_.CreateKey("a\\b\\c"));  // existing: still true
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  EXPECT_TRUE(reg_.CreateKey(k.Get(), std::string("d")));
  EXPECT_TRUE(KeyExists("d"));
}

TEST_F(Registry, OverlongKeyNamesFailCleanly) {
  const std::string ok(255, 'k');
  const std::string tooLong(300, 'k');  // Windows stops at 255 characters, Wine at 256
  // (Wine's "A" functions also take at most 259 characters of sub-key path in one call, so the
  // longest name goes below an open key.)
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  EXPECT_TRUE(reg_.CreateKey(k.Get(), ok));
  EXPECT_FALSE(reg_.CreateKey(k.Get(), tooLong));
  EXPECT_FALSE(reg_.CreateKey(tooLong));
  EXPECT_FALSE(reg_.WriteString(tooLong + "\\x", "v", "t"));
  EXPECT_FALSE(reg_.WriteNumber(HKEY_CURRENT_USER, subKey_ + "\\" + tooLong, "v", 1));
  std::string s;
  EXPECT_FALSE(reg_.ReadString(tooLong, "v", s));
  EXPECT_FALSE(reg_.ValueExists(tooLong, ""));
  EXPECT_FALSE(reg_.DeleteKey(tooLong));
  // A value name may be longer than a key name.
  const std::string longValue(300, 'v');
  EXPECT_TRUE(reg_.WriteString("", longValue, "t"));
  EXPECT_TRUE(reg_.ValueExists("", longValue));
}

TEST_F(Registry, DeleteKeyRefusesTheTopKeysInAnyCaseButNotDeeperOnes) {
  CRegistry top("HKEY_CURRENT_USER");
  // Should the refusal fail, no key may be opened, let alone deleted.
  const long opens = regseam::CallCount(Op::kOpen);
  const long changes = ChangingCalls();
  {
    ScopedFailure guard(Op::kOpen, 1, Status::kFailed, true);
    for (const char* name :
         {"Software", "software", "SOFTWARE", "\\Software\\", "control panel", ".DEFAULT", "EUDC", "AppEvent",
          "Hardware", "clsid", "Network", "System", "Security", "", "\\"}) {
      EXPECT_FALSE(top.DeleteKey(name)) << name;
    }
  }
  EXPECT_EQ(regseam::CallCount(Op::kOpen), opens);
  EXPECT_EQ(ChangingCalls(), changes);

  ASSERT_TRUE(reg_.CreateKey("Deep\\Er"));
  EXPECT_TRUE(top.DeleteKey(subKey_ + "\\Deep"));
  EXPECT_FALSE(KeyExists("Deep"));
  EXPECT_TRUE(KeyExists(""));
}

TEST_F(Registry, DeleteKeyTreeRemovesAWholeTree) {
  ASSERT_TRUE(reg_.WriteString("Tree\\A", "v", "1"));
  ASSERT_TRUE(reg_.WriteString("Tree\\A\\A1\\A11", "v", "1"));
  ASSERT_TRUE(reg_.WriteNumber("Tree\\B", "n", 1));
  ASSERT_TRUE(reg_.CreateKey("Tree\\C"));
  ASSERT_TRUE(reg_.WriteString("Tree", "top", "1"));
  ASSERT_TRUE(reg_.CreateKey("TreeSibling"));
  EXPECT_TRUE(reg_.DeleteKey("tree"));
  EXPECT_FALSE(KeyExists("Tree"));
  EXPECT_TRUE(KeyExists("TreeSibling"));
  EXPECT_FALSE(reg_.DeleteKey("Tree"));  // nothing left to delete
}

TEST_F(Registry, DeleteKeyTreeOnAValueNameDeletesTheValue) {
  ASSERT_TRUE(reg_.WriteString("K", "val", "1"));
  ASSERT_TRUE(reg_.WriteString("", "top", "1"));
  EXPECT_TRUE(reg_.DeleteKey("K\\val"));
  EXPECT_FALSE(reg_.ValueExists("K", "val"));
  EXPECT_TRUE(KeyExists("K"));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  EXPECT_TRUE(reg_.DeleteKeyTree(k.Get(), "top"));
  EXPECT_FALSE(reg_.ValueExists("", "top"));
  EXPECT_FALSE(reg_.DeleteKeyTree(k.Get(), "neither"));
  EXPECT_FALSE(reg_.DeleteKeyTree(k.Get(), "Missing\\value"));
  // The empty sub-key would be the key itself: refused, nothing below it touched.
  EXPECT_FALSE(reg_.DeleteKeyTree(k.Get(), ""));
  EXPECT_TRUE(KeyExists("K"));
}

TEST_F(Registry, DoubleByteNamesEndingIn0x5CAreNeverSplit) {
  // "表" is 0x95 0x5C.
  ASSERT_TRUE(reg_.WriteString("表\\子", "値表", "1"));
  EXPECT_TRUE(KeyExists("表\\子"));
  EXPECT_TRUE(reg_.ValueExists("表\\", ""));
  EXPECT_TRUE(reg_.DeleteKey("表\\子\\値表"));  // the last real backslash is before "値表"
  EXPECT_FALSE(reg_.ValueExists("表\\子", "値表"));
  EXPECT_TRUE(KeyExists("表\\子"));
  ASSERT_TRUE(reg_.WriteString("表", "表", "1"));
  EXPECT_TRUE(reg_.DeleteKey("表\\表"));
  EXPECT_FALSE(reg_.ValueExists("表", "表"));
  ScopedKey k;
  ASSERT_EQ(
      regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\表").c_str(), regseam::kKeyAllAccess, k.Receive()),
      Status::kOk);
  ASSERT_TRUE(reg_.WriteString(k.Get(), "ソ", "1"));
  EXPECT_TRUE(reg_.DeleteKeyTree(k.Get(), "ソ"));  // no backslash at all: a value of k
  EXPECT_FALSE(reg_.ValueExists(k.Get(), "ソ"));
  k.Close();
  EXPECT_TRUE(reg_.DeleteKey("表"));
  EXPECT_FALSE(KeyExists("表"));
}

TEST_F(Registry, StrayHighBytesAreSingleCharacters) {
  // 0xA0 and 0xFD are single bytes in code page 932: a backslash after them is a separator.
  for (const char* key : {"\xA0", "\xFD"}) {
    ASSERT_TRUE(reg_.WriteString(key, "v", "1")) << key;
    EXPECT_TRUE(reg_.DeleteKey(std::string(key) + "\\v")) << key;
    EXPECT_FALSE(reg_.ValueExists(key, "v")) << key;
    EXPECT_TRUE(reg_.ValueExists(key, "")) << key;
  }
}

TEST_F(Registry, DeleteKeyTreeHandlesChildNamesOfLongDoubleByteText) {
  std::string wide;
  for (int i = 0; i < 130; ++i) wide += "表";  // 130 characters, 260 bytes
  ASSERT_TRUE(reg_.WriteString("Wide\\" + wide, "v", "1"));
  EXPECT_TRUE(reg_.DeleteKey("Wide"));
  EXPECT_FALSE(KeyExists("Wide"));
}

// ---- Value deletion --------------------------------------------------------------------------

TEST_F(Registry, DeleteValueInAllForms) {
  ASSERT_TRUE(reg_.WriteString("V", "a", "1"));
  ASSERT_TRUE(reg_.WriteString("V", "b", "1"));
  ASSERT_TRUE(reg_.WriteString("V", "c", "1"));
  EXPECT_TRUE(reg_.DeleteValue("V", "A"));
  EXPECT_FALSE(reg_.DeleteValue("V", "a"));
  EXPECT_TRUE(reg_.DeleteValue(HKEY_CURRENT_USER, subKey_ + "\\V", "b"));
  ScopedKey k;
  ASSERT_EQ(
      regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\V").c_str(), regseam::kKeyAllAccess, k.Receive()),
      Status::kOk);
  EXPECT_TRUE(reg_.DeleteValue(k.Get(), "c"));
  EXPECT_FALSE(reg_.ValueExists("V", "c"));
  // Deleting from a missing key neither succeeds nor creates the key.
  EXPECT_FALSE(reg_.DeleteValue("NoKey", "a"));
  EXPECT_FALSE(KeyExists("NoKey"));
}

// ---- Scrambled strings -----------------------------------------------------------------------

TEST(RegistryScramble, TableCoversExactlyThePrintableRangeWithDistinctCodes) {
  std::vector<bool> seen(256, false);
  for (int c = 0; c < 256; ++c) {
    std::string enc;
    const bool ok = CRegistry::EncodeScrambled(std::string(1, static_cast<char>(c)), enc);
    EXPECT_EQ(ok, c >= 0x20 && c <= 0x7C) << c;
    if (!ok) continue;
    ASSERT_EQ(enc.size(), 3u);
    const auto code = static_cast<unsigned char>(enc[2]);
    EXPECT_NE(code, 0);
    EXPECT_FALSE(seen[code]) << c;
    seen[code] = true;
    std::string back;
    ASSERT_TRUE(CRegistry::DecodeScrambled(enc, back));
    EXPECT_EQ(back, std::string(1, static_cast<char>(c)));
  }
}

TEST(RegistryScramble, ChecksumIsTheByteSumModulo100InFront) {
  // "abc" sums to 294: checksum 94.
  std::string enc;
  ASSERT_TRUE(CRegistry::EncodeScrambled("abc", enc));
  std::string digits;
  ASSERT_TRUE(CRegistry::EncodeScrambled("94abc", digits));
  EXPECT_EQ(enc, digits.substr(2));
  ASSERT_TRUE(CRegistry::EncodeScrambled("", enc));
  ASSERT_TRUE(CRegistry::EncodeScrambled("00", digits));
  EXPECT_EQ(enc, digits.substr(2));
}

TEST(RegistryScramble, MalformedStoredTextFailsToDecode) {
  std::string enc;
  std::string out = "keep";
  ASSERT_TRUE(CRegistry::EncodeScrambled("99abc", enc));
  EXPECT_FALSE(CRegistry::DecodeScrambled(enc.substr(2), out));  // "99" + "abc": wrong checksum
  ASSERT_TRUE(CRegistry::EncodeScrambled("1&", enc));  // codes that add up like "00" but are no digits
  EXPECT_FALSE(CRegistry::DecodeScrambled(enc.substr(2), out));
  ASSERT_TRUE(CRegistry::EncodeScrambled("0", enc));
  EXPECT_FALSE(CRegistry::DecodeScrambled(enc.substr(2), out));  // one character
  EXPECT_FALSE(CRegistry::DecodeScrambled("", out));
  EXPECT_FALSE(CRegistry::DecodeScrambled(std::string("\x01\x02\x03"), out));  // codes no character maps to
  EXPECT_FALSE(CRegistry::DecodeScrambled("表表", out));
  EXPECT_EQ(out, "keep");
  EXPECT_FALSE(CRegistry::EncodeScrambled("パス", enc));
  EXPECT_FALSE(CRegistry::EncodeScrambled("a~", enc));
}

TEST_F(Registry, ScrambledRoundTripsAndComparesWithoutCase) {
  ASSERT_TRUE(reg_.WriteScrambled("Option", "ProxyPassword", "", "Secret pass|"));
  std::uint32_t type = 0;
  std::string raw;
  ASSERT_TRUE(Raw("Option", "ProxyPassword", &type, &raw));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  EXPECT_EQ(raw.find("Secret"), std::string::npos);  // never stored as plain text
  std::string s;
  ASSERT_TRUE(reg_.ReadScrambled("Option", "ProxyPassword", s));
  EXPECT_EQ(s, "Secret pass|");
  EXPECT_TRUE(reg_.IsScrambledEqual("Option", "ProxyPassword", "SECRET PASS|"));
  EXPECT_FALSE(reg_.IsScrambledEqual("Option", "ProxyPassword", "Secret"));
  // Root and key forms read the same value.
  const std::string sub = subKey_ + "\\Option";
  ASSERT_TRUE(reg_.ReadScrambled(HKEY_CURRENT_USER, sub, "ProxyPassword", s));
  EXPECT_EQ(s, "Secret pass|");
  ASSERT_TRUE(reg_.WriteScrambled(HKEY_CURRENT_USER, sub, "ProxyPassword", "secret PASS|", "second"));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, sub.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  ASSERT_TRUE(reg_.ReadScrambled(k.Get(), "ProxyPassword", s));
  EXPECT_EQ(s, "second");
  ASSERT_TRUE(reg_.WriteScrambled(k.Get(), "ProxyPassword", "Second", ""));
  ASSERT_TRUE(reg_.ReadScrambled(k.Get(), "ProxyPassword", s));  // the empty text reads back
  EXPECT_EQ(s, "");
  ASSERT_TRUE(reg_.WriteScrambled(k.Get(), "ProxyPassword", "", "third"));
  EXPECT_TRUE(reg_.IsScrambledEqual(HKEY_CURRENT_USER, sub, "ProxyPassword", "THIRD"));
  EXPECT_TRUE(reg_.IsScrambledEqual(k.Get(), "ProxyPassword", "third"));
}

TEST_F(Registry, ReadingAMissingScrambledValueCreatesTheEmptyText) {
  std::string s = "keep";
  ASSERT_TRUE(reg_.ReadScrambled("Option", "ProxyPassword", s));
  EXPECT_EQ(s, "");
  std::uint32_t type = 0;
  std::string raw;
  ASSERT_TRUE(Raw("Option", "ProxyPassword", &type, &raw));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  std::string decoded = "x";
  ASSERT_TRUE(CRegistry::DecodeScrambled(std::string(raw.c_str()), decoded));
  EXPECT_EQ(decoded, "");
  // Key and root forms likewise.
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  s = "keep";
  ASSERT_TRUE(reg_.ReadScrambled(k.Get(), "p2", s));
  EXPECT_EQ(s, "");
  EXPECT_TRUE(reg_.ValueExists("", "p2"));
  ASSERT_TRUE(reg_.ReadScrambled(HKEY_CURRENT_USER, subKey_ + "\\R", "p3", s));
  EXPECT_TRUE(reg_.ValueExists("R", "p3"));
}

TEST_F(Registry, WriteScrambledWithAStaleExpectationWritesNothing) {
  ASSERT_TRUE(reg_.WriteScrambled("", "pw", "", "first"));
  std::uint32_t type = 0;
  std::string before;
  ASSERT_TRUE(Raw("", "pw", &type, &before));
  const long sets = regseam::CallCount(Op::kSet);
  EXPECT_FALSE(reg_.WriteScrambled("", "pw", "other", "second"));
  EXPECT_FALSE(reg_.WriteScrambled(HKEY_CURRENT_USER, subKey_, "pw", "", "second"));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  EXPECT_FALSE(reg_.WriteScrambled(k.Get(), "pw", "firs", "second"));
  EXPECT_EQ(regseam::CallCount(Op::kSet), sets);
  std::string after;
  ASSERT_TRUE(Raw("", "pw", &type, &after));
  EXPECT_EQ(after, before);
  // Characters that cannot be stored are refused without writing.
  EXPECT_FALSE(reg_.WriteScrambled("", "pw", "first", "パスワード"));
  EXPECT_EQ(regseam::CallCount(Op::kSet), sets);
}

TEST_F(Registry, CorruptedScrambledValues) {
  ASSERT_TRUE(reg_.WriteString("", "bad", Scramble("99abc")));
  std::string s = "keep";
  EXPECT_FALSE(reg_.ReadScrambled("", "bad", s));
  EXPECT_EQ(s, "");
  EXPECT_FALSE(reg_.IsScrambledEqual("", "bad", "abc"));
  EXPECT_FALSE(reg_.DeleteScrambledIfEqual("", "bad", "abc"));
  EXPECT_TRUE(reg_.ValueExists("", "bad"));
  // The path form takes an unreadable value for the empty text and replaces it ...
  EXPECT_TRUE(reg_.WriteScrambled("", "bad", "", "fresh"));
  ASSERT_TRUE(reg_.ReadScrambled("", "bad", s));
  EXPECT_EQ(s, "fresh");
  // ... the key form does not.
  ASSERT_TRUE(reg_.WriteNumber("", "num", 1));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  EXPECT_FALSE(reg_.WriteScrambled(k.Get(), "num", "", "x"));
  std::uint32_t type = 0;
  ASSERT_TRUE(reg_.QueryValueType("", "num", type));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_DWORD));
}

TEST_F(Registry, DeleteScrambledIfEqualDeletesOnlyAMatch) {
  ASSERT_TRUE(reg_.WriteScrambled("", "pw", "", "Match"));
  EXPECT_FALSE(reg_.DeleteScrambledIfEqual("", "pw", "other"));
  EXPECT_TRUE(reg_.ValueExists("", "pw"));
  EXPECT_TRUE(reg_.DeleteScrambledIfEqual("", "pw", "MATCH"));
  EXPECT_FALSE(reg_.ValueExists("", "pw"));
  ASSERT_TRUE(reg_.WriteScrambled(HKEY_CURRENT_USER, subKey_, "pw", "", "m"));
  EXPECT_TRUE(reg_.DeleteScrambledIfEqual(HKEY_CURRENT_USER, subKey_, "pw", "m"));
  ASSERT_TRUE(reg_.WriteScrambled("", "pw", "", "k"));
  ScopedKey k;
  ASSERT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, subKey_.c_str(), regseam::kKeyAllAccess, k.Receive()),
            Status::kOk);
  EXPECT_TRUE(reg_.DeleteScrambledIfEqual(k.Get(), "pw", "K"));
  EXPECT_FALSE(reg_.ValueExists("", "pw"));
}

// ---- Failures of the registry itself ---------------------------------------------------------

TEST_F(Registry, FailingPrimitivesMakeEveryFormFailWithoutLeaking) {
  std::string s;
  int n = 0;
  // The root open of a path-form write, then the creation of its key, then the write itself.
  for (Op op : {Op::kOpen, Op::kCreate, Op::kSet}) {
    ScopedFailure f(op, 1);
    EXPECT_FALSE(reg_.WriteString("Option", "a", "b")) << static_cast<int>(op);
  }
  EXPECT_FALSE(reg_.ValueExists("Option", "a"));
  for (Op op : {Op::kCreate, Op::kSet}) {
    ScopedFailure f(op, 1);
    EXPECT_FALSE(reg_.WriteNumber(HKEY_CURRENT_USER, subKey_, "n", 1)) << static_cast<int>(op);
  }
  {
    ScopedFailure f(Op::kCreate, 1);
    EXPECT_FALSE(reg_.CreateKey("NewKey"));
    EXPECT_FALSE(KeyExists("NewKey"));
  }
  ASSERT_TRUE(reg_.WriteString("Option", "a", "b"));
  ASSERT_TRUE(reg_.WriteNumber("Option", "n", 3));
  {
    ScopedFailure f(Op::kOpen, 1);
    EXPECT_FALSE(reg_.ReadString("Option", "a", s));
  }
  {
    ScopedFailure f(Op::kOpen, 1);
    EXPECT_FALSE(reg_.ReadNumber("Option", "n", n));
  }
  // The second query of a string read (after the size) fails: the key form keeps its output.
  {
    ScopedKey k;
    ASSERT_EQ(
        regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\Option").c_str(), regseam::kKeyRead, k.Receive()),
        Status::kOk);
    ScopedFailure f(Op::kQuery, 2);
    s = "keep";
    EXPECT_FALSE(reg_.ReadString(k.Get(), "a", s));
    EXPECT_EQ(s, "keep");
  }
  {
    ScopedFailure f(Op::kDeleteValue, 1);
    EXPECT_FALSE(reg_.DeleteValue("Option", "a"));
    EXPECT_TRUE(reg_.ValueExists("Option", "a"));
  }
  {
    ScopedFailure f(Op::kCompare, 1);
    EXPECT_FALSE(reg_.WriteScrambled("Option", "pw", "", "x"));
  }
}

TEST_F(Registry, TreeDeletionSurvivesAFailureAtAnyStep) {
  // Fail each open, enumeration and deletion in turn: the deletion reports failure, leaks
  // nothing, and a second attempt finishes the job.
  for (Op op : {Op::kOpen, Op::kEnumKey, Op::kDeleteKey}) {
    for (int nth = 1;; ++nth) {
      ASSERT_TRUE(reg_.WriteString("T\\a\\x", "v", "1"));
      ASSERT_TRUE(reg_.WriteString("T\\b", "v", "1"));
      const long before = regseam::CallCount(op);
      bool ok = false;
      {
        ScopedFailure f(op, nth);
        ok = reg_.DeleteKey("T");
      }
      const bool reached = regseam::CallCount(op) - before >= nth;
      EXPECT_EQ(regseam::OpenHandleCount(), handles_);
      if (!reached) {
        EXPECT_TRUE(ok);
        EXPECT_FALSE(KeyExists("T"));
        break;
      }
      if (ok) {
        EXPECT_FALSE(KeyExists("T"));  // a failed enumeration may end in a deletion that fails alone
      } else {
        EXPECT_TRUE(KeyExists("T"));
      }
      if (KeyExists("T")) {
        EXPECT_TRUE(reg_.DeleteKey("T"));
      }
      EXPECT_FALSE(KeyExists("T"));
      ASSERT_LT(nth, 50);
    }
  }
}

// ---- The class is polymorphic: path forms go through the virtual path rules ------------------

class RedirectingRegistry : public CRegistry {
 public:
  using CRegistry::CRegistry;
  bool ResolvePath(RegText path, HKEY& root, std::string& subKey) const override {
    if (!CRegistry::ResolvePath(path, root, subKey)) return false;
    subKey += "\\Redirected";
    return true;
  }
};

TEST_F(Registry, PathFormsUseTheOverriddenResolution) {
  RedirectingRegistry r(base_);
  ASSERT_TRUE(r.WriteNumber("Option", "n", 5));
  EXPECT_TRUE(KeyExists("Option\\Redirected"));
  CRegistry& asBase = r;
  int n = 0;
  ASSERT_TRUE(asBase.ReadNumber("Option", "n", n));
  EXPECT_EQ(n, 5);
}

}  // namespace
