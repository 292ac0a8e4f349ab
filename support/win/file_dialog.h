// The system's open and save dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Shows the open or save dialog. path (macros expanded) gives the initial folder and, for saving,
// the file name. True when the user confirmed; results then holds the chosen paths in the
// dialog's order. filter is in "text|pattern|...||" form. False without showing anything when the
// initial file name does not fit the dialog's buffer.
bool FileDialog(HWND owner, const std::string& title, const std::string& path,
                std::vector<std::string>& results, const std::string& defaultExtension,
                const std::string& filter, DWORD flags, bool open);

// FileDialog with the filter and default extension made from the path's extension; on
// confirmation path becomes the chosen path.
bool FileDialogForPath(HWND owner, const std::string& title, std::string& path, bool open);
