#pragma once
// Reading a zip archive held in memory, entry by entry in the archive's own
// order, within limits that a hostile archive cannot talk its way past.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace help {

struct TArchiveEntry {
  std::u16string Name;  // as stored: '/' between folders, a trailing '/' for a folder
  std::string Bytes;
};

struct TArchiveLimits {
  std::size_t MaxUnpackedBytes = 0;  // all entries together
  std::size_t MaxEntries = 0;
  // What the failures call the archive: help's own, or another archive read
  // the same way.
  std::u16string Subject = u"The help archive";
};

// Every entry, unpacked. Raises an Exception when the archive is damaged, an
// entry cannot be unpacked (encrypted, an unknown method, a wrong checksum) or
// the archive goes beyond a limit, whatever its headers claim.
std::vector<TArchiveEntry> ReadArchive(std::string_view Zip, const TArchiveLimits& Limits);

// Raises an Exception for a name that could land outside the folder it is
// unpacked into: absolute, with a drive or a stream (':'), a backslash, a ".."
// or "." part, an empty part, or a control character.
void CheckEntryName(std::u16string_view Name);

}  // namespace help
