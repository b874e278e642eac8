#include "tools/v8host/HostComponent.h"

#include "platform/Text.h"
#include "tools/v8host/HostFailure.h"

namespace v8host {

namespace {

template <class Function>
Function FindRequiredExport(const DynamicLibrary& Library, const std::u16string& Path, const char* Name) {
  void* Address = Library.FindExport(Name);
  if (!Address) {
    throw HostFailure(FailureKind::LoadFailed, u"The library " + Path + u" does not export " + FromUtf8(Name));
  }
  return reinterpret_cast<Function>(Address);
}

// A table operation is called with the interface address; the table pointer
// sits at that address.
template <class Ops>
const Ops& TableAt(void* Interface) noexcept {
  return **static_cast<const Ops* const*>(Interface);
}

void* WordOf(void* Object, std::size_t Index) noexcept { return static_cast<void**>(Object) + Index; }

// Frees every record whatever was thrown in between: the library's blocks must
// not outlive a failed read.
class RecordsGuard {
public:
  RecordsGuard(HostMemoryManager& Memory, std::vector<V8Variant>& Records) : FMemory(Memory), FRecords(Records) {}
  ~RecordsGuard() {
    for (V8Variant& Record : FRecords) ReleaseRecord(FMemory, Record);
  }
  RecordsGuard(const RecordsGuard&) = delete;
  RecordsGuard& operator=(const RecordsGuard&) = delete;

private:
  HostMemoryManager& FMemory;
  std::vector<V8Variant>& FRecords;
};

}  // namespace

// ---------------------------------------------------------------------------
AddInLibrary::AddInLibrary(const std::u16string& Path)
    : FLibrary(Path),
      FGetClassNames(FindRequiredExport<TGetClassNames>(FLibrary, Path, "GetClassNames")),
      FGetClassObject(FindRequiredExport<TGetClassObject>(FLibrary, Path, "GetClassObject")),
      FDestroyObject(FindRequiredExport<TDestroyObject>(FLibrary, Path, "DestroyObject")),
      FGetAttachType(FindRequiredExport<TGetAttachType>(FLibrary, Path, "GetAttachType")) {}

std::u16string AddInLibrary::ClassNames() const {
  const V8Char* Names = FGetClassNames();
  return Names ? std::u16string(Names) : std::u16string();
}

std::vector<std::u16string> AddInLibrary::ClassList() const {
  const std::u16string Names = ClassNames();
  std::vector<std::u16string> List;
  if (Names.empty()) return List;
  std::size_t Start = 0;
  for (std::size_t Bar = Names.find(u'|'); Bar != std::u16string::npos; Bar = Names.find(u'|', Start)) {
    List.push_back(Names.substr(Start, Bar - Start));
    Start = Bar + 1;
  }
  List.push_back(Names.substr(Start));
  return List;
}

// ---------------------------------------------------------------------------
Component::Component(const AddInLibrary& Library, std::u16string_view ClassName, const ComponentSetup& Setup)
    : FLibrary(Library), FSetup(Setup) {
  const std::u16string Name(ClassName);
  if (FLibrary.GetClassObject(Name.c_str(), &FObject) != 1 || !FObject) {
    FObject = nullptr;
    throw HostFailure(FailureKind::UnknownClass, u"The library created no component of the class \"" + Name + u"\"");
  }
  if (FSetup.GiveConnection) InitDone().Init(InitDoneInterface(), static_cast<TV8AddInDefBaseEx*>(&FSetup.Connection));
  if (FSetup.GiveMemory) InitDone().setMemManager(InitDoneInterface(), static_cast<TV8MemoryManager*>(&FSetup.Memory));
  if (!FSetup.Locale.empty()) Locale().SetLocale(LocaleInterface(), FSetup.Locale.c_str());
}

Component::~Component() { FLibrary.DestroyObject(&FObject); }

void* Component::InitDoneInterface() const noexcept { return WordOf(FObject, 0); }
void* Component::ExtenderInterface() const noexcept { return WordOf(FObject, 1); }
void* Component::LocaleInterface() const noexcept { return WordOf(FObject, 2); }
const TInitDoneOps& Component::InitDone() const noexcept { return TableAt<TInitDoneOps>(InitDoneInterface()); }
const TLanguageExtenderOps& Component::Extender() const noexcept {
  return TableAt<TLanguageExtenderOps>(ExtenderInterface());
}
const TLocaleOps& Component::Locale() const noexcept { return TableAt<TLocaleOps>(LocaleInterface()); }

std::optional<std::u16string> Component::TakeName(const V8Char* Name) {
  if (!Name) return std::nullopt;
  std::u16string Copy(Name);
  FSetup.Memory.Release(const_cast<V8Char*>(Name));
  return Copy;
}

std::optional<std::u16string> Component::ExtensionName() {
  V8Char* Name = nullptr;
  Extender().RegisterExtensionAs(ExtenderInterface(), &Name);
  return TakeName(Name);
}

std::optional<std::u16string> Component::MethodName(HostLong Number, HostLong Language) {
  return TakeName(Extender().GetMethodName(ExtenderInterface(), Number, Language));
}

std::optional<std::u16string> Component::PropName(HostLong Number, HostLong Language) {
  return TakeName(Extender().GetPropName(ExtenderInterface(), Number, Language));
}

HostLong Component::MethodCount() { return Extender().GetNMethods(ExtenderInterface()); }
HostLong Component::PropCount() { return Extender().GetNProps(ExtenderInterface()); }

HostLong Component::FindMethod(std::u16string_view Name) {
  const std::u16string Text(Name);
  return Extender().FindMethod(ExtenderInterface(), Text.c_str());
}

HostLong Component::FindProp(std::u16string_view Name) {
  const std::u16string Text(Name);
  return Extender().FindProp(ExtenderInterface(), Text.c_str());
}

std::optional<HostValue> Component::DefaultValue(HostLong Method, HostLong Param) {
  std::vector<V8Variant> Record(1);
  ZeroRecord(Record[0]);
  const RecordsGuard Release(FSetup.Memory, Record);
  if (!Extender().GetParamDefValue(ExtenderInterface(), Method, Param, Record.data())) return std::nullopt;
  return ReadRecord(Record[0]);
}

MethodInfo Component::Method(HostLong Number) {
  MethodInfo Info;
  Info.Number = Number;
  Info.Name = MethodName(Number, 0).value_or(u"");
  Info.LocalName = MethodName(Number, 1).value_or(u"");
  Info.ParamCount = Extender().GetNParams(ExtenderInterface(), Number);
  Info.HasRetVal = Extender().HasRetVal(ExtenderInterface(), Number);
  for (HostLong Param = 0; Param < Info.ParamCount; ++Param) Info.Defaults.push_back(DefaultValue(Number, Param));
  return Info;
}

PropertyInfo Component::Property(HostLong Number) {
  PropertyInfo Info;
  Info.Number = Number;
  Info.Name = PropName(Number, 0).value_or(u"");
  Info.LocalName = PropName(Number, 1).value_or(u"");
  Info.Readable = Extender().IsPropReadable(ExtenderInterface(), Number);
  Info.Writable = Extender().IsPropWritable(ExtenderInterface(), Number);
  return Info;
}

std::vector<MethodInfo> Component::Methods() {
  std::vector<MethodInfo> List;
  for (HostLong Number = 0, Count = MethodCount(); Number < Count; ++Number) List.push_back(Method(Number));
  return List;
}

std::vector<PropertyInfo> Component::Properties() {
  std::vector<PropertyInfo> List;
  for (HostLong Number = 0, Count = PropCount(); Number < Count; ++Number) List.push_back(Property(Number));
  return List;
}

namespace {
HostLong Found(HostLong Number, std::u16string_view Kind, std::u16string_view Name) {
  if (Number < 0)
    throw HostFailure(FailureKind::UnknownName,
                      u"The component has no " + std::u16string(Kind) + u" \"" + std::u16string(Name) + u"\"");
  return Number;
}
}  // namespace

HostLong Component::MethodNumber(std::u16string_view Name) { return Found(FindMethod(Name), u"method", Name); }

HostLong Component::PropNumber(std::u16string_view Name) { return Found(FindProp(Name), u"property", Name); }

// ---------------------------------------------------------------------------
std::vector<V8Variant> Component::RecordsFor(const std::vector<HostValue>& Args) {
  std::vector<V8Variant> Records(Args.size());
  for (V8Variant& Record : Records) ZeroRecord(Record);
  for (std::size_t Index = 0; Index < Args.size(); ++Index) {
    try {
      WriteRecord(FSetup.Memory, Args[Index], Records[Index]);
    } catch (...) {
      for (V8Variant& Record : Records) ReleaseRecord(FSetup.Memory, Record);
      throw;
    }
  }
  return Records;
}

void Component::FillMissing(HostLong Number, std::vector<V8Variant>& Records) {
  const HostLong Count = Extender().GetNParams(ExtenderInterface(), Number);
  const auto Given = static_cast<HostLong>(Records.size());
  if (Given > Count) {
    for (V8Variant& Record : Records) ReleaseRecord(FSetup.Memory, Record);
    throw HostFailure(FailureKind::BadArgument, MethodName(Number, 0).value_or(u"The method") + u" takes " +
                                                    IntToText(Count) + u" parameters, " + IntToText(Given) + u" given");
  }
  Records.resize(static_cast<std::size_t>(Count));
  for (HostLong Param = Given; Param < Count; ++Param) {
    V8Variant& Record = Records[static_cast<std::size_t>(Param)];
    ZeroRecord(Record);
    Extender().GetParamDefValue(ExtenderInterface(), Number, Param, &Record);
  }
}

std::vector<HostError> Component::ErrorsSince(std::size_t First) const {
  const std::vector<HostError>& All = FSetup.Connection.Errors;
  return First < All.size() ? std::vector<HostError>(All.begin() + static_cast<std::ptrdiff_t>(First), All.end())
                            : std::vector<HostError>();
}

CallOutcome Component::Invoke(HostLong Number, std::vector<V8Variant>& Records, bool AsFunction) {
  const RecordsGuard ReleaseParams(FSetup.Memory, Records);
  std::vector<V8Variant> Return(1);
  ZeroRecord(Return[0]);
  const RecordsGuard ReleaseReturn(FSetup.Memory, Return);
  const std::size_t FirstError = FSetup.Connection.Errors.size();
  V8Variant* Params = Records.empty() ? nullptr : Records.data();
  const auto Count = static_cast<HostLong>(Records.size());

  CallOutcome Outcome;
  Outcome.Ok = AsFunction ? Extender().CallAsFunc(ExtenderInterface(), Number, Return.data(), Params, Count)
                          : Extender().CallAsProc(ExtenderInterface(), Number, Params, Count);
  if (AsFunction) Outcome.Return = ReadRecord(Return[0]);
  for (const V8Variant& Record : Records) Outcome.Params.push_back(ReadRecord(Record));
  Outcome.Errors = ErrorsSince(FirstError);
  return Outcome;
}

CallOutcome Component::Call(HostLong Number, const std::vector<HostValue>& Args) {
  std::vector<V8Variant> Records = RecordsFor(Args);
  FillMissing(Number, Records);
  return Invoke(Number, Records, Extender().HasRetVal(ExtenderInterface(), Number));
}

CallOutcome Component::Call(std::u16string_view Name, const std::vector<HostValue>& Args) {
  return Call(MethodNumber(Name), Args);
}

CallOutcome Component::CallWithCount(HostLong Number, const std::vector<HostValue>& Args) {
  std::vector<V8Variant> Records = RecordsFor(Args);
  return Invoke(Number, Records, Extender().HasRetVal(ExtenderInterface(), Number));
}

// ---------------------------------------------------------------------------
std::u16string Component::PropLabel(HostLong Number) {
  return u"The property \"" + PropName(Number, 0).value_or(IntToText(Number)) + u"\"";
}

CallOutcome Component::GetProperty(HostLong Number) {
  if (!Extender().IsPropReadable(ExtenderInterface(), Number))
    throw HostFailure(FailureKind::Refused, PropLabel(Number) + u" is not readable");
  return GetPropertyRaw(Number);
}

CallOutcome Component::SetProperty(HostLong Number, const HostValue& Value) {
  if (!Extender().IsPropWritable(ExtenderInterface(), Number))
    throw HostFailure(FailureKind::Refused, PropLabel(Number) + u" is not writable");
  return SetPropertyRaw(Number, Value);
}

CallOutcome Component::GetPropertyRaw(HostLong Number) {
  std::vector<V8Variant> Record(1);
  ZeroRecord(Record[0]);
  const RecordsGuard Release(FSetup.Memory, Record);
  const std::size_t FirstError = FSetup.Connection.Errors.size();
  CallOutcome Outcome;
  Outcome.Ok = Extender().GetPropVal(ExtenderInterface(), Number, Record.data());
  Outcome.Return = ReadRecord(Record[0]);
  Outcome.Errors = ErrorsSince(FirstError);
  return Outcome;
}

CallOutcome Component::SetPropertyRaw(HostLong Number, const HostValue& Value) {
  std::vector<V8Variant> Record = RecordsFor({Value});
  const RecordsGuard Release(FSetup.Memory, Record);
  const std::size_t FirstError = FSetup.Connection.Errors.size();
  CallOutcome Outcome;
  Outcome.Ok = Extender().SetPropVal(ExtenderInterface(), Number, Record.data());
  Outcome.Errors = ErrorsSince(FirstError);
  return Outcome;
}

}  // namespace v8host
