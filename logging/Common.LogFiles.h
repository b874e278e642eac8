#pragma once
// The only way the log reaches the file system: its folders below the
// machine-wide folder and the day files in them. Each platform decides what
// such a folder may be trusted with (POSIX: nothing on the way may be a link,
// or belong to a user other than this process's own or root).
#include <string>
#include <string_view>

#include "platform/Os.h"

// Base/Vendor/Stem/: the machine-wide folder (no trailing separator), the
// vendor word and the component's stem.
struct TLogPlace {
  std::u16string_view Base;
  std::u16string_view Vendor;
  std::u16string_view Stem;

  // The log folder as text, with a trailing separator.
  std::u16string FolderText() const;
  // A file of the log folder as text.
  std::u16string FileText(std::u16string_view FileName) const { return FolderText() += FileName; }
};

// Creates the missing folders of the place, each open to every local user, and
// checks the whole way. Raises an Exception naming the path that cannot be
// created or trusted.
void PrepareLogFolder(const TLogPlace& Place);

// Raises an Exception naming the day file when it exists but cannot be trusted.
void CheckLogFile(const TLogPlace& Place, std::u16string_view FileName);

// Appends the bytes as one piece (also between processes) to the day file,
// creating it so that every local user can append to it. FolderMissing when a
// folder of the place is missing: nothing is created then. Raises an Exception
// for anything that cannot be trusted or written. Where the platform lets other
// processes append to a file this process holds open (POSIX), the day file
// stays open for the next lines. The callers serialise all calls below.
os::AppendResult AppendToLogFile(const TLogPlace& Place, std::u16string_view FileName, std::string_view Bytes);

// Appends the bytes to the day file AppendToLogFile left open, as long as it is
// still the one at its place: the environment that decides the machine-wide
// folder is unchanged, the same file is found under its path (not removed nor
// replaced) and would still be trusted. False, with the file closed, when there
// is no such file: the caller names the place anew. Raises an Exception when
// the file cannot be locked or written.
bool AppendToKeptLogFile(std::string_view Bytes);

// Closes the kept day file: logging switched off, the place renamed, a new day.
void CloseLogFile() noexcept;
