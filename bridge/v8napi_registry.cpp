// The process-wide registry of exported classes, their methods, properties and
// parameter defaults.
#include <cstring>
#include <tuple>

#include "bridge/v8napi.h"

// ---------------------------------------------------------------------------
TDefParamList::TStoredValue& TDefParamList::AddStored(int32_t Num) {
  TStoredValue& Entry = *Values.emplace_back(std::make_unique<TStoredValue>());
  std::memset(&Entry.Param.Value, 0, sizeof(Entry.Param.Value));
  Entry.Param.Num = Num - 1;
  TempParam = &Entry.Param.Value;
  return Entry;
}

V8Variant* TDefParamList::AddParam(int32_t Num) { return &AddStored(Num).Param.Value; }

namespace {
template <class T>
void StorePlain(V8Variant& Value, uint16_t Type, T V8Variant::*Member, T V) {
  Value.vt = Type;
  Value.*Member = V;
}
}  // namespace

void TDefParamList::AddInt(int32_t V, int32_t ParamNum) {
  StorePlain(*AddParam(ParamNum), VTYPE_I4, &V8Variant::lVal, V);
}

void TDefParamList::AddDouble(double V, int32_t ParamNum) {
  StorePlain(*AddParam(ParamNum), VTYPE_R8, &V8Variant::dblVal, V);
}

void TDefParamList::AddBool(bool V, int32_t ParamNum) {
  StorePlain(*AddParam(ParamNum), VTYPE_BOOL, &V8Variant::bVal, V);
}

void TDefParamList::AddDate(double V, int32_t ParamNum) {
  StorePlain(*AddParam(ParamNum), VTYPE_DATE, &V8Variant::date, V);
}

void TDefParamList::AddWString(std::u16string_view V, int32_t ParamNum) {
  TStoredValue& Entry = AddStored(ParamNum);
  std::u16string& Text = Entry.WideText;
  Text = V;
  V8Variant* Value = &Entry.Param.Value;
  Value->vt = VTYPE_PWSTR;
  Value->vtRecWideString.pwstrVal = Text.data();
  Value->vtRecWideString.wstrLen = static_cast<uint32_t>(Text.size());
}

void TDefParamList::AddAString(std::string_view V, int32_t ParamNum) {
  TStoredValue& Entry = AddStored(ParamNum);
  std::string& Text = Entry.NarrowText;
  Text = V;
  V8Variant* Value = &Entry.Param.Value;
  Value->vt = VTYPE_PSTR;
  Value->vtRecString.pstrVal = Text.data();
  Value->vtRecString.strLen = static_cast<uint32_t>(Text.size());
}

const TDefParamList::TDefParamValue* TDefParamList::Find(int32_t Num) const noexcept {
  for (const auto& Entry : Values) {
    if (Entry->Param.Num == Num) return &Entry->Param;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
namespace {

template <class Entry, class NamesOf>
int32_t FindByName(const std::vector<std::unique_ptr<Entry>>& List, std::u16string_view Name, NamesOf Names) noexcept {
  for (std::size_t I = 0; I < List.size(); ++I) {
    const auto [English, Localized] = Names(*List[I]);
    if (Name == Localized || Name == English) return static_cast<int32_t>(I);
  }
  return -1;
}

template <class Entry>
const Entry* EntryAt(const std::vector<std::unique_ptr<Entry>>& List, int64_t Number) noexcept {
  if (Number < 0 || static_cast<uint64_t>(Number) >= List.size()) return nullptr;
  return List[static_cast<std::size_t>(Number)].get();
}

}  // namespace

TMethReg& TClassReg::AddMethod(std::u16string_view MethName, std::u16string_view MethNameLoc, bool IsFunction,
                               TV8CallAsFunc Func, TV8CallAsProc Proc, int32_t ParamCount) {
  auto Entry = std::make_unique<TMethReg>();
  Entry->MethName = MethName;
  Entry->MethNameLoc = MethNameLoc;
  Entry->IsFunction = IsFunction;
  Entry->ParamCount = ParamCount;
  Entry->ExecuteFunc = Func;
  Entry->ExecuteProc = Proc;
  MethList.push_back(std::move(Entry));
  return *MethList.back();
}

TMethReg& TClassReg::AddFunc(std::u16string_view MethName, std::u16string_view MethNameLoc, TV8CallAsFunc ExecuteProc,
                             int32_t ParamCount) {
  return AddMethod(MethName, MethNameLoc, true, ExecuteProc, nullptr, ParamCount);
}

TMethReg& TClassReg::AddProc(std::u16string_view MethName, std::u16string_view MethNameLoc, TV8CallAsProc ExecuteProc,
                             int32_t ParamCount) {
  return AddMethod(MethName, MethNameLoc, false, nullptr, ExecuteProc, ParamCount);
}

TPropReg& TClassReg::AddProp(std::u16string_view PropName, std::u16string_view PropNameLoc, bool IsReadable,
                             bool IsWritable, TV8PropertyGetSet PropGetSet) {
  auto Entry = std::make_unique<TPropReg>();
  Entry->PropName = PropName;
  Entry->PropNameLoc = PropNameLoc;
  Entry->IsReadable = IsReadable;
  Entry->IsWritable = IsWritable;
  Entry->PropGetSet = PropGetSet;
  PropList.push_back(std::move(Entry));
  return *PropList.back();
}

int32_t TClassReg::FindMethod(std::u16string_view Name) const noexcept {
  return FindByName(MethList, Name, [](const TMethReg& M) { return std::tie(M.MethName, M.MethNameLoc); });
}

int32_t TClassReg::FindProp(std::u16string_view Name) const noexcept {
  return FindByName(PropList, Name, [](const TPropReg& P) { return std::tie(P.PropName, P.PropNameLoc); });
}

const TMethReg* TClassReg::Method(int64_t Number) const noexcept { return EntryAt(MethList, Number); }

const TPropReg* TClassReg::Prop(int64_t Number) const noexcept { return EntryAt(PropList, Number); }

const std::u16string* TClassReg::MethodName(int64_t Number, int64_t Language) const noexcept {
  const TMethReg* Entry = Method(Number);
  if (!Entry) return nullptr;
  return Language == 0 ? &Entry->MethName : &Entry->MethNameLoc;
}

const std::u16string* TClassReg::PropName(int64_t Number, int64_t Language) const noexcept {
  const TPropReg* Entry = Prop(Number);
  if (!Entry) return nullptr;
  return Language == 0 ? &Entry->PropName : &Entry->PropNameLoc;
}

// ---------------------------------------------------------------------------
TClassReg& TClassRegList::RegisterClass(TV8UserClass UserClass, std::u16string_view RegisterExtensionAs,
                                        std::u16string_view NatApiClassName) {
  auto Entry = std::make_unique<TClassReg>();
  Entry->UserClass = UserClass;
  Entry->RegisterExtensionAs = RegisterExtensionAs;
  Entry->NatApiClassName = NatApiClassName;
  ClassList.push_back(std::move(Entry));
  if (!FClassNames.empty()) FClassNames += u'|';
  FClassNames += NatApiClassName;
  return *ClassList.back();
}

const TClassReg* TClassRegList::FindClass(std::u16string_view NatApiClassName) const noexcept {
  for (const auto& Entry : ClassList) {
    if (Entry->NatApiClassName == NatApiClassName) return Entry.get();
  }
  return nullptr;
}

TClassRegList& ClassRegistry() {
  static TClassRegList Registry;
  return Registry;
}
