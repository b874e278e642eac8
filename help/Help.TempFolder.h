#pragma once
// What the help renderer needs of the file system: the system's temporary
// folder, a name nobody else will pick there, and a private folder of that
// name that it fills and removes whole. One implementation file per OS.
#include <memory>
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
// Whether Text has exactly that form.
bool IsGuidText(std::u16string_view Text);

// The parts of a name relative to a folder ('/' between them). Raises an
// Exception for a name that could lead anywhere but below the folder (an
// empty part, "." or "..", a drive or a backslash), whoever checked it before.
std::vector<std::u16string> NameParts(std::u16string_view RelativeName);

// A new folder of the current user's own in the system's temporary folder,
// and what is written into it: all of it is removed when this goes. Another
// user who controls the way to the folder must not turn its removal against
// anything else: on POSIX the folder and the temporary folder stay open for
// this object's life, everything inside is made and removed through the
// folder's descriptor, and the folder itself only while its name still leads
// to it. Movable, so that the folder may outlive whoever made it.
class TPrivateFolder {
public:
  // Makes the folder Name for the current user only (mode 0700 on POSIX;
  // Windows gives it the temporary folder's rights, which are the user's).
  // Raises an Exception when it exists already or cannot be made.
  explicit TPrivateFolder(const std::u16string& Name);
  // Removes the files and folders written through this object, then the
  // folder; whatever cannot be removed is left. Anything else found in the
  // folder is left too on POSIX, where it may not be this user's; Windows,
  // where the temporary folder is the user's own, removes the whole tree.
  ~TPrivateFolder();
  TPrivateFolder(TPrivateFolder&& Other) noexcept;
  TPrivateFolder& operator=(TPrivateFolder&& Other) noexcept;
  TPrivateFolder(const TPrivateFolder&) = delete;
  TPrivateFolder& operator=(const TPrivateFolder&) = delete;

  // The folder's full path, for whoever reads the files by name.
  const std::u16string& Path() const noexcept { return FPath; }
  // Makes the folders of a name relative to this folder ('/' between its
  // parts) that are missing. Raises an Exception on failure.
  void CreateFolders(std::u16string_view RelativeName);
  // Writes a file that must not exist yet into a folder that does. Raises an
  // Exception on failure; a file begun is removed with the rest all the same.
  void WriteNewFile(std::u16string_view RelativeName, std::string_view Bytes);

private:
  std::u16string FPath;
  struct TState;  // one per OS
  std::unique_ptr<TState> FState;
};

// Removes what a host that ended with a help window open left in the system's
// temporary folder: folders named by NewGuidText, of this user's, unchanged
// for a day, held by no TPrivateFolder (of any process), and holding nothing
// but files, which go with them. Anything else found there is left. On POSIX
// all of it through descriptors, following no link. Gives up quietly: the help
// is shown all the same.
void RemoveAbandonedFolders() noexcept;

}  // namespace help
