// CRegistry: the programs' one way into the registry.
//
// An instance is made on the stack for a piece of work and bound to a base key given as text
// ("HKEY_CURRENT_USER\Software\HOSHIRAI\Zellora"). It reads and writes typed values, deletes
// values and keys and tests for them, each in three addressing forms:
//   key form   an open key handle and a value name;
//   root form  a root (or any open) key, a sub-key below it and a value name;
//   path form  a path relative to the base key (or naming a root) and a value name.
// Every operation returns true on success and false on any failure; nothing throws, registry
// error codes are not passed on, and every handle an operation opens is closed before it returns.
// A path-form operation on an object whose base path was not recognised always fails.
//
// Text is Shift_JIS; every text argument may be a C string or a std::string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/registry/registry_seam.h"

class CBinary;  // support/binary.h

// A text argument: a C string (null reads as empty) or a std::string, seen as a C string.
class RegText {
 public:
  RegText(const char* s) : text_(s != nullptr ? s : "") {}  // NOLINT: implicit on purpose
  RegText(const std::string& s) : text_(s.c_str()) {}       // NOLINT: implicit on purpose
  const char* c_str() const { return text_; }
  bool empty() const { return *text_ == '\0'; }

 private:
  const char* text_;
};

class CRegistry {
 public:
  // Binds the object to the base path (see SetBasePath).
  explicit CRegistry(RegText path = "");
  virtual ~CRegistry();
  CRegistry(const CRegistry&) = default;
  CRegistry& operator=(const CRegistry&) = default;

  // ---- Base path and path rules ----

  // Normalises path and binds the object to it. False (and no base at all) when the path does not
  // start with a root name.
  virtual bool SetBasePath(RegText path);
  // The normalised base path; empty when it was not recognised.
  virtual std::string GetBasePath() const;
  // White space trimmed at both ends, then every leading and every trailing backslash removed
  // (a trailing 0x5C that is the second byte of a double-byte character stays).
  virtual std::string NormalizePath(RegText path) const;
  // Splits a (normalised) path into its root and the sub-key after it. The root name
  // ("HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", any letter
  // case) counts only when followed by a backslash or the end. A path without a root name is
  // taken whole as a sub-key of the base root, when there is one. On false, root is null and
  // subKey empty.
  virtual bool ParseRoot(RegText path, HKEY& root, std::string& subKey) const;
  // The root and sub-key a path-form operation addresses: the empty path is the base key itself;
  // any other path goes below the base sub-key, even one that names a root (whose root is then
  // used). False when the base was not recognised. On false, root is null and subKey empty.
  virtual bool ResolvePath(RegText path, HKEY& root, std::string& subKey) const;

  bool IsBaseValid() const { return baseValid; }
  HKEY GetBaseRoot() const { return baseRoot; }
  const std::string& GetBaseSubKey() const { return baseSubKey; }

  // ---- Keys ----

  // Creates subKey below key (every missing key on the way); true when it exists afterwards.
  virtual bool CreateKey(HKEY key, RegText subKey);
  virtual bool CreateKey(RegText path);
  // Deletes subKey below key with everything under it. When subKey is no key, its last component
  // is taken as a value name and that value is deleted instead. An empty subKey is refused.
  virtual bool DeleteKeyTree(HKEY key, RegText subKey);
  // DeleteKeyTree of the resolved key, refusing the base root itself and the well-known top
  // keys ("Software", "System", "CLSID", ... in any letter case).
  virtual bool DeleteKey(RegText path);

  // ---- Value deletion ----
  virtual bool DeleteValue(HKEY root, RegText subKey, RegText name);
  virtual bool DeleteValue(HKEY key, RegText name);
  virtual bool DeleteValue(RegText path, RegText name);

  // ---- Strings (REG_SZ, written with the terminating NUL) ----
  // A read accepts REG_SZ and REG_EXPAND_SZ (unexpanded) values and cuts the text at the first
  // NUL. The path form empties text first; the key and root forms leave it unchanged when the
  // value cannot be read.
  virtual bool WriteString(HKEY root, RegText subKey, RegText name, RegText text);
  virtual bool WriteString(HKEY key, RegText name, RegText text);
  virtual bool WriteString(RegText path, RegText name, RegText text);
  virtual bool ReadString(HKEY root, RegText subKey, RegText name, std::string& text);
  virtual bool ReadString(HKEY key, RegText name, std::string& text);
  virtual bool ReadString(RegText path, RegText name, std::string& text);

  // ---- Scrambled strings (REG_SZ holding the text in encoded form; for passwords) ----
  // Only the characters 0x20-0x7C can be stored.
  // WriteScrambled stores text only when the value now stored equals expected (compared without
  // case in the user's locale); otherwise nothing is written and the result is false. The root
  // and path forms count a missing or unreadable value as the empty text; the key form fails on
  // an unreadable one.
  virtual bool WriteScrambled(HKEY root, RegText subKey, RegText name, RegText expected, RegText text);
  virtual bool WriteScrambled(HKEY key, RegText name, RegText expected, RegText text);
  virtual bool WriteScrambled(RegText path, RegText name, RegText expected, RegText text);
  // True when the stored value decodes and equals text without case.
  virtual bool IsScrambledEqual(HKEY root, RegText subKey, RegText name, RegText text);
  virtual bool IsScrambledEqual(HKEY key, RegText name, RegText text);
  virtual bool IsScrambledEqual(RegText path, RegText name, RegText text);
  // Deletes the value when IsScrambledEqual; false otherwise.
  virtual bool DeleteScrambledIfEqual(HKEY root, RegText subKey, RegText name, RegText text);
  virtual bool DeleteScrambledIfEqual(HKEY key, RegText name, RegText text);
  virtual bool DeleteScrambledIfEqual(RegText path, RegText name, RegText text);
  // Decodes the stored value; a missing value is created holding the empty text, which is read.
  // False when the value cannot be read or does not decode. The path form empties text first; the
  // key and root forms leave it unchanged on failure.
  virtual bool ReadScrambled(HKEY root, RegText subKey, RegText name, std::string& text);
  virtual bool ReadScrambled(HKEY key, RegText name, std::string& text);
  virtual bool ReadScrambled(RegText path, RegText name, std::string& text);

  // The encoding itself: false when text holds a character outside 0x20-0x7C (encode) or the
  // stored text is malformed or fails its checksum (decode). out is unchanged on false.
  static bool EncodeScrambled(const std::string& text, std::string& out);
  static bool DecodeScrambled(const std::string& stored, std::string& out);

  // ---- 32-bit numbers (REG_DWORD) ----
  // A read needs exactly 4 bytes of a REG_DWORD (or REG_BINARY) value; the number is unchanged
  // when the value cannot be read.
  virtual bool WriteNumber(HKEY root, RegText subKey, RegText name, int value);
  virtual bool WriteNumber(HKEY key, RegText name, int value);
  virtual bool WriteNumber(RegText path, RegText name, int value);
  virtual bool ReadNumber(HKEY root, RegText subKey, RegText name, int& value);
  virtual bool ReadNumber(HKEY key, RegText name, int& value);
  virtual bool ReadNumber(RegText path, RegText name, int& value);
  virtual bool WriteNumber(HKEY root, RegText subKey, RegText name, unsigned int value);
  virtual bool WriteNumber(HKEY key, RegText name, unsigned int value);
  virtual bool WriteNumber(RegText path, RegText name, unsigned int value);
  virtual bool ReadNumber(HKEY root, RegText subKey, RegText name, unsigned int& value);
  virtual bool ReadNumber(HKEY key, RegText name, unsigned int& value);
  virtual bool ReadNumber(RegText path, RegText name, unsigned int& value);

  // ---- 16-bit numbers (stored as a REG_DWORD, zero-extended; read back as its low 16 bits) ----
  virtual bool WriteWord(HKEY root, RegText subKey, RegText name, std::uint16_t value);
  virtual bool WriteWord(HKEY key, RegText name, std::uint16_t value);
  virtual bool WriteWord(RegText path, RegText name, std::uint16_t value);
  virtual bool ReadWord(HKEY root, RegText subKey, RegText name, std::uint16_t& value);
  virtual bool ReadWord(HKEY key, RegText name, std::uint16_t& value);
  virtual bool ReadWord(RegText path, RegText name, std::uint16_t& value);

  // ---- Memory blocks (REG_BINARY) ----
  // A null data pointer fails. ReadBinary takes the buffer's capacity in size and returns the
  // bytes read in it (of a value of any type); when the buffer is too small it fails and size
  // holds the size needed; on other failures size is unchanged.
  virtual bool WriteBinary(HKEY root, RegText subKey, RegText name, const void* data, std::size_t size);
  virtual bool WriteBinary(HKEY key, RegText name, const void* data, std::size_t size);
  virtual bool WriteBinary(RegText path, RegText name, const void* data, std::size_t size);
  virtual bool ReadBinary(HKEY root, RegText subKey, RegText name, void* data, std::size_t& size);
  virtual bool ReadBinary(HKEY key, RegText name, void* data, std::size_t& size);
  virtual bool ReadBinary(RegText path, RegText name, void* data, std::size_t& size);

  // ---- CBinary buffers (REG_BINARY; support/registry_binary.cpp) ----
  // A write stores the buffer's effective range (an empty buffer as an empty value). A read asks
  // the value's size, reads it (of any type) and hands it to the buffer as CBinary::Assign does: a
  // locked buffer keeps its length and takes what fits in place, an unlocked one (or an unlocked
  // view) becomes the value. On failure an unlocked buffer's effective range is emptied and a
  // locked one is unchanged.
  virtual bool WriteBinary(HKEY root, RegText subKey, RegText name, const CBinary& data);
  virtual bool WriteBinary(HKEY key, RegText name, const CBinary& data);
  virtual bool WriteBinary(RegText path, RegText name, const CBinary& data);
  virtual bool ReadBinary(HKEY root, RegText subKey, RegText name, CBinary& data);
  virtual bool ReadBinary(HKEY key, RegText name, CBinary& data);
  virtual bool ReadBinary(RegText path, RegText name, CBinary& data);

  // ---- Types and existence ----
  // The value's type (REG_SZ, REG_DWORD, ...); true when the value exists.
  virtual bool QueryValueType(HKEY root, RegText subKey, RegText name, std::uint32_t& type);
  virtual bool QueryValueType(HKEY key, RegText name, std::uint32_t& type);
  virtual bool QueryValueType(RegText path, RegText name, std::uint32_t& type);
  // True when the value exists. In the root and path forms an empty name asks whether the key
  // exists: ValueExists("URL_List\\URL00000000", "").
  virtual bool ValueExists(HKEY root, RegText subKey, RegText name);
  virtual bool ValueExists(HKEY key, RegText name);
  virtual bool ValueExists(RegText path, RegText name);

 protected:
  // Key opening shared by every value kind. Each leaves key empty on false.
  // Root-form reads: the sub-key with read rights.
  bool OpenForRead(HKEY root, RegText subKey, regseam::ScopedKey& key) const;
  // Root-form writes: the sub-key created when missing, with all rights.
  bool OpenForWrite(HKEY root, RegText subKey, regseam::ScopedKey& key) const;
  // Path-form reads and writes (the write creates the key when missing).
  bool OpenPathForRead(RegText path, regseam::ScopedKey& key) const;
  bool OpenPathForWrite(RegText path, regseam::ScopedKey& key) const;
  // The byte size of a value of any type.
  static bool QueryValueSize(HKEY key, RegText name, std::size_t& size);

 private:
  bool OpenPathForDelete(RegText path, regseam::ScopedKey& key) const;

  bool baseValid = false;
  HKEY baseRoot = nullptr;
  std::string basePath;
  std::string baseSubKey;
};
