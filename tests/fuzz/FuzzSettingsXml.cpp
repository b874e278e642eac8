// The driver's settings as the host gives them and the XML documents it
// answers with. An input is a run of settings, each by its English or Russian
// name in any letter case (SetParameter) or straight by property number, with
// any value, and the terminal's model number, from which the terminal
// parameters are made. Then every document the driver answers with must be
// well-formed XML with its root element, and a text setting that was taken
// reads back as it was given.
#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "tests/fuzz/FuzzHost.h"

namespace {

using fuzzhost::TSession;

constexpr int kMaxSettings = 12;
constexpr std::size_t kMaxText = 64;

// Latin and Cyrillic letters in the other case, now and then.
std::u16string InAnyCase(FuzzedDataProvider& In, std::u16string Name) {
  for (char16_t& C : Name) {
    if (!In.ConsumeBool()) continue;
    if ((C >= u'a' && C <= u'z') || (C >= u'а' && C <= u'я')) {
      C = static_cast<char16_t>(C - 0x20);
    } else if ((C >= u'A' && C <= u'Z') || (C >= u'А' && C <= u'Я')) {
      C = static_cast<char16_t>(C + 0x20);
    }
  }
  return Name;
}

std::vector<std::u16string> PropertyNames(TSession& Session, HostLong Language) {
  std::vector<std::u16string> Names;
  for (HostLong Number = 0, Count = Session.PropCount(); Number < Count; ++Number) {
    const V8Char* Name = Session.Ops().GetPropName(Session.Extender(), Number, Language);
    Names.emplace_back(Name ? Name : u"");
    Session.TakeName(Name);
  }
  return Names;
}

// A method answering with one document in parameter Index of Count.
void CheckDocument(TSession& Session, std::u16string_view Method, std::size_t Count, std::size_t Index,
                   const char* Root) {
  std::vector<V8Variant> Params(Count);
  V8Variant Result{};
  Session.CallByName(Method, Params, &Result);
  const bool Succeeded = Result.vt == VTYPE_BOOL && Result.bVal;
  const std::u16string Xml = fuzzhost::TextOf(Params[Index]);
  Session.Release(Result);
  Session.Release(Params);
  if (!Succeeded) return;
  pugi::xml_document Document;
  const std::string Utf8 = ToUtf8(Xml);
  const pugi::xml_parse_result Parsed = Document.load_buffer(Utf8.data(), Utf8.size());
  if (!Parsed) fuzztext::Fail(ToUtf8(Method) + " answered XML that is not well-formed: " + Parsed.description());
  if (std::string(Document.document_element().name()) != Root) {
    fuzztext::Fail(ToUtf8(Method) + " answered a document without its root element " + Root);
  }
}

// A setting the driver took; only one given as a plain text has a text to read back.
struct TTakenSetting {
  HostLong Number = -1;
  bool IsText = false;
  std::u16string Value;
};

class TSettings {
public:
  explicit TSettings(FuzzedDataProvider& In)
      : FIn(In), FEnglish(PropertyNames(FSession, 0)), FRussian(PropertyNames(FSession, 1)) {}

  void Run() {
    if (FIn.ConsumeBool()) fuzzhost::SetSimulator(u"ModelNo", fuzzhost::FuzzedText(FIn, kMaxText));
    for (int I = 0; I < kMaxSettings && FIn.remaining_bytes() > 0; ++I) ApplyOne();
    CheckDocument(FSession, u"GetParameters", 1, 0, "Settings");
    CheckDocument(FSession, u"GetDescription", 1, 0, "DriverDescription");
    CheckDocument(FSession, u"GetAdditionalActions", 1, 0, "Actions");
    CheckDocument(FSession, u"TerminalParameters", 2, 1, "TerminalParameters");
    for (const TTakenSetting& Setting : FTaken) CheckReadBack(Setting);
  }

private:
  void ApplyOne() {
    const auto Number = FIn.ConsumeIntegralInRange<HostLong>(0, static_cast<HostLong>(FEnglish.size()) - 1);
    V8Variant Value = fuzzhost::FuzzedRecord(FIn, FSession.Memory);
    const std::u16string Text = fuzzhost::TextOf(Value);
    const bool IsText = Value.vt == VTYPE_PWSTR;
    bool Taken = false;
    if (FIn.ConsumeBool()) {
      const std::u16string& Name =
          FIn.ConsumeBool() ? FEnglish[static_cast<std::size_t>(Number)] : FRussian[static_cast<std::size_t>(Number)];
      std::vector<V8Variant> Params{fuzzhost::TextRecord(FSession.Memory, InAnyCase(FIn, Name)), Value};
      V8Variant Result{};
      FSession.CallByName(u"SetParameter", Params, &Result);
      Taken = Result.vt == VTYPE_BOOL && Result.bVal;
      FSession.Release(Result);
      FSession.Release(Params);
    } else {
      Taken = FSession.SetProp(Number, Value);
      FSession.Release(Value);
    }
    if (Taken) FTaken.push_back({Number, IsText, Text.substr(0, Text.find(u'\0'))});
  }

  // Only the last value given to a property counts.
  void CheckReadBack(const TTakenSetting& Setting) {
    if (!Setting.IsText) return;
    for (auto Later = FTaken.rbegin(); Later != FTaken.rend(); ++Later) {
      if (Later->Number == Setting.Number) {
        if (&*Later != &Setting) return;
        break;
      }
    }
    V8Variant Value{};
    FSession.GetProp(Setting.Number, Value);
    const bool ReadsAsText = Value.vt == VTYPE_PWSTR;
    const std::u16string Back = fuzzhost::TextOf(Value);
    FSession.Release(Value);
    if (ReadsAsText && Back != Setting.Value) {
      fuzztext::Fail("the setting " + ToUtf8(FEnglish[static_cast<std::size_t>(Setting.Number)]) + " given \"" +
                     ToUtf8(Setting.Value) + "\" reads back as \"" + ToUtf8(Back) + "\"");
    }
  }

  FuzzedDataProvider& FIn;
  TSession FSession;
  std::vector<std::u16string> FEnglish;
  std::vector<std::u16string> FRussian;
  std::vector<TTakenSetting> FTaken;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  return fuzzhost::RunInput<TSettings>(Data, Size);
}
