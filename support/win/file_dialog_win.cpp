// clang-format off
#include <windows.h>  // before commdlg.h, which depends on it
#include <commdlg.h>
// clang-format on

#include <cstring>
#include <vector>

#include "support/system/paths_win.h"
#include "support/text/sjis.h"
#include "support/win/file_dialog.h"

bool FileDialog(HWND owner, const std::string& title, const std::string& path,
                std::vector<std::string>& results, const std::string& defaultExtension,
                const std::string& filter, DWORD flags, bool open) {
  std::string folder;
  std::string fileName;
  if (!path.empty()) paths::SplitDialogPath(paths::ExpandPathMacros(path), open, folder, fileName);

  bool multi = (flags & paths::kDialogAllowMultiSelect) != 0;
  std::size_t bufferSize = multi ? paths::kMultiSelectBufferSize : paths::kMaxPath;
  // The initial name must fit with its terminator; a longer one is refused, not cut.
  if (fileName.size() >= bufferSize) return false;
  // Zero-filled so that the dialog starts with the initial name (or an empty box).
  std::vector<char> buffer(bufferSize, '\0');
  std::memcpy(buffer.data(), fileName.data(), fileName.size());

  std::string dialogFilter = paths::FilterToDialogFormat(filter);

  OPENFILENAMEA ofn;
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = (owner && IsWindow(owner)) ? owner : nullptr;
  ofn.lpstrFilter = filter.empty() ? nullptr : dialogFilter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  ofn.Flags = flags | paths::kDialogAlwaysFlags;

  BOOL confirmed = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
  if (!confirmed) return false;
  std::vector<std::string> chosen = paths::ParseDialogSelection(buffer.data(), buffer.size(), multi);
  if (chosen.empty()) return false;
  results.insert(results.end(), chosen.begin(), chosen.end());
  return true;
}

bool FileDialogForPath(HWND owner, const std::string& title, std::string& path, bool open) {
  std::string filter = "All Files (*.*)|*.*||";
  std::string defaultExtension;
  std::string expanded;
  if (!path.empty()) {
    expanded = paths::ExpandPathMacros(path);
    paths::BuildFileDialogFilter(expanded, filter, defaultExtension);
  }
  std::vector<std::string> chosen;
  if (!FileDialog(owner, title, expanded, chosen, defaultExtension, filter, 0, open)) return false;
  std::string joined;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    if (i > 0) joined += ";;";
    joined += chosen[i];
  }
  path = joined;
  return true;
}
