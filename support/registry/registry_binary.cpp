// The CBinary value kind of CRegistry: REG_BINARY values carried in a CBinary buffer.
#include <climits>
#include <cstddef>

#include "support/buffer/binary.h"
#include "support/registry/registry.h"

using regseam::ScopedKey;
using regseam::Status;

namespace {

// Empties the buffer's effective range after a failed read. For a view this keeps the owner's
// bytes in front of the view; a locked buffer cannot be emptied and stays as it is.
void ClearReceived(CBinary& data) {
  if (data.IsFree()) data.SetFocusedLength(0);
}

}  // namespace

bool CRegistry::WriteBinary(HKEY root, RegText subKey, RegText name, const CBinary& data) {
  ScopedKey key;
  return OpenForWrite(root, subKey, key) && WriteBinary(key.Get(), name, data);
}

bool CRegistry::WriteBinary(HKEY key, RegText name, const CBinary& data) {
  const unsigned char* bytes = data.GetData();
  const int length = data.GetLength();
  if (length > 0 && bytes != nullptr) {
    return WriteBinary(key, name, static_cast<const void*>(bytes), static_cast<std::size_t>(length));
  }
  // An empty buffer has no data pointer, which the memory-block form refuses; it is stored as an
  // empty REG_BINARY value so that it reads back as empty.
  static const unsigned char kNothing = 0;
  return regseam::SetValue(key, name.c_str(), REG_BINARY, &kNothing, 0) == Status::kOk;
}

bool CRegistry::WriteBinary(RegText path, RegText name, const CBinary& data) {
  ScopedKey key;
  return OpenPathForWrite(path, key) && WriteBinary(key.Get(), name, data);
}

bool CRegistry::ReadBinary(HKEY root, RegText subKey, RegText name, CBinary& data) {
  ScopedKey key;
  if (!OpenForRead(root, subKey, key)) {
    ClearReceived(data);
    return false;
  }
  return ReadBinary(key.Get(), name, data);
}

bool CRegistry::ReadBinary(HKEY key, RegText name, CBinary& data) {
  // The value is read into a buffer of its own first: the receiving buffer then takes it as
  // Assign does (a locked one keeps its length and is overwritten in place; an unlocked one, or
  // an unlocked view, becomes the value), and a failed read does not leave half a value behind.
  CBinary value;
  std::size_t size = 0;
  bool ok = QueryValueSize(key, name, size);
  // Should the value grow between asking its size and reading it, the read reports the new size
  // and is tried again, a few times at most.
  for (int attempt = 0; ok && attempt < 4; ++attempt) {
    if (size > static_cast<std::size_t>(INT_MAX) || !value.SetLength(static_cast<int>(size))) {
      ok = false;
      break;
    }
    if (size == 0) break;
    std::size_t got = size;
    if (ReadBinary(key, name, value.GetData(), got)) {
      ok = value.SetLength(static_cast<int>(got));  // it may have shrunk meanwhile
      break;
    }
    ok = got > size;  // too small: got holds the size needed now
    size = got;
    if (attempt == 3) ok = false;
  }
  if (!ok || !data.Assign(value)) {
    ClearReceived(data);
    return false;
  }
  return true;
}

bool CRegistry::ReadBinary(RegText path, RegText name, CBinary& data) {
  ScopedKey key;
  if (!OpenPathForRead(path, key)) {
    ClearReceived(data);
    return false;
  }
  return ReadBinary(key.Get(), name, data);
}
