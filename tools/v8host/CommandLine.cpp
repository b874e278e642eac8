#include "tools/v8host/CommandLine.h"

#include <map>
#include <memory>
#include <optional>

#include "platform/Text.h"
#include "tools/v8host/AddInPackage.h"
#include "tools/v8host/Equipment.h"
#include "tools/v8host/HostComponent.h"
#include "tools/v8host/HostFailure.h"
#include "tools/v8host/HostReport.h"
#include "tools/v8host/HostSystem.h"

namespace v8host {

namespace {

struct Options {
  bool Json = false;
  bool Help = false;
  bool FailOnFalse = false;
  std::u16string Class;
  std::u16string Locale = u"ru_RU";
  std::u16string Library;
  std::string Command;
  std::vector<std::string> Rest;
  // The library is a package's, attached under this name (attach, equipment:
  // the name INFO.XML's ProgID gives), its objects created as New(NewObject).
  bool Package = false;
  std::u16string AttachName;
  std::u16string NewObject;
  // equipment: the user's steps while the device is open, the settings given.
  std::u16string Script;
  GivenSettings Settings;
};

struct Step {
  std::string Command;
  std::u16string Name;
  std::vector<HostValue> Args;
  // Arguments written $NAME: filled at run time from what an earlier keep saved.
  std::vector<std::pair<std::size_t, std::u16string>> KeptArgs;
  std::size_t KeptParam = 0;  // keep: the parameter of the last call to save
};

// A driver method reports a failed operation in its return value, the call
// itself still succeeding; the reason is then read with GetLastError.
bool AnsweredFalse(const CallOutcome& Outcome) { return Outcome.Return == HostValue(false); }

[[noreturn]] void RaiseUsage(const std::string& Message) {
  throw HostFailure(FailureKind::BadArgument, FromUtf8(Message));
}

std::string OptionValue(const std::vector<std::string>& Args, std::size_t& Index) {
  if (Index + 1 >= Args.size()) RaiseUsage(Args[Index] + " needs a value");
  return Args[++Index];
}

// attach PACKAGE NAME [COMMAND...]: the command (info when none) on an object
// of the package's library, attached under NAME.
void ParseAttach(const std::vector<std::string>& Args, std::size_t Index, Options& Parsed) {
  if (Index + 3 > Args.size()) RaiseUsage("expected: attach PACKAGE NAME [COMMAND...]");
  Parsed.Package = true;
  Parsed.Library = FromUtf8(Args[Index + 1]);
  Parsed.AttachName = FromUtf8(Args[Index + 2]);
  Parsed.Command = Index + 3 < Args.size() ? Args[Index + 3] : "info";
  if (Index + 4 < Args.size()) Parsed.Rest.assign(Args.begin() + static_cast<std::ptrdiff_t>(Index + 4), Args.end());
}

// equipment PACKAGE [--script FILE] [--json] [SETTING=VALUE...]
void ParseEquipment(const std::vector<std::string>& Args, std::size_t Index, Options& Parsed) {
  if (Index + 2 > Args.size()) RaiseUsage("expected: equipment PACKAGE [--script FILE] [SETTING=VALUE...]");
  Parsed.Package = true;
  Parsed.Command = "equipment";
  Parsed.Library = FromUtf8(Args[Index + 1]);
  for (Index += 2; Index < Args.size(); ++Index) {
    const std::string& Word = Args[Index];
    const std::size_t Equals = Word.find('=');
    if (Word == "--script") {
      Parsed.Script = FromUtf8(OptionValue(Args, Index));
    } else if (Word == "--json") {
      Parsed.Json = true;
    } else if (Word.starts_with("--") || Equals == std::string::npos || Equals == 0) {
      RaiseUsage("equipment: \"" + Word + "\" is neither --script FILE, --json nor SETTING=VALUE");
    } else {
      Parsed.Settings.emplace_back(FromUtf8(Word.substr(0, Equals)), FromUtf8(Word.substr(Equals + 1)));
    }
  }
}

Options ParseOptions(const std::vector<std::string>& Args) {
  Options Parsed;
  std::size_t Index = 0;
  for (; Index < Args.size() && Args[Index].starts_with("--"); ++Index) {
    const std::string& Option = Args[Index];
    if (Option == "--json") {
      Parsed.Json = true;
    } else if (Option == "--fail-on-false") {
      Parsed.FailOnFalse = true;
    } else if (Option == "--help") {
      Parsed.Help = true;
      return Parsed;
    } else if (Option == "--class") {
      Parsed.Class = FromUtf8(OptionValue(Args, Index));
    } else if (Option == "--new") {
      Parsed.NewObject = FromUtf8(OptionValue(Args, Index));
    } else if (Option == "--locale") {
      Parsed.Locale = FromUtf8(OptionValue(Args, Index));
    } else {
      RaiseUsage("unknown option " + Option);
    }
  }
  if (Index < Args.size() && Args[Index] == "attach") {
    ParseAttach(Args, Index, Parsed);
  } else if (Index < Args.size() && Args[Index] == "equipment") {
    ParseEquipment(Args, Index, Parsed);
  } else {
    if (Index + 2 > Args.size()) RaiseUsage("a library and a command are needed");
    Parsed.Library = FromUtf8(Args[Index]);
    Parsed.Command = Args[Index + 1];
    Parsed.Rest.assign(Args.begin() + static_cast<std::ptrdiff_t>(Index + 2), Args.end());
  }
  if (Parsed.Package && !Parsed.Class.empty()) RaiseUsage("a package's objects are named with --new AddIn.NAME.CLASS");
  if (!Parsed.Package && !Parsed.NewObject.empty()) RaiseUsage("--new names an object of an attached package");
  return Parsed;
}

void ExpectWordCount(const std::vector<std::string>& Words, std::size_t Least, std::size_t Most, const char* Form) {
  if (Words.size() < Least || Words.size() > Most) RaiseUsage(std::string("expected: ") + Form);
}

std::string JoinWords(const std::vector<std::string>& Words, std::size_t First) {
  std::string Joined;
  for (std::size_t Index = First; Index < Words.size(); ++Index) {
    if (!Joined.empty()) Joined += ' ';
    Joined += Words[Index];
  }
  return Joined;
}

// keep NAME N: parameter N of the last call, for later arguments written $NAME.
Step ParseKeep(const std::vector<std::string>& Words) {
  ExpectWordCount(Words, 3, 3, "keep NAME PARAMETER");
  int32_t Param = 0;
  if (!TryParseInt32(FromUtf8(Words[2]), Param) || Param < 0)
    RaiseUsage("keep: bad parameter number \"" + Words[2] + "\"");
  Step Parsed{"keep", FromUtf8(Words[1]), {}, {}};
  Parsed.KeptParam = static_cast<std::size_t>(Param);
  return Parsed;
}

// Words: the command, the name, the values.
Step ParseStep(const std::vector<std::string>& Words) {
  const std::string& Command = Words.empty() ? std::string() : Words[0];
  if (Command == "call") {
    ExpectWordCount(Words, 2, Words.size(), "call METHOD [VALUE...]");
  } else if (Command == "get") {
    ExpectWordCount(Words, 2, 2, "get PROPERTY");
  } else if (Command == "set") {
    ExpectWordCount(Words, 3, 3, "set PROPERTY VALUE");
  } else if (Command == "echo") {
    return Step{Command, FromUtf8(JoinWords(Words, 1)), {}, {}};
  } else if (Command == "keep") {
    return ParseKeep(Words);
  } else {
    RaiseUsage("unknown command \"" + Command + "\" (call, get, set, echo or keep)");
  }
  Step Parsed{Command, FromUtf8(Words[1]), {}, {}};
  for (std::size_t Index = 2; Index < Words.size(); ++Index) {
    if (Words[Index].size() > 1 && Words[Index].front() == '$') {
      Parsed.KeptArgs.emplace_back(Parsed.Args.size(), FromUtf8(Words[Index].substr(1)));
      Parsed.Args.emplace_back();
    } else {
      Parsed.Args.push_back(ParseValue(Words[Index]));
    }
  }
  return Parsed;
}

std::string_view WithoutLineEnd(std::string_view Line) {
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ' || Line.back() == '\t')) Line.remove_suffix(1);
  while (!Line.empty() && (Line.front() == ' ' || Line.front() == '\t')) Line.remove_prefix(1);
  return Line;
}

std::vector<Step> ParseScript(const std::u16string& Path) {
  std::string Content = ReadWholeFile(Path);
  if (Content.starts_with("\xEF\xBB\xBF")) Content.erase(0, 3);
  std::vector<Step> Steps;
  std::size_t LineNumber = 0;
  for (std::size_t Start = 0; Start <= Content.size();) {
    const std::size_t End = std::min(Content.find('\n', Start), Content.size());
    const std::string_view Line = WithoutLineEnd(std::string_view(Content).substr(Start, End - Start));
    Start = End + 1;
    ++LineNumber;
    if (Line.empty() || Line.front() == '#') continue;
    try {
      Steps.push_back(ParseStep(SplitScriptLine(Line)));
    } catch (const HostFailure& Failure) {
      throw HostFailure(Failure.Kind(),
                        Path + u":" + IntToText(static_cast<int64_t>(LineNumber)) + u": " + Failure.Message());
    }
  }
  return Steps;
}

std::vector<Step> StepsOf(const Options& Parsed) {
  if (Parsed.Command == "info") {
    ExpectWordCount(Parsed.Rest, 0, 0, "info");
    return {};
  }
  if (Parsed.Command == "run") {
    ExpectWordCount(Parsed.Rest, 1, 1, "run SCRIPT");
    return ParseScript(FromUtf8(Parsed.Rest[0]));
  }
  if (Parsed.Command == "equipment") return Parsed.Script.empty() ? std::vector<Step>() : ParseScript(Parsed.Script);
  std::vector<std::string> Words{Parsed.Command};
  Words.insert(Words.end(), Parsed.Rest.begin(), Parsed.Rest.end());
  return {ParseStep(Words)};
}

int ExitCodeOf(FailureKind Kind) noexcept {
  switch (Kind) {
    case FailureKind::BadArgument: return ExitBadArgument;
    case FailureKind::Refused: return ExitRefused;
    case FailureKind::LoadFailed:
    case FailureKind::UnknownClass: return ExitLoadFailed;
    case FailureKind::UnknownName: return ExitUnknownName;
  }
  return ExitRefused;
}

// One run of the command, from loading the library to the memory report.
class HostRun {
public:
  HostRun(const Options& Parsed, std::ostream& Out, std::ostream& Err) : FOptions(Parsed), FOut(Out), FErr(Err) {
    FReport.Library = Parsed.Library;
  }

  int Execute() {
    try {
      const std::vector<Step> Steps = StepsOf(FOptions);
      Load();
      if (FOptions.Command == "info") {
        CollectInfo();
      } else if (FOptions.Command == "equipment") {
        RunEquipment(Steps);
      } else {
        RunSteps(Steps);
      }
    } catch (const HostFailure& Failure) {
      Fail(ExitCodeOf(Failure.Kind()), Failure.Message());
    } catch (...) {
      Fail(ExitRefused, CurrentExceptionMessage());
    }
    ReportMemory();
    if (FOptions.Json) FOut << RunJson(FReport);
    return FReport.ExitCode;
  }

private:
  // The equipment library's calls, each shown and recorded like a script's.
  class EquipmentCalls : public ConnectionCalls {
  public:
    EquipmentCalls(HostRun& Run, Component& Object, const std::vector<Step>& Script)
        : FRun(Run), FObject(Object), FScript(Script) {}
    CallOutcome Call(std::u16string_view Method, std::vector<HostValue> Args) override {
      const Step Action{"call", std::u16string(Method), std::move(Args), {}};
      FRun.RunStep(FObject, Action);
      return FRun.FReport.Steps.back().Outcome;
    }
    bool RunScript() override {
      for (const Step& Action : FScript) {
        if (!FRun.RunStep(FObject, Action)) return false;
      }
      return true;
    }

  private:
    HostRun& FRun;
    Component& FObject;
    const std::vector<Step>& FScript;
  };

  void Load() {
    if (!FOptions.Package) {
      FLibrary = std::make_unique<AddInLibrary>(FOptions.Library);
      return;
    }
    PackageReport& Package = FReport.Package.emplace();
    FPackage = std::make_unique<AddInPackage>(FOptions.Library);
    Package.AttachedName = FOptions.AttachName;
    if (FOptions.Command == "equipment") {
      ReadDriverEntry(Package);
      CheckAttachName(Package.AttachedName, FailureKind::LoadFailed);
    } else {
      CheckAttachName(Package.AttachedName, FailureKind::BadArgument);
    }
    Package.Component = FPackage->ComponentFor(PackageOsName(), PackageArchName());
    FUnpacked = std::make_unique<UnpackedLibrary>(*FPackage, *Package.Component);
    FLibrary = std::make_unique<AddInLibrary>(FUnpacked->LibraryPath());
    Package.NewObject = NewObjectName(Package);
    if (!FOptions.Json) PrintPackage(FOut, Package);
  }

  // Steps 1 to 3 of the equipment library: INFO.XML's entry, the object name
  // after "AddIn.", the attached name with every "." made "_".
  void ReadDriverEntry(PackageReport& Package) {
    Package.Driver = FPackage->Driver();
    Package.ObjectName = ObjectNameOf(Package.Driver->ProgId);
    Package.AttachedName = AttachedNameOf(Package.ObjectName);
    Package.KnownEquipmentType = IsEquipmentTypeName(Package.Driver->Type);
  }

  std::u16string NewObjectName(const PackageReport& Package) const {
    if (!FOptions.NewObject.empty()) return FOptions.NewObject;
    const std::u16string Prefix = u"AddIn." + Package.AttachedName + u".";
    if (Package.Driver) return Prefix + Package.ObjectName;
    const std::vector<std::u16string> Names = FLibrary->ClassList();
    return Names.empty() ? Prefix : Prefix + Names.front();
  }

  ComponentSetup Setup() { return {FMemory, FConnection, true, true, FOptions.Locale}; }

  ClassReport DescribeClass(const std::u16string& Name) {
    ClassReport Class{Name, false, std::nullopt, {}, {}};
    std::unique_ptr<Component> Object;
    try {
      Object = std::make_unique<Component>(*FLibrary, Name, Setup());
    } catch (const HostFailure& Failure) {
      if (Failure.Kind() != FailureKind::UnknownClass) throw;
      return Class;
    }
    Class.Created = true;
    Class.Extension = Object->ExtensionName();
    Class.Methods = Object->Methods();
    Class.Properties = Object->Properties();
    return Class;
  }

  std::vector<std::u16string> ClassesToDescribe() const {
    if (FReport.Package && !FOptions.NewObject.empty()) return {ChosenClass()};
    if (!FOptions.Class.empty()) return {FOptions.Class};
    return FLibrary->ClassList();
  }

  void CollectInfo() {
    InfoReport Info{FLibrary->ClassNames(), FLibrary->AttachType(), {}};
    for (const std::u16string& Name : ClassesToDescribe()) Info.Classes.push_back(DescribeClass(Name));
    if (!FOptions.Json) PrintInfo(FOut, Info);
    FReport.Info = std::move(Info);
  }

  std::u16string ChosenClass() const {
    if (FReport.Package)
      return ClassOfNewObject(FReport.Package->NewObject, FReport.Package->AttachedName, FLibrary->ClassList());
    if (!FOptions.Class.empty()) return FOptions.Class;
    const std::vector<std::u16string> Names = FLibrary->ClassList();
    if (Names.empty()) throw HostFailure(FailureKind::UnknownClass, u"The library names no class");
    return Names.front();
  }

  CallOutcome Perform(Component& Object, const Step& Action) {
    if (Action.Command == "call") return Object.Call(Action.Name, Action.Args);
    const HostLong Number = Object.PropNumber(Action.Name);
    return Action.Command == "get" ? Object.GetProperty(Number) : Object.SetProperty(Number, Action.Args.front());
  }

  void Keep(const Step& Action) {
    const std::vector<StepReport>& Done = FReport.Steps;
    if (Done.empty() || Action.KeptParam >= Done.back().Outcome.Params.size())
      throw HostFailure(FailureKind::BadArgument, u"keep " + Action.Name + u": the last call has no parameter " +
                                                      IntToText(static_cast<int64_t>(Action.KeptParam)));
    FKept[Action.Name] = Done.back().Outcome.Params[Action.KeptParam];
  }

  Step WithKeptValues(const Step& Action) const {
    Step Filled = Action;
    for (const auto& [Index, Name] : Action.KeptArgs) {
      const auto Found = FKept.find(Name);
      if (Found == FKept.end()) throw HostFailure(FailureKind::BadArgument, u"nothing kept under $" + Name);
      Filled.Args[Index] = Found->second;
    }
    return Filled;
  }

  // Shows and records one step; false when the access failed or the method
  // answered false.
  bool RunStep(Component& Object, const Step& Action) {
    // A script's headings structure what a reader sees; they call nothing.
    if (Action.Command == "echo") {
      if (!FOptions.Json) FOut << "\n== " << ToUtf8(Action.Name) << "\n";
      return true;
    }
    if (Action.Command == "keep") {
      Keep(Action);
      return true;
    }
    const Step Filled = WithKeptValues(Action);
    StepReport Done{Filled.Command, Filled.Name, Filled.Args, Perform(Object, Filled)};
    const bool Succeeded = Done.Outcome.Ok && !AnsweredFalse(Done.Outcome);
    if (!Done.Outcome.Ok || (FOptions.FailOnFalse && AnsweredFalse(Done.Outcome))) FReport.ExitCode = ExitRefused;
    if (!FOptions.Json) PrintStep(FOut, Done);
    FReport.Steps.push_back(std::move(Done));
    return Succeeded;
  }

  void RunSteps(const std::vector<Step>& Steps) {
    FReport.Class = ChosenClass();
    Component Object(*FLibrary, FReport.Class, Setup());
    for (const Step& Action : Steps) RunStep(Object, Action);
  }

  // Step 4 and on: the object created as the equipment library names it, then
  // the connection sequence of a shop's first set-up.
  void RunEquipment(const std::vector<Step>& Script) {
    FReport.Class = ChosenClass();
    Component Object(*FLibrary, FReport.Class, Setup());
    EquipmentCalls Calls(*this, Object, Script);
    if (!RunConnectionSequence(Calls, FOptions.Settings, FReport.Package->Settings)) FReport.ExitCode = ExitRefused;
  }

  void Fail(int Code, const std::u16string& Message) {
    FReport.ExitCode = Code;
    FReport.Error = Message;
    FErr << "v8host: " << ToUtf8(Message) << "\n";
    if (Code == ExitBadArgument) FErr << "Run v8host --help for the usage.\n";
  }

  void ReportMemory() {
    if (!FLibrary) return;
    const MemoryReport Memory = MemoryReportOf(FMemory);
    FReport.Memory = Memory;
    FErr << "v8host: " << MemoryLine(Memory) << "\n";
    if (!Memory.Clean() && FReport.ExitCode == ExitOk) FReport.ExitCode = ExitMemory;
  }

  const Options& FOptions;
  std::ostream& FOut;
  std::ostream& FErr;
  RunReport FReport;
  std::map<std::u16string, HostValue> FKept;
  // Declared before the library: blocks the library kept are freed only after
  // it is unloaded, and its unpacked file is removed only then.
  HostMemoryManager FMemory;
  HostConnection FConnection;
  std::unique_ptr<AddInPackage> FPackage;
  std::unique_ptr<UnpackedLibrary> FUnpacked;
  std::unique_ptr<AddInLibrary> FLibrary;
};

}  // namespace

std::string UsageText() {
  return "usage: v8host [OPTIONS] LIBRARY COMMAND\n"
         "       v8host [OPTIONS] attach PACKAGE NAME [COMMAND]\n"
         "       v8host [OPTIONS] equipment PACKAGE [--script FILE] [SETTING=VALUE...]\n"
         "\n"
         "Loads LIBRARY like the platform does, creates one component of the class\n"
         "NAME (default: the first class the library names) and runs COMMAND on it.\n"
         "\n"
         "commands:\n"
         "  info                    class names, attach type, every class's methods\n"
         "                          (both names, parameters, defaults, return value)\n"
         "                          and properties (both names, access)\n"
         "  call METHOD [VALUE...]  call a method by its English or Russian name;\n"
         "                          prints the return value, every parameter after\n"
         "                          the call and every AddError\n"
         "  get PROPERTY            read a property\n"
         "  set PROPERTY VALUE      write a property\n"
         "  run SCRIPT              run the call/get/set lines of SCRIPT, one per\n"
         "                          line, on one component ('#' starts a comment\n"
         "                          line; double quotes group words with blanks;\n"
         "                          'echo TEXT' prints TEXT as a heading;\n"
         "                          'keep NAME N' saves parameter N of the last\n"
         "                          call for later values written $NAME)\n"
         "\n"
         "packages (the zip archive of an add-in):\n"
         "  attach PACKAGE NAME [COMMAND]\n"
         "                          attaches the package as the platform does: the\n"
         "                          library MANIFEST.XML names for this system and\n"
         "                          architecture, unpacked into a private temporary\n"
         "                          folder (removed at exit), attached under NAME;\n"
         "                          then COMMAND (default info) on the object\n"
         "                          New(\"AddIn.NAME.CLASS\") (--new)\n"
         "  equipment PACKAGE [--script FILE] [SETTING=VALUE...]\n"
         "                          what the equipment library does with a driver's\n"
         "                          package: reads INFO.XML, attaches the package\n"
         "                          under its ProgID's object name (every '.' made\n"
         "                          '_'), creates AddIn.<attached>.<object>, then\n"
         "                          GetInterfaceRevision, GetDescription,\n"
         "                          GetParameters, SetParameter for every setting of\n"
         "                          the form (its default or the value given), Open,\n"
         "                          DeviceTest, GetAdditionalActions, the steps of\n"
         "                          FILE (as run's), Close\n"
         "\n"
         "values:\n"
         "  empty  text:ABC  int:42  int64:9000000000  num:1.5  bool:true\n"
         "  date:2024-03-05  date:2024-03-05T10:20:30\n"
         "  anything else is text. Missing parameters get the method's default\n"
         "  value or stay empty.\n"
         "\n"
         "options:\n"
         "  --json     one JSON object on standard output\n"
         "  --fail-on-false  exit 1 also when a method's return value is false\n"
         "             (the driver's way to report a failed operation; read\n"
         "             the reason with GetLastError)\n"
         "  --class    the class to create\n"
         "  --new      the object to create of an attached package: AddIn.NAME.CLASS\n"
         "  --locale   the locale handed to the component (default ru_RU)\n"
         "\n"
         "At the end, standard error reports the host memory blocks the library left\n"
         "allocated and its frees of blocks the host never handed out.\n"
         "\n"
         "exit codes: 0 success (also when a method's return value is false,\n"
         "unless --fail-on-false), 1 a call or property access answered false\n"
         "(equipment: any step failed or answered false), 2 bad arguments,\n"
         "3 library, package, export or class missing, 4 unknown method or\n"
         "property, 5 host memory left allocated or freed wrongly\n";
}

std::vector<std::string> SplitScriptLine(std::string_view Line) {
  std::vector<std::string> Words;
  std::string Word;
  bool InWord = false;
  bool Quoted = false;
  for (std::size_t Index = 0; Index < Line.size(); ++Index) {
    const char Character = Line[Index];
    if (Quoted && Character == '\\' && Index + 1 < Line.size()) {
      Word += Line[++Index];
    } else if (Character == '"') {
      Quoted = !Quoted;
      InWord = true;
    } else if (!Quoted && (Character == ' ' || Character == '\t')) {
      if (InWord) Words.push_back(std::move(Word));
      Word.clear();
      InWord = false;
    } else {
      Word += Character;
      InWord = true;
    }
  }
  if (Quoted) RaiseUsage("a double quote is not closed");
  if (InWord) Words.push_back(std::move(Word));
  return Words;
}

int RunCommandLine(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err) {
  Options Parsed;
  try {
    Parsed = ParseOptions(Args);
  } catch (const HostFailure& Failure) {
    Err << "v8host: " << ToUtf8(Failure.Message()) << "\n" << UsageText();
    return ExitBadArgument;
  }
  if (Parsed.Help) {
    Out << UsageText();
    return ExitOk;
  }
  return HostRun(Parsed, Out, Err).Execute();
}

}  // namespace v8host
