#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "LogTestSupport.h"
#include "logging/uVInfo.h"
#include "platform/Text.h"

namespace logtest {

fs::path UseMachineAppData(const fs::path& Scratch) {
  ::setenv("PROGRAMDATA", Scratch.c_str(), 1);
  return Scratch;
}

void RestoreMachineAppData() { ::unsetenv("PROGRAMDATA"); }

bool EveryoneMayWriteIn(const fs::path& Folder) {
  struct stat Info {};
  return ::stat(Folder.c_str(), &Info) == 0 && (Info.st_mode & 0777) == 0777;
}

namespace {

mode_t ModeOf(const fs::path& Path) {
  struct stat Info {};
  return ::stat(Path.c_str(), &Info) == 0 ? Info.st_mode & 07777 : 0;
}

class UmaskGuard {
public:
  explicit UmaskGuard(mode_t Mask) : FOld(::umask(Mask)) {}
  ~UmaskGuard() { ::umask(FOld); }
  UmaskGuard(const UmaskGuard&) = delete;
  UmaskGuard& operator=(const UmaskGuard&) = delete;

private:
  mode_t FOld;
};

// Sticky and writable by all, as /tmp: every user adds day files, nobody can
// remove or replace another user's.
TEST_F(LogTest, NewFoldersAndDayFileAreSharedWhateverTheCreatorsUmask) {
  const UmaskGuard Strict(077);
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llDebug);
  EXPECT_EQ(ModeOf(VendorFolder()), 01777u);
  EXPECT_EQ(ModeOf(LogFolder()), 01777u);
  EXPECT_EQ(ModeOf(LogFile()), 0666u);
}

TEST_F(LogTest, LinesFromSeveralProcessesStayWhole) {
  constexpr int Writers = 4, LinesEach = 150;
  SetLogMode(TLogMode::lmAll);
  WriteStartBanner();
  std::vector<pid_t> Children;
  for (int Writer = 0; Writer < Writers; ++Writer) {
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      WriteLinesAsWriter(Writer, LinesEach);
      ::_exit(0);  // no static destructors: the parent owns the log's stop line
    }
    Children.push_back(Child);
  }
  for (const pid_t Child : Children) {
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  }
  ExpectWholeWriterLines(LogContent(), Writers, LinesEach);
}

// Each process writes its own start banner with its first line: the six lines
// must stay together whatever the other processes append meanwhile.
TEST_F(LogTest, StartBannersOfSeveralProcessesStayWhole) {
  constexpr int Writers = 4, Rounds = 30;
  std::vector<pid_t> Children;
  for (int Writer = 0; Writer < Writers; ++Writer) {
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      for (int Round = 0; Round < Rounds; ++Round) {
        SetLogMode(TLogMode::lmAll);
        WriteLog(u"after the banner", u"", TLogLevel::llDebug);
        SetLogMode(TLogMode::lmOff);
      }
      ::_exit(0);
    }
    Children.push_back(Child);
  }
  for (const pid_t Child : Children) {
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  }
  const std::string Content = LogContent();
  const std::string Banner = ExpectedStartBanner();
  std::size_t Banners = 0;
  for (std::size_t At = Content.find(Banner); At != std::string::npos; At = Content.find(Banner, At + 1)) ++Banners;
  EXPECT_EQ(Banners, std::size_t{Writers * Rounds}) << "a banner was torn by another process's line";
}

TEST(VInfoPosix, OsTextNamesTheKernelRelease) {
  utsname Kernel{};
  ASSERT_EQ(::uname(&Kernel), 0);
  const std::string Text = ToUtf8(GetOSVersionText());
  EXPECT_NE(Text.find(std::string(" ") + Kernel.release + " ("), std::string::npos) << Text;
  EXPECT_EQ(Text.back(), ')');
}

// ELF files whose header or section table lies about where things are.
struct ElfDamage {
  const char* Name;
  void (*Apply)(std::string& Library);
};

template <class T>
void Patch(std::string& Bytes, std::size_t Offset, T Value) {
  if (Offset + sizeof(T) <= Bytes.size()) std::memcpy(Bytes.data() + Offset, &Value, sizeof(T));
}

// The library under test is of the test program's own class.
using TElfHeader = ElfW(Ehdr);
using TElfSection = ElfW(Shdr);
using TElfOffset = ElfW(Off);
using TElfWord = ElfW(Word);
using TElfSize = decltype(TElfSection::sh_size);

TElfHeader HeaderOf(const std::string& Library) {
  TElfHeader Header{};
  std::memcpy(&Header, Library.data(), sizeof(Header));
  return Header;
}

template <class T>
void PatchEverySection(std::string& Library, std::size_t FieldOffset, T Value) {
  const TElfHeader Header = HeaderOf(Library);
  for (unsigned Index = 0; Index < Header.e_shnum; ++Index)
    Patch(Library, Header.e_shoff + Index * Header.e_shentsize + FieldOffset, Value);
}

// The version read from a changed copy of the fixture library (2.17.300.4001).
TModuleVersion VersionOfChangedFixture(const ElfDamage& Change) {
  const fs::path Fixture = fs::path(GetModuleFilePath()).parent_path() / VERSION_FIXTURE_NAME;
  std::string Library = ReadFileBytes(Fixture);
  if (Library.size() < sizeof(TElfHeader)) return {};
  Change.Apply(Library);
  const fs::path Changed = fs::temp_directory_path() / (std::string("orvex-elf-") + Change.Name);
  std::ofstream(Changed, std::ios::binary) << Library;
  const TModuleVersion Version = ReadModuleVersion(Changed.u16string());
  fs::remove(Changed);
  return Version;
}

class DamagedElfTest : public ::testing::TestWithParam<ElfDamage> {};

TEST_P(DamagedElfTest, GivesZeroVersionWithoutReadingOutOfBounds) {
  EXPECT_EQ(VersionOfChangedFixture(GetParam()), (TModuleVersion{0, 0, 0, 0}));
}

// The names are read in blocks: a name far from the others is still found.
TEST(VInfoPosix, FindsTheVersionNamedFarIntoALongNameTable) {
  const ElfDamage FarName{
      "FarName", [](std::string& L) {
        const TElfHeader Header = HeaderOf(L);
        const auto SectionAt = [&](unsigned Index) { return Header.e_shoff + Index * Header.e_shentsize; };
        TElfSection Names{};
        std::memcpy(&Names, L.data() + SectionAt(Header.e_shstrndx), sizeof(Names));
        constexpr std::size_t Far = 10000;
        std::string Table(Far, '\0');
        Table += std::string(ORVEX_VERSION_SECTION) + '\0';
        for (unsigned Index = 0; Index < Header.e_shnum; ++Index) {
          TElfSection Section{};
          std::memcpy(&Section, L.data() + SectionAt(Index), sizeof(Section));
          const bool IsVersion = std::strcmp(L.c_str() + Names.sh_offset + Section.sh_name, ORVEX_VERSION_SECTION) == 0;
          Patch<TElfWord>(L, SectionAt(Index) + offsetof(TElfSection, sh_name),
                          IsVersion ? TElfWord{Far} : TElfWord{0});
        }
        Patch<TElfOffset>(L, SectionAt(Header.e_shstrndx) + offsetof(TElfSection, sh_offset),
                          static_cast<TElfOffset>(L.size()));
        Patch<TElfSize>(L, SectionAt(Header.e_shstrndx) + offsetof(TElfSection, sh_size),
                        static_cast<TElfSize>(Table.size()));
        L += Table;
      }};
  EXPECT_EQ(VersionOfChangedFixture(FarName), (TModuleVersion{2, 17, 300, 4001}));
}

const ElfDamage ElfDamages[] = {
    {"SectionTableBeyondTheFile",
     [](std::string& L) { Patch<TElfOffset>(L, offsetof(TElfHeader, e_shoff), ~TElfOffset{0} - 8); }},
    {"SectionTableCut", [](std::string& L) { L.resize(L.size() - 1); }},
    {"NamesIndexOutOfRange", [](std::string& L) { Patch<uint16_t>(L, offsetof(TElfHeader, e_shstrndx), 0xFFFE); }},
    {"SectionEntriesTooSmall", [](std::string& L) { Patch<uint16_t>(L, offsetof(TElfHeader, e_shentsize), 1); }},
    {"OtherClass", [](std::string& L) { L[EI_CLASS] = sizeof(void*) == 8 ? ELFCLASS32 : ELFCLASS64; }},
    {"NamesBeyondTheFile",
     [](std::string& L) { PatchEverySection<TElfWord>(L, offsetof(TElfSection, sh_name), 0xFFFFFFF0u); }},
    {"SectionsBeyondTheFile",
     [](std::string& L) { PatchEverySection<TElfOffset>(L, offsetof(TElfSection, sh_offset), ~TElfOffset{0} - 4); }},
    {"SectionsTooShort", [](std::string& L) { PatchEverySection<TElfSize>(L, offsetof(TElfSection, sh_size), 2); }},
};
INSTANTIATE_TEST_SUITE_P(Elf, DamagedElfTest, ::testing::ValuesIn(ElfDamages),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace logtest
