#include "dispatch/uCustomDriver.h"

#include "logging/Common.Log.h"
#include "logging/uVInfo.h"

namespace {

// Setting names come from the host's forms in either language: Latin and
// Cyrillic letters (Ё included) and the Latin-1 capitals fold to lower case.
char16_t FoldCase(char16_t C) noexcept {
  if ((C >= u'A' && C <= u'Z') || (C >= 0x00C0 && C <= 0x00DE && C != 0x00D7)) return static_cast<char16_t>(C + 0x20);
  if (C >= 0x0410 && C <= 0x042F) return static_cast<char16_t>(C + 0x20);
  if (C >= 0x0400 && C <= 0x040F) return static_cast<char16_t>(C + 0x50);
  return C;
}

bool SameTextIgnoringCase(std::u16string_view A, std::u16string_view B) noexcept {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    if (FoldCase(A[I]) != FoldCase(B[I])) return false;
  }
  return true;
}

bool NameMatches(const TExportProp& Prop, std::u16string_view PropName) noexcept {
  return SameTextIgnoringCase(Prop.Name, PropName) || SameTextIgnoringCase(Prop.NameLoc, PropName);
}

std::u16string& ExtensionNameStorage() {
  static std::u16string Name;
  return Name;
}

}  // namespace

// ---------------------------------------------------------------------------
void TResult::Clear() {
  ErrorCode = kErrorCodeSuccess;
  ErrorDescription.clear();
  BoolResult = true;
}

void TResult::SetError(std::u16string_view ADescription, int32_t AErrorCode) {
  ErrorCode = AErrorCode;
  ErrorDescription = ADescription;
  BoolResult = false;
}

std::u16string TResult::DescriptionText() const {
  if (LogLoss.empty()) return ErrorDescription;
  std::u16string Text = ErrorDescription;
  if (!Text.empty()) Text += u" ";
  return Text + u"(log lines were lost: " + LogLoss + u")";
}

int32_t TResult::GetIntResult() const noexcept {
  if (BoolResult) return kErrorCodeSuccess;
  return ErrorCode != kErrorCodeSuccess ? ErrorCode : kErrorCodeFailure;
}

std::u16string ValueKindToStr(TValueKind Kind) {
  switch (Kind) {
    case TValueKind::vkString: return u"String";
    case TValueKind::vkNumber: return u"Number";
    case TValueKind::vkBoolean: return u"Boolean";
    case TValueKind::vkUnknown: return u"Unknown";
  }
  throw Exception(std::u16string(u"Enum value unacceptable"));
}

// ---------------------------------------------------------------------------
TCustomDriver::TCustomDriver() { FLastResult.Clear(); }

TCustomDriver::~TCustomDriver() = default;

const TExportTable& TCustomDriver::Exports() {
  static const TExportTable Table{};
  return Table;
}

void TCustomDriver::SetSuccessResult(V8Variant* RetValue) {
  FLastResult.Clear();
  FLastResult.LogLoss = TakeLogLossReason();
  if (RetValue) V8SetBool(*RetValue, true);
}

void TCustomDriver::SetExceptionResult(std::u16string_view Message, V8Variant* RetValue, int32_t AErrorCode) {
  FLastResult.SetError(Message, AErrorCode);
  if (RetValue) V8SetBool(*RetValue, false);
  WriteLog(u"Exception", FLastResult.ErrorDescription, TLogLevel::llError);
  FLastResult.LogLoss = TakeLogLossReason();
}

void TCustomDriver::SetExceptionResult(const Exception& E, V8Variant* RetValue, int32_t AErrorCode) {
  SetExceptionResult(E.Message(), RetValue, AErrorCode);
}

void TCustomDriver::SetTextParam(V8Variant& Param, std::u16string_view Text) {
  exports::WriteTextValue(*this, Param, Text);
}

void TCustomDriver::SetTextParamOrEmpty(V8Variant& Param, std::u16string_view Text) noexcept {
  if (!V8SetWString(Param, Text)) V8SetEmptyWString(Param);
}

bool TCustomDriver::PropertyGetSet(TV8UserObject& Self, const std::u16string& PropName, V8Variant* propValue, bool Get,
                                   TV8AddInDefBaseEx*& /*v8*/) {
  if (!propValue) throw Exception(std::u16string(u"No value for property ") + PropName);
  return static_cast<TCustomDriver&>(Self).PropertyGetSet(PropName, *propValue, Get);
}

bool TCustomDriver::PropertyGetSet(std::u16string_view PropName, V8Variant& propValue, bool Get) {
  return Get ? AccessProperty(PropName, &propValue, nullptr) : AccessProperty(PropName, nullptr, &propValue);
}

bool TCustomDriver::PropertySet(std::u16string_view PropName, const V8Variant& propValue) {
  return AccessProperty(PropName, nullptr, &propValue);
}

// Every matching property is served, not only the first: a name may be one
// property's identifier and another's Russian name.
bool TCustomDriver::AccessProperty(std::u16string_view PropName, V8Variant* ReadInto, const V8Variant* WriteFrom) {
  bool Result = false;
  ForEachExport(ObjectExports(), &TExportTable::Props, [&](const TExportProp& Prop) {
    if (!NameMatches(Prop, PropName)) return;
    if (ReadInto) {
      Prop.Read(*this, *ReadInto);
    } else {
      if (Prop.ReadOnly || !Prop.Write) throw Exception(u"Property is read-only: " + std::u16string(PropName));
      Prop.Write(*this, *WriteFrom);
    }
    Result = true;
  });
  if (!Result) throw Exception(u"Property not found: " + std::u16string(PropName));
  return Result;
}

TClassReg& TCustomDriver::RegisterExports(TV8UserClass Factory, const TExportTable& Table,
                                          std::u16string_view AExtension) {
  TClassReg& Entry = ClassRegistry().RegisterClass(Factory, AExtension, AExtension);
  ForEachExport(Table, &TExportTable::Methods, [&](const TExportMethod& Method) {
    Entry.AddFunc(Method.Name, Method.NameLoc, Method.Execute, Method.ParamCount).Marks = Method.Marks;
  });
  ForEachExport(Table, &TExportTable::Props, [&](const TExportProp& Prop) {
    Entry.AddProp(Prop.Name, Prop.NameLoc, true, !Prop.ReadOnly, &TCustomDriver::PropertyGetSet);
  });
  return Entry;
}

void TCustomDriver::CompleteDriverRegistration(std::u16string_view AExtension) {
  ExtensionNameStorage() = AExtension;
  SetLogComponentName(AExtension);
  WriteStartBanner();
}

const std::u16string& TCustomDriver::ExtensionName() { return ExtensionNameStorage(); }

// ---------------------------------------------------------------------------
void RaiseTooFewParameters(int32_t Expected, int32_t Passed) {
  throw Exception(FormatText(u"Too few parameters: the method reads %s, the call passed %s",
                             {IntToText(Expected), IntToText(Passed)}));
}

std::u16string ModuleFileName() { return GetModuleFilePath(); }

std::u16string ModuleVersionText(std::u16string_view FileName) {
  if (FileName.empty()) {
    // Every new component object shows the library's version: formatted once.
    static const std::u16string OwnVersion = ModuleVersionText(GetModuleVersion());
    return OwnVersion;
  }
  return ModuleVersionText(ReadModuleVersion(std::u16string(FileName)));
}

namespace exports {

void RaisePropertyTypeUnacceptable() { throw Exception(std::u16string(u"Property type unacceptable")); }

void RaiseValueTypeUnacceptable() { throw Exception(std::u16string(u"Value type unacceptable")); }

void RaiseMarkBeyondParameters() { throw Exception(std::u16string(u"A marked parameter is beyond the method's")); }

void RaiseMethodNotExported() { throw Exception(std::u16string(u"The method is not in the export table")); }

void RaiseLayoutBeyondParameters() { throw Exception(std::u16string(u"A layout's parameter is beyond the method's")); }

void WriteTextValue(TCustomDriver& Self, V8Variant& Value, std::u16string_view Text) {
  if (!Self.V8SetWString(Value, Text)) throw Exception(std::u16string(u"The host gave no memory for a text"));
}

}  // namespace exports
