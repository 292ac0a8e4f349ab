#include "support/buffer/binary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const CBinary& b) {
  const unsigned char* p = b.GetData();
  return p == nullptr ? std::vector<unsigned char>() : std::vector<unsigned char>(p, p + b.GetLength());
}

using V = std::vector<unsigned char>;

CBinary Free(const char* text) {
  CBinary b;
  b.AssignString(text);
  return b;
}

TEST(CBinary, GrowsExactlyWithZeroFillAndShrinks) {
  CBinary b;
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.GetData(), nullptr);
  ASSERT_TRUE(b.Assign("abc", 3));
  ASSERT_TRUE(b.SetLength(8));
  EXPECT_EQ(Bytes(b), (V{'a', 'b', 'c', 0, 0, 0, 0, 0}));
  ASSERT_TRUE(b.SetLength(2));
  EXPECT_EQ(Bytes(b), (V{'a', 'b'}));
  EXPECT_FALSE(b.SetLength(-1));
  EXPECT_FALSE(b.SetFocusedLength(-5));
  EXPECT_EQ(b.GetLength(), 2);
  ASSERT_TRUE(b.Clear());
  EXPECT_EQ(b.GetData(), nullptr);
  EXPECT_EQ(b.GetLength(), 0);

  // GetBuffer grows only when short; GetBufferSetLength sets.
  unsigned char* p = b.GetBuffer(4);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(b.GetLength(), 4);
  EXPECT_EQ(b.GetBuffer(2), p);
  EXPECT_EQ(b.GetLength(), 4);
  ASSERT_NE(b.GetBufferSetLength(1), nullptr);
  EXPECT_EQ(b.GetLength(), 1);
  EXPECT_EQ(static_cast<int>(b), 1);
  EXPECT_EQ(static_cast<unsigned char*>(b), b.GetData());

  b.Lock();
  b.Reset();  // releases the block it owns (the leak checker would see it otherwise)
  EXPECT_EQ(b.GetData(), nullptr);
  EXPECT_TRUE(b.IsFree());
}

TEST(CBinary, LockingRefusesLengthChanges) {
  CBinary b("wxyz", 4);  // from memory: locked
  EXPECT_TRUE(b.IsLocked());
  EXPECT_FALSE(b.SetLength(8));
  EXPECT_FALSE(b.Clear());
  EXPECT_FALSE(b.Append('!'));
  EXPECT_FALSE(b.DeleteLeft(1));
  EXPECT_FALSE(b.DeleteRight(1));
  EXPECT_EQ(b.GetBuffer(10), nullptr);
  EXPECT_EQ(b.ToString(), "wxyz");
  EXPECT_FALSE(b.Unlock());  // a substance does not stay locked
  EXPECT_TRUE(b.IsFree());
  EXPECT_TRUE(b.Append('!'));
  EXPECT_EQ(b.ToString(), "wxyz!");
  EXPECT_EQ(b.LockBuffer(), b.GetData());
  EXPECT_TRUE(b.IsLocked());

  CBinary filled(0x1241, 3);  // low 8 bits
  EXPECT_TRUE(filled.IsLocked());
  EXPECT_EQ(filled.ToString(), "AAA");
  CBinary zeros(nullptr, 2);  // no source: zero bytes
  EXPECT_EQ(Bytes(zeros), (V{0, 0}));
  CBinary bad(nullptr, -3);
  EXPECT_EQ(bad.GetLength(), 0);
}

TEST(CBinary, FocusViewsShareTheOwnersBytes) {
  CBinary b;
  b.Assign("0123456789", 10);
  CBinary v = b.Focus(2);
  EXPECT_TRUE(v.IsVirtual());
  EXPECT_FALSE(v.IsBounded());
  EXPECT_FALSE(v.IsLocked());
  EXPECT_EQ(v.GetFocusOffset(), 2);
  EXPECT_EQ(v.GetLength(), 8);
  EXPECT_EQ(v.GetData(), b.GetData() + 2);

  CBinary w = v.Focus(3);  // bytes 2..4, bounded and locked for life
  EXPECT_EQ(w.ToString(), "234");
  EXPECT_TRUE(w.IsBounded());
  EXPECT_TRUE(w.IsLocked());
  EXPECT_TRUE(w.Unlock());
  EXPECT_TRUE(w.IsLocked());
  EXPECT_EQ(v.Focus(100).GetLength(), 8);  // clipped to what the view has

  CBinary x = w.Focus(5);  // start moves on to 7, the bound is dropped
  EXPECT_EQ(x.GetFocusOffset(), 7);
  EXPECT_FALSE(x.IsBounded());
  EXPECT_EQ(x.ToString(), "789");

  // Writes through a view reach the owner; reads out of range give 0 and writes are ignored.
  EXPECT_TRUE(w.SetAt(0, 'X'));
  EXPECT_FALSE(w.SetAt(3, 'Y'));
  EXPECT_FALSE(w.SetAt(-1, 'Y'));
  EXPECT_EQ(b.ToString(), "01X3456789");
  EXPECT_EQ(w.GetAt(3), 0);
  EXPECT_EQ(w.GetAt(-1), 0);
  EXPECT_EQ(w.GetFirstByte(), 'X');

  // Positioned at or beyond the end: no data, nothing to read.
  for (int at : {10, 50}) {
    CBinary end = b.Focus(at);
    EXPECT_EQ(end.GetData(), nullptr);
    EXPECT_EQ(end.GetLength(), 0);
    EXPECT_EQ(end.GetFirstByte(), 0);
    EXPECT_EQ(end.Focus(4).GetLength(), 0);
  }
  // A focus running past the end is cut at the end; a negative Focus counts as 0.
  CBinary y = b.Focus(0);
  y.SetFocus(8, 100);
  EXPECT_EQ(y.GetLength(), 2);
  EXPECT_EQ(b.Focus(-4).GetFocusOffset(), 0);

  // A copy of a view is an unlocked substance of the effective range.
  CBinary copy(w);
  EXPECT_FALSE(copy.IsVirtual());
  EXPECT_FALSE(copy.IsLocked());
  EXPECT_EQ(copy.ToString(), "X34");
  EXPECT_NE(copy.GetData(), w.GetData());
}

TEST(CBinary, ResizingThroughAViewReplacesTheOwnersBlock) {
  CBinary b;
  b.Assign("abcdef", 6);
  {
    CBinary u = b.Focus(2);
    CBinary v = b.Focus(4);
    ASSERT_TRUE(v.SetFocusedLength(5));  // block becomes 4 + 5 bytes
    EXPECT_EQ(b.GetLength(), 9);
    ASSERT_TRUE(v.Append("Z", 1));
    EXPECT_EQ(Bytes(b), (V{'a', 'b', 'c', 'd', 'e', 'f', 0, 0, 0, 'Z'}));
    EXPECT_EQ(u.GetData(), b.GetData() + 2);  // another view follows the new block
    EXPECT_EQ(u.GetLength(), 8);
    ASSERT_TRUE(v.Assign("xy", 2));
    EXPECT_EQ(b.ToString(), "abcdxy");
  }  // the view's end frees nothing: b still owns its block (ASan would object otherwise)
  EXPECT_EQ(b.ToString(), "abcdxy");

  CBinary v = b.Focus(1);
  b.Lock();  // a locked owner cannot be resized through a view either
  EXPECT_FALSE(v.SetFocusedLength(1));
  EXPECT_EQ(b.GetLength(), 6);
  EXPECT_FALSE(v.DeleteLeft(1));
}

TEST(CBinary, AssignIntoLockedBuffersOverwritesInPlace) {
  CBinary b("....", 4);
  ASSERT_TRUE(b.Assign(Free("0123456789")));
  EXPECT_EQ(b.ToString(), "0123");
  ASSERT_TRUE(b.Assign("ab", 2));
  EXPECT_EQ(b.ToString(), "ab23");
  ASSERT_TRUE(b.AssignFill('z', 3));
  EXPECT_EQ(b.ToString(), "zzz3");
  b = 0x2178;  // one byte, the low 8 bits
  EXPECT_EQ(b.ToString(), "xzz3");

  CBinary empty;
  empty.Lock();
  EXPECT_FALSE(empty.Assign("ab", 2));  // locked without data: nowhere to write
  EXPECT_FALSE(empty.AssignFill(1, 1));

  // A bounded view is locked: it takes what fits.
  CBinary owner = Free("abcdef");
  CBinary window = owner.Focus(0).Focus(2);
  window = Free("XYZ");
  EXPECT_EQ(owner.ToString(), "XYcdef");
}

TEST(CBinary, AssignAndIntegerSlots) {
  CBinary b = Free("hello");
  EXPECT_FALSE(b.Assign(nullptr, 3));  // a bad source changes nothing
  EXPECT_FALSE(b.Assign("x", -1));
  EXPECT_EQ(b.ToString(), "hello");

  b = static_cast<signed char>(-1);
  EXPECT_EQ(Bytes(b), V{0xFF});
  b = static_cast<unsigned short>(0xABCD);
  EXPECT_EQ(Bytes(b), V{0xCD});
  b = 0x12345678UL;
  EXPECT_EQ(Bytes(b), V{0x78});
  b = -2L;
  EXPECT_EQ(Bytes(b), V{0xFE});
  b += static_cast<short>(0x141);
  b += 0x100u;
  b += static_cast<unsigned char>('c');
  b += -1;
  EXPECT_EQ(Bytes(b), (V{0xFE, 0x41, 0x00, 'c', 0xFF}));

  // Assigning from inside the same block.
  CBinary s = Free("0123456789");
  s = s.Focus(6);
  EXPECT_EQ(s.ToString(), "6789");
  CBinary& alias = s;
  s = alias;
  EXPECT_EQ(s.ToString(), "6789");
  ASSERT_NE(s.SetData(s.GetData() + 1, 3), nullptr);
  EXPECT_EQ(s.ToString(), "789");
  ASSERT_NE(s.SetData(nullptr, 5), nullptr);  // only resizes
  EXPECT_EQ(Bytes(s), (V{'7', '8', '9', 0, 0}));
  EXPECT_EQ(s.SetData("x", -1), nullptr);
}

TEST(CBinary, AppendForms) {
  CBinary b;
  ASSERT_TRUE(b.Append('a'));
  ASSERT_TRUE(b.Append("bc", 2));
  ASSERT_TRUE(b.Append(Free("d")));
  ASSERT_TRUE(b.Append(nullptr, 0));
  EXPECT_FALSE(b.Append(nullptr, 2));
  EXPECT_FALSE(b.Append("x", -2));
  EXPECT_EQ(b.ToString(), "abcd");
  b += b;  // the source is the block being replaced
  EXPECT_EQ(b.ToString(), "abcdabcd");
  ASSERT_TRUE(b.Append(b.Focus(6)));
  EXPECT_EQ(b.ToString(), "abcdabcdcd");
  // Assigning a buffer to itself keeps its bytes (the copy reads the block it replaces).
  CBinary& same = b;
  b = same;
  EXPECT_EQ(b.ToString(), "abcdabcdcd");
}

TEST(CBinary, CompareReadsAnExhaustedSideAsZero) {
  CBinary abNul;
  abNul.Assign("ab\0", 3);
  EXPECT_EQ(abNul.Compare("ab", 2), 0);
  EXPECT_EQ(abNul.Compare(Free("ab")), 0);
  EXPECT_EQ(abNul.Compare("", 0), 0);  // an empty block compares equal
  EXPECT_EQ(abNul.Compare("zz", -1), 0);

  CBinary abc = Free("abc");
  EXPECT_GT(abc.Compare("ab", 2), 0);
  EXPECT_LT(Free("ab").Compare(abc), 0);
  EXPECT_EQ(abc.Compare(Free("abd"), 2), 0);  // limited to two positions
  EXPECT_EQ(abc.Compare(Free("abd")), 'c' - 'd');
  EXPECT_EQ(abc.Compare(CBinary()), 'a');
  EXPECT_GT(Free("\xF0").Compare(Free("\x10")), 0);  // unsigned bytes
  EXPECT_GT(abc.Compare(nullptr, 3), 0);             // null memory reads as zero bytes
  EXPECT_EQ(abc.CompareMemory("abc", -4, nullptr, 0, 0), 0);
}

TEST(CBinary, FindReverseFindAndCount) {
  CBinary b = Free("xabcabcaaa");
  EXPECT_EQ(b.Find('a'), 1);
  EXPECT_EQ(b.ReverseFind('a'), 9);
  EXPECT_EQ(b.Find('q'), -1);
  EXPECT_EQ(b.Count('a'), 5);
  EXPECT_EQ(b.Find("abc", 3), 1);
  EXPECT_EQ(b.ReverseFind(Free("abc")), 4);
  EXPECT_EQ(b.Count("abc", 3), 2);
  EXPECT_EQ(b.Count("aa", 2), 2);  // overlapping
  EXPECT_EQ(b.Find("aaaa", 4), -1);
  EXPECT_EQ(b.Find("", 0), -1);
  EXPECT_EQ(b.ReverseFind(CBinary()), -1);
  EXPECT_EQ(b.Count("", 0), 0);
  EXPECT_EQ(b.Find(nullptr, 2), -1);
  EXPECT_EQ(b.Count(nullptr, 2), 0);
  EXPECT_EQ(Free("aaa").Count("aa", 2), 2);
  EXPECT_EQ(Free("ab").Find("b\0", 2), -1);

  // Positions are relative to the view's range, which also bounds the search.
  CBinary v = b.Focus(4).Focus(4);  // "abca"
  EXPECT_EQ(v.Find('a'), 0);
  EXPECT_EQ(v.ReverseFind('a'), 3);
  EXPECT_EQ(v.Count('a'), 2);
  EXPECT_EQ(v.Find("aa", 2), -1);
}

TEST(CBinary, SlicingClampsItsArguments) {
  const CBinary b = Free("abcdef");
  EXPECT_EQ(b.Left(2).ToString(), "ab");
  EXPECT_EQ(b.Left(99).ToString(), "abcdef");
  EXPECT_TRUE(b.Left(-1).IsEmpty());
  EXPECT_EQ(b.Right(2).ToString(), "ef");
  EXPECT_EQ(b.Right(6).ToString(), "abcdef");
  EXPECT_TRUE(b.Right(-3).IsEmpty());
  EXPECT_EQ(b.Mid(4).ToString(), "ef");
  EXPECT_TRUE(b.Mid(6).IsEmpty());
  EXPECT_EQ(b.Mid(-2).ToString(), "abcdef");
  EXPECT_EQ(b.Mid(1, 2).ToString(), "bc");
  EXPECT_EQ(b.Mid(4, 100).ToString(), "ef");
  EXPECT_TRUE(b.Mid(1, -1).IsEmpty());
  EXPECT_TRUE(b.Mid(100, 1).IsEmpty());
  CBinary mid = b.Focus(2).Mid(1, 2);  // of a view: a substance of its range
  EXPECT_FALSE(mid.IsVirtual());
  EXPECT_FALSE(mid.IsLocked());
  EXPECT_EQ(mid.ToString(), "de");

  CBinary d = Free("abcdef");
  ASSERT_TRUE(d.DeleteLeft(2));
  EXPECT_EQ(d.ToString(), "cdef");
  ASSERT_TRUE(d.DeleteRight(1));
  EXPECT_EQ(d.ToString(), "cde");
  ASSERT_TRUE(d.DeleteLeft(-1));
  EXPECT_EQ(d.ToString(), "cde");
  CBinary view = d.Focus(1);
  EXPECT_FALSE(view.DeleteRight(1));
  EXPECT_EQ(d.ToString(), "cde");
  ASSERT_TRUE(d.DeleteRight(3));
  EXPECT_TRUE(d.IsEmpty());
  d.AssignString("xy");
  ASSERT_TRUE(d.DeleteLeft(5));
  EXPECT_EQ(d.GetData(), nullptr);
}

TEST(CBinary, Strings) {
  CBinary b;
  ASSERT_TRUE(b.AssignString("abc"));
  EXPECT_EQ(b.GetLength(), 3);
  b.Assign("ab\0c", 4);
  std::string s = "old";
  EXPECT_TRUE(b.GetString(s));
  EXPECT_EQ(s, "ab");
  ASSERT_TRUE(b.AssignString("表示"));  // Shift_JIS bytes, no terminating NUL
  EXPECT_EQ(b.GetLength(), 4);
  EXPECT_EQ(b.ToString(), "表示");
  ASSERT_TRUE(b.AssignString(""));
  EXPECT_EQ(b.GetData(), nullptr);
  EXPECT_TRUE(b.GetString(s));
  EXPECT_EQ(s, "");

  CBinary locked("1234", 4);
  EXPECT_TRUE(locked.AssignString("ab"));
  EXPECT_EQ(locked.ToString(), "ab34");
  EXPECT_FALSE(locked.AssignString(""));  // a locked buffer cannot be cleared
  EXPECT_EQ(locked.ToString(), "ab34");
}

TEST(CBinary, DumpShowsTheWholeBlockInRows) {
  CBinary b;
  b.GetBufferSetLength(20);
  for (int i = 0; i < 20; ++i) b.SetAt(i, static_cast<unsigned char>(i == 0 ? 'A' : 0x78 + i));
  b.Lock();
  CBinary v = b.Focus(0).Focus(20);

  const unsigned char* p = b.GetData();
  char header[160];
  std::snprintf(header, sizeof header, "buff = %p, length = %d, Locked, focus[0][20], virtual\n\n",
                static_cast<const void*>(p), 20);
  char row1[160], row2[160];
  std::snprintf(
      row1, sizeof row1,
      "%08X  00000000  41 79 7A 7B 7C 7D 7E 7F  80 81 82 83 84 85 86 87  Ayz{|}~\x7F\xA5\xA5\xA5\xA5"
      "\xA5\xA5\xA5\xA5\n",
      static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p) & 0xFFFFFFFFu));
  std::snprintf(row2, sizeof row2,
                "%08X  00000010  88 89 8A 8B 00 00 00 00  00 00 00 00 00 00 00 00  "
                "\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\n",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p + 16) & 0xFFFFFFFFu));
  EXPECT_EQ(v.DumpText("見出し"), std::string("見出し\n\n") + header + row1 + row2);

  CBinary empty;
  std::snprintf(header, sizeof header, "buff = %p, length = 0, Free, focus[-1][-1], substance\n\n",
                static_cast<const void*>(nullptr));
  EXPECT_EQ(empty.DumpText(nullptr), std::string("\n\n") + header);

  char text[17];
  const unsigned char row[16] = {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 'a'};
  b.MakePrintable(text, row);
  EXPECT_EQ(std::string(text, 17), std::string("\xA5 ~\x7F\xA5\xA5"
                                               "a\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5\xA5") +
                                       '\0');
}

// Fails every allocation after the first `budget` ones.
int g_budget = 0;
unsigned char* FailingAllocator(std::size_t n) {
  if (g_budget-- <= 0) throw std::bad_alloc();
  return new unsigned char[n];
}

TEST(CBinary, AllocationFailureLeavesTheBufferUnchanged) {
  CBinary b = Free("abc");
  unsigned char* before = b.GetData();
  g_budget = 0;
  CBinary::Allocator previous = CBinary::SetAllocator(FailingAllocator);
  EXPECT_FALSE(b.SetLength(10));
  EXPECT_FALSE(b.Append("d", 1));
  EXPECT_FALSE(b.Assign("xyzw", 4));
  EXPECT_EQ(b.SetData("q", 1), nullptr);
  EXPECT_FALSE(b.DeleteLeft(1));
  EXPECT_EQ(b.GetData(), before);
  EXPECT_EQ(b.ToString(), "abc");
  EXPECT_TRUE(b.Left(2).IsEmpty());  // a copy that cannot be made is empty
  EXPECT_TRUE(b.Assign("xyz", 3));   // same size: in place, no allocation
  EXPECT_EQ(b.ToString(), "xyz");
  CBinary::SetAllocator(previous);
  EXPECT_TRUE(b.SetLength(10));
}

}  // namespace
