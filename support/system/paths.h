// Path text and the few file operations the programs need.
//
// All text is in the ANSI code page (Shift_JIS); a backslash, quote, dot or bar inside a
// double-byte character is never taken for one. Anything a system call writes into a fixed buffer
// is limited to kMaxPath bytes including the terminator; a longer result fails instead of being cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace paths {

constexpr std::size_t kMaxPath = 260;
// The longest path the system takes ("\\?\" form); macro expansion stops beyond it.
constexpr std::size_t kMaxExpandedPath = 32767;

// Whether the file or folder's attributes can be read (the system's answer; on the native build
// the local file system's).
bool PathAttributesReadable(const std::string& path);

// Normalises a path in place: white space and double quotes go, runs of backslashes become one.
// A "\\?\" prefix is kept as it is; a network path ("\\server\...") keeps its two backslashes
// and must exist, otherwise the call fails and path is unchanged. A leading quote before either
// prefix does not hide it.
bool CleanPath(std::string& path);
// The same with the existence test supplied by the caller.
bool CleanPathWith(std::string& path, const std::function<bool(const std::string&)>& exists);

// folder + "\" + name, cleaned; empty when cleaning fails.
std::string JoinPath(const std::string& folder, const std::string& name);

// Fills folder with a path; false when it cannot be found.
using FolderResolver = std::function<bool(std::string& folder)>;

// Replaces every occurrence of macro with the resolver's folder, with exactly one backslash
// between the folder and what follows. Fails (the path keeps what was replaced so far) when the
// resolver fails, when a replacement changes nothing, or when the macro still occurs afterwards
// (a folder that contains it); succeeds when the macro no longer occurs.
bool ReplaceMacro(std::string& path, const std::string& macro, const FolderResolver& resolver);

// The folders the path macros stand for.
enum class MacroFolder { System, Temp, Desktop, UserDesktop, AllUserDesktop };

struct PathMacro {
  const char* macro;
  MacroFolder folder;
};
// Searched in this order; matching is case-sensitive, so only these two spellings count.
extern const PathMacro kPathMacros[14];

// Shell folder ids behind the desktop macros.
constexpr int kFolderDesktop = 0;
constexpr int kFolderDesktopDirectory = 16;
constexpr int kFolderCommonDesktopDirectory = 25;

// ExpandPathMacros with the folder lookup and the environment expansion supplied by the caller:
// the path is cleaned, the table's macros are replaced while a "%" remains, and what is left with
// a "%" is handed to expandEnvironment (kept when that fails).
std::string ExpandPathMacrosWith(
    const std::string& path, const std::function<bool(MacroFolder, std::string&)>& resolve,
    const std::function<bool(const std::string&, std::string&)>& expandEnvironment);

// Long form of a cleaned path (one trailing backslash dropped), built from its end: lookUp gives the long
// name of the last component of a path (false when nothing is found). The lookups stop at a drive ("X:"), at
// a network or
// "\\?\" root that cannot be looked up, or at the empty root of "\folder". False when any other
// lookup fails or the result would not fit kMaxPath.
bool GetLongPathWith(const std::string& path, std::string& longPath,
                     const std::function<bool(const std::string&, std::string&)>& lookUp);

// What GetTempFolder asks of the system.
struct TempFolderSystem {
  std::function<bool(std::string&)> tempPath;  // the raw temporary path
  std::function<bool(const std::string&, std::string&)> longPath;
  std::function<int()> osCode;
  std::function<bool(std::string&)> windowsFolder;
  std::function<bool(const std::string&)> isDirectory;
};
// The temporary folder: the system's temporary path if it contains "Temp" (long form, or on old
// systems as given), else the Windows folder's "Temp", else the Windows drive's "\Temp".
bool GetTempFolderWith(const TempFolderSystem& system, std::string& folder);

// Open/save dialog flag values used by the helpers.
constexpr std::uint32_t kDialogAllowMultiSelect = 0x200;
constexpr std::uint32_t kDialogAlwaysFlags = 0x880006;  // overwrite prompt, hide read-only, explorer, sizing
constexpr std::size_t kMultiSelectBufferSize = 0x100000;

// Initial folder and file name of a dialog from an (expanded) path: split at the last backslash;
// an open dialog keeps only the folder.
void SplitDialogPath(const std::string& path, bool open, std::string& folder, std::string& fileName);

// Filter and default extension for a path: "All Files (*.*)|*.*||", or, when the file name has an
// extension, "ext Files (*.ext)|*.ext|All Files (*.*)|*.*||" with ext as the default extension.
void BuildFileDialogFilter(const std::string& path, std::string& filter, std::string& defaultExtension);

// "a|b||" filter text as the system dialog wants it: every bar a terminator, ending in two.
std::string FilterToDialogFormat(const std::string& filter);

// The paths chosen in a dialog from its file-name buffer (size bytes): a single path, or with
// multiple selection a folder followed by names, each terminated, ending with an empty string.
std::vector<std::string> ParseDialogSelection(const char* buffer, std::size_t size, bool multiSelect);

}  // namespace paths
