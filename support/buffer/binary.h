// CBinary: a growable block of raw bytes, and focus views onto a range of another CBinary.
//
// A buffer that owns its block is a "substance" (owner == itself). Focus() hands out a "view"
// that shares the block of the buffer it looks at: reading and writing through a view reach the
// owner's bytes, resizing through a view replaces the owner's block, and a view never frees the
// block. A view is valid only while its owner lives.
//
// Lengths are 32-bit signed byte counts. The block is always exactly `length` bytes: every length
// change allocates a new block, copies the kept bytes and zero-fills the added tail.
//
// A locked buffer keeps its length: resizing, appending and deleting are refused, and Assign
// overwrites the bytes it has in place. A bounded view (one with a focus length) is locked for
// life.
//
// Nothing throws. Refusals (locked, a bad argument, allocation failure) return false or null and
// leave the buffer unchanged; positions out of range read as 0 and writes to them are ignored.
#pragma once

#include <cstddef>
#include <string>

static_assert(sizeof(int) == 4, "CBinary lengths are 32-bit");

class CBinary {
 public:
  CBinary();
  // A locked buffer of `count` bytes copied from `source`, or of `count` zero bytes when
  // `source` is null. A negative count gives a locked empty buffer.
  CBinary(const void* source, int count);
  // A locked buffer of `count` bytes, each the low 8 bits of `byte`.
  CBinary(int byte, int count);
  // An unlocked substance holding a copy of the other buffer's effective range (empty when the
  // copy cannot be allocated).
  CBinary(const CBinary& other);
  virtual ~CBinary();

  // Sets the empty state. A block owned by this buffer is released first, so nothing leaks.
  virtual void Reset();
  // Releases the block (a view never frees its owner's block) and sets the empty state.
  virtual void Free();
  // Resizes the whole block to exactly n bytes: kept bytes are copied, the added tail is zero,
  // n == 0 frees it. Through a view this replaces the owner's block. Refused while this buffer or
  // its owner is locked, for a negative n, or when the allocation fails.
  virtual bool SetLength(int n);
  // Resizes so that the effective range holds `count` bytes and copies them from `source`
  // (which may lie inside this very block). A null source only resizes. Returns the effective
  // data, or null when refused.
  virtual unsigned char* SetData(const void* source, int count);
  // A view: focusOffset != -1.
  virtual bool IsVirtual() const;
  // A view with a focus length (focusLength != -1).
  virtual bool IsBounded() const;
  // Sets the focus directly. An offset below -1 counts as -1 (no focus); a length below -1 counts
  // as 0. A length other than -1 locks.
  virtual void SetFocus(int offset, int length);
  // The start of the effective range: the block for a substance, block + focusOffset for a view,
  // null for a view at or beyond the end of the block.
  virtual unsigned char* GetData() const;
  // The number of effective bytes; a bounded view never reaches past the end of the block.
  virtual int GetLength() const;
  // focusOffset for a view, 0 for a substance.
  virtual int GetFocusOffset() const;
  // True when the whole block is empty.
  virtual bool IsEmpty() const;
  // SetLength(0).
  virtual bool Clear();
  virtual bool IsLocked() const;
  virtual bool IsFree() const;
  virtual void Lock();
  // Clears the lock unless this is a bounded view; returns true when the buffer stays locked.
  virtual bool Unlock();
  virtual unsigned char* LockBuffer();
  virtual bool UnlockBuffer();
  // The effective byte at i, or 0 when i is out of range.
  virtual unsigned char GetAt(int i) const;
  // Stores the byte at effective position i; false (nothing stored) when i is out of range.
  virtual bool SetAt(int i, unsigned char byte);
  // A view of this buffer's storage:
  //  - on a substance: from offset n to the end, unbounded, locked as this buffer is;
  //  - on an unbounded view at offset o: min(n, the bytes available from o), bounded and locked;
  //  - on a bounded view at offset o: from o + n to the end, unbounded, locked as the owner is.
  // A negative n counts as 0.
  virtual CBinary Focus(int n) const;
  explicit virtual operator unsigned char*() const;
  // The first effective byte, 0 when there is none.
  virtual unsigned char GetFirstByte() const;
  explicit virtual operator int() const;
  // Resizes so that the effective range holds n bytes (the block becomes n + GetFocusOffset()).
  virtual bool SetFocusedLength(int n);
  // SetFocusedLength(n), then GetData(); null when refused.
  virtual unsigned char* GetBufferSetLength(int n);
  // Grows to `minimum` effective bytes when shorter, then GetData(); null when growing is refused.
  virtual unsigned char* GetBuffer(int minimum);

  // Assignment. A locked buffer must have data; it keeps its length and takes the first
  // min(GetLength(), source length) bytes in place. An unlocked one becomes a copy of the source.
  // A non-empty source without data (a null pointer, a negative count) is refused.
  virtual bool Assign(const void* source, int count);
  virtual bool Assign(const CBinary& source);
  virtual bool AssignFill(int byte, int count);

  // Appending (refused while locked or for a bad source); the source may lie in this very block.
  virtual bool Append(unsigned char byte);
  virtual bool Append(const void* source, int count);
  virtual bool Append(const CBinary& source);

  // One byte, the low 8 bits of the value, assigned through AssignFill(value, 1).
  virtual CBinary& operator=(signed char value);
  virtual CBinary& operator=(unsigned char value);
  virtual CBinary& operator=(short value);
  virtual CBinary& operator=(unsigned short value);
  virtual CBinary& operator=(int value);
  virtual CBinary& operator=(unsigned int value);
  virtual CBinary& operator=(long value);
  virtual CBinary& operator=(unsigned long value);
  virtual CBinary& operator=(const CBinary& source);

  // One byte, the low 8 bits of the value, appended.
  virtual CBinary& operator+=(signed char value);
  virtual CBinary& operator+=(unsigned char value);
  virtual CBinary& operator+=(short value);
  virtual CBinary& operator+=(unsigned short value);
  virtual CBinary& operator+=(int value);
  virtual CBinary& operator+=(unsigned int value);
  virtual CBinary& operator+=(long value);
  virtual CBinary& operator+=(unsigned long value);
  virtual CBinary& operator+=(const CBinary& source);

  // Compares unsigned bytes; a side past its count reads as 0. Stops at the first difference,
  // when either side is exhausted, or after maxCount positions when maxCount > 0 (otherwise after
  // min(firstCount, secondCount) + 1 positions). Returns first - second of the last bytes read.
  // A null pointer reads as `count` zero bytes; a negative count counts as 0.
  virtual int CompareMemory(const void* first, int firstCount, const void* second, int secondCount,
                            int maxCount) const;
  // Against `count` bytes of memory without a limit; 0 when count <= 0.
  virtual int Compare(const void* memory, int count) const;
  virtual int Compare(const CBinary& other, int maxCount = 0) const;

  // Positions within the effective range, -1 when absent. An empty or null pattern is never found.
  virtual int Find(unsigned char byte) const;
  virtual int Find(const CBinary& pattern) const;
  virtual int Find(const void* pattern, int count) const;
  virtual int ReverseFind(unsigned char byte) const;
  virtual int ReverseFind(const CBinary& pattern) const;
  virtual int ReverseFind(const void* pattern, int count) const;
  // Occurrences, overlapping ones included; 0 for an empty pattern.
  virtual int Count(unsigned char byte) const;
  virtual int Count(const CBinary& pattern) const;
  virtual int Count(const void* pattern, int count) const;

  // Remove the first / last n bytes in place; n >= GetLength() clears. Refused (false) on a view
  // or a locked buffer; a negative n removes nothing.
  virtual bool DeleteLeft(int n);
  virtual bool DeleteRight(int n);
  // Copies (unlocked substances). Left/Right of n >= GetLength() copy everything, a negative n
  // nothing; Mid from an offset at or past the end is empty, a negative offset counts as 0 and a
  // negative count gives an empty copy.
  virtual CBinary Left(int n) const;
  virtual CBinary Right(int n) const;
  virtual CBinary Mid(int offset) const;
  virtual CBinary Mid(int offset, int count) const;

  // The effective bytes as text, cut at the first NUL.
  virtual std::string ToString() const;
  virtual bool GetString(std::string& out) const;
  // The buffer becomes the string's bytes (no terminating NUL); an empty string clears it.
  // False when refused (see Assign and Clear).
  virtual bool AssignString(const std::string& text);

  // Writes the 16 bytes of `row` to `output` (17 bytes) as text: bytes below 0x20 or from 0x80
  // up become 0xA5; then a NUL.
  virtual void MakePrintable(char* output, const unsigned char* row) const;
  // Shows DumpText(title) for diagnosis: a message box captioned "CBinary dumping" on Windows,
  // standard error elsewhere.
  virtual void Dump(const char* title) const;
  // The hexadecimal dump: a header with the block address, length, lock, focus and kind, then
  // one row per 16 bytes of the whole block (the last row padded with zero bytes).
  std::string DumpText(const char* title) const;

  // The allocator behind every block. It must return a block from new[] or throw
  // std::bad_alloc. Returns the previous one; null restores the default. For tests.
  using Allocator = unsigned char* (*)(std::size_t);
  static Allocator SetAllocator(Allocator allocator);

 private:
  struct ViewTag {};
  CBinary(ViewTag, CBinary* viewOwner, int offset, int focus, bool lock);

  // The block actually shared: the owner's (a view's own copies go stale when the owner is
  // resized through another view).
  unsigned char* BlockData() const { return owner->data; }
  int BlockLength() const { return owner->length; }
  bool OwnsBlock() const { return owner == this; }
  // Replaces the block by one of newLength bytes holding the old bytes that fit, zeros after
  // them, and then `count` bytes of `source` at `at`. The old block is freed only after the
  // copy, so the source may lie inside it.
  bool Rebuild(long long newLength, long long at, const unsigned char* source, int count);
  int FindIn(const unsigned char* pattern, int count, bool reverse) const;

  unsigned char* data = nullptr;
  int length = 0;
  int locked = 0;
  int focusOffset = -1;
  int focusLength = -1;
  CBinary* owner = this;
};
