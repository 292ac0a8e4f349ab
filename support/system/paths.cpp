#include "support/system/paths.h"

#include "support/text/sjis.h"

namespace paths {

const PathMacro kPathMacros[14] = {
    {"%SYSTEM%", MacroFolder::System},
    {"%System%", MacroFolder::System},
    // The system folder, not the Windows folder.
    {"%SYSTEMROOT%", MacroFolder::System},
    {"%SystemRoot%", MacroFolder::System},
    {"%TEMP%", MacroFolder::Temp},
    {"%Temp%", MacroFolder::Temp},
    {"%USERTEMP%", MacroFolder::Temp},
    {"%UserTemp%", MacroFolder::Temp},
    {"%DESKTOP%", MacroFolder::Desktop},
    {"%Desktop%", MacroFolder::Desktop},
    {"%USERDESKTOP%", MacroFolder::UserDesktop},
    {"%UserDesktop%", MacroFolder::UserDesktop},
    {"%ALLUSERDESKTOP%", MacroFolder::AllUserDesktop},
    {"%AllUserDesktop%", MacroFolder::AllUserDesktop},
};

namespace {

bool EndsWithBackslash(const std::string& s) {
  return sjis::EndsWith(s, "\\");
}

bool IsDriveOnly(const std::string& s) {
  return s.size() == 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

}  // namespace

bool CleanPath(std::string& path) {
  return CleanPathWith(path, PathAttributesReadable);
}

bool CleanPathWith(std::string& path, const std::function<bool(const std::string&)>& exists) {
  std::string_view in = sjis::TrimView(path);
  // Quotes are dropped anyway; leading ones must not hide a "\\" prefix behind them.
  while (!in.empty() && in.front() == '"') in = sjis::TrimView(in.substr(1));

  std::string out;
  out.reserve(in.size());
  std::size_t pos = 0;
  bool network = false;
  if (sjis::StartsWith(in, "\\\\?\\")) {
    out.assign(in.substr(0, 4));
    pos = 4;
  } else if (sjis::StartsWith(in, "\\\\")) {
    out = "\\\\";
    pos = 2;
    network = true;
  }

  // The prefix ends in a backslash, so one right after it is part of a run. Quotes are dropped
  // and do not break a run.
  bool afterBackslash = pos > 0;
  while (pos < in.size()) {
    std::size_t length = sjis::CharLength(in, pos);
    char c = in[pos];
    if (length == 2) {
      out.append(in.substr(pos, 2));
      afterBackslash = false;
    } else if (c == '"') {
      // dropped
    } else if (c == '\\') {
      if (!afterBackslash) out.push_back(c);
      afterBackslash = true;
    } else {
      out.push_back(c);
      afterBackslash = false;
    }
    pos += length;
  }
  std::string result = sjis::Trim(out);
  if (network && !exists(result)) return false;
  path = result;
  return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder + "\\" + name;
  if (!CleanPath(path)) return {};
  return path;
}

bool ReplaceMacro(std::string& path, const std::string& macro, const FolderResolver& resolver) {
  CleanPath(path);
  if (macro.empty()) return false;
  // Each search starts after the last inserted folder, so the loop ends even when a folder
  // brings the macro back; the final check then fails the call.
  std::size_t at = sjis::Find(path, macro);
  while (at != std::string::npos) {
    std::string folder;
    // A failing resolver would otherwise be asked again for the same occurrence, for ever.
    if (!resolver || !resolver(folder)) return false;
    std::string before = path.substr(0, at);
    std::string after = path.substr(at + macro.size());
    bool folderEnds = EndsWithBackslash(folder);
    bool afterStarts = !after.empty() && after[0] == '\\';
    std::string rebuilt = before + folder;
    if (!folderEnds && !afterStarts) rebuilt += '\\';
    if (folderEnds && afterStarts) after.erase(0, 1);
    std::size_t resume = rebuilt.size();
    rebuilt += after;
    if (rebuilt == path) return false;
    path = rebuilt;
    at = sjis::Find(path, macro, resume);
  }
  return sjis::Find(path, macro) == std::string::npos;
}

std::string ExpandPathMacrosWith(
    const std::string& path, const std::function<bool(MacroFolder, std::string&)>& resolve,
    const std::function<bool(const std::string&, std::string&)>& expandEnvironment) {
  std::string result = path;
  CleanPath(result);
  for (const PathMacro& entry : kPathMacros) {
    if (sjis::FindChar(result, '%') == std::string::npos) break;
    // A folder (from settings anyone can change) may name the macros further down the table;
    // each round would then multiply the path. Past the longest path the system takes there is
    // nothing left worth expanding.
    if (result.size() > kMaxExpandedPath) break;
    MacroFolder folder = entry.folder;
    ReplaceMacro(result, entry.macro, [&](std::string& out) { return resolve && resolve(folder, out); });
  }
  if (!result.empty() && sjis::FindChar(result, '%') != std::string::npos && expandEnvironment) {
    std::string expanded;
    if (expandEnvironment(result, expanded)) result = expanded;
  }
  return result;
}

bool GetLongPathWith(const std::string& path, std::string& longPath,
                     const std::function<bool(const std::string&, std::string&)>& lookUp) {
  std::string p = path;
  if (EndsWithBackslash(p)) p.erase(p.size() - 1);
  if (p.empty() || p.size() >= kMaxPath) return false;

  std::string collected;
  if (!lookUp(p, collected)) return false;
  std::size_t cut = sjis::FindLastChar(p, '\\');
  if (cut == std::string::npos) {
    longPath = collected;
    return true;
  }
  std::string rest = p.substr(0, cut);
  for (;;) {
    if (rest.empty() || IsDriveOnly(rest)) break;  // "\folder" or "X:\folder": the root is reached
    std::string name;
    if (!lookUp(rest, name)) {
      if (sjis::StartsWith(rest, "\\\\")) break;  // a share or "\\?\" root cannot be looked up
      return false;
    }
    collected = name + "\\" + collected;
    cut = sjis::FindLastChar(rest, '\\');
    if (cut == std::string::npos) {
      // A relative path resolved to its first component.
      if (collected.size() >= kMaxPath) return false;
      longPath = collected;
      return true;
    }
    rest.erase(cut);
  }
  std::string result = rest + "\\" + collected;
  if (result.size() >= kMaxPath) return false;
  longPath = result;
  return true;
}

bool GetTempFolderWith(const TempFolderSystem& system, std::string& folder) {
  std::string raw;
  std::string candidate;
  if (system.tempPath && system.tempPath(raw) && system.longPath && system.longPath(raw, candidate) &&
      sjis::Find(candidate, "Temp") != std::string::npos) {
    folder = candidate;
    return true;
  }
  // The Windows 95 family and NT 3/4 may give only a short form that the long lookup rejects.
  int code = system.osCode ? system.osCode() : 0;
  if ((code >= 10 && code <= 19) || code == 20 || code == 21) {
    raw.clear();
    if (system.tempPath && system.tempPath(raw) && sjis::Find(raw, "Temp") != std::string::npos) {
      folder = raw;
      return true;
    }
  }
  std::string windows;
  if (!system.windowsFolder || !system.windowsFolder(windows) || windows.empty()) {
    folder.clear();
    return false;
  }
  candidate = windows;
  if (!EndsWithBackslash(candidate)) candidate += '\\';
  candidate = sjis::Trim(candidate + "Temp");
  if (system.isDirectory && system.isDirectory(candidate)) {
    folder = candidate;
    return true;
  }
  std::size_t rootEnd = 0;
  for (int i = 0; i < 3; ++i) rootEnd = sjis::NextChar(windows, rootEnd);
  candidate = windows.substr(0, rootEnd);
  if (!EndsWithBackslash(candidate)) candidate += '\\';
  candidate = sjis::Trim(candidate + "Temp");
  if (system.isDirectory && system.isDirectory(candidate)) {
    folder = candidate;
    return true;
  }
  folder.clear();
  return false;
}

void SplitDialogPath(const std::string& path, bool open, std::string& folder, std::string& fileName) {
  folder.clear();
  fileName.clear();
  if (path.empty()) return;
  std::size_t cut = sjis::FindLastChar(path, '\\');
  if (cut == std::string::npos) {
    fileName = path;
  } else {
    folder = path.substr(0, cut);
    fileName = path.substr(cut + 1);
  }
  if (open) fileName.clear();
}

void BuildFileDialogFilter(const std::string& path, std::string& filter, std::string& defaultExtension) {
  filter = "All Files (*.*)|*.*||";
  defaultExtension.clear();
  // The extension belongs to the file name: a dot in a folder name does not count.
  std::size_t nameStart = sjis::FindLastChar(path, '\\');
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  std::size_t dot = sjis::FindLastChar(path, '.');
  if (dot == std::string::npos || dot < nameStart) return;
  std::string ext = path.substr(dot + 1);
  // A bar would end the filter entry early.
  if (ext.empty() || sjis::FindChar(ext, '|') != std::string::npos) return;
  filter = ext + " Files (*." + ext + ")|*." + ext + "|All Files (*.*)|*.*||";
  defaultExtension = ext;
}

std::string FilterToDialogFormat(const std::string& filter) {
  std::string out;
  out.reserve(filter.size() + 2);
  for (std::size_t i = 0; i < filter.size();) {
    std::size_t length = sjis::CharLength(filter, i);
    if (length == 1 && filter[i] == '|') {
      out.push_back('\0');
    } else {
      out.append(filter, i, length);
    }
    i += length;
  }
  // Always two terminators at the end, however the text ended.
  while (out.size() < 2 || out[out.size() - 1] != '\0' || out[out.size() - 2] != '\0') out.push_back('\0');
  return out;
}

std::vector<std::string> ParseDialogSelection(const char* buffer, std::size_t size, bool multiSelect) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos < size && buffer[pos] != '\0') {
    std::size_t end = pos;
    while (end < size && buffer[end] != '\0') ++end;
    parts.emplace_back(buffer + pos, end - pos);
    if (!multiSelect) break;
    pos = end + 1;
  }
  if (parts.size() <= 1) return parts;
  std::vector<std::string> paths;
  const std::string& folder = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) {
    paths.push_back(EndsWithBackslash(folder) ? folder + parts[i] : folder + "\\" + parts[i]);
  }
  return paths;
}

}  // namespace paths
