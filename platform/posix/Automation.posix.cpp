// Automation objects without COM: a ProgID names a provider library in our own
// class registry, and the library makes the object.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "platform/AutomationProvider.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace automation {

namespace {

constexpr char kDefaultRegistryFolder[] = "/etc/orvex/automation";
// Far more than any path; an entry larger than this is not ours.
constexpr std::size_t kEntryLimit = 8192;

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
std::u16string FoldCase(std::u16string_view Text) {
  std::u16string Folded(Text);
  for (char16_t& C : Folded) {
    if (C >= u'A' && C <= u'Z') C = static_cast<char16_t>(C - u'A' + u'a');
  }
  return Folded;
}

std::string NativeRegistryFolder() { return ToUtf8(RegistryFolder()); }

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

std::string ReadEntry(const std::string& Path) {
  const int File = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (File < 0) RaiseErrno(errno, u"Cannot read the automation class entry", Path);
  std::string Content(kEntryLimit, '\0');
  ssize_t Length;
  do {
    Length = ::read(File, Content.data(), Content.size());
  } while (Length < 0 && errno == EINTR);
  const int ReadError = errno;
  ::close(File);
  if (Length < 0) RaiseErrno(ReadError, u"Cannot read the automation class entry", Path);
  Content.resize(static_cast<std::size_t>(Length));
  while (!Content.empty() && (Content.back() == '\n' || Content.back() == '\r')) Content.pop_back();
  return Content;
}

struct Registration {
  std::u16string ProgId;  // as registered, which may differ in case from the name asked for
  std::string Provider;
};

// The provider library registered for ProgId. A relative path would send
// dlopen() searching the library path, so such an entry is refused.
Registration RegistrationOf(std::u16string_view ProgId) {
  if (!IsValidProgId(ProgId)) RaiseInvalidClassString();
  const std::string Folder = NativeRegistryFolder();
  const std::vector<std::string> Entries = EntriesOf(Folder, ProgId);
  if (Entries.empty()) RaiseInvalidClassString();
  Registration Found{FromUtf8(Entries.front()), ReadEntry(Folder + "/" + Entries.front())};
  if (Found.Provider.empty() || Found.Provider.front() != '/') {
    throw Exception(u"The automation class \"" + Found.ProgId + u"\" is registered with the provider \"" +
                    FromUtf8(Found.Provider) + u"\", which is not an absolute path");
  }
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
// pointing into unmapped code, so dlclose() only drops our reference.
ProviderEntry LoadProviderEntry(const std::string& Provider, std::u16string_view ProgId) {
  void* Library = ::dlopen(Provider.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
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

// Every entry of ProgId but the one named Keep (other spellings of the same class).
void RemoveEntries(const std::string& Folder, std::u16string_view ProgId, const std::string& Keep = {}) {
  for (const std::string& Name : EntriesOf(Folder, ProgId)) {
    if (Name == Keep) continue;
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
    if (::fchmod(File, 0644) != 0) RaiseErrno(errno, u"Cannot set the rights of the automation class entry", Temporary);
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

}  // namespace

std::u16string RegistryFolder() {
  const char* Folder = ::secure_getenv("ORVEX_AUTOMATION_REGISTRY");
  return FromUtf8(Folder != nullptr && *Folder != '\0' ? Folder : kDefaultRegistryFolder);
}

void RegisterClass(std::u16string_view ProgId, std::u16string_view ProviderPath) {
  if (!IsValidProgId(ProgId)) RaiseInvalidClassString();
  const std::string Provider = ToUtf8(ProviderPath);
  if (Provider.empty() || Provider.front() != '/' ||
      Provider.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
    throw Exception(u"The provider library of an automation class must be given by its absolute path, not \"" +
                    std::u16string(ProviderPath) + u"\"");
  }
  const std::u16string Folder = RegistryFolder();
  os::CreateDirectories(Folder);
  const std::string NativeFolder = ToUtf8(Folder);
  const std::string Name = ToUtf8(ProgId);
  WriteEntry(NativeFolder, Name, Provider + "\n");
  RemoveEntries(NativeFolder, ProgId, Name);
}

void UnregisterClass(std::u16string_view ProgId) {
  if (!IsValidProgId(ProgId)) RaiseInvalidClassString();
  RemoveEntries(NativeRegistryFolder(), ProgId);
}

ObjectRef CreateObject(std::u16string_view ProgId) {
  const Registration Class = RegistrationOf(ProgId);
  const ProviderEntry Entry = LoadProviderEntry(Class.Provider, Class.ProgId);
  Object* Instance = Entry(Class.ProgId.c_str());
  if (Instance == nullptr) {
    throw Exception(u"The automation provider \"" + FromUtf8(Class.Provider) + u"\" does not provide the class \"" +
                    Class.ProgId + u"\"");
  }
  return ObjectRef(Instance);
}

}  // namespace automation
