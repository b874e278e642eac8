// The in-process COM server: class objects for the three ProgIDs and the
// self-registration under HKLM\Software\Classes (Wine does not merge the
// per-user classes into HKCR, so the machine-wide ones are written).
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <array>
#include <string>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/ClockSeam.h"
#include "tools/terminal-sim/DispatchObject.windows.h"

namespace terminal_sim {

namespace {

struct ComClass {
  std::u16string_view ProgId;
  CLSID Clsid;
  std::u16string_view ClsidText;
};

const std::array<ComClass, 3> kClasses{{
    {kPacketProgId,
     {0x6c1b2f0a, 0x3e47, 0x4b8e, {0x9a, 0x51, 0x2d, 0x7c, 0x04, 0xe1, 0xa1, 0x01}},
     u"{6C1B2F0A-3E47-4B8E-9A51-2D7C04E1A101}"},
    {kLinkProgId,
     {0x6c1b2f0a, 0x3e47, 0x4b8e, {0x9a, 0x51, 0x2d, 0x7c, 0x04, 0xe1, 0xa1, 0x02}},
     u"{6C1B2F0A-3E47-4B8E-9A51-2D7C04E1A102}"},
    {kControlProgId,
     {0x6c1b2f0a, 0x3e47, 0x4b8e, {0x9a, 0x51, 0x2d, 0x7c, 0x04, 0xe1, 0xa1, 0x03}},
     u"{6C1B2F0A-3E47-4B8E-9A51-2D7C04E1A103}"},
}};

HMODULE GModule = nullptr;
std::atomic<long> GServerLocks{0};

// The terminal's state must outlive the last object: once used, the DLL stays
// loaded until the process ends, whatever CoFreeUnusedLibraries decides.
void PinModule() {
  HMODULE Pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&GModule), &Pinned);
}

HRESULT CreationFailure(const std::u16string& Message) {
  if (Message == u"Class not registered") return REGDB_E_CLASSNOTREG;
  ICreateErrorInfo* Create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&Create))) {
    std::wstring Text = ToWide(Message);
    Create->SetDescription(Text.data());
    IErrorInfo* Info = nullptr;
    if (SUCCEEDED(Create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&Info)))) {
      SetErrorInfo(0, Info);
      Info->Release();
    }
    Create->Release();
  }
  return E_FAIL;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ClassFactory final : public IClassFactory {
public:
  explicit ClassFactory(std::u16string_view ProgId) : FProgId(ProgId) { ++GLiveComObjects; }
  ~ClassFactory() { --GLiveComObjects; }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override {
    if (!Out) return E_POINTER;
    if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IClassFactory)) {
      *Out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG Left = --FRefs;
    if (Left == 0) delete this;
    return Left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* Outer, REFIID Iid, void** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    if (Outer) return CLASS_E_NOAGGREGATION;
    try {
      auto Object = new DispatchObject(std::shared_ptr<SimObject>(CreateSimObject(FProgId)));
      HRESULT Result = Object->QueryInterface(Iid, Out);
      Object->Release();
      return Result;
    } catch (...) {
      return CreationFailure(CurrentExceptionMessage());
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL Lock) override {
    Lock ? ++GServerLocks : --GServerLocks;
    return S_OK;
  }

private:
  std::atomic<ULONG> FRefs{1};
  std::u16string_view FProgId;
};
#pragma GCC diagnostic pop

// --- registration ---

bool SetKeyValue(const std::u16string& Key, const wchar_t* Name, const std::u16string& Data) {
  HKEY Handle = nullptr;
  std::wstring Path = ToWide(u"Software\\Classes\\" + Key);
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &Handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  std::wstring Wide = ToWide(Data);
  LONG Result = RegSetValueExW(Handle, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Wide.c_str()),
                               static_cast<DWORD>((Wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(Handle);
  return Result == ERROR_SUCCESS;
}

void DeleteKey(const std::u16string& Key) {
  std::wstring Path = ToWide(u"Software\\Classes\\" + Key);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, Path.c_str());
}

std::u16string ModulePath() {
  std::wstring Buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD Length = GetModuleFileNameW(GModule, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0) return {};
    if (Length < Buffer.size()) return FromWide(std::wstring_view(Buffer.data(), Length));
    Buffer.resize(Buffer.size() * 2);
  }
}

bool RegisterClass(const ComClass& C, const std::u16string& Path) {
  std::u16string ProgId(C.ProgId), Clsid(C.ClsidText), Title = u"Tandemix simulator: " + ProgId;
  std::u16string ClsidKey = u"CLSID\\" + Clsid;
  return SetKeyValue(ProgId, nullptr, Title) && SetKeyValue(ProgId + u"\\CLSID", nullptr, Clsid) &&
         SetKeyValue(ClsidKey, nullptr, Title) && SetKeyValue(ClsidKey + u"\\ProgID", nullptr, ProgId) &&
         SetKeyValue(ClsidKey + u"\\InprocServer32", nullptr, Path) &&
         SetKeyValue(ClsidKey + u"\\InprocServer32", L"ThreadingModel", u"Both");
}

}  // namespace

}  // namespace terminal_sim

using namespace terminal_sim;

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason == DLL_PROCESS_ATTACH) {
    GModule = Instance;
    DisableThreadLibraryCalls(Instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID Clsid, REFIID Iid, LPVOID* Out) {
  if (!Out) return E_POINTER;
  *Out = nullptr;
  for (const ComClass& C : kClasses) {
    if (!IsEqualCLSID(Clsid, C.Clsid)) continue;
    PinModule();
    auto Factory = new (std::nothrow) ClassFactory(C.ProgId);
    if (!Factory) return E_OUTOFMEMORY;
    HRESULT Result = Factory->QueryInterface(Iid, Out);
    Factory->Release();
    return Result;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return GLiveComObjects == 0 && GServerLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  try {
    std::u16string Path = ModulePath();
    if (Path.empty()) return SELFREG_E_CLASS;
    for (const ComClass& C : kClasses)
      if (!RegisterClass(C, Path)) return SELFREG_E_CLASS;
    return S_OK;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

STDAPI DllUnregisterServer() {
  try {
    for (const ComClass& C : kClasses) {
      DeleteKey(std::u16string(C.ProgId));
      DeleteKey(u"CLSID\\" + std::u16string(C.ClsidText));
    }
    return S_OK;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

// The test seam of ClockSeam.h (named undecorated in tandemix_sim.def).
extern "C" void TerminalSimUseClock(os::IClock* Clock) { terminal_sim::UseClock(Clock); }
