#include "bench/peer/PeerAddIn.h"

#include <cstring>
#include <string>
#include <string_view>

namespace peer {

namespace {

constexpr int32_t kVersion = 10000;
constexpr int32_t kRevision = 4000;

// The driver's exported surface. A component of this design registers every
// member in each object, so creating one costs in proportion to its members:
// beside its two trivial ones the peer carries as many more as the driver has.
constexpr std::size_t kSurfaceProperties = 10;
constexpr std::size_t kSurfaceMethods = 39;

struct MemberNames {
  std::u16string Name;
  std::u16string LocalName;
};

std::u16string Numbered(std::u16string_view Stem, std::size_t Number) {
  std::u16string Text(Stem);
  const std::string Digits = std::to_string(Number);
  Text.append(Digits.begin(), Digits.end());
  return Text;
}

std::vector<MemberNames> NumberedNames(std::size_t Count, std::u16string_view Stem, std::u16string_view LocalStem) {
  std::vector<MemberNames> Names;
  for (std::size_t Number = 1; Number <= Count; ++Number)
    Names.push_back({Numbered(Stem, Number), Numbered(LocalStem, Number)});
  return Names;
}

// Built once: each object copies them as it would copy its names from literals.
const std::vector<MemberNames>& SurfaceProperties() {
  static const std::vector<MemberNames> Names =
      NumberedNames(kSurfaceProperties - 1, u"SettingNumber", u"НастройкаНомер");
  return Names;
}

const std::vector<MemberNames>& SurfaceMethods() {
  static const std::vector<MemberNames> Names =
      NumberedNames(kSurfaceMethods - 1, u"OperationNumber", u"ОперацияНомер");
  return Names;
}

// ASCII and the Russian alphabet: the letters member names are written in.
char16_t Folded(char16_t Letter) {
  if ((Letter >= u'A' && Letter <= u'Z') || (Letter >= u'\u0410' && Letter <= u'\u042F'))
    return static_cast<char16_t>(Letter + 0x20);
  if (Letter == u'\u0401') return u'\u0451';
  return Letter;
}

bool SameName(std::u16string_view Left, std::u16string_view Right) {
  if (Left.size() != Right.size()) return false;
  for (std::size_t Index = 0; Index < Left.size(); ++Index) {
    if (Folded(Left[Index]) != Folded(Right[Index])) return false;
  }
  return true;
}

template <class Member>
long FindByName(const std::vector<Member>& Members, const char16_t* Name) {
  if (!Name) return -1;
  for (std::size_t Index = 0; Index < Members.size(); ++Index) {
    if (SameName(Members[Index].Name, Name) || SameName(Members[Index].LocalName, Name))
      return static_cast<long>(Index);
  }
  return -1;
}

template <class Member>
const Member* At(const std::vector<Member>& Members, long Number) {
  return Number >= 0 && static_cast<std::size_t>(Number) < Members.size() ? &Members[static_cast<std::size_t>(Number)]
                                                                          : nullptr;
}

Value FromRecord(const V8Variant& Record) {
  switch (Record.vt) {
    case VTYPE_BOOL: return Record.bVal;
    case VTYPE_I4: return Record.lVal;
    case VTYPE_R8: return Record.dblVal;
    case VTYPE_PWSTR: return std::u16string(Record.vtRecWideString.pwstrVal, Record.vtRecWideString.wstrLen);
    default: return std::monostate{};
  }
}

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;

}  // namespace

AddIn::AddIn() {
  AddProperty(u"Version", u"Версия", [] { return Value{kVersion}; });
  AddMethod(u"GetRevision", u"ПолучитьРевизию", &AddIn::GetRevision);

  FSettings.resize(SurfaceProperties().size());
  for (std::size_t Index = 0; Index < FSettings.size(); ++Index) {
    const MemberNames& Names = SurfaceProperties()[Index];
    AddProperty(
        Names.Name, Names.LocalName, [this, Index] { return FSettings[Index]; },
        [this, Index](const Value& Setting) { FSettings[Index] = Setting; });
  }
  for (const MemberNames& Names : SurfaceMethods()) AddMethod(Names.Name, Names.LocalName, &AddIn::DoNothing);
}

void AddIn::AddProperty(std::u16string Name, std::u16string LocalName, std::function<Value()> Get,
                        std::function<void(const Value&)> Set) {
  FProperties.push_back({std::move(Name), std::move(LocalName), std::move(Get), std::move(Set)});
}

Value AddIn::GetRevision() { return kRevision; }

Value AddIn::DoNothing() { return {}; }

// ---------------------------------------------------------------------------
bool AddIn::Init(void* HostConnection) {
  FConnection = static_cast<Connection*>(HostConnection);
  return FConnection != nullptr;
}

bool AddIn::setMemManager(void* HostMemory) {
  FMemory = static_cast<MemoryManager*>(HostMemory);
  return FMemory != nullptr;
}

long AddIn::GetInfo() { return 2000; }

void AddIn::Done() {}

void AddIn::SetLocale(const char16_t* Name) {
  try {
    FLocale = Name ? Name : u"";
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------
// Texts handed to the host live in its memory: it frees them itself.
const char16_t* AddIn::HostCopy(const std::u16string& Text) {
  void* Block = nullptr;
  const std::size_t Bytes = (Text.size() + 1) * sizeof(char16_t);
  if (!FMemory || !FMemory->AllocMemory(&Block, static_cast<unsigned long>(Bytes))) return nullptr;
  std::memcpy(Block, Text.c_str(), Bytes);
  return static_cast<const char16_t*>(Block);
}

bool AddIn::ToRecord(const Value& From, V8Variant& To) {
  return std::visit(Overloaded{
                        [&](std::monostate) {
                          To.vt = VTYPE_EMPTY;
                          return true;
                        },
                        [&](bool Flag) {
                          To.vt = VTYPE_BOOL;
                          To.bVal = Flag;
                          return true;
                        },
                        [&](int32_t Number) {
                          To.vt = VTYPE_I4;
                          To.lVal = Number;
                          return true;
                        },
                        [&](double Number) {
                          To.vt = VTYPE_R8;
                          To.dblVal = Number;
                          return true;
                        },
                        [&](const std::u16string& Text) {
                          const char16_t* Copy = HostCopy(Text);
                          if (!Copy) return false;
                          To.vt = VTYPE_PWSTR;
                          To.vtRecWideString.pwstrVal = const_cast<char16_t*>(Copy);
                          To.vtRecWideString.wstrLen = static_cast<uint32_t>(Text.size());
                          return true;
                        },
                    },
                    From);
}

bool AddIn::RegisterExtensionAs(char16_t** ExtensionName) {
  if (!ExtensionName) return false;
  try {
    *ExtensionName = const_cast<char16_t*>(HostCopy(kClassName));
  } catch (...) {
    return false;
  }
  return *ExtensionName != nullptr;
}

long AddIn::GetNProps() { return static_cast<long>(FProperties.size()); }

long AddIn::FindProp(const char16_t* Name) { return FindByName(FProperties, Name); }

template <class Member>
const char16_t* AddIn::NameCopy(const std::vector<Member>& Members, long Number, long Language) {
  const Member* Found = At(Members, Number);
  if (!Found) return nullptr;
  try {
    return HostCopy(Language == 0 ? Found->Name : Found->LocalName);
  } catch (...) {
    return nullptr;
  }
}

const char16_t* AddIn::GetPropName(long Number, long Language) { return NameCopy(FProperties, Number, Language); }

bool AddIn::GetPropVal(long Number, V8Variant* Record) {
  const Property* Found = At(FProperties, Number);
  if (!Found || !Found->Get || !Record) return false;
  try {
    return ToRecord(Found->Get(), *Record);
  } catch (...) {
    return false;
  }
}

bool AddIn::SetPropVal(long Number, V8Variant* Record) {
  const Property* Found = At(FProperties, Number);
  if (!Found || !Found->Set || !Record) return false;
  try {
    Found->Set(FromRecord(*Record));
    return true;
  } catch (...) {
    return false;
  }
}

bool AddIn::IsPropReadable(long Number) {
  const Property* Found = At(FProperties, Number);
  return Found && Found->Get;
}

bool AddIn::IsPropWritable(long Number) {
  const Property* Found = At(FProperties, Number);
  return Found && Found->Set;
}

long AddIn::GetNMethods() { return static_cast<long>(FMethods.size()); }

long AddIn::FindMethod(const char16_t* Name) { return FindByName(FMethods, Name); }

const char16_t* AddIn::GetMethodName(long Number, long Language) { return NameCopy(FMethods, Number, Language); }

long AddIn::GetNParams(long Number) {
  const Method* Found = At(FMethods, Number);
  return Found ? Found->ParamCount : 0;
}

bool AddIn::GetParamDefValue(long, long, V8Variant*) { return false; }

bool AddIn::HasRetVal(long Number) { return At(FMethods, Number) != nullptr; }

bool AddIn::CallAsProc(long Number, V8Variant* Params, long Count) { return Call(Number, nullptr, Params, Count); }

bool AddIn::CallAsFunc(long Number, V8Variant* Return, V8Variant* Params, long Count) {
  return Call(Number, Return, Params, Count);
}

bool AddIn::Call(long Number, V8Variant* Return, V8Variant* Params, long Count) {
  const Method* Found = At(FMethods, Number);
  if (!Found || Count != Found->ParamCount || (Count > 0 && !Params)) return false;
  try {
    std::vector<Value> Args;
    Args.reserve(static_cast<std::size_t>(Count));
    for (long Index = 0; Index < Count; ++Index) Args.push_back(FromRecord(Params[Index]));
    const Value Result = Found->Call(Args);
    return !Return || ToRecord(Result, *Return);
  } catch (...) {
    return false;
  }
}

}  // namespace peer

// ---------------------------------------------------------------------------
// The exports, as the host finds them by name.
#define PEER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// The add-in serves every platform version that calls it.
constexpr int kCapabilitiesServed = 1;
int HostCapabilities = 0;
}  // namespace

PEER_EXPORT const char16_t* GetClassNames() { return peer::AddIn::kClassName; }

PEER_EXPORT long GetClassObject(const char16_t* Name, void** Interface) {
  if (!Name || !Interface || *Interface || std::u16string_view(Name) != peer::AddIn::kClassName) return 0;
  try {
    *Interface = static_cast<v8host::GxxComponent*>(new peer::AddIn);
    return 1;
  } catch (...) {
    return 0;
  }
}

PEER_EXPORT long DestroyObject(void** Interface) {
  if (!Interface || !*Interface) return -1;
  delete static_cast<v8host::GxxComponent*>(*Interface);
  *Interface = nullptr;
  return 0;
}

PEER_EXPORT int SetPlatformCapabilities(int Capabilities) {
  HostCapabilities = Capabilities;
  return kCapabilitiesServed;
}

PEER_EXPORT int32_t GetAttachType() { return 3; }
