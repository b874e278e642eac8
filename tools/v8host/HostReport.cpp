#include "tools/v8host/HostReport.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

#include "platform/Text.h"

namespace v8host {

namespace {

// ---------------------------------------------------------------------------
// A JSON text built in order; commas are placed by the writer.
class JsonWriter {
public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  void Key(std::string_view Name) {
    Separate();
    Quote(Name);
    FText += ':';
    FAfterKey = true;
  }
  void String(std::string_view Value) {
    Separate();
    Quote(Value);
  }
  void String(std::u16string_view Value) { String(std::string_view(ToUtf8(Value))); }
  void Number(long long Value) {
    Separate();
    FText += std::to_string(Value);
  }
  void Bool(bool Value) {
    Separate();
    FText += Value ? "true" : "false";
  }
  void Null() {
    Separate();
    FText += "null";
  }
  void TextField(std::string_view Name, std::string_view Value) {
    Key(Name);
    String(Value);
  }
  void TextField(std::string_view Name, std::u16string_view Value) {
    Key(Name);
    String(Value);
  }
  void NumberField(std::string_view Name, long long Value) {
    Key(Name);
    Number(Value);
  }
  void BoolField(std::string_view Name, bool Value) {
    Key(Name);
    Bool(Value);
  }
  const std::string& Text() const noexcept { return FText; }

private:
  void Open(char Bracket) {
    Separate();
    FText += Bracket;
    FFirst.push_back(true);
  }
  void Close(char Bracket) {
    FText += Bracket;
    FFirst.pop_back();
  }
  void Separate() {
    if (FAfterKey) {
      FAfterKey = false;
      return;
    }
    if (FFirst.empty()) return;
    if (!FFirst.back()) FText += ',';
    FFirst.back() = false;
  }
  void Quote(std::string_view Value) {
    FText += '"';
    for (const char Character : Value) Escape(Character);
    FText += '"';
  }
  void Escape(char Character) {
    switch (Character) {
      case '"': FText += "\\\""; return;
      case '\\': FText += "\\\\"; return;
      case '\n': FText += "\\n"; return;
      case '\r': FText += "\\r"; return;
      case '\t': FText += "\\t"; return;
      default: break;
    }
    if (static_cast<unsigned char>(Character) < 0x20) {
      char Code[8];
      std::snprintf(Code, sizeof Code, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(Character)));
      FText += Code;
      return;
    }
    FText += Character;
  }

  std::string FText;
  std::vector<bool> FFirst;
  bool FAfterKey = false;
};

void WriteValue(JsonWriter& Json, const HostValue& Value) {
  Json.BeginObject();
  Json.TextField("type", TypeWord(Value));
  Json.TextField("value", ValueWord(Value));
  Json.EndObject();
}

void WriteValues(JsonWriter& Json, const std::vector<HostValue>& Values) {
  Json.BeginArray();
  for (const HostValue& Value : Values) WriteValue(Json, Value);
  Json.EndArray();
}

void WriteErrors(JsonWriter& Json, const std::vector<HostError>& Errors) {
  Json.BeginArray();
  for (const HostError& Error : Errors) {
    Json.BeginObject();
    Json.NumberField("code", Error.Code);
    Json.TextField("source", Error.Source);
    Json.TextField("description", Error.Description);
    Json.NumberField("status", Error.Status);
    Json.EndObject();
  }
  Json.EndArray();
}

void WriteStep(JsonWriter& Json, const StepReport& Step) {
  Json.BeginObject();
  Json.TextField("command", Step.Command);
  Json.TextField("name", Step.Name);
  Json.Key("args");
  WriteValues(Json, Step.Args);
  Json.BoolField("ok", Step.Outcome.Ok);
  if (Step.Outcome.Return) {
    Json.Key(Step.Command == "call" ? "return" : "value");
    WriteValue(Json, *Step.Outcome.Return);
  }
  if (Step.Command == "call") {
    Json.Key("params");
    WriteValues(Json, Step.Outcome.Params);
  }
  Json.Key("errors");
  WriteErrors(Json, Step.Outcome.Errors);
  Json.EndObject();
}

void WriteMethod(JsonWriter& Json, const MethodInfo& Method) {
  Json.BeginObject();
  Json.NumberField("number", Method.Number);
  Json.TextField("name", Method.Name);
  Json.TextField("localName", Method.LocalName);
  Json.NumberField("params", Method.ParamCount);
  Json.BoolField("hasRetVal", Method.HasRetVal);
  Json.Key("defaults");
  Json.BeginArray();
  for (const auto& Default : Method.Defaults) {
    if (Default) {
      WriteValue(Json, *Default);
    } else {
      Json.Null();
    }
  }
  Json.EndArray();
  Json.EndObject();
}

void WriteProperty(JsonWriter& Json, const PropertyInfo& Property) {
  Json.BeginObject();
  Json.NumberField("number", Property.Number);
  Json.TextField("name", Property.Name);
  Json.TextField("localName", Property.LocalName);
  Json.BoolField("readable", Property.Readable);
  Json.BoolField("writable", Property.Writable);
  Json.EndObject();
}

void WriteClass(JsonWriter& Json, const ClassReport& Class) {
  Json.BeginObject();
  Json.TextField("name", Class.Name);
  Json.BoolField("created", Class.Created);
  Json.Key("extension");
  if (Class.Extension) {
    Json.String(*Class.Extension);
  } else {
    Json.Null();
  }
  Json.Key("methods");
  Json.BeginArray();
  for (const MethodInfo& Method : Class.Methods) WriteMethod(Json, Method);
  Json.EndArray();
  Json.Key("properties");
  Json.BeginArray();
  for (const PropertyInfo& Property : Class.Properties) WriteProperty(Json, Property);
  Json.EndArray();
  Json.EndObject();
}

void WriteInfo(JsonWriter& Json, const InfoReport& Info) {
  Json.TextField("classNames", Info.ClassNames);
  Json.NumberField("attachType", Info.AttachType);
  Json.Key("classes");
  Json.BeginArray();
  for (const ClassReport& Class : Info.Classes) WriteClass(Json, Class);
  Json.EndArray();
}

// An object of text fields, in the order given.
void WriteTextObject(JsonWriter& Json, std::initializer_list<std::pair<std::string_view, std::u16string_view>> Fields) {
  Json.BeginObject();
  for (const auto& [Name, Value] : Fields) Json.TextField(Name, Value);
  Json.EndObject();
}

void WriteDriver(JsonWriter& Json, const DriverEntry& Driver) {
  WriteTextObject(
      Json, {{"progid", Driver.ProgId}, {"name", Driver.Name}, {"version", Driver.Version}, {"type", Driver.Type}});
}

void WriteComponent(JsonWriter& Json, const ManifestComponent& Component) {
  WriteTextObject(Json,
                  {{"os", Component.Os}, {"arch", Component.Arch}, {"type", Component.Type}, {"path", Component.Path}});
}

void WriteSettings(JsonWriter& Json, const std::vector<FormSetting>& Settings) {
  Json.BeginArray();
  for (const FormSetting& Setting : Settings)
    WriteTextObject(Json, {{"name", Setting.Name}, {"type", Setting.Type}, {"value", Setting.Value}});
  Json.EndArray();
}

void WritePackage(JsonWriter& Json, const PackageReport& Package) {
  Json.BeginObject();
  if (Package.Driver) {
    Json.Key("driver");
    WriteDriver(Json, *Package.Driver);
    Json.TextField("objectName", Package.ObjectName);
    Json.BoolField("knownEquipmentType", Package.KnownEquipmentType);
  }
  Json.TextField("attachedName", Package.AttachedName);
  if (Package.Component) {
    Json.Key("component");
    WriteComponent(Json, *Package.Component);
  }
  if (!Package.NewObject.empty()) Json.TextField("newObject", Package.NewObject);
  if (Package.Driver) {
    Json.Key("settings");
    WriteSettings(Json, Package.Settings);
  }
  Json.EndObject();
}

void WriteMemory(JsonWriter& Json, const MemoryReport& Memory) {
  Json.BeginObject();
  Json.NumberField("leftBlocks", static_cast<long long>(Memory.LeftBlocks));
  Json.NumberField("leftBytes", static_cast<long long>(Memory.LeftBytes));
  Json.NumberField("badFrees", static_cast<long long>(Memory.BadFrees));
  Json.EndObject();
}

// ---------------------------------------------------------------------------
std::string JoinValues(const std::vector<HostValue>& Values) {
  std::string Text;
  for (const HostValue& Value : Values) Text += (Text.empty() ? "" : " ") + FormatValue(Value);
  return Text;
}

std::string ErrorLine(const HostError& Error) {
  return "  AddError: code " + std::to_string(Error.Code) + ", source \"" + ToUtf8(Error.Source) +
         "\", description \"" + ToUtf8(Error.Description) + "\", status " + std::to_string(Error.Status);
}

std::string Plural(HostLong Count, const char* Word) {
  return std::to_string(Count) + " " + Word + (Count == 1 ? "" : "s");
}

void PrintMethod(std::ostream& Out, const MethodInfo& Method) {
  Out << "    " << Method.Number << " " << ToUtf8(Method.Name) << " / " << ToUtf8(Method.LocalName) << ": "
      << Plural(Method.ParamCount, "parameter") << (Method.HasRetVal ? ", returns a value" : ", no return value")
      << "\n";
  for (std::size_t Param = 0; Param < Method.Defaults.size(); ++Param) {
    if (Method.Defaults[Param])
      Out << "      default of parameter " << Param << ": " << FormatValue(*Method.Defaults[Param]) << "\n";
  }
}

void PrintProperty(std::ostream& Out, const PropertyInfo& Property) {
  const char* Access = Property.Readable && Property.Writable ? "read, write"
                       : Property.Readable                    ? "read only"
                       : Property.Writable                    ? "write only"
                                                              : "no access";
  Out << "    " << Property.Number << " " << ToUtf8(Property.Name) << " / " << ToUtf8(Property.LocalName) << ": "
      << Access << "\n";
}

void PrintClass(std::ostream& Out, const ClassReport& Class) {
  Out << "class " << ToUtf8(Class.Name);
  if (!Class.Created) {
    Out << ": the library created no component of this class\n";
    return;
  }
  Out << " (extension " << (Class.Extension ? ToUtf8(*Class.Extension) : std::string("none")) << ")\n";
  Out << "  methods: " << Class.Methods.size() << "\n";
  for (const MethodInfo& Method : Class.Methods) PrintMethod(Out, Method);
  Out << "  properties: " << Class.Properties.size() << "\n";
  for (const PropertyInfo& Property : Class.Properties) PrintProperty(Out, Property);
}

}  // namespace

MemoryReport MemoryReportOf(const HostMemoryManager& Memory) {
  return {Memory.LiveBlocks(), Memory.LiveBytes(), Memory.BadFrees()};
}

void PrintStep(std::ostream& Out, const StepReport& Step) {
  Out << Step.Command << " " << ToUtf8(Step.Name);
  if (!Step.Args.empty()) Out << " " << JoinValues(Step.Args);
  Out << " -> " << (Step.Outcome.Ok ? "true" : "false") << "\n";
  if (Step.Outcome.Return)
    Out << (Step.Command == "call" ? "  return: " : "  value: ") << FormatValue(*Step.Outcome.Return) << "\n";
  for (std::size_t Index = 0; Index < Step.Outcome.Params.size(); ++Index)
    Out << "  param " << Index << ": " << FormatValue(Step.Outcome.Params[Index]) << "\n";
  for (const HostError& Error : Step.Outcome.Errors) Out << ErrorLine(Error) << "\n";
}

void PrintPackage(std::ostream& Out, const PackageReport& Package) {
  if (Package.Driver) {
    const DriverEntry& Driver = *Package.Driver;
    Out << "INFO.XML: progid \"" << ToUtf8(Driver.ProgId) << "\", name \"" << ToUtf8(Driver.Name) << "\", version \""
        << ToUtf8(Driver.Version) << "\", type \"" << ToUtf8(Driver.Type) << "\"\n";
    Out << "object name: " << ToUtf8(Package.ObjectName) << "\n";
    if (Package.KnownEquipmentType) {
      Out << "equipment type: " << ToUtf8(Driver.Type) << "\n";
    } else {
      Out << "equipment type: \"" << ToUtf8(Driver.Type)
          << "\" is no type the equipment library knows; the user must pick one\n";
    }
  }
  if (Package.Component) {
    const ManifestComponent& Component = *Package.Component;
    Out << "attached as AddIn." << ToUtf8(Package.AttachedName) << ": the " << ToUtf8(Component.Os) << " "
        << ToUtf8(Component.Arch) << " component " << ToUtf8(Component.Path) << "\n";
  }
  Out << "new " << ToUtf8(Package.NewObject) << "\n";
}

void PrintInfo(std::ostream& Out, const InfoReport& Info) {
  Out << "class names: " << ToUtf8(Info.ClassNames) << "\n";
  Out << "attach type: " << Info.AttachType << "\n";
  for (const ClassReport& Class : Info.Classes) PrintClass(Out, Class);
}

std::string MemoryLine(const MemoryReport& Memory) {
  return "host memory: " + std::to_string(Memory.LeftBlocks) + " block(s) of " + std::to_string(Memory.LeftBytes) +
         " byte(s) left allocated by the library, " + std::to_string(Memory.BadFrees) + " bad free(s)";
}

std::string RunJson(const RunReport& Run) {
  JsonWriter Json;
  Json.BeginObject();
  Json.TextField("library", Run.Library);
  if (!Run.Class.empty()) {
    Json.TextField("class", Run.Class);
  }
  if (Run.Package) {
    Json.Key("package");
    WritePackage(Json, *Run.Package);
  }
  if (Run.Info) WriteInfo(Json, *Run.Info);
  if (!Run.Steps.empty()) {
    Json.Key("steps");
    Json.BeginArray();
    for (const StepReport& Step : Run.Steps) WriteStep(Json, Step);
    Json.EndArray();
  }
  if (Run.Memory) {
    Json.Key("memory");
    WriteMemory(Json, *Run.Memory);
  }
  if (Run.Error) {
    Json.TextField("error", *Run.Error);
  }
  Json.NumberField("exitCode", Run.ExitCode);
  Json.EndObject();
  return Json.Text() + "\n";
}

}  // namespace v8host
