#pragma once
// What the help renderer needs of the file system: the system's temporary
// folder, a name nobody else will pick there, and a private folder of that
// name that it fills and removes whole. One implementation file per OS.
#include <string>
#include <string_view>
#include <vector>

namespace help {

// Where the system keeps temporary files, without a trailing separator; on
// Windows in its long form, so the page's path never shows 8.3 names. On POSIX
// TMPDIR is taken only for a folder that nobody but root and this user
// controls, else /tmp, which must be such a folder too: raises an Exception
// naming why when it is not.
std::u16string SystemTempFolder();

// A new GUID in braces, upper-case hex: "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}".
std::u16string NewGuidText();

// Creates the folder for the current user only (mode 0700 on POSIX; Windows
// gives it the temporary folder's rights, which are the user's). Raises an
// Exception when it exists already or cannot be made.
void CreatePrivateFolder(const std::u16string& Path);

// Writes a file that must not exist yet. Raises an Exception on failure.
void WriteNewFile(const std::u16string& Path, std::string_view Bytes);

// Removes the folder and everything in it, links themselves rather than what
// they point to. A piece that cannot be removed is left: this runs from
// destructors.
void DeleteFolderTree(const std::u16string& Path) noexcept;

// Removes the files named, then the folder; the whole tree as DeleteFolderTree
// does when the folder still holds anything else. The caller names what it
// wrote: one system call per file instead of a walk of the folder.
void DeleteFolderWithFiles(const std::u16string& Folder, const std::vector<std::u16string>& Files) noexcept;

}  // namespace help
