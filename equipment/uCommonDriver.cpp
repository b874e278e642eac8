#include "equipment/uCommonDriver.h"

#include <pugixml.hpp>

#include <initializer_list>
#include <utility>

#include "help/uMarkdownRenderer.h"
#include "logging/Common.Log.h"
#include "logging/ufmLog.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "resources/StringIds.h"

namespace {

constexpr std::u16string_view kMakerAddress = u"https://www.orvex.ru/";
constexpr int32_t kCommonRevision = 3002;

constexpr std::u16string_view kEquipmentTypeNames[] = {
    u"СканерШтрихкода",      u"СчитывательМагнитныхКарт", u"ФискальныйРегистратор",
    u"ПринтерЧеков",         u"ПринтерЭтикеток",          u"ДисплейПокупателя",
    u"ТерминалСбораДанных",  u"ЭквайринговыйТерминал",    u"ЭлектронныеВесы",
    u"ВесыСПечатьюЭтикеток", u"СчитывательRFID",          u"ККТ",
    u"Видеокамера",          u"ЭлектронныйЗамок",         u"НеизвестныйТипОборудования",
};

// ---------------------------------------------------------------------------
// XML: attribute values go in as UTF-8, the document comes out as UTF-16 text.
class TUtf8Writer : public pugi::xml_writer {
public:
  void write(const void* Data, std::size_t Size) override { Text.append(static_cast<const char*>(Data), Size); }
  std::string Text;
};

// Without a declaration node in the document the serialiser writes one with
// version "1.0" and no encoding: the text reaches the host as UTF-16, so a
// template's own "UTF-8" would be wrong there.
std::u16string Serialise(const pugi::xml_document& Document) {
  TUtf8Writer Writer;
  Document.save(Writer, "\t", pugi::format_default, pugi::encoding_utf8);
  return FromUtf8(Writer.Text);
}

using TAttributeList = std::initializer_list<std::pair<const char*, std::u16string>>;

// In the order given: the host reads the documents as they are written.
void AddAttributes(pugi::xml_node Node, TAttributeList Attributes) {
  for (const auto& [Name, Value] : Attributes) Node.append_attribute(Name).set_value(ToUtf8(Value).c_str());
}

std::u16string BoolText(bool Value) { return Value ? u"true" : u"false"; }

bool LogSwitchedOn() { return GetLogMode() != TLogMode::lmOff; }

void LoadSettingsTemplate(pugi::xml_document& Document, std::string_view Template) {
  const pugi::xml_parse_result Parsed = Document.load_buffer(Template.data(), Template.size());
  if (!Parsed) {
    throw Exception(u"The settings template is not well-formed XML: " + FromUtf8(Parsed.description()));
  }
}

// A module without the settings template may lack the string table too; its
// form still gets a caption.
std::u16string ParametersCaption() {
  try {
    return resources::LoadString(resources::kParametersCaptionId);
  } catch (const Exception&) {
    return u"Параметры";
  }
}

// Without a template the form lists every exported property on one page.
void BuildFallbackSettings(pugi::xml_document& Document, const TExportTable& Exports) {
  pugi::xml_node Page = Document.append_child("Settings").append_child("Page");
  AddAttributes(Page, {{"Caption", ParametersCaption()}});
  ForEachExport(Exports, &TExportTable::Props, [&](const TExportProp& Prop) {
    AddAttributes(Page.append_child("Parameter"), {{"Name", std::u16string(Prop.Name)},
                                                   {"Caption", std::u16string(Prop.Caption)},
                                                   {"TypeValue", ValueKindToStr(Prop.ValueKind)},
                                                   {"DefaultValue", std::u16string(Prop.DefValue)},
                                                   {"ReadOnly", BoolText(Prop.ReadOnly)}});
  });
}

// Close runs whatever happened before it; a failure anywhere becomes the
// description and is raised again with the same text.
void TestOpenAndClose(TCommonDriver& Driver, std::u16string& Description) {
  try {
    try {
      Driver.Open();
      Description = DriverInfo().Description;
    } catch (...) {
      Driver.Close();
      throw;
    }
    Driver.Close();
  } catch (...) {
    Description = CurrentExceptionMessage();
    throw Exception(Description);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
std::u16string EquipmentTypeToStr(TEquipmentType Type) {
  const auto Index = static_cast<std::size_t>(Type);
  if (Index >= std::size(kEquipmentTypeNames)) throw Exception(std::u16string(u"Enum value unacceptable"));
  return std::u16string(kEquipmentTypeNames[Index]);
}

void TDriverInfo::Clear() {
  EquipmentType = TEquipmentType::etUnknown;
  IntegrationComponent = false;
  MainDriverInstalled = false;
  LogIsEnabled = false;
  DownloadURL.clear();
}

TDriverInfo& DriverInfo() {
  static TDriverInfo Info;
  return Info;
}

// ---------------------------------------------------------------------------
const TExportTable& TCommonDriver::Exports() {
  static constexpr TExportMethod Methods[] = {
      ORVEX_EXPORT_METHOD(TCommonDriver, GetInterfaceRevision, u"ПолучитьРевизиюИнтерфейса", 0),
      ORVEX_EXPORT_METHOD(TCommonDriver, GetDescription, u"ПолучитьОписание", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, GetLastError, u"ПолучитьОшибку", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, Open, u"Подключить", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, Close, u"Отключить", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, GetParameters, u"ПолучитьПараметры", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, SetParameter, u"УстановитьПараметр", 2),
      ORVEX_EXPORT_METHOD(TCommonDriver, DeviceTest, u"ТестУстройства", 2),
      ORVEX_EXPORT_METHOD(TCommonDriver, GetAdditionalActions, u"ПолучитьДополнительныеДействия", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, DoAdditionalAction, u"ВыполнитьДополнительноеДействие", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, GetLocalizationPattern, u"ПолучитьШаблонЛокализации", 1),
      ORVEX_EXPORT_METHOD(TCommonDriver, SetLocalization, u"УстановитьЛокализацию", 2),
  };
  static constexpr TExportProp Props[] = {
      ORVEX_EXPORT_PROPERTY(TCommonDriver, LogEnabled, u"ЛогВключен", u"Вести лог", u"False", false),
  };
  static constexpr TExportAction Actions[] = {
      ORVEX_EXPORT_ACTION(TCommonDriver, ViewLog, u"Просмотр лога"),
      ORVEX_EXPORT_ACTION(TCommonDriver, ShowHelp, u"Справка"),
  };
  static const TExportTable Table{&TCustomDriver::Exports(), Methods, Props, Actions};
  return Table;
}

TCommonDriver::TCommonDriver(TUpdateDriverInfo UpdateInfo) { UpdateInfo(DriverInfo()); }

TCommonDriver::~TCommonDriver() { TCommonDriver::Close(); }

void TCommonDriver::UpdateDriverInfo(TDriverInfo& ADriverInfo) {
  ADriverInfo.Clear();
  ADriverInfo.DownloadURL = kMakerAddress;
  ADriverInfo.DriverVersion = ModuleVersionText(std::u16string_view());
  ADriverInfo.IntegrationComponentVersion = ADriverInfo.DriverVersion;
  ADriverInfo.LogIsEnabled = false;
}

void TCommonDriver::CompleteRegistration(std::u16string_view AExtension, std::u16string_view AName,
                                         std::u16string_view ADescription, TUpdateDriverInfo UpdateInfo) {
  TDriverInfo& Info = DriverInfo();
  Info.Name = AName;
  Info.Description = ADescription;
  UpdateInfo(Info);
  SetLogComponentName(AExtension);
}

int32_t TCommonDriver::GetRevision() { return kCommonRevision; }

void TCommonDriver::Open() { FEnabled = true; }

void TCommonDriver::Close() { FEnabled = false; }

void TCommonDriver::DoDeviceTest(std::u16string& Description, std::u16string& DemoMode) {
  Description.clear();
  DemoMode.clear();
  TestOpenAndClose(*this, Description);
}

std::u16string TCommonDriver::BuildDescriptionXml() {
  const TDriverInfo& Info = DriverInfo();
  // The description must be given whatever is wrong with the log.
  const TLogFolderState Log = DescribeLogFolder();
  pugi::xml_document Document;
  const pugi::xml_node Root = Document.append_child("DriverDescription");
  AddAttributes(Root, {{"Name", Info.Name},
                       {"Description", Info.Description},
                       {"EquipmentType", EquipmentTypeToStr(Info.EquipmentType)},
                       {"IntegrationComponent", BoolText(Info.IntegrationComponent)},
                       {"MainDriverInstalled", BoolText(Info.MainDriverInstalled)},
                       {"DriverVersion", Info.DriverVersion},
                       {"IntegrationComponentVersion", Info.IntegrationComponentVersion},
                       {"DownloadURL", Info.DownloadURL},
                       {"LogIsEnabled", BoolText(LogSwitchedOn())},
                       {"LogPath", Log.Folder}});
  // Only a log with a problem adds to the usual ten attributes.
  if (!Log.Problem.empty()) AddAttributes(Root, {{"LogProblem", Log.Problem}});
  return Serialise(Document);
}

std::u16string TCommonDriver::BuildActionsXml() {
  pugi::xml_document Document;
  pugi::xml_node Root = Document.append_child("Actions");
  ForEachExport(ObjectExports(), &TExportTable::Actions, [&](const TExportAction& Action) {
    AddAttributes(Root.append_child("Action"),
                  {{"Name", std::u16string(Action.Name)}, {"Caption", std::u16string(Action.Caption)}});
  });
  return Serialise(Document);
}

std::u16string TCommonDriver::BuildParametersXml() {
  pugi::xml_document Document;
  if (const auto Template = resources::FindData(u"PARAMETERS")) {
    LoadSettingsTemplate(Document, *Template);
  } else {
    BuildFallbackSettings(Document, ObjectExports());
  }
  return Serialise(Document);
}

void TCommonDriver::RunAdditionalAction(std::u16string_view Name) {
  bool Found = false;
  ForEachExport(ObjectExports(), &TExportTable::Actions, [&](const TExportAction& Action) {
    if (Action.Name != Name) return;
    Action.Run(*this);
    Found = true;
  });
  if (!Found) throw Exception(std::u16string(u"Action not found"));
}

std::u16string TCommonDriver::BuildLocalizationPattern() { return {}; }

void TCommonDriver::ApplyLocalization(std::u16string_view /*LanguageCode*/, std::u16string_view /*Pattern*/) {}

// ---------------------------------------------------------------------------
// Host methods. GetInterfaceRevision and GetLastError cannot fail and leave the
// last result alone, so that a failure stays readable. A host out of memory
// asks for the last error too: it gets the code and an empty description.
bool TCommonDriver::GetInterfaceRevision(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  if (RetValue) V8SetInt(*RetValue, GetRevision());
  return true;
}

bool TCommonDriver::GetLastError(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  if (RetValue) V8SetInt(*RetValue, LastResult().GetIntResult());
  std::u16string Description;
  try {
    Description = LastResult().DescriptionText();
  } catch (...) {
    // Out of memory for the text: the code still answers.
  }
  SetTextParamOrEmpty(Params[0], Description);
  return true;
}

bool TCommonDriver::GetDescription(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { SetTextParam(Params[0], BuildDescriptionXml()); });
}

// Parameter 0, the host's device identifier, is neither read nor written: one
// component object stands for one connection.
bool TCommonDriver::Open(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { Open(); });
}

bool TCommonDriver::Close(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { Close(); });
}

bool TCommonDriver::GetParameters(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { SetTextParam(Params[0], BuildParametersXml()); });
}

bool TCommonDriver::SetParameter(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { PropertySet(V8AsWString(Params[0]), Params[1]); });
}

bool TCommonDriver::DeviceTest(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    std::u16string Description;
    std::u16string DemoMode;
    try {
      DoDeviceTest(Description, DemoMode);
    } catch (...) {
      SetTextParam(Params[0], CurrentExceptionMessage());
      throw;
    }
    SetTextParam(Params[0], Description);
    SetTextParam(Params[1], DemoMode);
  });
}

bool TCommonDriver::GetAdditionalActions(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { SetTextParam(Params[0], BuildActionsXml()); });
}

bool TCommonDriver::DoAdditionalAction(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { RunAdditionalAction(V8AsWString(Params[0])); });
}

bool TCommonDriver::GetLocalizationPattern(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { SetTextParam(Params[0], BuildLocalizationPattern()); });
}

bool TCommonDriver::SetLocalization(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { ApplyLocalization(V8AsWString(Params[0]), V8AsWString(Params[1])); });
}

// ---------------------------------------------------------------------------
bool TCommonDriver::GetLogEnabled() const { return LogSwitchedOn(); }

// Switching off writes the stop banner.
void TCommonDriver::SetLogEnabled(bool Value) { SetLogMode(Value ? TLogMode::lmAll : TLogMode::lmOff); }

// Modal on the host's thread: the host's calls wait until the window closes.
void TCommonDriver::ViewLog() {
  TfrmLog Form;
  os::ShowLogViewerWindow(Form);
}

// Modal like the log viewer; the rendered page's folder is gone when it returns.
void TCommonDriver::ShowHelp() { TMarkdownRenderer::Render(u"help", resources::LoadString(resources::kHelpCaptionId)); }
