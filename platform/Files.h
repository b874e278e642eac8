#pragma once
// Reading files another process is writing: folder listings, change stamps and
// whole contents, for the log viewer. One implementation file per OS.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace os {

// The names of every entry of the folder, files and folders alike ("." and
// ".." left out), in no particular order. Raises an Exception when the folder
// cannot be read.
std::vector<std::u16string> FolderEntryNames(const std::u16string& Folder);

// What tells that a file changed: its last-write time at the file system's full
// resolution (in units of the OS, only ever compared) and its size, because a
// coarse clock can leave the time unchanged by an append.
struct TFileStamp {
  int64_t LastWrite = 0;
  uint64_t Size = 0;
  bool operator==(const TFileStamp&) const = default;
};

// The entry's stamp (a link's own: its target is never looked at), or nothing
// when there is no such entry.
std::optional<TFileStamp> FileStamp(const std::u16string& Path);

// The whole file, read while other processes go on appending to it (they are
// never blocked). Raises an Exception when it cannot be read, is not a regular
// file, or is larger than MaxBytes.
std::string ReadWholeFile(const std::u16string& Path, std::size_t MaxBytes);

// Why an entry of a folder every local user may write in, such as the log
// folder, is not to be trusted with: what another user could have planted
// there to make a reader show or a writer change some other file. None when
// it may be trusted.
enum class TDistrust {
  None,
  SymbolicLink,
  NotRegularFile,
  // A hard link: the same file also lives somewhere else.
  SeveralNames,
  OtherUser,
  OtherUserOpenToOthers,
};

// The entry's distrust as its own status tells it: a link is judged as a link,
// never followed. None when there is no such entry (reading it says so).
TDistrust SharedFileDistrust(const std::u16string& Path);

// ReadWholeFile for a file of such a folder: an entry SharedFileDistrust
// refuses is never opened, a link is never followed, and the file opened is
// judged again before a byte of it is read. Raises an Exception naming the
// path and the reason (UnreadableText) for a file it refuses.
std::string ReadSharedFile(const std::u16string& Path, std::size_t MaxBytes);

// Why such a file is not read, as the user reads it: "файл не читается: ...".
std::u16string UnreadableText(TDistrust Distrust);

// Shared by the OS files: the failure text naming the file, and the check that
// the bytes read so far plus the next piece stay within the limit.
std::u16string ReadFailureText(const std::u16string& Path);
void CheckReadLimit(const std::u16string& Path, std::size_t Read, std::size_t Next, std::size_t MaxBytes);
[[noreturn]] void RaiseUnreadable(const std::u16string& Path, TDistrust Distrust);

}  // namespace os
