#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

#include "logging/uVInfo.h"
#include "platform/Text.h"

namespace {

// Reads pieces of a file at given offsets; every read is checked against the
// file's size, so a truncated or hostile file only ever yields "not found".
class TBoundedFile {
public:
  explicit TBoundedFile(const std::u16string& Path) : FFd(::open(ToUtf8(Path).c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat Info {};
    if (FFd >= 0 && ::fstat(FFd, &Info) == 0 && S_ISREG(Info.st_mode)) FSize = static_cast<uint64_t>(Info.st_size);
  }
  ~TBoundedFile() {
    if (FFd >= 0) ::close(FFd);
  }
  TBoundedFile(const TBoundedFile&) = delete;
  TBoundedFile& operator=(const TBoundedFile&) = delete;

  bool ReadAt(uint64_t Offset, void* Out, std::size_t Size) const {
    if (Offset > FSize || Size > FSize - Offset) return false;
    return ::pread(FFd, Out, Size, static_cast<off_t>(Offset)) == static_cast<ssize_t>(Size);
  }

  // Up to Size bytes, fewer where the file ends; the count read.
  std::size_t ReadUpTo(uint64_t Offset, void* Out, std::size_t Size) const {
    if (Offset >= FSize) return 0;
    if (Size > FSize - Offset) Size = static_cast<std::size_t>(FSize - Offset);
    const ssize_t Read = ::pread(FFd, Out, Size, static_cast<off_t>(Offset));
    return Read > 0 ? static_cast<std::size_t>(Read) : 0;
  }

  template <class T>
  bool ReadAt(uint64_t Offset, T& Out) const {
    return ReadAt(Offset, &Out, sizeof(T));
  }

private:
  int FFd;
  uint64_t FSize = 0;
};

// A region of the file (the section table, the section names) read through one
// buffer: the walk over its small neighbouring pieces costs a read or two
// instead of one read per piece. A piece beyond the region or the file is
// not found, as with a direct read.
class TRegionReader {
public:
  TRegionReader(const TBoundedFile& File, uint64_t Offset, uint64_t Size) : FFile(File), FOffset(Offset), FSize(Size) {}

  bool ReadAt(uint64_t Offset, void* Out, std::size_t Size) {
    if (Offset > FSize || Size > FSize - Offset || Size > FBuffer.size()) return false;
    if (Offset < FStart || Offset - FStart + Size > FFilled) {
      uint64_t FileOffset = 0;
      if (__builtin_add_overflow(FOffset, Offset, &FileOffset)) return false;
      FStart = Offset;
      const uint64_t Wanted = std::min<uint64_t>(FBuffer.size(), FSize - Offset);
      FFilled = FFile.ReadUpTo(FileOffset, FBuffer.data(), static_cast<std::size_t>(Wanted));
      if (Size > FFilled) return false;
    }
    std::memcpy(Out, FBuffer.data() + (Offset - FStart), Size);
    return true;
  }

  template <class T>
  bool ReadAt(uint64_t Offset, T& Out) {
    return ReadAt(Offset, &Out, sizeof(T));
  }

private:
  const TBoundedFile& FFile;
  uint64_t FOffset, FSize;
  uint64_t FStart = 0;
  std::size_t FFilled = 0;
  std::array<unsigned char, 4096> FBuffer;
};

constexpr unsigned char HostByteOrder = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;
// A library is always of its process's class: ELF64 on x86_64, ELF32 on x86.
using TElfHeader = ElfW(Ehdr);
using TElfSection = ElfW(Shdr);
constexpr unsigned char HostElfClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;

bool IsReadableElf(const TElfHeader& Header) {
  return std::memcmp(Header.e_ident, ELFMAG, SELFMAG) == 0 && Header.e_ident[EI_CLASS] == HostElfClass &&
         Header.e_ident[EI_DATA] == HostByteOrder && Header.e_shentsize >= sizeof(TElfSection) &&
         Header.e_shstrndx < Header.e_shnum;
}

bool ReadSectionHeader(TRegionReader& Table, const TElfHeader& Header, unsigned Index, TElfSection& Section) {
  return Table.ReadAt(uint64_t{Index} * Header.e_shentsize, Section);
}

bool SectionNamed(TRegionReader& Names, const TElfSection& Section, std::string_view Wanted) {
  char Name[sizeof(ORVEX_VERSION_SECTION)] = {};
  const std::size_t Length = Wanted.size() + 1;  // with the terminating NUL
  return Length <= sizeof(Name) && Names.ReadAt(Section.sh_name, Name, Length) && Name[Wanted.size()] == '\0' &&
         std::string_view(Name, Wanted.size()) == Wanted;
}

bool ReadVersionSection(const TBoundedFile& File, const TElfSection& Section, TModuleVersion& Version) {
  return Section.sh_type != SHT_NOBITS && Section.sh_size >= sizeof(Version) &&
         File.ReadAt(Section.sh_offset, Version.data(), sizeof(Version));
}

std::string_view Trimmed(std::string_view Text) {
  const auto First = Text.find_first_not_of(" \t\r");
  if (First == std::string_view::npos) return {};
  return Text.substr(First, Text.find_last_not_of(" \t\r") - First + 1);
}

// os-release values are shell words: optionally quoted, with backslash escapes.
std::string ShellWordValue(std::string_view Raw) {
  Raw = Trimmed(Raw);
  if (Raw.size() >= 2 && (Raw.front() == '"' || Raw.front() == '\'') && Raw.back() == Raw.front())
    Raw = Raw.substr(1, Raw.size() - 2);
  std::string Value;
  for (std::size_t I = 0; I < Raw.size(); ++I) {
    if (Raw[I] == '\\' && I + 1 < Raw.size()) ++I;
    Value.push_back(Raw[I]);
  }
  return Value;
}

std::string PrettyNameFrom(const char* OsReleaseFile) {
  std::ifstream File(OsReleaseFile);
  constexpr std::string_view Key = "PRETTY_NAME=";
  for (std::string Line; std::getline(File, Line);) {
    if (std::string_view(Line).substr(0, Key.size()) == Key)
      return ShellWordValue(std::string_view(Line).substr(Key.size()));
  }
  return {};
}

std::u16string DistributionName() {
  std::string Name = PrettyNameFrom("/etc/os-release");
  if (Name.empty()) Name = PrettyNameFrom("/usr/lib/os-release");
  return Name.empty() ? std::u16string(u"Linux") : FromUtf8(Name);
}

// "6.1.0-18-amd64" gives 6, 1 and 0; missing numbers stay 0.
void ParseReleaseNumbers(std::string_view Release, TOSVersionFacts& Facts) {
  uint32_t* const Numbers[] = {&Facts.Major, &Facts.Minor, &Facts.Build};
  std::size_t I = 0;
  for (uint32_t* Number : Numbers) {
    if (I >= Release.size() || Release[I] < '0' || Release[I] > '9') return;
    for (; I < Release.size() && Release[I] >= '0' && Release[I] <= '9'; ++I)
      *Number = *Number * 10 + static_cast<uint32_t>(Release[I] - '0');
    if (I >= Release.size() || Release[I] != '.') return;
    ++I;
  }
}

}  // namespace

TModuleVersion ReadModuleVersion(const std::u16string& FilePath) {
  const TBoundedFile File(FilePath);
  TElfHeader Header{};
  if (!File.ReadAt(0, Header) || !IsReadableElf(Header)) return {};
  TRegionReader Table(File, Header.e_shoff, uint64_t{Header.e_shnum} * Header.e_shentsize);
  TElfSection NamesSection{};
  if (!ReadSectionHeader(Table, Header, Header.e_shstrndx, NamesSection)) return {};
  TRegionReader Names(File, NamesSection.sh_offset, NamesSection.sh_size);
  for (unsigned Index = 0; Index < Header.e_shnum; ++Index) {
    TElfSection Section{};
    TModuleVersion Version{};
    if (ReadSectionHeader(Table, Header, Index, Section) && SectionNamed(Names, Section, ORVEX_VERSION_SECTION) &&
        ReadVersionSection(File, Section, Version))
      return Version;
  }
  return {};
}

std::optional<TOSVersionFacts> QueryOSVersionFacts() {
  utsname Kernel{};
  if (::uname(&Kernel) != 0) return std::nullopt;
  TOSVersionFacts Facts;
  Facts.Name = DistributionName();
  Facts.ServicePack = FromUtf8(Kernel.release);
  ParseReleaseNumbers(Kernel.release, Facts);
  return Facts;
}
