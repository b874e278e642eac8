// The driver library as the host sees it, through the emulator: the registered
// class, names in both languages, the last error, the three documents, the log
// switch and malformed calls.
#include <pugixml.hpp>

#include <filesystem>

#include "tests/support/CommonSupport.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"
#include "tests/support/XmlSupport.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "tools/v8host/HostSystem.h"

namespace hosttest {
namespace {

using testsupport::Attributes;
using testsupport::AttributesOf;

constexpr std::u16string_view kClass = u"a_orvextx1c83n";
const char* const kDriverName = "Драйвер эквайринг-терминала Orvex Tandemix";
const char* const kDriverDescription =
    "Драйвер эквайринг-терминала Orvex Tandemix \"1С:Совместимо\" для 1С:БПО NativeAPI";

class DriverHost : public HostSession {
protected:
  // Connecting creates the terminal connector's objects: the simulated one
  // stands in for it, the same on every machine.
  Component& Driver() {
    device_test::RegisterSimulator();
    return Open(kClass);
  }

  // Calls a method whose parameter 0 answers a document, and parses it.
  pugi::xml_document Document(Component& Object, std::u16string_view Method) {
    const CallOutcome Outcome = Object.Call(Method, {});
    EXPECT_EQ(Outcome.Return, HostValue(true)) << ToUtf8(Method);
    const std::string Xml = ToUtf8(TextOf(Outcome.Params.at(0)));
    EXPECT_EQ(Xml.rfind("<?xml version=\"1.0\"?>", 0), 0u) << Xml;
    pugi::xml_document Parsed;
    EXPECT_TRUE(Parsed.load_string(Xml.c_str())) << Xml;
    return Parsed;
  }
};

TEST_F(DriverHost, OneClassWithTheCommonMethodsInBothLanguages) {
  EXPECT_EQ(FixtureLibrary().ClassNames(), kClass);
  Component& Object = Driver();
  EXPECT_EQ(Object.ExtensionName(), std::u16string(kClass));
  const struct {
    const char16_t* Name;
    const char16_t* LocalName;
    HostLong Params;
  } Methods[] = {
      {u"GetInterfaceRevision", u"ПолучитьРевизиюИнтерфейса", 0},
      {u"GetDescription", u"ПолучитьОписание", 1},
      {u"GetLastError", u"ПолучитьОшибку", 1},
      {u"Open", u"Подключить", 1},
      {u"Close", u"Отключить", 1},
      {u"GetParameters", u"ПолучитьПараметры", 1},
      {u"SetParameter", u"УстановитьПараметр", 2},
      {u"DeviceTest", u"ТестУстройства", 2},
      {u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", 1},
      {u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", 1},
      {u"GetLocalizationPattern", u"ПолучитьШаблонЛокализации", 1},
      {u"SetLocalization", u"УстановитьЛокализацию", 2},
  };
  // The acquiring driver's own members come first, the common ones last.
  const std::vector<MethodInfo> Found = Object.Methods();
  ASSERT_GE(Found.size(), std::size(Methods));
  const std::size_t Common = Found.size() - std::size(Methods);
  for (std::size_t I = 0; I < std::size(Methods); ++I) {
    EXPECT_EQ(Found[Common + I].Name, Methods[I].Name);
    EXPECT_EQ(Found[Common + I].LocalName, Methods[I].LocalName);
    EXPECT_EQ(Found[Common + I].ParamCount, Methods[I].Params) << ToUtf8(Methods[I].Name);
    EXPECT_TRUE(Found[Common + I].HasRetVal);
    EXPECT_EQ(Object.FindMethod(Methods[I].LocalName), Found[Common + I].Number);
  }
  const std::vector<PropertyInfo> Properties = Object.Properties();
  ASSERT_FALSE(Properties.empty());
  EXPECT_EQ(Properties.back().Name, u"LogEnabled");
  EXPECT_EQ(Properties.back().LocalName, u"ЛогВключен");
  EXPECT_TRUE(Properties.back().Readable);
  EXPECT_TRUE(Properties.back().Writable);
  EXPECT_EQ(Object.Call(u"GetInterfaceRevision", {}).Return, HostValue(int32_t{4000}));
}

TEST_F(DriverHost, AFailureStaysReadableUntilTheNextResult) {
  Component& Object = Driver();
  EXPECT_EQ(LastError(Object), std::make_pair(HostValue(int32_t{0}), std::u16string()));
  const CallOutcome Failed = Object.Call(u"SetParameter", {Text(u"Громкость"), int32_t{1}});
  EXPECT_TRUE(Failed.Ok);
  EXPECT_EQ(Failed.Return, HostValue(false));
  EXPECT_TRUE(Failed.Errors.empty());
  Object.Call(u"GetInterfaceRevision", {});
  const auto Expected = std::make_pair(HostValue(int32_t{1001}), std::u16string(u"Property not found: Громкость"));
  EXPECT_EQ(LastError(Object), Expected);
  EXPECT_EQ(LastError(Object), Expected);
  EXPECT_EQ(Object.Call(u"Close", {}).Return, HostValue(true));
  EXPECT_EQ(LastError(Object), std::make_pair(HostValue(int32_t{0}), std::u16string()));
}

// The host asks for the last error exactly when something went wrong, also
// when it is out of memory: the code still comes back, the description is the
// empty text, which needs no host memory, and the failure stays readable.
TEST_F(DriverHost, TheLastErrorAnswersWithoutHostMemory) {
  const struct {
    const char* Host;
    bool GiveMemory;
    Values Args;
  } Cases[] = {
      {"no memory manager", false, {}},
      {"a memory manager refusing every block", true, {Text(u"прежний текст")}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Host);
    device_test::RegisterSimulator();
    Component& Object = Open(kClass, true, Case.GiveMemory);
    Memory.RefuseAllocations = Case.GiveMemory;
    ASSERT_EQ(Object.Call(u"SetParameter", {Text(u"Громкость"), int32_t{1}}).Return, HostValue(false));

    const CallOutcome Outcome = Object.Call(u"GetLastError", Case.Args);
    EXPECT_TRUE(Outcome.Ok);
    EXPECT_TRUE(Outcome.Errors.empty());
    EXPECT_EQ(Outcome.Return, HostValue(int32_t{1001}));
    EXPECT_EQ(Outcome.Params, Values{Text(u"")});

    if (!Case.GiveMemory) continue;
    Memory.RefuseAllocations = false;
    EXPECT_EQ(LastError(Object),
              std::make_pair(HostValue(int32_t{1001}), std::u16string(u"Property not found: Громкость")));
  }
}

TEST_F(DriverHost, MethodsAnswerAsTheStandardSays) {
  Component& Object = Driver();
  const struct {
    const char16_t* Method;
    Values Args;
    bool Result;
    Values Params;  // after the call
  } Cases[] = {
      // the device identifier is neither read nor written
      {u"Open", {Text(u"устройство-1")}, true, {Text(u"устройство-1")}},
      {u"Подключить", {int32_t{7}}, true, {int32_t{7}}},
      {u"Close", {Text(u"устройство-1")}, true, {Text(u"устройство-1")}},
      {u"DeviceTest", {}, true, {Text(FromUtf8(kDriverDescription)), Text(u"")}},
      {u"GetLocalizationPattern", {Text(u"старое")}, true, {Text(u"")}},
      {u"SetLocalization", {Text(u"en"), Text(u"<x/>")}, true, {Text(u"en"), Text(u"<x/>")}},
      {u"DoAdditionalAction", {Text(u"viewlog")}, false, {Text(u"viewlog")}},
      {u"DoAdditionalAction", {Text(u"Нет")}, false, {Text(u"Нет")}},
      {u"DoAdditionalAction", {Text(u"ViewLog")}, false, {Text(u"ViewLog")}},
      {u"SetParameter", {Text(u"LOGENABLED"), false}, true, {Text(u"LOGENABLED"), false}},
  };
  const testsupport::TNoDisplay NoWindow;
  for (const auto& Case : Cases) {
    const CallOutcome Outcome = Object.Call(Case.Method, Case.Args);
    EXPECT_TRUE(Outcome.Ok) << ToUtf8(Case.Method);
    EXPECT_EQ(Outcome.Return, HostValue(Case.Result)) << ToUtf8(Case.Method);
    EXPECT_EQ(Outcome.Params, Case.Params) << ToUtf8(Case.Method);
  }
}

TEST_F(DriverHost, ActionsRunByExactNameOnly) {
  Component& Object = Driver();
  const std::pair<const char16_t*, const char16_t*> Cases[] = {
      {u"viewlog", u"Action not found"},
      {u"", u"Action not found"},
      {u"ViewLog", testsupport::kViewLogWithoutDisplay},
      {u"ShowHelp", testsupport::kShowHelpWithoutDisplay},
  };
  const testsupport::TNoDisplay NoWindow;
  for (const auto& [Name, Message] : Cases) {
    EXPECT_EQ(Object.Call(u"DoAdditionalAction", {Text(Name)}).Return, HostValue(false));
    EXPECT_EQ(LastError(Object), std::make_pair(HostValue(int32_t{1001}), std::u16string(Message)));
  }
}

TEST_F(DriverHost, TheDescriptionDocument) {
  Component& Object = Driver();
  const pugi::xml_document Parsed = Document(Object, u"GetDescription");
  const Attributes Found = AttributesOf(Parsed.child("DriverDescription"));
  ASSERT_EQ(Found.size(), 10u);
  const Attributes Expected = {
      {"Name", kDriverName},
      {"Description", kDriverDescription},
      {"EquipmentType", "ЭквайринговыйТерминал"},
      {"IntegrationComponent", "false"},
      {"MainDriverInstalled", "false"},
      {"DriverVersion", ORVEX_PROJECT_VERSION},
      {"IntegrationComponentVersion", ORVEX_PROJECT_VERSION},
      {"DownloadURL", Found[7].second},
      {"LogIsEnabled", "false"},
      {"LogPath", Found[9].second},
  };
  EXPECT_EQ(Found, Expected);
  const std::string& LogPath = Found[9].second;
  ASSERT_FALSE(LogPath.empty());
  EXPECT_EQ(LogPath.back(), static_cast<char>(os::PathSeparator()));
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(FromUtf8(LogPath)))) << LogPath;
}

TEST_F(DriverHost, TheActionsDocument) {
  Component& Object = Driver();
  const pugi::xml_document Parsed = Document(Object, u"GetAdditionalActions");
  std::vector<Attributes> Found;
  for (const pugi::xml_node& Action : Parsed.child("Actions").children()) Found.push_back(AttributesOf(Action));
  const std::vector<Attributes> Expected = {{{"Name", "ViewLog"}, {"Caption", "Просмотр лога"}},
                                            {{"Name", "ShowHelp"}, {"Caption", "Справка"}}};
  EXPECT_EQ(Found, Expected);
}

// The template reaches the host unchanged in meaning: six parameters in their
// group, the two choice lists with their texts.
TEST_F(DriverHost, TheSettingsDocumentIsTheTemplate) {
  Component& Object = Driver();
  const pugi::xml_document Parsed = Document(Object, u"GetParameters");
  const pugi::xml_node Page = Parsed.child("Settings").child("Page");
  EXPECT_STREQ(Page.attribute("Caption").value(), "Основные параметры");
  const pugi::xml_node Group = Page.child("Group");
  EXPECT_STREQ(Group.attribute("Caption").value(), "Основные настройки");
  const struct {
    const char* Name;
    const char* Type;
    const char* Default;
    std::size_t Choices;
  } Expected[] = {{"TerminalID", "String", "00000001", 0}, {"Port", "Number", "0", 33},
                  {"Baud", "Number", "115200", 8},         {"CurrencyCode", "String", "643", 0},
                  {"LogEnabled", "Boolean", "true", 0},    {"TimeoutAfterGetParams", "Number", "2000", 0}};
  std::size_t Index = 0;
  for (const pugi::xml_node& Parameter : Group.children("Parameter")) {
    ASSERT_LT(Index, std::size(Expected));
    const auto& Want = Expected[Index++];
    EXPECT_STREQ(Parameter.attribute("Name").value(), Want.Name);
    EXPECT_STREQ(Parameter.attribute("TypeValue").value(), Want.Type);
    EXPECT_STREQ(Parameter.attribute("DefaultValue").value(), Want.Default);
    const auto Items = Parameter.child("ChoiceList").children("Item");
    EXPECT_EQ(static_cast<std::size_t>(std::distance(Items.begin(), Items.end())), Want.Choices) << Want.Name;
  }
  EXPECT_EQ(Index, std::size(Expected));
  const pugi::xml_node FirstPort =
      Group.find_child_by_attribute("Parameter", "Name", "Port").child("ChoiceList").first_child();
  EXPECT_STREQ(FirstPort.attribute("Value").value(), "0");
  EXPECT_STREQ(FirstPort.text().get(), "Подключение по IP");
}

// A host that passes fewer records than the method reads gets a failure, not a
// read past its array.
TEST_F(DriverHost, ACallWithTooFewParametersFailsCleanly) {
  Component& Object = Driver();
  const struct {
    const char16_t* Method;
    Values Args;
  } Cases[] = {{u"SetParameter", {Text(u"LogEnabled")}}, {u"GetDescription", {}}, {u"DeviceTest", {Text(u"")}}};
  for (const auto& Case : Cases) {
    const CallOutcome Outcome = Object.CallWithCount(Method(Case.Method), Case.Args);
    EXPECT_TRUE(Outcome.Ok) << ToUtf8(Case.Method);
    EXPECT_EQ(Outcome.Return, HostValue(false)) << ToUtf8(Case.Method);
    const auto [Code, Message] = LastError(Object);
    EXPECT_EQ(Code, HostValue(int32_t{1001}));
    EXPECT_NE(Message.find(u"Too few parameters"), std::u16string::npos) << ToUtf8(Message);
  }
}

class DriverHostLog : public DriverHost {
protected:
  void SetUp() override { UseTemporaryMachineDataFolder(); }
  void TearDown() override {
    Driver().SetProperty(Prop(u"LogEnabled"), false);
    DriverHost::TearDown();
    RestoreMachineDataFolder();
  }
};

std::string LogIsEnabledOf(const pugi::xml_document& Description) {
  return Description.child("DriverDescription").attribute("LogIsEnabled").value();
}

TEST_F(DriverHostLog, TheLogSwitchInAnyCaseAndItsStopBanner) {
  Component& Object = Driver();
  const std::pair<const char16_t*, bool> Switches[] = {
      {u"logenabled", true}, {u"ЛОГВКЛЮЧЕН", false}, {u"LogEnabled", true}};
  for (const auto& [Name, On] : Switches) {
    ASSERT_EQ(Object.Call(u"SetParameter", {Text(Name), On}).Return, HostValue(true)) << ToUtf8(Name);
    EXPECT_EQ(Object.GetProperty(Prop(u"LogEnabled")).Return, HostValue(On));
    EXPECT_EQ(LogIsEnabledOf(Document(Object, u"GetDescription")), On ? "true" : "false");
  }
  const std::string Folder =
      Document(Object, u"GetDescription").child("DriverDescription").attribute("LogPath").value();
  ASSERT_TRUE(Object.SetProperty(Prop(u"ЛогВключен"), false).Ok);

  // Windows keeps earlier days' files in the machine-wide folder: today's is the newest.
  std::filesystem::path Newest;
  for (const auto& Entry : std::filesystem::directory_iterator(std::filesystem::path(FromUtf8(Folder)))) {
    if (Entry.path().extension() != ".log") continue;
    if (Newest.empty() || Entry.last_write_time() > std::filesystem::last_write_time(Newest)) Newest = Entry.path();
  }
  ASSERT_FALSE(Newest.empty());
  std::string Log = ReadWholeFile(Newest.u16string());
  const std::string Stop = "============Stop log===============";
  while (!Log.empty() && (Log.back() == '\r' || Log.back() == '\n')) Log.pop_back();
  ASSERT_GE(Log.size(), Stop.size());
  EXPECT_EQ(Log.substr(Log.size() - Stop.size()), Stop) << Log;
  EXPECT_NE(Log.find("\tDEBUG\t> GetDescription"), std::string::npos) << Log;
}

}  // namespace
}  // namespace hosttest
