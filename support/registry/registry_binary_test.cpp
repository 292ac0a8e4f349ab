// The CBinary value kind in both builds: natively against the in-memory registry, under Wine
// against the prefix's real registry. Each test works below
// HKEY_CURRENT_USER\Software\ZelloraTest\<test> and removes that key afterwards.
#include <gtest/gtest.h>

#include <string>

#include "support/buffer/binary.h"
#include "support/registry/registry.h"
#include "tests/registry_test_key.h"

namespace {

using regseam::Op;
using regseam::ScopedFailure;
using regseam::Status;

std::string Text(const CBinary& b) {
  const unsigned char* p = b.GetData();
  return p == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(p), b.GetLength());
}

CBinary Bytes(const std::string& s) {
  CBinary b;
  b.Assign(s.data(), static_cast<int>(s.size()));
  return b;
}

class RegistryBinary : public RegistryKeyTest {};

TEST_F(RegistryBinary, RoundTripsInAllThreeForms) {
  const std::string raw(
      "\x00\x01\xFF\x5C"
      "abc\x00",
      8);
  ASSERT_TRUE(reg_.WriteBinary("Sub", "path", Bytes(raw)));
  ASSERT_TRUE(reg_.WriteBinary(HKEY_CURRENT_USER, subKey_ + "\\Sub", "root", Bytes("root value")));
  std::uint32_t type = 0;
  ASSERT_TRUE(reg_.QueryValueType("Sub", "path", type));
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_BINARY));

  CBinary out = Bytes("old contents that are longer");
  ASSERT_TRUE(reg_.ReadBinary(HKEY_CURRENT_USER, subKey_ + "\\Sub", "path", out));
  EXPECT_EQ(Text(out), raw);
  EXPECT_FALSE(out.IsLocked());
  ASSERT_TRUE(reg_.ReadBinary("Sub", "root", out));
  EXPECT_EQ(Text(out), "root value");

  // The memory-block form reads what the CBinary form wrote, and the other way round.
  char buffer[16] = {};
  std::size_t size = sizeof buffer;
  ASSERT_TRUE(reg_.ReadBinary("Sub", "path", buffer, size));
  EXPECT_EQ(std::string(buffer, size), raw);
  ASSERT_TRUE(reg_.WriteBinary("Sub", "memory", "xyz", 3));

  CRegistry keyed(kTestRoot);
  regseam::ScopedKey key;
  ASSERT_EQ(
      regseam::OpenKey(HKEY_CURRENT_USER, (subKey_ + "\\Sub").c_str(), regseam::kKeyAllAccess, key.Receive()),
      Status::kOk);
  ASSERT_TRUE(keyed.ReadBinary(key.Get(), "memory", out));
  EXPECT_EQ(Text(out), "xyz");
  ASSERT_TRUE(keyed.WriteBinary(key.Get(), "key", Bytes("by key")));
  ASSERT_TRUE(reg_.ReadBinary("Sub", "key", out));
  EXPECT_EQ(Text(out), "by key");
}

TEST_F(RegistryBinary, EmptyAndMissingValues) {
  // An empty buffer is stored as an empty value and reads back as empty.
  ASSERT_TRUE(reg_.WriteBinary("", "empty", CBinary()));
  CBinary out = Bytes("something");
  ASSERT_TRUE(reg_.ReadBinary("", "empty", out));
  EXPECT_EQ(out.GetLength(), 0);
  EXPECT_TRUE(reg_.ValueExists("", "empty"));

  // Missing value, missing key, unrecognised base: false and an emptied buffer.
  out = Bytes("something");
  EXPECT_FALSE(reg_.ReadBinary("", "missing", out));
  EXPECT_EQ(out.GetLength(), 0);
  out = Bytes("something");
  EXPECT_FALSE(reg_.ReadBinary("NoSuchKey", "x", out));
  EXPECT_EQ(out.GetLength(), 0);
  out = Bytes("something");
  EXPECT_FALSE(reg_.ReadBinary(HKEY_CURRENT_USER, subKey_ + "\\NoSuchKey", "x", out));
  EXPECT_EQ(out.GetLength(), 0);
  CRegistry invalid("NOT_A_ROOT\\x");
  out = Bytes("something");
  EXPECT_FALSE(invalid.ReadBinary("", "x", out));
  EXPECT_FALSE(invalid.WriteBinary("", "x", out));
  EXPECT_EQ(out.GetLength(), 0);

  // A value of another type is read as its raw bytes.
  ASSERT_TRUE(reg_.WriteString("", "text", "ab"));
  ASSERT_TRUE(reg_.ReadBinary("", "text", out));
  EXPECT_EQ(Text(out), std::string("ab\0", 3));
}

TEST_F(RegistryBinary, LockedBuffersAndViewsReceiveAsAssignDoes) {
  ASSERT_TRUE(reg_.WriteBinary("", "ten", Bytes("0123456789")));
  ASSERT_TRUE(reg_.WriteBinary("", "two", Bytes("ab")));

  CBinary locked("wxyz", 4);
  ASSERT_TRUE(reg_.ReadBinary("", "ten", locked));
  EXPECT_EQ(Text(locked), "0123");
  ASSERT_TRUE(reg_.ReadBinary("", "two", locked));
  EXPECT_EQ(Text(locked), "ab23");
  EXPECT_FALSE(reg_.ReadBinary("", "missing", locked));
  EXPECT_EQ(Text(locked), "ab23");  // a locked buffer cannot be emptied

  // An unbounded view takes the value behind the owner's bytes in front of it; a bounded view
  // writes only its own range; writing a view stores its effective range.
  CBinary owner = Bytes("head:old");
  CBinary tail = owner.Focus(5);
  ASSERT_TRUE(reg_.ReadBinary("", "ten", tail));
  EXPECT_EQ(Text(owner), "head:0123456789");
  CBinary window = owner.Focus(0).Focus(2);
  ASSERT_TRUE(reg_.ReadBinary("", "two", window));
  EXPECT_EQ(Text(owner), "abad:0123456789");
  ASSERT_TRUE(reg_.WriteBinary("", "view", owner.Focus(5).Focus(3)));
  CBinary out;
  ASSERT_TRUE(reg_.ReadBinary("", "view", out));
  EXPECT_EQ(Text(out), "012");
}

TEST_F(RegistryBinary, FailuresLeaveNothingHalfRead) {
  ASSERT_TRUE(reg_.WriteBinary("", "value", Bytes("payload")));
  CBinary out = Bytes("before");
  {
    // The size is asked first; the read after it fails.
    ScopedFailure fail(Op::kQuery, 2);
    EXPECT_FALSE(reg_.ReadBinary("", "value", out));
  }
  EXPECT_EQ(out.GetLength(), 0);
  {
    ScopedFailure fail(Op::kOpen, 1);
    out = Bytes("before");
    EXPECT_FALSE(reg_.ReadBinary("", "value", out));
    EXPECT_EQ(out.GetLength(), 0);
  }
  {
    ScopedFailure fail(Op::kSet, 1);
    EXPECT_FALSE(reg_.WriteBinary("", "value", Bytes("other")));
  }
  ASSERT_TRUE(reg_.ReadBinary("", "value", out));
  EXPECT_EQ(Text(out), "payload");
}

}  // namespace
