// The resources of a program that embeds them: names in any letter case, the
// settings template byte for byte and as a document, the string-table texts.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "platform/Resources.h"
#include "resources/StringIds.h"

using namespace std::string_view_literals;

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";

std::string_view SettingsTemplate() {
  const auto Data = resources::FindData(u"Parameters");
  if (!Data) ADD_FAILURE() << "no PARAMETERS resource";
  return Data.value_or(std::string_view());
}

std::vector<std::string_view> SplitAtCrLf(std::string_view Text) {
  std::vector<std::string_view> Lines;
  for (std::size_t End; (End = Text.find("\r\n")) != std::string_view::npos; Text.remove_prefix(End + 2))
    Lines.push_back(Text.substr(0, End));
  Lines.push_back(Text);
  return Lines;
}

struct LoadedTemplate {
  pugi::xml_document Document;
  pugi::xml_parse_result Result;
  LoadedTemplate() {
    const std::string_view Text = SettingsTemplate();
    Result = Document.load_buffer(Text.data(), Text.size());
  }
  pugi::xml_node Group() const { return Document.child("Settings").child("Page").child("Group"); }
  pugi::xml_node Parameter(const char* Name) const {
    return Group().find_child_by_attribute("Parameter", "Name", Name);
  }
};

std::vector<std::string> AttributeNames(pugi::xml_node Node) {
  std::vector<std::string> Names;
  for (const pugi::xml_attribute& Attribute : Node.attributes()) Names.emplace_back(Attribute.name());
  return Names;
}

std::vector<std::pair<std::string, std::string>> ChoiceItems(pugi::xml_node Parameter) {
  std::vector<std::pair<std::string, std::string>> Items;
  for (const pugi::xml_node& Item : Parameter.child("ChoiceList").children("Item"))
    Items.emplace_back(Item.attribute("Value").value(), Item.text().get());
  return Items;
}

// What stands on an element's line before its '<'.
std::string_view IndentOf(std::string_view Text, pugi::xml_node Element) {
  const auto Open = static_cast<std::size_t>(Element.offset_debug()) - 1;
  const std::size_t LineEnd = Text.rfind('\n', Open);
  const std::size_t LineStart = LineEnd == std::string_view::npos ? 0 : LineEnd + 1;
  return Text.substr(LineStart, Open - LineStart);
}

TEST(ResourceNames, AnyLetterCaseFindsTheSameBytes) {
  const std::string_view Expected = SettingsTemplate();
  for (const std::u16string_view Name : {u"Parameters"sv, u"parameters"sv, u"PARAMETERS"sv, u"pArAmEtErS"sv}) {
    const auto Data = resources::FindData(Name);
    ASSERT_TRUE(Data) << "name " << Name.size();
    EXPECT_EQ(Data->data(), Expected.data());
    EXPECT_EQ(Data->size(), 2531u);
  }
}

TEST(ResourceNames, OtherNamesFindNothing) {
  const std::u16string_view Names[] = {
      u""sv,   u"PARAMETER"sv, u"PARAMETERSX"sv, u" PARAMETERS"sv, u"PARAMETERS\0"sv, u"PARAMETERS\0X"sv,
      u"#1"sv, u"HELP.zip"sv,  u"Параметры"sv};
  for (const std::u16string_view Name : Names)
    EXPECT_FALSE(resources::FindData(Name)) << "a name of " << Name.size() << " units was found";
}

TEST(SettingsTemplate, IsUtf8WithBomDeclarationAndCrLfLines) {
  const std::string_view Text = SettingsTemplate();
  ASSERT_TRUE(Text.starts_with(Bom));
  const auto Lines = SplitAtCrLf(Text.substr(Bom.size()));
  ASSERT_GT(Lines.size(), 2u);
  EXPECT_EQ(Lines.front(), R"(<?xml version="1.0" encoding="UTF-8"?>)");
  EXPECT_EQ(Lines.back(), "") << "the last line ends with CR LF";
  for (const std::string_view Line : Lines) {
    EXPECT_EQ(Line.find_first_of("\r\n"), std::string_view::npos) << "a lone CR or LF in: " << Line;
    EXPECT_EQ(Line.find_first_not_of('\t'), Line.find_first_not_of(" \t")) << "space indentation: " << Line;
  }
}

TEST(SettingsTemplate, EachElementIsIndentedByOneTabPerLevel) {
  const LoadedTemplate Template;
  ASSERT_TRUE(Template.Result) << Template.Result.description();
  const std::string_view Text = SettingsTemplate();
  struct Walker : pugi::xml_tree_walker {
    std::string_view Text;
    bool for_each(pugi::xml_node& Node) override {
      if (Node.type() == pugi::node_element) {
        EXPECT_EQ(IndentOf(Text, Node), std::string(static_cast<std::size_t>(depth()), '\t')) << Node.name();
      }
      return true;
    }
  } Walk;
  Walk.Text = Text;
  // From the document node the root element has depth 0.
  pugi::xml_node Root = Template.Document;
  ASSERT_TRUE(Root.traverse(Walk));
}

TEST(SettingsTemplate, PageAndGroupHoldTheSixParametersInOrder) {
  const LoadedTemplate Template;
  ASSERT_TRUE(Template.Result) << Template.Result.description();
  const pugi::xml_node Page = Template.Document.child("Settings").child("Page");
  EXPECT_STREQ(Page.attribute("Caption").value(), "Основные параметры");
  EXPECT_STREQ(Template.Group().attribute("Caption").value(), "Основные настройки");

  struct Expected {
    const char* Name;
    const char* Caption;
    const char* TypeValue;
    const char* DefaultValue;
  };
  const Expected Parameters[] = {
      {"TerminalID", "ID терминала", "String", "00000001"},
      {"Port", "Порт терминала", "Number", "0"},
      {"Baud", "Скорость обмена", "Number", "115200"},
      {"CurrencyCode", "Код валюты", "String", "643"},
      {"LogEnabled", "Вести лог", "Boolean", "true"},
      {"TimeoutAfterGetParams", "Задержка после операции получения параметров (мсек.)", "Number", "2000"},
  };
  const std::vector<std::string> AttributeOrder = {"Name", "Caption", "TypeValue", "DefaultValue"};
  auto Node = Template.Group().children().begin();
  for (const Expected& Parameter : Parameters) {
    ASSERT_NE(Node, Template.Group().children().end()) << "missing " << Parameter.Name;
    EXPECT_STREQ(Node->name(), "Parameter");
    EXPECT_EQ(AttributeNames(*Node), AttributeOrder) << Parameter.Name;
    EXPECT_STREQ(Node->attribute("Name").value(), Parameter.Name);
    EXPECT_STREQ(Node->attribute("Caption").value(), Parameter.Caption);
    EXPECT_STREQ(Node->attribute("TypeValue").value(), Parameter.TypeValue);
    EXPECT_STREQ(Node->attribute("DefaultValue").value(), Parameter.DefaultValue);
    ++Node;
  }
  EXPECT_EQ(Node, Template.Group().children().end()) << "more than six parameters";
}

TEST(SettingsTemplate, PortAndBaudOfferTheirChoicesOthersNone) {
  const LoadedTemplate Template;
  ASSERT_TRUE(Template.Result) << Template.Result.description();
  std::vector<std::pair<std::string, std::string>> Ports = {{"0", "Подключение по IP"}};
  for (int Number = 1; Number <= 32; ++Number)
    Ports.emplace_back(std::to_string(Number), "COM" + std::to_string(Number));
  std::vector<std::pair<std::string, std::string>> Bauds;
  for (const char* Speed : {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"})
    Bauds.emplace_back(Speed, Speed);

  EXPECT_EQ(ChoiceItems(Template.Parameter("Port")), Ports);
  EXPECT_EQ(ChoiceItems(Template.Parameter("Baud")), Bauds);
  for (const char* Name : {"TerminalID", "CurrencyCode", "LogEnabled", "TimeoutAfterGetParams"})
    EXPECT_TRUE(Template.Parameter(Name).first_child().empty()) << Name;
}

TEST(StringTable, TextsByIdentifier) {
  const std::pair<uint32_t, std::u16string_view> Texts[] = {
      {resources::kDriverNameId, u"Драйвер эквайринг-терминала Orvex Tandemix"},
      {resources::kDriverDescriptionId,
       u"Драйвер эквайринг-терминала Orvex Tandemix \"1С:Совместимо\" для 1С:БПО NativeAPI"},
      {resources::kParametersCaptionId, u"Параметры"},
      {resources::kHelpCaptionId, u"Справка"},
      {resources::kMethodNotSupportedId, u"Метод \"%s\" не поддерживается"},
  };
  for (const auto& [Id, Text] : Texts) EXPECT_EQ(resources::LoadString(Id), Text) << "string " << Id;
}

TEST(StringTable, UnknownIdentifiersRaise) {
  // Strings sit in blocks of sixteen numbered from 1 in 16 bits: cut to 16 bits,
  // the block number of 0x100000 + 101 would be that of string 101.
  for (const uint32_t Id : {0u, 100u, 106u, 111u, 0x100000u + 101u, 0xFFFFFFFFu}) {
    try {
      (void)resources::LoadString(Id);
      ADD_FAILURE() << "string " << Id << " was found";
    } catch (const Exception& Error) {
      EXPECT_EQ(Error.what(), "String resource not found: " + std::to_string(Id));
    }
  }
}

}  // namespace
