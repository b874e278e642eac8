// Automation objects without COM: a ProgID names a provider library in our own
// class registry, and the library makes the object.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "platform/AutomationProvider.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/posix/FileDescriptor.posix.h"

namespace automation {

namespace {

constexpr char kDefaultRegistryFolder[] = "/etc/orvex/automation";
// Far more than any path; an entry larger than this is not ours.
constexpr std::size_t kEntryLimit = 8192;
// What the registration makes: nobody but the owner may change the registry.
constexpr mode_t kFolderMode = 0755;
constexpr mode_t kEntryMode = 0644;

[[noreturn]] void RaiseInvalidClassString() { throw Exception(std::u16string(u"Invalid class string")); }

[[noreturn]] void RaiseErrno(int Code, std::u16string_view Attempt, const std::string& Path) {
  throw Exception(std::u16string(Attempt) + u" \"" + FromUtf8(Path) + u"\": " +
                  FromUtf8(std::generic_category().message(Code)));
}

// A ProgID is also the entry's file name, so it must be one: no separators, no
// NUL (which would cut the name short) and no leading dot (hidden files are
// the registry's own temporaries).
bool IsValidProgId(std::u16string_view ProgId) {
  if (ProgId.empty() || ProgId.front() == u'.') return false;
  for (const char16_t C : ProgId) {
    if (C < 32 || C == u'/') return false;
  }
  return true;
}

// COM compares class names without regard to case. ProgIDs are ASCII in
// practice, so ASCII letters are folded and everything else compares exactly.
char16_t FoldCase(char16_t C) noexcept { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C - u'A' + u'a') : C; }

std::u16string FoldCase(std::u16string_view Text) {
  std::u16string Folded(Text);
  for (char16_t& C : Folded) C = FoldCase(C);
  return Folded;
}

// The registry folder as the system names it: the variable's bytes as they
// are when they are ASCII (no conversion on every look-up), else as
// RegistryFolder's text converts back, so that registration and look-up
// always name the same folder.
std::string NativeRegistryFolder() {
  const char* Folder = ::secure_getenv("ORVEX_AUTOMATION_REGISTRY");
  const std::string_view Named = Folder != nullptr && *Folder != '\0' ? Folder : kDefaultRegistryFolder;
  for (const char C : Named) {
    if (static_cast<unsigned char>(C) >= 0x80) return ToUtf8(FromUtf8(Named));
  }
  return std::string(Named);
}

// The file names in Folder that register ProgId, in whatever case they were written.
std::vector<std::string> EntriesOf(const std::string& Folder, std::u16string_view ProgId) {
  std::vector<std::string> Found;
  DIR* Dir = ::opendir(Folder.c_str());
  if (Dir == nullptr) return Found;
  const std::u16string Wanted = FoldCase(ProgId);
  while (const dirent* Entry = ::readdir(Dir)) {
    const std::string Name = Entry->d_name;
    if (!Name.empty() && Name.front() != '.' && FoldCase(FromUtf8(Name)) == Wanted) Found.push_back(Name);
  }
  ::closedir(Dir);
  return Found;
}

[[noreturn]] void RaiseRefused(const std::u16string& What, const Exception& Reason) {
  throw Exception(What + u" is refused: " + Reason.Message());
}

// A registry entry, its folder and its provider library are trusted only as
// os::TrustedRealPath allows; anything else is refused with the reason.
std::string TrustedOrRefused(const std::string& Path, os::TTrustedKind Kind, const std::u16string& What) {
  try {
    return os::TrustedRealPath(Path, Kind);
  } catch (const Exception& E) {
    RaiseRefused(What, E);
  }
}

std::u16string ClassEntryText(std::u16string_view ProgId) {
  return u"The entry of the automation class \"" + std::u16string(ProgId) + u"\"";
}

// The provider path the entry holds. Read from the entry's real path: a
// regular file, never more than kEntryLimit bytes (os::ReadWholeFile opens it
// non-blocking and refuses anything else).
std::string ReadEntry(const std::string& Folder, const std::string& Name) {
  const std::u16string What = ClassEntryText(FromUtf8(Name));
  const std::string Path = TrustedOrRefused(Folder + "/" + Name, os::TTrustedKind::RegularFile, What);
  std::string Content;
  try {
    Content = os::ReadWholeFile(FromUtf8(Path), kEntryLimit);
  } catch (const Exception& E) {
    RaiseRefused(What, E);
  }
  while (!Content.empty() && (Content.back() == '\n' || Content.back() == '\r')) Content.pop_back();
  return Content;
}

struct Registration {
  std::u16string ProgId;     // as registered, which may differ in case from the name asked for
  std::string EntryPath;     // the entry on the registry folder's path as configured
  std::string Provider;      // as registered
  std::string RealProvider;  // what is loaded: the checked real path
};

// What stat() tells of the file a path leads to now (links followed). Equal
// stamps mean the same file, unchanged: a replacement is another inode, a
// write moves the size or the modification time, and every chmod, chown or
// rename of it moves the status change time.
struct FileStamp {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  uid_t Owner = 0;
  gid_t Group = 0;
  mode_t Mode = 0;
  timespec Modified{};
  timespec Changed{};
};

bool operator==(const timespec& A, const timespec& B) noexcept {
  return A.tv_sec == B.tv_sec && A.tv_nsec == B.tv_nsec;
}

bool operator==(const FileStamp& A, const FileStamp& B) noexcept {
  return A.Device == B.Device && A.Inode == B.Inode && A.Size == B.Size && A.Owner == B.Owner && A.Group == B.Group &&
         A.Mode == B.Mode && A.Modified == B.Modified && A.Changed == B.Changed;
}

// Nothing when the path leads nowhere now.
std::optional<FileStamp> StampOf(const std::string& Path) noexcept {
  struct stat Info {};
  if (::stat(Path.c_str(), &Info) != 0) return std::nullopt;
  return FileStamp{Info.st_dev, Info.st_ino,  Info.st_size, Info.st_uid,
                   Info.st_gid, Info.st_mode, Info.st_mtim, Info.st_ctim};
}

// The three files a registration rests on, each stamped just before it was
// checked: a change after the stamp, even one during the check, shows as a
// different stamp later.
struct RegistrationStamps {
  std::optional<FileStamp> Folder, Entry, Provider;
};

std::string TrustedRegistry(const std::string& Folder) {
  return TrustedOrRefused(Folder, os::TTrustedKind::Folder, u"The automation class registry");
}

// The registry folder as a process that may run as root may trust it, or
// nothing when there is none (no class is registered then).
std::optional<std::string> TrustedRegistryFolder() {
  const std::string Folder = NativeRegistryFolder();
  struct stat Info {};
  if (::stat(Folder.c_str(), &Info) != 0 && errno == ENOENT) return std::nullopt;
  return TrustedRegistry(Folder);
}

// The provider library registered for ProgId in the folder RegistryPath
// names, with the stamps of the files it rests on. A relative path would send
// dlopen() searching the library path, so such an entry is refused.
Registration RegistrationOf(std::u16string_view ProgId, const std::string& RegistryPath, RegistrationStamps& Stamps) {
  Stamps.Folder = StampOf(RegistryPath);
  const std::optional<std::string> Folder = TrustedRegistryFolder();
  if (!Folder) RaiseInvalidClassString();
  const std::vector<std::string> Entries = EntriesOf(*Folder, ProgId);
  if (Entries.empty()) RaiseInvalidClassString();
  const std::string& Name = Entries.front();
  Registration Found{FromUtf8(Name), RegistryPath + "/" + Name, {}, {}};
  Stamps.Entry = StampOf(Found.EntryPath);
  Found.Provider = ReadEntry(*Folder, Name);
  if (Found.Provider.empty() || Found.Provider.front() != '/') {
    throw Exception(u"The automation class \"" + Found.ProgId + u"\" is registered with the provider \"" +
                    FromUtf8(Found.Provider) + u"\", which is not an absolute path");
  }
  Stamps.Provider = StampOf(Found.Provider);
  Found.RealProvider = TrustedOrRefused(
      Found.Provider, os::TTrustedKind::RegularFile,
      u"The automation provider \"" + FromUtf8(Found.Provider) + u"\" of the class \"" + Found.ProgId + u"\"");
  return Found;
}

std::u16string DlError() {
  const char* Text = ::dlerror();
  return Text != nullptr ? FromUtf8(Text) : std::u16string(u"unknown reason");
}

// A provider library, once loaded, stays for the life of the process. Its code
// is reachable from more than the objects it made: an exception it threw that
// is still being handled, an object one of its objects answered, a by-reference
// argument it wrote. Unloading it when its last object goes would leave those
// pointing into unmapped code, so dlclose() only drops our reference. The real
// path that was checked is what is loaded: a link on the registered path that
// changes after the check changes nothing.
ProviderEntry LoadProviderEntry(const Registration& Class) {
  const std::string& Provider = Class.Provider;
  const std::u16string_view ProgId = Class.ProgId;
  void* Library = ::dlopen(Class.RealProvider.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (Library == nullptr) {
    throw Exception(u"Could not load the automation provider \"" + FromUtf8(Provider) + u"\" of the class \"" +
                    std::u16string(ProgId) + u"\": " + DlError());
  }
  ::dlerror();
  void* Symbol = ::dlsym(Library, kProviderEntryName);
  const std::u16string Reason = Symbol == nullptr ? DlError() : std::u16string();
  ::dlclose(Library);
  if (Symbol == nullptr) {
    throw Exception(u"The automation provider \"" + FromUtf8(Provider) + u"\" has no entry " +
                    AsciiToU16(kProviderEntryName) + u": " + Reason);
  }
  return reinterpret_cast<ProviderEntry>(Symbol);
}

// Whether the entry Name names Provider; an entry that cannot be read or
// trusted names nothing.
bool NamesProvider(const std::string& Folder, const std::string& Name, const std::string& Provider) {
  try {
    return ReadEntry(Folder, Name) == Provider;
  } catch (const Exception&) {
    return false;
  }
}

// Every entry of ProgId but the one named Keep (other spellings of the same
// class); with OnlyOf given, only the entries that name that provider.
void RemoveEntries(const std::string& Folder, std::u16string_view ProgId, const std::string& Keep = {},
                   const std::string& OnlyOf = {}) {
  for (const std::string& Name : EntriesOf(Folder, ProgId)) {
    if (Name == Keep || (!OnlyOf.empty() && !NamesProvider(Folder, Name, OnlyOf))) continue;
    const std::string Path = Folder + "/" + Name;
    if (::unlink(Path.c_str()) != 0 && errno != ENOENT) {
      RaiseErrno(errno, u"Cannot remove the automation class entry", Path);
    }
  }
}

void WriteAll(int File, const std::string& Bytes, const std::string& Path) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    const ssize_t Written = ::write(File, Bytes.data() + Done, Bytes.size() - Done);
    if (Written < 0 && errno == EINTR) continue;
    if (Written < 0) RaiseErrno(errno, u"Cannot write the automation class entry", Path);
    Done += static_cast<std::size_t>(Written);
  }
}

// Written aside and renamed into place, so that a reader sees the old entry or
// the new one, never half of one. Readable by every user, like the rest of /etc.
void WriteEntry(const std::string& Folder, const std::string& Name, const std::string& Content) {
  std::string Temporary = Folder + "/.entry.XXXXXX";
  const int File = ::mkstemp(Temporary.data());
  if (File < 0) RaiseErrno(errno, u"Cannot create an automation class entry in", Folder);
  try {
    WriteAll(File, Content, Temporary);
    if (::fchmod(File, kEntryMode) != 0)
      RaiseErrno(errno, u"Cannot set the rights of the automation class entry", Temporary);
    if (::close(File) != 0) RaiseErrno(errno, u"Cannot write the automation class entry", Temporary);
  } catch (...) {
    ::close(File);
    ::unlink(Temporary.c_str());
    throw;
  }
  const std::string Path = Folder + "/" + Name;
  if (::rename(Temporary.c_str(), Path.c_str()) != 0) {
    const int Code = errno;
    ::unlink(Temporary.c_str());
    RaiseErrno(Code, u"Cannot write the automation class entry", Path);
  }
}

// A class whose registration passed every check, for the effective user it
// was checked for, with the stamps of its folder, entry and provider.
struct CheckedClass {
  uid_t User = 0;
  RegistrationStamps Stamps;
  Registration Class;
  ProviderEntry Make = nullptr;
};

// Whether a class checked before may be created again without the full look-up
// (the folder listed, the entry read, every folder from the root down checked
// for each of the three, the provider opened): only when the same user asks
// and the folder, the entry and the provider are each still the very file
// that was checked, unchanged in content, owner and rights. A file swapped
// anywhere on their paths, a folder above included, leads the stat() to
// another file; an entry added, renamed or removed changes the folder. Any
// difference at all, or a stat() that fails, and the full look-up runs again.
bool StillHolds(const CheckedClass& Checked, const std::string& RegistryPath, uid_t User) {
  const RegistrationStamps& Was = Checked.Stamps;
  return Checked.User == User && StampOf(RegistryPath) == Was.Folder && StampOf(Checked.Class.EntryPath) == Was.Entry &&
         StampOf(Checked.Class.Provider) == Was.Provider;
}

// The classes checked in this process, by registry folder and case-folded
// ProgID. A provider library stays loaded for the life of the process, so its
// entry stays valid as long as the registration does.
class CheckedClasses {
public:
  std::shared_ptr<const CheckedClass> Find(const std::string& Key) {
    const std::lock_guard Lock(FMutex);
    const auto Found = FClasses.find(Key);
    return Found == FClasses.end() ? nullptr : Found->second;
  }
  void Store(const std::string& Key, std::shared_ptr<const CheckedClass> Checked) {
    const std::lock_guard Lock(FMutex);
    if (Checked)
      FClasses.insert_or_assign(Key, std::move(Checked));
    else
      FClasses.erase(Key);
  }

  // Frees every block the cache holds, the map's own included (clear() keeps
  // its buckets). A class another thread still holds lives until it lets go.
  void Clear() {
    decltype(FClasses) Dropped;
    const std::lock_guard Lock(FMutex);
    FClasses.swap(Dropped);
  }

private:
  std::mutex FMutex;
  std::unordered_map<std::string, std::shared_ptr<const CheckedClass>> FClasses;
};

// Never destroyed: an object may still be created while the process exits
// (from another static's destructor, or another thread). It lives in static
// storage, so that nothing of it is left on the heap when the library is
// unloaded once ReleaseAtUnload has emptied it.
CheckedClasses& CheckedClassCache() {
  alignas(CheckedClasses) static unsigned char Storage[sizeof(CheckedClasses)];
  static CheckedClasses* const Cache = new (Storage) CheckedClasses;
  return *Cache;
}

// The library's unload (and the process's exit) empties the cache: a host
// that loads the driver for each piece of work would otherwise lose its
// blocks on every unload. Emptied, not destroyed: a class asked for after
// this is merely checked again.
struct ReleaseCheckedClassesAtUnload {
  ReleaseCheckedClassesAtUnload() = default;
  ReleaseCheckedClassesAtUnload(const ReleaseCheckedClassesAtUnload&) = delete;
  ReleaseCheckedClassesAtUnload& operator=(const ReleaseCheckedClassesAtUnload&) = delete;
  ~ReleaseCheckedClassesAtUnload() { CheckedClassCache().Clear(); }
};
const ReleaseCheckedClassesAtUnload ReleaseAtUnload;

// A registration this process changes, also one it fails to change half-way,
// is looked up in full again: an entry removed and written anew within one
// tick of the file system's clock may come back with the same inode, size and
// times.
struct ForgetCheckedClasses {
  ForgetCheckedClasses() = default;
  ForgetCheckedClasses(const ForgetCheckedClasses&) = delete;
  ForgetCheckedClasses& operator=(const ForgetCheckedClasses&) = delete;
  ~ForgetCheckedClasses() { CheckedClassCache().Clear(); }
};

std::shared_ptr<const CheckedClass> CheckedClassOf(std::u16string_view ProgId) {
  if (!IsValidProgId(ProgId)) RaiseInvalidClassString();
  const std::string RegistryPath = NativeRegistryFolder();
  // The folder, then the case-folded ProgID's code units: one key per class of
  // one registry (a folder's name holds no NUL).
  std::string Key = RegistryPath;
  Key += '\0';
  for (const char16_t C : ProgId) {
    const char16_t Folded = FoldCase(C);
    Key += static_cast<char>(Folded & 0xFF);
    Key += static_cast<char>(Folded >> 8);
  }
  const uid_t User = ::geteuid();
  CheckedClasses& Cache = CheckedClassCache();
  if (std::shared_ptr<const CheckedClass> Cached = Cache.Find(Key)) {
    if (StillHolds(*Cached, RegistryPath, User)) return Cached;
  }
  auto Checked = std::make_shared<CheckedClass>();
  Checked->User = User;
  try {
    Checked->Class = RegistrationOf(ProgId, RegistryPath, Checked->Stamps);
    Checked->Make = LoadProviderEntry(Checked->Class);
  } catch (...) {
    Cache.Store(Key, nullptr);
    throw;
  }
  const RegistrationStamps& Stamps = Checked->Stamps;
  Cache.Store(Key, Stamps.Folder && Stamps.Entry && Stamps.Provider ? Checked : nullptr);
  return Checked;
}

}  // namespace

std::u16string RegistryFolder() { return FromUtf8(NativeRegistryFolder()); }

void RegisterClass(std::u16string_view ProgId, std::u16string_view ProviderPath) {
  if (!IsValidProgId(ProgId)) RaiseInvalidClassString();
  const std::string Provider = ToUtf8(ProviderPath);
  if (Provider.empty() || Provider.front() != '/' ||
      Provider.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
    throw Exception(u"The provider library of an automation class must be given by its absolute path, not \"" +
                    std::u16string(ProviderPath) + u"\"");
  }
  const ForgetCheckedClasses Forget;
  // Exact rights whatever the umask: the folder must keep the rules a root
  // process checks before it trusts an entry. A registry that breaks them
  // takes no entry, which the driver would refuse anyway.
  const std::u16string Folder = RegistryFolder();
  os::CreateDirectories(Folder, kFolderMode);
  const std::string NativeFolder = TrustedRegistry(ToUtf8(Folder));
  const std::string Name = ToUtf8(ProgId);
  WriteEntry(NativeFolder, Name, Provider + "\n");
  RemoveEntries(NativeFolder, ProgId, Name);
}

void UnregisterClass(std::u16string_view ProgId, std::u16string_view OnlyOfProvider) {
  if (!IsValidProgId(ProgId)) RaiseInvalidClassString();
  const ForgetCheckedClasses Forget;
  RemoveEntries(NativeRegistryFolder(), ProgId, {}, ToUtf8(OnlyOfProvider));
}

ObjectRef CreateObject(std::u16string_view ProgId) {
  const std::shared_ptr<const CheckedClass> Checked = CheckedClassOf(ProgId);
  const Registration& Class = Checked->Class;
  Object* Instance = Checked->Make(Class.ProgId.c_str());
  if (Instance == nullptr) {
    throw Exception(u"The automation provider \"" + FromUtf8(Class.Provider) + u"\" does not provide the class \"" +
                    Class.ProgId + u"\"");
  }
  return ObjectRef(Instance);
}

}  // namespace automation
