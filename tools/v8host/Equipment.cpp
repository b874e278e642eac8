#include "tools/v8host/Equipment.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>

#include "platform/Text.h"
#include "tools/v8host/HostFailure.h"

namespace v8host {

namespace {

constexpr std::array<std::u16string_view, 16> kEquipmentTypeNames{
    u"СканерШтрихкода",      u"СчитывательМагнитныхКарт", u"ФискальныйРегистратор",
    u"ПринтерЧеков",         u"ПринтерЭтикеток",          u"ДисплейПокупателя",
    u"ТерминалСбораДанных",  u"ЭквайринговыйТерминал",    u"ЭлектронныеВесы",
    u"ВесыСПечатьюЭтикеток", u"СчитывательRFID",          u"ККТ",
    u"Видеокамера",          u"ЭлектронныйЗамок",         u"НеизвестныйТипОборудования",
    u"POSTerminal"};

[[noreturn]] void RaiseBadSetting(const FormSetting& Setting) {
  throw HostFailure(FailureKind::BadArgument, u"The setting " + Setting.Name + u" takes a " + Setting.Type +
                                                  u" value, not \"" + Setting.Value + u"\"");
}

// A call the equipment library counts as done: it went through and did not
// answer false.
bool Succeeded(const CallOutcome& Outcome) { return Outcome.Ok && Outcome.Return != std::optional(HostValue(false)); }

std::u16string TextParam(const CallOutcome& Outcome, std::size_t Index) {
  if (Index >= Outcome.Params.size()) return {};
  const auto* Text = std::get_if<std::u16string>(&Outcome.Params[Index]);
  return Text ? *Text : std::u16string();
}

// The sequence from one call to the next; after the first failure, only what
// must still run.
class Sequence {
public:
  explicit Sequence(ConnectionCalls& Calls) : FCalls(Calls) {}

  bool Failed() const noexcept { return FFailed; }

  // The call's outcome; on failure the reason is asked for, as the equipment
  // library does before it shows the user a message.
  CallOutcome Step(std::u16string_view Method, std::vector<HostValue> Args = {}) {
    CallOutcome Outcome = FCalls.Call(Method, std::move(Args));
    if (!Succeeded(Outcome)) Fail();
    return Outcome;
  }

  void Fail() {
    if (FFailed) return;
    FFailed = true;
    FCalls.Call(u"GetLastError", {});
  }

private:
  ConnectionCalls& FCalls;
  bool FFailed = false;
};

bool SetUp(Sequence& Run, const GivenSettings& Given, std::vector<FormSetting>& Applied) {
  Run.Step(u"GetInterfaceRevision");
  if (!Run.Failed()) Run.Step(u"GetDescription", {std::u16string()});
  if (Run.Failed()) return false;
  const CallOutcome Form = Run.Step(u"GetParameters", {std::u16string()});
  if (Run.Failed()) return false;
  Applied = SettingsOfForm(TextParam(Form, 0));
  ApplyGivenSettings(Applied, Given);
  for (const FormSetting& Setting : Applied) {
    Run.Step(u"SetParameter", {Setting.Name, SettingValue(Setting)});
    if (Run.Failed()) return false;
  }
  return true;
}

}  // namespace

std::vector<FormSetting> SettingsOfForm(std::u16string_view FormXml) {
  const std::string Text = ToUtf8(FormXml);
  pugi::xml_document Document;
  if (!Document.load_buffer(Text.data(), Text.size(), pugi::parse_default, pugi::encoding_utf8) ||
      std::string_view(Document.document_element().name()) != "Settings")
    throw HostFailure(FailureKind::Refused, u"GetParameters answered no settings form");
  std::vector<FormSetting> Settings;
  for (const pugi::xpath_node& Found : Document.select_nodes("//Parameter")) {
    const pugi::xml_node Node = Found.node();
    Settings.push_back({FromUtf8(Node.attribute("Name").as_string()), FromUtf8(Node.attribute("TypeValue").as_string()),
                        FromUtf8(Node.attribute("DefaultValue").as_string())});
  }
  return Settings;
}

void ApplyGivenSettings(std::vector<FormSetting>& Settings, const GivenSettings& Given) {
  // Not a structured binding: Clang before 16 lets no lambda capture one.
  for (const auto& Setting : Given) {
    const std::u16string& Name = Setting.first;
    const auto Found =
        std::find_if(Settings.begin(), Settings.end(), [&](const FormSetting& S) { return S.Name == Name; });
    if (Found == Settings.end())
      throw HostFailure(FailureKind::BadArgument, u"The driver's settings form has no parameter " + Name);
    Found->Value = Setting.second;
  }
}

HostValue SettingValue(const FormSetting& Setting) {
  if (Setting.Type == u"Number") {
    int32_t Whole = 0;
    if (TryParseInt32(Setting.Value, Whole)) return Whole;
    double Number = 0;
    if (TryParseDouble(Setting.Value, Number)) return Number;
    RaiseBadSetting(Setting);
  }
  if (Setting.Type == u"Boolean") {
    if (Setting.Value == u"true" || Setting.Value == u"True") return true;
    if (Setting.Value == u"false" || Setting.Value == u"False") return false;
    RaiseBadSetting(Setting);
  }
  return Setting.Value;
}

bool IsEquipmentTypeName(std::u16string_view Name) {
  return std::find(kEquipmentTypeNames.begin(), kEquipmentTypeNames.end(), Name) != kEquipmentTypeNames.end();
}

bool RunConnectionSequence(ConnectionCalls& Calls, const GivenSettings& Given, std::vector<FormSetting>& Applied) {
  Sequence Run(Calls);
  if (!SetUp(Run, Given, Applied)) return false;
  // The host's device identifier, which Open fills and Close is handed back.
  const CallOutcome Opened = Run.Step(u"Open", {std::u16string()});
  if (Run.Failed()) return false;
  Run.Step(u"DeviceTest", {std::u16string(), std::u16string()});
  if (!Run.Failed()) Run.Step(u"GetAdditionalActions", {std::u16string()});
  if (!Run.Failed() && !Calls.RunScript()) Run.Fail();
  const HostValue DeviceId = Opened.Params.empty() ? HostValue(std::u16string()) : Opened.Params.front();
  Run.Step(u"Close", {DeviceId});
  return !Run.Failed();
}

}  // namespace v8host
