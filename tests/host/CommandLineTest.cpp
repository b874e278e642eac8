// The v8host command, run in this process against the fixture add-in.
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "tests/support/HostTestSupport.h"
#include "tools/v8host/CommandLine.h"
#include "tools/v8host/HostFailure.h"

namespace hosttest {
namespace {

std::string FixturePath() { return ToUtf8(BesideTestProgram(kFixtureFileName)); }

struct CommandCase {
  std::vector<std::string> Args;  // "LIB" stands for the fixture add-in
  int Exit;
  std::vector<std::string> Out;
  std::string Err;
};

std::vector<std::string> WithLibrary(std::vector<std::string> Args) {
  for (std::string& Arg : Args) {
    if (Arg == "LIB") Arg = FixturePath();
  }
  return Args;
}

TEST(HostCommand, RunsCommandsAndAnswersWithClearExitCodes) {
  const CommandCase Cases[] = {
      {{"LIB", "info"},
       ExitOk,
       {"class names: Fixture|Second|Broken", "attach type: 3", "class Fixture (extension FixtureAddInEx)",
        "    1 Add / Сложить: 2 parameters, returns a value", "      default of parameter 1: int:7",
        "    5 Remember / Запомнить: 1 parameter, no return value", "    0 Counter / Счётчик: read, write",
        "    8 Sink / Приёмник: write only", "class Broken: the library created no component of this class"},
       "0 block(s)"},
      {{"--class", "Second", "LIB", "info"}, ExitOk, {"    0 Name / Имя: 0 parameters, returns a value"}, ""},
      {{"LIB", "call", "Add", "int:5"}, ExitOk, {"call Add int:5 -> true", "  return: int:12", "  param 1: int:7"}, ""},
      {{"LIB", "call", "Эхо", "date:2024-03-05T10:20:30"}, ExitOk, {"  return: date:2024-03-05T10:20:30"}, ""},
      {{"LIB", "call", "WriteOutputs", "bare words"},
       ExitOk,
       {"  param 0: text:выход", "  param 1: int:42", "  param 2: bool:true"},
       ""},
      {{"LIB", "call", "Fail", "text:boom"},
       ExitRefused,
       {"-> false", "  AddError: code 1006, source \"Внешняя компонента\", description \"boom\", status -2147467259"},
       ""},
      {{"--class", "Second", "LIB", "call", "Имя"}, ExitOk, {"  return: text:Second"}, ""},
      // A false return value is the method's answer, not a failed call, unless asked.
      {{"LIB", "call", "Эхо", "bool:false"}, ExitOk, {"-> true", "  return: bool:false"}, ""},
      {{"--fail-on-false", "LIB", "call", "Эхо", "bool:false"}, ExitRefused, {"  return: bool:false"}, ""},
      {{"--fail-on-false", "LIB", "call", "Эхо", "bool:true"}, ExitOk, {"  return: bool:true"}, ""},
      {{"LIB", "get", "Locale"}, ExitOk, {"get Locale -> true", "  value: text:ru_RU"}, ""},
      {{"--locale", "en_US", "LIB", "get", "Локаль"}, ExitOk, {"  value: text:en_US"}, ""},
      {{"LIB", "set", "Counter", "int:4"}, ExitOk, {"set Counter int:4 -> true"}, ""},
      {{"LIB", "set", "Version", "2.0"}, ExitRefused, {}, "The property \"Version\" is not writable"},
      {{"LIB", "call", "NoSuchMethod"}, ExitUnknownName, {}, "no method \"NoSuchMethod\""},
      {{"LIB", "get", "add"}, ExitUnknownName, {}, "no property \"add\""},
      {{"--class", "Nope", "LIB", "call", "Ping"}, ExitLoadFailed, {}, "no component of the class \"Nope\""},
      {{"--class", "Broken", "LIB", "call", "Ping"}, ExitLoadFailed, {}, "\"Broken\""},
      {{"no-such-library.so", "info"}, ExitLoadFailed, {}, "Cannot load the library no-such-library.so"},
      {{"LIB", "call", "Add", "int:x"}, ExitBadArgument, {}, "Bad value \"int:x\""},
      {{"LIB", "call", "Add", "1", "2", "3"}, ExitBadArgument, {}, "Add takes 2 parameters, 3 given"},
      {{"LIB", "set", "Counter"}, ExitBadArgument, {}, "expected: set PROPERTY VALUE"},
      {{"LIB", "dance"}, ExitBadArgument, {}, "unknown command \"dance\""},
      {{"--verbose", "LIB", "info"}, ExitBadArgument, {}, "unknown option --verbose"},
      {{"LIB"}, ExitBadArgument, {}, "a library and a command are needed"},
      {{"--help"}, ExitOk, {"usage: v8host"}, ""},
  };
  for (const CommandCase& Case : Cases) {
    const std::vector<std::string> Args = WithLibrary(Case.Args);
    const RunResult Result = RunHost(Args);
    const std::string Label = Case.Args.empty() ? "" : Case.Args.front() + " " + Case.Args.back();
    EXPECT_EQ(Result.Exit, Case.Exit) << Label << "\n" << Result.Out << Result.Err;
    for (const std::string& Part : Case.Out) EXPECT_TRUE(Contains(Result.Out, Part)) << Part << "\nin:\n" << Result.Out;
    EXPECT_TRUE(Contains(Result.Err, Case.Err)) << Case.Err << "\nin:\n" << Result.Err;
  }
}

TEST(HostCommand, ReportsAMissingExportByName) {
  const RunResult Result = RunHost({ToUtf8(BesideTestProgram(HOST_PARTIAL_ADDIN_NAME)), "info"});
  EXPECT_EQ(Result.Exit, ExitLoadFailed);
  EXPECT_TRUE(Contains(Result.Err, "does not export GetClassObject")) << Result.Err;
}

TEST(HostCommand, JsonCarriesValuesErrorsAndTheMemoryReport) {
  const struct {
    std::vector<std::string> Args;
    int Exit;
    std::vector<std::string> Parts;
  } Cases[] = {
      {{"--json", "LIB", "call", "Add", "int:5"},
       ExitOk,
       {"\"class\":\"Fixture\"", "\"ok\":true", "\"return\":{\"type\":\"int\",\"value\":\"12\"}",
        "\"params\":[{\"type\":\"int\",\"value\":\"5\"},{\"type\":\"int\",\"value\":\"7\"}]",
        "\"memory\":{\"leftBlocks\":0,\"leftBytes\":0,\"badFrees\":0}", "\"exitCode\":0}"}},
      {{"--json", "LIB", "call", "Fail", "text:say \"no\"\n"},
       ExitRefused,
       {"\"ok\":false", "\"code\":1006", "\"description\":\"say \\\"no\\\"\\n\"", "\"status\":-2147467259"}},
      {{"--json", "LIB", "info"},
       ExitOk,
       {"\"classNames\":\"Fixture|Second|Broken\"", "\"attachType\":3",
        "{\"number\":1,\"name\":\"Add\",\"localName\":\"Сложить\",\"params\":2,\"hasRetVal\":true,"
        "\"defaults\":[null,{\"type\":\"int\",\"value\":\"7\"}]}",
        "{\"name\":\"Broken\",\"created\":false"}},
      {{"--json", "nothing.so", "info"}, ExitLoadFailed, {"\"error\":\"Cannot load the library nothing.so"}},
  };
  for (const auto& Case : Cases) {
    const RunResult Result = RunHost(WithLibrary(Case.Args));
    EXPECT_EQ(Result.Exit, Case.Exit) << Result.Out << Result.Err;
    for (const std::string& Part : Case.Parts)
      EXPECT_TRUE(Contains(Result.Out, Part)) << Part << "\nin:\n" << Result.Out;
  }
}

class HostScript : public ::testing::Test {
protected:
  std::string Write(const std::string& Text) {
    const std::filesystem::path File =
        std::filesystem::temp_directory_path() /
        (std::string("v8host-script-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
    std::ofstream(File, std::ios::binary) << Text;
    FFile = File;
    return File.string();
  }
  void TearDown() override { std::filesystem::remove(FFile); }

private:
  std::filesystem::path FFile;
};

TEST_F(HostScript, StepsShareOneComponent) {
  const std::string Script = Write(
      "\xEF\xBB\xBF# a session\r\n"
      "set Counter int:3\r\n"
      "\r\n"
      "   get Счётчик\n"
      "echo Second   step:  remember\n"
      "call Remember \"text:two words\"\n"
      "get Remembered\n"
      "call Remember \"text:kept words\"\n"
      "keep words 0\n"
      "call Remember int:1\n"
      "call Remember $words\n"
      "call Fail boom\n"
      "get CallCount\n");
  const RunResult Result = RunHost({FixturePath(), "run", Script});
  EXPECT_EQ(Result.Exit, ExitRefused) << Result.Err;  // one step answered false
  for (const char* Part : {"get Счётчик -> true\n  value: int:3", "\n== Second step: remember\ncall Remember",
                           "value: text:two words", "call Fail text:boom -> false",
                           "call Remember text:kept words -> true", "get CallCount -> true\n  value: int:5"})
    EXPECT_TRUE(Contains(Result.Out, Part)) << Part << "\nin:\n" << Result.Out;
}

TEST_F(HostScript, ABadLineStopsTheRunBeforeAnyStepAndNamesTheLine) {
  const std::string Script = Write("set Counter int:3\ncall Add int:\n");
  const RunResult Result = RunHost({FixturePath(), "run", Script});
  EXPECT_EQ(Result.Exit, ExitBadArgument);
  EXPECT_TRUE(Result.Out.empty()) << Result.Out;
  EXPECT_TRUE(Contains(Result.Err, ":2: Bad value \"int:\"")) << Result.Err;
}

TEST(HostCommandWords, ScriptLinesSplitAtBlanksWithQuotes) {
  const struct {
    const char* Line;
    std::vector<std::string> Words;
  } Cases[] = {
      {"call Echo text:a", {"call", "Echo", "text:a"}},
      {"  set\tX   \"\"  ", {"set", "X", ""}},
      {"call Echo \"text:a b\"", {"call", "Echo", "text:a b"}},
      {"call Echo text:\"say \\\"hi\\\"\"", {"call", "Echo", "text:say \"hi\""}},
      {"call Echo text:a\\b", {"call", "Echo", "text:a\\b"}},
  };
  for (const auto& Case : Cases) EXPECT_EQ(SplitScriptLine(Case.Line), Case.Words) << Case.Line;
  EXPECT_THROW(SplitScriptLine("call Echo \"open"), HostFailure);
}

TEST(HostCommandWords, TypedValuesParseAndPrintTheSameWay) {
  const struct {
    const char* Argument;
    HostValue Value;
    const char* Printed;
  } Cases[] = {
      {"empty", std::monostate{}, "empty"},
      {"text:", std::u16string(), "text:"},
      {"text:int:5", std::u16string(u"int:5"), "text:int:5"},
      {"просто текст", std::u16string(u"просто текст"), "text:просто текст"},
      {"int:-42", int32_t{-42}, "int:-42"},
      {"int64:9000000000", int64_t{9000000000}, "int64:9000000000"},
      {"num:1.5", 1.5, "num:1.5"},
      {"num:-0.25", -0.25, "num:-0.25"},
      // Fifteen digits of the largest doubles round past them: the exact form reads back.
      {"num:1.7976931348623157e308", std::numeric_limits<double>::max(), "num:1.7976931348623157e+308"},
      {"num:-1.7976931348623157e308", -std::numeric_limits<double>::max(), "num:-1.7976931348623157e+308"},
      {"bool:true", true, "bool:true"},
      {"bool:0", false, "bool:false"},
      {"date:2024-03-05", HostDate{45356}, "date:2024-03-05T00:00:00"},
      {"date:2024-03-05T10:20:30", HostDate{45356 + (10 * 3600 + 20 * 60 + 30) / 86400.0}, "date:2024-03-05T10:20:30"},
  };
  for (const auto& Case : Cases) {
    const HostValue Parsed = ParseValue(Case.Argument);
    if (const auto* Date = std::get_if<HostDate>(&Parsed)) {
      EXPECT_NEAR(Date->DayCount, std::get<HostDate>(Case.Value).DayCount, 1e-9) << Case.Argument;
    } else {
      EXPECT_EQ(Parsed, Case.Value) << Case.Argument;
    }
    EXPECT_EQ(FormatValue(Parsed), Case.Printed);
    EXPECT_EQ(FormatValue(ParseValue(Case.Printed)), Case.Printed) << "pasted back";
  }
  for (const char* Bad : {"int:", "int:4x", "int:99999999999", "int64:1e3", "num:abc", "num:", "bool:yes",
                          "date:2024-13-01", "date:2024-02-30", "date:2024-03-05 10:20:30", "date:24-3-5"})
    EXPECT_THROW(ParseValue(Bad), HostFailure) << Bad;
}

}  // namespace
}  // namespace hosttest
