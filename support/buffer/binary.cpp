#include "support/buffer/binary.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

unsigned char* DefaultAllocate(std::size_t n) {
  return new unsigned char[n];
}

CBinary::Allocator g_allocate = DefaultAllocate;

// Reads byte i of a side of a comparison: past its count, or from a null pointer, it is 0.
inline unsigned ByteAt(const unsigned char* p, int count, int i) {
  return (p != nullptr && i < count) ? p[i] : 0u;
}

}  // namespace

CBinary::Allocator CBinary::SetAllocator(Allocator allocator) {
  Allocator previous = g_allocate;
  g_allocate = allocator != nullptr ? allocator : DefaultAllocate;
  return previous;
}

// ---------------------------------------------------------------- construction

CBinary::CBinary() = default;

// The constructors size the block with Rebuild, not with the virtual setters: a buffer under
// construction is a fresh owner without a focus, whatever class it will end up as.
CBinary::CBinary(const void* source, int count) {
  if (count >= 0) {
    const bool copy = source != nullptr && count > 0;
    Rebuild(count, 0, copy ? static_cast<const unsigned char*>(source) : nullptr, copy ? count : 0);
  }
  locked = 1;
}

CBinary::CBinary(int byte, int count) {
  if (count > 0 && Rebuild(count, 0, nullptr, 0)) {
    std::memset(data, static_cast<unsigned char>(byte), static_cast<std::size_t>(count));
  }
  locked = 1;
}

CBinary::CBinary(const CBinary& other) {
  const int n = other.GetLength();
  const unsigned char* source = other.GetData();
  if (n > 0 && source != nullptr) Rebuild(n, 0, source, n);
}

CBinary::CBinary(ViewTag, CBinary* viewOwner, int offset, int focus, bool lock)
    : data(viewOwner->data),
      length(viewOwner->length),
      locked(lock ? 1 : 0),
      focusOffset(offset),
      focusLength(focus),
      owner(viewOwner) {}

CBinary::~CBinary() {
  if (data != nullptr && OwnsBlock()) delete[] data;
}

void CBinary::Reset() {
  // Only an owning buffer may free; a view's block belongs to its owner.
  if (data != nullptr && OwnsBlock()) delete[] data;
  data = nullptr;
  length = 0;
  locked = 0;
  focusOffset = -1;
  focusLength = -1;
  owner = this;
}

void CBinary::Free() {
  Reset();
}

// ---------------------------------------------------------------- size and storage

bool CBinary::Rebuild(long long newLength, long long at, const unsigned char* source, int count) {
  if (locked || owner->locked) return false;
  if (newLength < 0 || newLength > INT_MAX || at < 0 || count < 0 || at + count > newLength) return false;
  unsigned char* const old = BlockData();
  const int oldLength = BlockLength();
  const int n = static_cast<int>(newLength);

  if (n == oldLength) {
    // Same size: the block stays and the source is moved in place (it may overlap).
    if (source != nullptr && count > 0) std::memmove(old + at, source, static_cast<std::size_t>(count));
    data = owner->data;
    length = owner->length;
    return true;
  }

  unsigned char* block = nullptr;
  if (n > 0) {
    try {
      block = g_allocate(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (block == nullptr) return false;
    const int kept = std::min(oldLength, n);
    if (kept > 0) std::memcpy(block, old, static_cast<std::size_t>(kept));
    if (n > kept) std::memset(block + kept, 0, static_cast<std::size_t>(n - kept));
    // The old block is still alive here, so a source inside it is read intact.
    if (source != nullptr && count > 0) std::memcpy(block + at, source, static_cast<std::size_t>(count));
  }
  delete[] old;
  owner->data = block;
  owner->length = n;
  data = block;
  length = n;
  return true;
}

bool CBinary::SetLength(int n) {
  return Rebuild(n, 0, nullptr, 0);
}

bool CBinary::SetFocusedLength(int n) {
  if (n < 0) return false;
  return Rebuild(static_cast<long long>(n) + GetFocusOffset(), 0, nullptr, 0);
}

bool CBinary::Clear() {
  return SetLength(0);
}

unsigned char* CBinary::SetData(const void* source, int count) {
  if (count < 0) return nullptr;
  const long long at = GetFocusOffset();
  if (!Rebuild(at + count, at, static_cast<const unsigned char*>(source), count)) return nullptr;
  return GetData();
}

unsigned char* CBinary::GetBufferSetLength(int n) {
  return SetFocusedLength(n) ? GetData() : nullptr;
}

unsigned char* CBinary::GetBuffer(int minimum) {
  if (minimum > 0 && GetLength() < minimum) return GetBufferSetLength(minimum);
  return GetData();
}

// ---------------------------------------------------------------- state and effective range

bool CBinary::IsVirtual() const {
  return focusOffset != -1;
}

bool CBinary::IsBounded() const {
  return focusLength != -1;
}

void CBinary::SetFocus(int offset, int focus) {
  focusOffset = offset < -1 ? -1 : offset;
  focusLength = focus < -1 ? 0 : focus;
  if (focusLength != -1) locked = 1;
}

unsigned char* CBinary::GetData() const {
  if (!IsVirtual()) return BlockData();
  if (focusOffset >= BlockLength() || BlockData() == nullptr) return nullptr;
  return BlockData() + focusOffset;
}

int CBinary::GetLength() const {
  if (!IsVirtual()) return BlockLength();
  const int available = BlockLength() - focusOffset;
  if (available <= 0) return 0;
  // A focus length reaching past the end (or a stale one after the owner shrank) is cut there.
  return focusLength == -1 ? available : std::min(focusLength, available);
}

int CBinary::GetFocusOffset() const {
  return IsVirtual() ? focusOffset : 0;
}

bool CBinary::IsEmpty() const {
  return BlockLength() == 0;
}

bool CBinary::IsLocked() const {
  return locked != 0;
}

bool CBinary::IsFree() const {
  return locked == 0;
}

void CBinary::Lock() {
  locked = 1;
}

bool CBinary::Unlock() {
  if (IsVirtual() && IsBounded()) return true;
  locked = 0;
  return false;
}

unsigned char* CBinary::LockBuffer() {
  Lock();
  return GetData();
}

bool CBinary::UnlockBuffer() {
  return Unlock();
}

unsigned char CBinary::GetAt(int i) const {
  if (i < 0 || i >= GetLength()) return 0;
  return GetData()[i];
}

bool CBinary::SetAt(int i, unsigned char byte) {
  if (i < 0 || i >= GetLength()) return false;
  GetData()[i] = byte;
  return true;
}

unsigned char CBinary::GetFirstByte() const {
  return GetAt(0);
}

CBinary::operator unsigned char*() const {
  return GetData();
}

CBinary::operator int() const {
  return GetLength();
}

CBinary CBinary::Focus(int n) const {
  if (n < 0) n = 0;
  CBinary* const self = const_cast<CBinary*>(this);
  if (!IsVirtual()) return CBinary(ViewTag{}, self, n, -1, IsLocked());
  if (!IsBounded()) {
    const int available = std::max(0, BlockLength() - focusOffset);
    return CBinary(ViewTag{}, owner, focusOffset, std::min(n, available), true);
  }
  const long long start = std::min<long long>(static_cast<long long>(focusOffset) + n, INT_MAX);
  return CBinary(ViewTag{}, owner, static_cast<int>(start), -1, owner->IsLocked());
}

// ---------------------------------------------------------------- assignment and appending

bool CBinary::Assign(const CBinary& source) {
  const int n = source.GetLength();
  const unsigned char* from = source.GetData();
  if (n > 0 && from == nullptr) return false;
  if (IsLocked()) {
    unsigned char* to = GetData();
    if (to == nullptr) return false;
    const int copied = std::min(GetLength(), n);
    if (copied > 0) std::memmove(to, from, static_cast<std::size_t>(copied));
    return true;
  }
  const long long at = GetFocusOffset();
  return Rebuild(at + n, at, from, n);
}

bool CBinary::Assign(const void* source, int count) {
  if (count < 0 || (count > 0 && source == nullptr)) return false;
  if (IsLocked()) {
    // In place: no temporary copy is needed, and memmove copes with a source inside the block.
    unsigned char* to = GetData();
    if (to == nullptr) return false;
    const int copied = std::min(GetLength(), count);
    if (copied > 0) std::memmove(to, source, static_cast<std::size_t>(copied));
    return true;
  }
  const long long at = GetFocusOffset();
  return Rebuild(at + count, at, static_cast<const unsigned char*>(source), count);
}

bool CBinary::AssignFill(int byte, int count) {
  if (count < 0) return false;
  const auto fill = static_cast<unsigned char>(byte);
  // The same result as assigning a filled temporary, without allocating one.
  if (IsLocked()) {
    unsigned char* to = GetData();
    if (to == nullptr) return false;
    const int filled = std::min(GetLength(), count);
    if (filled > 0) std::memset(to, fill, static_cast<std::size_t>(filled));
    return true;
  }
  const long long at = GetFocusOffset();
  if (!Rebuild(at + count, at, nullptr, 0)) return false;
  if (count > 0) std::memset(GetData(), fill, static_cast<std::size_t>(count));
  return true;
}

bool CBinary::Append(const CBinary& source) {
  return Append(source.GetData(), source.GetLength());
}

bool CBinary::Append(const void* source, int count) {
  if (count < 0 || (count > 0 && source == nullptr)) return false;
  if (IsLocked()) return false;
  const long long at = static_cast<long long>(GetFocusOffset()) + GetLength();
  return Rebuild(at + count, at, static_cast<const unsigned char*>(source), count);
}

bool CBinary::Append(unsigned char byte) {
  return Append(&byte, 1);
}

CBinary& CBinary::operator=(signed char value) {
  AssignFill(value, 1);
  return *this;
}
CBinary& CBinary::operator=(unsigned char value) {
  AssignFill(value, 1);
  return *this;
}
CBinary& CBinary::operator=(short value) {
  AssignFill(value, 1);
  return *this;
}
CBinary& CBinary::operator=(unsigned short value) {
  AssignFill(value, 1);
  return *this;
}
CBinary& CBinary::operator=(int value) {
  AssignFill(value, 1);
  return *this;
}
CBinary& CBinary::operator=(unsigned int value) {
  AssignFill(static_cast<int>(value & 0xFFu), 1);
  return *this;
}
CBinary& CBinary::operator=(long value) {
  AssignFill(static_cast<int>(value & 0xFF), 1);
  return *this;
}
CBinary& CBinary::operator=(unsigned long value) {
  AssignFill(static_cast<int>(value & 0xFFu), 1);
  return *this;
}

// Assign copies through a new block (or memmove in place), so assigning a buffer to itself keeps
// its bytes (tested).
CBinary& CBinary::operator=(const CBinary& source) {  // NOLINT(bugprone-unhandled-self-assignment)
  Assign(source);
  return *this;
}

CBinary& CBinary::operator+=(signed char value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}
CBinary& CBinary::operator+=(unsigned char value) {
  Append(value);
  return *this;
}
CBinary& CBinary::operator+=(short value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}
CBinary& CBinary::operator+=(unsigned short value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}
CBinary& CBinary::operator+=(int value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}
CBinary& CBinary::operator+=(unsigned int value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}
CBinary& CBinary::operator+=(long value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}
CBinary& CBinary::operator+=(unsigned long value) {
  Append(static_cast<unsigned char>(value));
  return *this;
}

CBinary& CBinary::operator+=(const CBinary& source) {
  Append(source);
  return *this;
}

// ---------------------------------------------------------------- comparison and search

int CBinary::CompareMemory(const void* first, int firstCount, const void* second, int secondCount,
                           int maxCount) const {
  const auto* a = static_cast<const unsigned char*>(first);
  const auto* b = static_cast<const unsigned char*>(second);
  firstCount = std::max(firstCount, 0);
  secondCount = std::max(secondCount, 0);
  const long long limit =
      maxCount > 0 ? maxCount : static_cast<long long>(std::min(firstCount, secondCount)) + 1;
  for (int i = 0; i < limit; ++i) {
    const int x = static_cast<int>(ByteAt(a, firstCount, i));
    const int y = static_cast<int>(ByteAt(b, secondCount, i));
    if (x != y) return x - y;
    if (i >= firstCount || i >= secondCount) break;
  }
  return 0;
}

int CBinary::Compare(const void* memory, int count) const {
  if (count <= 0) return 0;
  return CompareMemory(GetData(), GetLength(), memory, count, 0);
}

int CBinary::Compare(const CBinary& other, int maxCount) const {
  return CompareMemory(GetData(), GetLength(), other.GetData(), other.GetLength(), maxCount);
}

int CBinary::FindIn(const unsigned char* pattern, int count, bool reverse) const {
  const int n = GetLength();
  const unsigned char* p = GetData();
  if (pattern == nullptr || count <= 0 || count > n || p == nullptr) return -1;
  const int last = n - count;
  const auto matches = [&](int at) {
    return p[at] == pattern[0] &&
           std::memcmp(p + at + 1, pattern + 1, static_cast<std::size_t>(count - 1)) == 0;
  };
  if (reverse) {
    for (int at = last; at >= 0; --at)
      if (matches(at)) return at;
  } else {
    for (int at = 0; at <= last; ++at)
      if (matches(at)) return at;
  }
  return -1;
}

int CBinary::Find(const void* pattern, int count) const {
  return FindIn(static_cast<const unsigned char*>(pattern), count, false);
}
int CBinary::Find(const CBinary& pattern) const {
  return Find(pattern.GetData(), pattern.GetLength());
}
int CBinary::Find(unsigned char byte) const {
  return Find(&byte, 1);
}

int CBinary::ReverseFind(const void* pattern, int count) const {
  return FindIn(static_cast<const unsigned char*>(pattern), count, true);
}
int CBinary::ReverseFind(const CBinary& pattern) const {
  return ReverseFind(pattern.GetData(), pattern.GetLength());
}
int CBinary::ReverseFind(unsigned char byte) const {
  return ReverseFind(&byte, 1);
}

int CBinary::Count(const void* pattern, int count) const {
  const auto* q = static_cast<const unsigned char*>(pattern);
  const int n = GetLength();
  const unsigned char* p = GetData();
  if (q == nullptr || count <= 0 || count > n || p == nullptr) return 0;
  int found = 0;
  for (int at = 0; at <= n - count; ++at) {
    if (std::memcmp(p + at, q, static_cast<std::size_t>(count)) == 0) ++found;
  }
  return found;
}
int CBinary::Count(const CBinary& pattern) const {
  return Count(pattern.GetData(), pattern.GetLength());
}
int CBinary::Count(unsigned char byte) const {
  return Count(&byte, 1);
}

// ---------------------------------------------------------------- slicing

bool CBinary::DeleteLeft(int n) {
  if (IsVirtual() || !OwnsBlock() || IsLocked()) return false;
  if (n <= 0) return true;
  const int len = GetLength();
  if (n >= len) return Clear();
  return Rebuild(len - n, 0, data + n, len - n);
}

bool CBinary::DeleteRight(int n) {
  if (IsVirtual() || !OwnsBlock() || IsLocked()) return false;
  if (n <= 0) return true;
  const int len = GetLength();
  return SetLength(n >= len ? 0 : len - n);
}

CBinary CBinary::Mid(int offset, int count) const {
  if (offset < 0) offset = 0;
  const int len = GetLength();
  if (offset >= len || count <= 0) return CBinary();
  const int n = std::min(count, len - offset);
  CBinary copy;
  copy.SetData(GetData() + offset, n);
  return copy;
}

CBinary CBinary::Mid(int offset) const {
  if (offset < 0) offset = 0;
  return Mid(offset, GetLength() - offset);
}

CBinary CBinary::Left(int n) const {
  return Mid(0, n);
}

CBinary CBinary::Right(int n) const {
  const int len = GetLength();
  if (n <= 0) return CBinary();
  return Mid(n >= len ? 0 : len - n, n);
}

// ---------------------------------------------------------------- strings

bool CBinary::GetString(std::string& out) const {
  const unsigned char* p = GetData();
  const int n = GetLength();
  if (p == nullptr || n <= 0) {
    out.clear();
    return true;
  }
  const void* nul = std::memchr(p, 0, static_cast<std::size_t>(n));
  const std::size_t used = nul != nullptr
                               ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - p)
                               : static_cast<std::size_t>(n);
  out.assign(reinterpret_cast<const char*>(p), used);
  return true;
}

std::string CBinary::ToString() const {
  std::string s;
  GetString(s);
  return s;
}

bool CBinary::AssignString(const std::string& text) {
  if (text.empty()) return Clear();
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return false;
  return Assign(text.data(), static_cast<int>(text.size()));
}

// ---------------------------------------------------------------- diagnosis

void CBinary::MakePrintable(char* output, const unsigned char* row) const {
  if (output == nullptr) return;
  for (int i = 0; i < 16; ++i) {
    const unsigned char c = row != nullptr ? row[i] : 0;
    output[i] = static_cast<char>(c < 0x20 || c >= 0x80 ? 0xA5 : c);
  }
  output[16] = '\0';
}

std::string CBinary::DumpText(const char* title) const {
  // The header shows this object's own fields; the rows show the whole shared block.
  const unsigned char* block = BlockData();
  const int blockLength = block != nullptr ? BlockLength() : 0;
  std::string text;
  char line[256];
  std::snprintf(line, sizeof line, "buff = %p, length = %d, %s, focus[%d][%d], %s\n\n",
                static_cast<const void*>(block), BlockLength(), IsLocked() ? "Locked" : "Free", focusOffset,
                focusLength, OwnsBlock() ? "substance" : "virtual");
  text.append(title != nullptr ? title : "");
  text.append("\n\n");
  text.append(line);

  for (int offset = 0; offset < blockLength; offset += 16) {
    unsigned char row[16] = {};
    std::memcpy(row, block + offset, static_cast<std::size_t>(std::min(16, blockLength - offset)));
    char printable[17];
    MakePrintable(printable, row);
    // The address column has room for 32 bits; a 64-bit build shows the low half.
    const auto address =
        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(block + offset) & 0xFFFFFFFFu);
    std::snprintf(
        line, sizeof line,
        "%08X  %08X  %02X %02X %02X %02X %02X %02X %02X %02X  %02X %02X %02X %02X %02X %02X %02X %02X  %s\n",
        address, static_cast<unsigned>(offset), row[0], row[1], row[2], row[3], row[4], row[5], row[6],
        row[7], row[8], row[9], row[10], row[11], row[12], row[13], row[14], row[15], printable);
    text.append(line);
  }
  return text;
}
