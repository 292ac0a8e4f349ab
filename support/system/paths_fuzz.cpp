// libFuzzer target: path cleaning, the path joiner and the macro expansion. The input is split at
// zero bytes into the path, the name to join, the folder every macro stands for and what the
// environment expansion returns; the first byte's bits say which look-ups succeed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/system/paths.h"
#include "support/text/sjis.h"
#include "tests/fuzz_check.h"

namespace {

// What cleaning promises: no quote characters, no run of backslashes past a kept prefix, trimmed, no longer.
void CheckClean(const std::string& before, const std::string& after) {
  Check(after.size() <= before.size());
  Check(sjis::TrimView(after).size() == after.size());
  std::size_t pos = 0;
  if (sjis::StartsWith(after, "\\\\?\\")) {
    pos = 4;
  } else if (sjis::StartsWith(after, "\\\\")) {
    pos = 2;
  }
  bool afterBackslash = pos > 0;
  while (pos < after.size()) {
    const std::size_t length = sjis::CharLength(after, pos);
    // A quote may remain only as the second byte of a double-byte character.
    Check(length == 2 || after[pos] != '"');
    const bool backslash = length == 1 && after[pos] == '\\';
    Check(!(backslash && afterBackslash));
    afterBackslash = backslash;
    pos += length;
  }
}

std::vector<std::string> SplitAtZeros(std::string_view all, std::size_t count) {
  std::vector<std::string> parts;
  while (parts.size() + 1 < count) {
    const std::size_t zero = all.find('\0');
    if (zero == std::string_view::npos) break;
    parts.emplace_back(all.substr(0, zero));
    all.remove_prefix(zero + 1);
  }
  parts.emplace_back(all);
  parts.resize(count);
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::vector<std::string> parts =
      SplitAtZeros(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), 4);
  const std::string& path = parts[0];
  const std::string& name = parts[1];
  // A shell folder is never longer than the system's path limit.
  const std::string folder = parts[2].substr(0, paths::kMaxPath);
  const std::string& environment = parts[3];
  const bool networkExists = (flags & 1) != 0;

  std::string cleaned = path;
  int asked = 0;
  const bool ok = paths::CleanPathWith(cleaned, [&](const std::string&) {
    ++asked;
    return networkExists;
  });
  Check(asked <= 1);
  if (ok) {
    CheckClean(path, cleaned);
    // Cleaning twice changes nothing.
    std::string twice = cleaned;
    Check(paths::CleanPathWith(twice, [](const std::string&) { return true; }));
    Check(twice == cleaned);
  } else {
    Check(cleaned == path);
  }

  const std::string joined = paths::JoinPath(path, name);
  Check(joined.size() <= path.size() + 1 + name.size());
  if (!joined.empty()) CheckClean(path + "\\" + name, joined);

  int resolves = 0;
  const std::string expanded = paths::ExpandPathMacrosWith(
      path,
      [&](paths::MacroFolder which, std::string& out) {
        ++resolves;
        if ((flags >> (1 + static_cast<int>(which) % 5) & 1) == 0) return false;
        out = folder;
        return true;
      },
      [&](const std::string& in, std::string& out) {
        if ((flags & 0x80) == 0) return false;
        out = environment;
        return !in.empty();
      });
  // Folders naming further macros multiply the path at most once past the bound; the environment
  // expansion replaces it whole.
  Check(expanded.size() <= environment.size() ||
        expanded.size() <= (paths::kMaxExpandedPath + 1 + path.size()) * (folder.size() + 2));
  // A path without a macro sign is only cleaned (a network path is looked up on the real system
  // there, so it is left out).
  if (ok && asked == 0 && sjis::FindChar(cleaned, '%') == std::string::npos) {
    Check(expanded == cleaned);
    Check(resolves == 0);
  }
  return 0;
}
