// A small add-in built on the bridge, for the host tests: two classes that
// answer, one class whose constructor fails. Its members are chosen to show
// the bridge's paths: values in and out, output parameters, a procedure,
// failures, a parameter default, names whose lookup order matters, and the
// call log.
#include <memory>
#include <string>

#include "bridge/v8napi.h"
#include "logging/Common.Log.h"
#include "platform/Exception.h"

namespace {

int LiveObjects = 0;

class TFixture : public TV8UserObject {
public:
  TFixture() { ++LiveObjects; }
  ~TFixture() override { --LiveObjects; }
  TFixture(const TFixture&) = delete;
  TFixture& operator=(const TFixture&) = delete;

  int32_t Counter = 0;
  int32_t Calls = 0;
  std::u16string Title;
  std::u16string Remembered;
};

class TSecond : public TFixture {};

TFixture& Fixture(TV8UserObject& Self) { return static_cast<TFixture&>(Self); }

V8Variant& Param(V8Variant* Params, int32_t ParamCount, int32_t Index) {
  if (!Params || Index >= ParamCount) throw Exception(std::string_view("Too few parameters"));
  return Params[Index];
}

// Every method counts its runs, so a test can tell whether a refused call ran.
TFixture& Running(TV8UserObject& Self) {
  TFixture& Object = Fixture(Self);
  ++Object.Calls;
  return Object;
}

void CopyValue(TV8UserObject& Self, const V8Variant& From, V8Variant& To) {
  switch (From.vt) {
    case VTYPE_EMPTY: Self.V8ClearVar(To); return;
    case VTYPE_PWSTR: Self.V8SetWString(To, V8AsWString(From)); return;
    case VTYPE_I4: Self.V8SetInt(To, From.lVal); return;
    case VTYPE_I8: Self.V8SetInt64(To, From.llVal); return;
    case VTYPE_R8: Self.V8SetDouble(To, From.dblVal); return;
    case VTYPE_BOOL: Self.V8SetBool(To, From.bVal); return;
    case VTYPE_DATE: Self.V8SetDate(To, From.date); return;
    default: throw Exception(u"Echo cannot copy " + V8TypeName(From));
  }
}

bool Echo(TV8UserObject& Self, V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*&) {
  CopyValue(Running(Self), Param(Params, ParamCount, 0), *RetValue);
  return true;
}

bool Add(TV8UserObject& Self, V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*&) {
  Running(Self).V8SetInt(*RetValue, V8AsInt(Param(Params, ParamCount, 0)) + V8AsInt(Param(Params, ParamCount, 1)));
  return true;
}

bool Fail(TV8UserObject& Self, V8Variant*, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*&) {
  Running(Self);
  throw Exception(V8AsWString(Param(Params, ParamCount, 0)));
}

// A refusal that quotes the card number and the password it was given.
bool Authorize(TV8UserObject& Self, V8Variant*, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*&) {
  Running(Self);
  throw Exception(u"Card " + V8AsWString(Param(Params, ParamCount, 0)) + u" refused: wrong password " +
                  V8AsWString(Param(Params, ParamCount, 1)));
}

bool WriteOutputs(TV8UserObject& Self, V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                  TV8AddInDefBaseEx*&) {
  TFixture& Object = Running(Self);
  Object.V8SetWString(Param(Params, ParamCount, 0), u"выход");
  Object.V8SetInt(Param(Params, ParamCount, 1), 42);
  Object.V8SetBool(Param(Params, ParamCount, 2), true);
  Object.V8SetBool(*RetValue, true);
  return true;
}

bool Greeting(TV8UserObject& Self, V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  Running(Self).V8SetWString(*RetValue, u"Привет, мир");
  return true;
}

bool Remember(TV8UserObject& Self, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*&) {
  Running(Self).Remembered = V8AsWString(Param(Params, ParamCount, 0));
  return true;
}

bool Ping(TV8UserObject& Self, V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  Running(Self).V8SetBool(*RetValue, true);
  return true;
}

// An output value without a text form: the method completes, the call log after it cannot.
bool WriteSingle(TV8UserObject& Self, V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*&) {
  TFixture& Object = Running(Self);
  V8Variant& Out = Param(Params, ParamCount, 0);
  Object.V8ClearVar(Out);
  Out.fltVal = 1.5F;
  Out.vt = VTYPE_R4;
  Object.V8SetBool(*RetValue, true);
  return true;
}

bool Nothing(TV8UserObject& Self, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  Running(Self);
  return true;
}

bool SecondName(TV8UserObject& Self, V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  Running(Self).V8SetWString(*RetValue, u"Second");
  return true;
}

// ---------------------------------------------------------------------------
// Properties. An accessor refuses by throwing, as the driver's does.
[[noreturn]] void RefuseWrite(const std::u16string& PropName) {
  throw Exception(u"The property " + PropName + u" is read-only");
}

bool CounterProp(TV8UserObject& Self, const std::u16string&, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  TFixture& Object = Fixture(Self);
  if (Get) {
    Object.V8SetInt(*Value, Object.Counter);
  } else {
    Object.Counter = V8AsInt(*Value);
  }
  return true;
}

bool TitleProp(TV8UserObject& Self, const std::u16string&, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  TFixture& Object = Fixture(Self);
  if (Get) return Object.V8SetWString(*Value, Object.Title);
  Object.Title = V8AsWString(*Value);
  return true;
}

bool VersionProp(TV8UserObject& Self, const std::u16string& PropName, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  if (!Get) RefuseWrite(PropName);
  return Self.V8SetWString(*Value, u"1.0");
}

bool CallCountProp(TV8UserObject& Self, const std::u16string& PropName, V8Variant* Value, bool Get,
                   TV8AddInDefBaseEx*&) {
  if (!Get) RefuseWrite(PropName);
  Self.V8SetInt(*Value, Fixture(Self).Calls);
  return true;
}

bool RememberedProp(TV8UserObject& Self, const std::u16string& PropName, V8Variant* Value, bool Get,
                    TV8AddInDefBaseEx*&) {
  if (!Get) RefuseWrite(PropName);
  return Self.V8SetWString(*Value, Fixture(Self).Remembered);
}

bool LiveObjectsProp(TV8UserObject& Self, const std::u16string& PropName, V8Variant* Value, bool Get,
                     TV8AddInDefBaseEx*&) {
  if (!Get) RefuseWrite(PropName);
  Self.V8SetInt(*Value, LiveObjects);
  return true;
}

bool LogEnabledProp(TV8UserObject& Self, const std::u16string&, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  if (Get) {
    Self.V8SetBool(*Value, GetLogMode() != TLogMode::lmOff);
  } else {
    SetLogMode(V8AsBool(*Value) ? TLogMode::lmAll : TLogMode::lmOff);
  }
  return true;
}

bool LogPathProp(TV8UserObject& Self, const std::u16string& PropName, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  if (!Get) RefuseWrite(PropName);
  return Self.V8SetWString(*Value, GetLogPath(false));
}

bool SinkProp(TV8UserObject&, const std::u16string& PropName, V8Variant*, bool Get, TV8AddInDefBaseEx*&) {
  if (Get) throw Exception(u"The property " + PropName + u" is write-only");
  return true;
}

bool LocaleProp(TV8UserObject& Self, const std::u16string& PropName, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  if (!Get) RefuseWrite(PropName);
  return Self.V8SetWString(*Value, Self.locale);
}

// ---------------------------------------------------------------------------
void RegisterFixture() {
  TClassReg& Class = ClassRegistry().RegisterClass(
      []() -> std::unique_ptr<TV8UserObject> { return std::make_unique<TFixture>(); }, u"FixtureAddInEx", u"Fixture");
  Class.AddFunc(u"Echo", u"Эхо", &Echo, 1).DefParams.AddWString(u"по умолчанию", 1);
  Class.AddFunc(u"Add", u"Сложить", &Add, 2).DefParams.AddInt(7, 2);
  Class.AddFunc(u"Fail", u"Сбой", &Fail, 1);
  Class.AddFunc(u"WriteOutputs", u"ЗаписатьВыходные", &WriteOutputs, 3);
  Class.AddFunc(u"Greeting", u"Приветствие", &Greeting, 0);
  Class.AddProc(u"Remember", u"Запомнить", &Remember, 1);
  Class.AddFunc(u"Ping", u"Пинг", &Ping, 0);
  Class.AddFunc(u"WriteSingle", u"ЗаписатьОдинарное", &WriteSingle, 1);
  // Names that clash with earlier entries: the lookup scans by number, and at
  // each entry the localized name first.
  Class.AddFunc(u"Plus", u"Add", &Add, 2);
  Class.AddProc(u"Сбой", u"Авария", &Nothing, 0);

  Class.AddProp(u"Counter", u"Счётчик", true, true, &CounterProp);
  Class.AddProp(u"Title", u"Заголовок", true, true, &TitleProp);
  Class.AddProp(u"Version", u"Версия", true, false, &VersionProp);
  Class.AddProp(u"CallCount", u"ЧислоВызовов", true, false, &CallCountProp);
  Class.AddProp(u"Remembered", u"Запомненное", true, false, &RememberedProp);
  Class.AddProp(u"LiveObjects", u"ЖивыхОбъектов", true, false, &LiveObjectsProp);
  Class.AddProp(u"LogEnabled", u"ВестиЖурнал", true, true, &LogEnabledProp);
  Class.AddProp(u"LogPath", u"ПутьЖурнала", true, false, &LogPathProp);
  Class.AddProp(u"Sink", u"Приёмник", false, true, &SinkProp);
  Class.AddProp(u"Locale", u"Локаль", true, false, &LocaleProp);
}

void RegisterSecond() {
  TClassReg& Class = ClassRegistry().RegisterClass(
      []() -> std::unique_ptr<TV8UserObject> { return std::make_unique<TSecond>(); }, u"SecondAddIn", u"Second");
  Class.AddFunc(u"Name", u"Имя", &SecondName, 0);
  Class.AddFunc(u"Authorize", u"Авторизовать", &Authorize, 2).Marks = {.CardNumbers = 0b01, .Secrets = 0b10};
}

void RegisterBroken() {
  ClassRegistry().RegisterClass(
      []() -> std::unique_ptr<TV8UserObject> { throw Exception(std::string_view("The device is unplugged")); },
      u"BrokenAddIn", u"Broken");
}

struct FixtureStartUp {
  FixtureStartUp() {
    SetLogVendor(u"OrvexHostFixture");
    RegisterFixture();
    RegisterSecond();
    RegisterBroken();
  }
};
const FixtureStartUp StartUp;

}  // namespace
