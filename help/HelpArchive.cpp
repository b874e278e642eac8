#include "help/HelpArchive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace help {
namespace {

// minizip reads through these callbacks: the archive never needs a file name
// in the system's narrow encoding.
struct TMemoryStream {
  std::string_view Bytes;
  ZPOS64_T Position = 0;
};

TMemoryStream& StreamOf(voidpf Stream) { return *static_cast<TMemoryStream*>(Stream); }

voidpf ZCALLBACK OpenStream(voidpf Opaque, const void*, int) { return Opaque; }

uLong ZCALLBACK ReadStream(voidpf, voidpf Stream, void* Buffer, uLong Size) {
  TMemoryStream& S = StreamOf(Stream);
  if (S.Position >= S.Bytes.size()) return 0;
  const auto Count = static_cast<std::size_t>(std::min<ZPOS64_T>(Size, S.Bytes.size() - S.Position));
  std::memcpy(Buffer, S.Bytes.data() + S.Position, Count);
  S.Position += Count;
  return static_cast<uLong>(Count);
}

uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf Stream) { return StreamOf(Stream).Position; }

long ZCALLBACK SeekStream(voidpf, voidpf Stream, ZPOS64_T Offset, int Origin) {
  TMemoryStream& S = StreamOf(Stream);
  const ZPOS64_T Size = S.Bytes.size();
  ZPOS64_T Base = 0;
  switch (Origin) {
    case ZLIB_FILEFUNC_SEEK_SET: Base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: Base = S.Position; break;
    case ZLIB_FILEFUNC_SEEK_END: Base = Size; break;
    default: return -1;
  }
  if (Base > Size || Offset > Size - Base) return -1;
  S.Position = Base + Offset;
  return 0;
}

int ZCALLBACK CloseStream(voidpf, voidpf) { return 0; }

int ZCALLBACK StreamError(voidpf, voidpf) { return 0; }

struct TZipCloser {
  void operator()(unzFile Zip) const { unzClose(Zip); }
};
using TZip = std::unique_ptr<void, TZipCloser>;

TZip OpenArchive(TMemoryStream& Stream) {
  zlib_filefunc64_def Functions{};
  Functions.zopen64_file = OpenStream;
  Functions.zread_file = ReadStream;
  Functions.zwrite_file = WriteStream;
  Functions.ztell64_file = TellStream;
  Functions.zseek64_file = SeekStream;
  Functions.zclose_file = CloseStream;
  Functions.zerror_file = StreamError;
  Functions.opaque = &Stream;
  return TZip(unzOpen2_64(&Stream, &Functions));
}

[[noreturn]] void RaiseDamaged(const TArchiveLimits& Limits, std::u16string_view Detail) {
  throw Exception(Limits.Subject + u" is damaged: " + std::u16string(Detail));
}

[[noreturn]] void RaiseTooLarge(const TArchiveLimits& Limits) {
  throw Exception(Limits.Subject + u" unpacks to more than " +
                  IntToText(static_cast<int64_t>(Limits.MaxUnpackedBytes)) + u" bytes");
}

std::u16string CurrentEntryName(unzFile Zip, unz_file_info64& Info, const TArchiveLimits& Limits) {
  std::array<char, 1024> Name{};
  if (unzGetCurrentFileInfo64(Zip, &Info, Name.data(), Name.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
    RaiseDamaged(Limits, u"an entry's header cannot be read");
  if (Info.size_filename >= Name.size()) RaiseDamaged(Limits, u"an entry's name is too long");
  return FromUtf8(std::string_view(Name.data(), Info.size_filename));
}

// Reads the open entry to its end, stopping as soon as the budget is spent.
std::string ReadCurrentEntry(unzFile Zip, const std::u16string& Name, std::size_t Budget,
                             const TArchiveLimits& Limits) {
  std::string Bytes;
  std::array<char, 64 * 1024> Buffer{};
  for (;;) {
    const int Read = unzReadCurrentFile(Zip, Buffer.data(), static_cast<unsigned>(Buffer.size()));
    if (Read < 0) RaiseDamaged(Limits, u"the entry \"" + Name + u"\" cannot be unpacked");
    if (Read == 0) return Bytes;
    if (static_cast<std::size_t>(Read) > Budget - Bytes.size()) RaiseTooLarge(Limits);
    Bytes.append(Buffer.data(), static_cast<std::size_t>(Read));
  }
}

TArchiveEntry ReadEntry(unzFile Zip, std::size_t Budget, const TArchiveLimits& Limits) {
  unz_file_info64 Info{};
  TArchiveEntry Entry;
  Entry.Name = CurrentEntryName(Zip, Info, Limits);
  // The header's size is only a first check: the reading counts for itself.
  if (Info.uncompressed_size > Budget) RaiseTooLarge(Limits);
  if (unzOpenCurrentFile(Zip) != UNZ_OK) RaiseDamaged(Limits, u"the entry \"" + Entry.Name + u"\" cannot be opened");
  try {
    Entry.Bytes = ReadCurrentEntry(Zip, Entry.Name, Budget, Limits);
  } catch (...) {
    unzCloseCurrentFile(Zip);
    throw;
  }
  if (unzCloseCurrentFile(Zip) != UNZ_OK) RaiseDamaged(Limits, u"the entry \"" + Entry.Name + u"\" fails its checksum");
  return Entry;
}

bool IsControl(char16_t Char) { return Char < 0x20 || Char == 0x7F; }

[[noreturn]] void RaiseRefusedName(std::u16string_view Name) {
  throw Exception(u"The help archive's entry \"" + std::u16string(Name) +
                  u"\" is refused: its name could place it outside the help folder");
}

}  // namespace

std::vector<TArchiveEntry> ReadArchive(std::string_view Zip, const TArchiveLimits& Limits) {
  TMemoryStream Stream{Zip, 0};
  const TZip Archive = OpenArchive(Stream);
  if (!Archive) RaiseDamaged(Limits, u"not a zip archive");
  std::vector<TArchiveEntry> Entries;
  std::size_t Unpacked = 0;
  int Status = unzGoToFirstFile(Archive.get());
  while (Status == UNZ_OK) {
    if (Entries.size() >= Limits.MaxEntries)
      throw Exception(Limits.Subject + u" has more than " + IntToText(static_cast<int64_t>(Limits.MaxEntries)) +
                      u" entries");
    Entries.push_back(ReadEntry(Archive.get(), Limits.MaxUnpackedBytes - Unpacked, Limits));
    Unpacked += Entries.back().Bytes.size();
    Status = unzGoToNextFile(Archive.get());
  }
  if (Status != UNZ_END_OF_LIST_OF_FILE) RaiseDamaged(Limits, u"its list of entries is broken");
  return Entries;
}

void CheckEntryName(std::u16string_view Name) {
  if (Name.empty() || Name.front() == u'/') RaiseRefusedName(Name);
  if (std::any_of(Name.begin(), Name.end(), [](char16_t C) { return C == u'\\' || C == u':' || IsControl(C); }))
    RaiseRefusedName(Name);
  // A folder entry ends with '/': its last, empty part is no part.
  std::u16string_view Rest = Name.ends_with(u'/') ? Name.substr(0, Name.size() - 1) : Name;
  for (;;) {
    const std::size_t Slash = Rest.find(u'/');
    const std::u16string_view Part = Rest.substr(0, Slash);
    if (Part.empty() || Part == u"." || Part == u"..") RaiseRefusedName(Name);
    if (Slash == std::u16string_view::npos) return;
    Rest.remove_prefix(Slash + 1);
  }
}

}  // namespace help
