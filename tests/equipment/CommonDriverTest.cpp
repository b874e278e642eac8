// The common driver on a small derived class, in a program that carries no
// resources: equipment types, the description record, the documents, the
// additional actions and the device test's failure path.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "equipment/uCommonDriver.h"
#include "logging/Common.Log.h"
#include "platform/Text.h"
#include "tests/bridge/FakeHost.h"
#include "tests/support/CommonSupport.h"
#include "tests/support/XmlSupport.h"

namespace {

enum class TMode : uint8_t { Quiet, Loud };

class TTestDriver : public TCommonDriver {
public:
  TTestDriver() : TCommonDriver(&TTestDriver::UpdateDriverInfo) {}
  static const TExportTable& Exports();
  const TExportTable& ObjectExports() const override { return Exports(); }
  static void UpdateDriverInfo(TDriverInfo& ADriverInfo) {
    TCommonDriver::UpdateDriverInfo(ADriverInfo);
    ADriverInfo.EquipmentType = TEquipmentType::etAcquiringTerminal;
  }

  void Open() override {
    if (!OpenFailure.empty()) throw Exception(OpenFailure);
    TCommonDriver::Open();
  }
  void Close() override {
    ++Closes;
    TCommonDriver::Close();
  }

  void Beep() { ++Beeps; }

  int32_t GetPort() const { return 0; }
  void SetPort(int32_t) {}
  std::u16string GetTerminalId() const { return {}; }
  void SetTerminalId(const std::u16string&) {}
  TMode GetMode() const { return TMode::Quiet; }
  void SetMode(TMode) {}
  double GetRate() const { return 0; }

  std::u16string OpenFailure;
  int Closes = 0;
  int Beeps = 0;
};

const TExportTable& TTestDriver::Exports() {
  static constexpr TExportProp Props[] = {
      ORVEX_EXPORT_PROPERTY(TTestDriver, Port, u"Порт", u"Порт терминала", u"0", false),
      ORVEX_EXPORT_PROPERTY(TTestDriver, TerminalId, u"ИдТерминала", u"ID \"терминала\"", u"00000001", false),
      ORVEX_EXPORT_PROPERTY(TTestDriver, Mode, u"Режим", u"Режим", u"", false),
      ORVEX_EXPORT_READONLY_PROPERTY(TTestDriver, Rate, u"Курс", u"Курс", u"1.5"),
  };
  static constexpr TExportAction Actions[] = {ORVEX_EXPORT_ACTION(TTestDriver, Beep, u"Сигнал")};
  static const TExportTable Table{&TCommonDriver::Exports(), {}, Props, Actions};
  return Table;
}

pugi::xml_document Parse(const std::u16string& Text) {
  pugi::xml_document Document;
  const std::string Utf8 = ToUtf8(Text);
  EXPECT_TRUE(Document.load_buffer(Utf8.data(), Utf8.size())) << Utf8;
  return Document;
}

using testsupport::AttributesOf;

class CommonDriver : public ::testing::Test {
protected:
  CommonDriver() { Driver.V8MM = &Memory; }
  ~CommonDriver() override {
    for (V8Variant& Record : Params) V8ClearVar(&Memory, Record);
    V8ClearVar(&Memory, Ret);
  }
  // Calls an exported method by name with two parameter records.
  bool Call(std::u16string_view Name, std::u16string_view Param0 = u"") {
    V8SetWString(&Memory, Params[0], Param0);
    const TClassReg& Class = Registered();
    const TMethReg* Method = Class.Method(Class.FindMethod(Name));
    EXPECT_NE(Method, nullptr) << ToUtf8(Name);
    TV8AddInDefBaseEx* Connection = nullptr;
    EXPECT_TRUE(Method && Method->ExecuteFunc(Driver, &Ret, Params, 2, Connection));
    return Ret.vt == VTYPE_BOOL && Ret.bVal;
  }
  std::u16string Output(int Index) const { return V8AsWString(Params[Index]); }
  static const TClassReg& Registered() {
    static const TClassReg& Class = TCustomDriver::RegisterClass<TTestDriver>(u"CommonDriverTest");
    return Class;
  }

  CountingMemoryManager Memory;
  TTestDriver Driver;
  V8Variant Params[2] = {};
  V8Variant Ret{};
};

TEST(EquipmentType, HostTypeNames) {
  const std::pair<TEquipmentType, const char16_t*> Cases[] = {
      {TEquipmentType::etScanner, u"СканерШтрихкода"},
      {TEquipmentType::etAcquiringTerminal, u"ЭквайринговыйТерминал"},
      {TEquipmentType::etECR, u"ККТ"},
      {TEquipmentType::etUnknown, u"НеизвестныйТипОборудования"},
  };
  for (const auto& [Type, Name] : Cases) EXPECT_EQ(EquipmentTypeToStr(Type), Name);
  try {
    EquipmentTypeToStr(static_cast<TEquipmentType>(15));
    ADD_FAILURE() << "no failure";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"Enum value unacceptable");
  }
}

TEST_F(CommonDriver, ANewObjectRefreshesTheDescriptionAsItsOwnClass) {
  DriverInfo().Name = u"Имя";
  DriverInfo().EquipmentType = TEquipmentType::etScale;
  DriverInfo().MainDriverInstalled = true;
  TTestDriver Another;
  EXPECT_EQ(DriverInfo().Name, u"Имя");
  EXPECT_EQ(DriverInfo().EquipmentType, TEquipmentType::etAcquiringTerminal);
  EXPECT_FALSE(DriverInfo().MainDriverInstalled);
  EXPECT_EQ(DriverInfo().DriverVersion, u"0.0.0.0");
  EXPECT_EQ(DriverInfo().IntegrationComponentVersion, u"0.0.0.0");
}

TEST_F(CommonDriver, DescriptionAttributesInOrderWithQuotesIntact) {
  DriverInfo().Name = u"Драйвер";
  DriverInfo().Description = u"Драйвер \"1С:Совместимо\" <&>";
  ASSERT_TRUE(Call(u"GetDescription"));
  EXPECT_NE(Output(0).find(u"&quot;1С:Совместимо&quot;"), std::u16string::npos);
  const pugi::xml_document Document = Parse(Output(0));
  const auto Attributes = AttributesOf(Document.child("DriverDescription"));
  const std::vector<std::pair<std::string, std::string>> Expected = {
      {"Name", "Драйвер"},
      {"Description", "Драйвер \"1С:Совместимо\" <&>"},
      {"EquipmentType", "ЭквайринговыйТерминал"},
      {"IntegrationComponent", "false"},
      {"MainDriverInstalled", "false"},
      {"DriverVersion", "0.0.0.0"},
      {"IntegrationComponentVersion", "0.0.0.0"},
      {"DownloadURL", ToUtf8(DriverInfo().DownloadURL)},
      {"LogIsEnabled", "false"},
      {"LogPath", ToUtf8(GetLogPath(true))},
  };
  EXPECT_EQ(Attributes, Expected);
}

TEST_F(CommonDriver, WithoutTemplateTheFormListsEveryExportedProperty) {
  ASSERT_TRUE(Call(u"GetParameters"));
  const std::u16string Text = Output(0);
  EXPECT_EQ(Text.rfind(u"<?xml version=\"1.0\"?>", 0), 0u) << ToUtf8(Text);
  const pugi::xml_document Document = Parse(Text);
  const pugi::xml_node Page = Document.child("Settings").child("Page");
  EXPECT_STREQ(Page.attribute("Caption").value(), "Параметры");
  using Attributes = std::vector<std::pair<std::string, std::string>>;
  const std::vector<Attributes> Expected = {
      {{"Name", "Port"},
       {"Caption", "Порт терминала"},
       {"TypeValue", "Number"},
       {"DefaultValue", "0"},
       {"ReadOnly", "false"}},
      {{"Name", "TerminalId"},
       {"Caption", "ID \"терминала\""},
       {"TypeValue", "String"},
       {"DefaultValue", "00000001"},
       {"ReadOnly", "false"}},
      {{"Name", "Mode"}, {"Caption", "Режим"}, {"TypeValue", "Unknown"}, {"DefaultValue", ""}, {"ReadOnly", "false"}},
      {{"Name", "Rate"}, {"Caption", "Курс"}, {"TypeValue", "Number"}, {"DefaultValue", "1.5"}, {"ReadOnly", "true"}},
      {{"Name", "LogEnabled"},
       {"Caption", "Вести лог"},
       {"TypeValue", "Boolean"},
       {"DefaultValue", "False"},
       {"ReadOnly", "false"}},
  };
  std::vector<Attributes> Found;
  for (const pugi::xml_node& Parameter : Page.children()) {
    EXPECT_STREQ(Parameter.name(), "Parameter");
    Found.push_back(AttributesOf(Parameter));
  }
  EXPECT_EQ(Found, Expected);
}

TEST_F(CommonDriver, ActionsListTheDerivedClassFirstAndRunByExactName) {
  ASSERT_TRUE(Call(u"GetAdditionalActions"));
  const pugi::xml_document Document = Parse(Output(0));
  std::vector<std::pair<std::string, std::string>> Actions;
  for (const pugi::xml_node& Action : Document.child("Actions").children("Action")) {
    Actions.emplace_back(Action.attribute("Name").value(), Action.attribute("Caption").value());
  }
  const std::vector<std::pair<std::string, std::string>> Expected = {
      {"Beep", "Сигнал"}, {"ViewLog", "Просмотр лога"}, {"ShowHelp", "Справка"}};
  EXPECT_EQ(Actions, Expected);

  const struct {
    const char16_t* Name;
    bool Ok;
    const char16_t* Error;
  } Cases[] = {
      {u"Beep", true, u""},
      {u"beep", false, u"Action not found"},
      {u"", false, u"Action not found"},
      {u"ViewLog", false, testsupport::kViewLogWithoutDisplay},
  };
  const testsupport::TNoDisplay NoWindow;
  for (const auto& Case : Cases) {
    EXPECT_EQ(Call(u"DoAdditionalAction", Case.Name), Case.Ok) << ToUtf8(Case.Name);
    EXPECT_EQ(Driver.LastResult().ErrorDescription, Case.Error) << ToUtf8(Case.Name);
  }
  EXPECT_EQ(Driver.Beeps, 1);
}

TEST_F(CommonDriver, DeviceTestClosesAndReportsTheFailure) {
  Driver.OpenFailure = u"Порт занят";
  V8SetWString(&Memory, Params[1], u"как было");
  EXPECT_FALSE(Call(u"DeviceTest"));
  EXPECT_EQ(Output(0), u"Порт занят");
  EXPECT_EQ(Output(1), u"как было");
  EXPECT_EQ(Driver.LastResult().GetIntResult(), 1001);
  EXPECT_EQ(Driver.LastResult().ErrorDescription, u"Порт занят");
  EXPECT_EQ(Driver.Closes, 1);
  EXPECT_FALSE(Driver.Enabled());

  Driver.OpenFailure.clear();
  DriverInfo().Description = u"Описание";
  EXPECT_TRUE(Call(u"DeviceTest"));
  EXPECT_EQ(Output(0), u"Описание");
  EXPECT_EQ(Output(1), u"");
  EXPECT_EQ(Driver.Closes, 2);
}

TEST_F(CommonDriver, LocalisationAnswersEmptyAndChangesNothing) {
  EXPECT_TRUE(Call(u"SetLocalization", u"en"));
  EXPECT_TRUE(Call(u"GetLocalizationPattern", u"old"));
  EXPECT_EQ(Output(0), u"");
}

}  // namespace
