#include "platform/windows/BrowserControl.windows.h"

#include <exdispid.h>
#include <shellapi.h>

#include <array>
#include <atomic>
#include <utility>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/windows/OsError.windows.h"

namespace os::win {

namespace {

bool StartsWithAsciiCaseless(std::u16string_view Text, std::u16string_view LowerPrefix) {
  if (Text.size() < LowerPrefix.size()) return false;
  for (std::size_t At = 0; At < LowerPrefix.size(); ++At) {
    const char16_t Unit =
        Text[At] >= u'A' && Text[At] <= u'Z' ? static_cast<char16_t>(Text[At] + (u'a' - u'A')) : Text[At];
    if (Unit != LowerPrefix[At]) return false;
  }
  return true;
}

// The text of an event's argument, which the control passes by value or by reference.
std::u16string_view TextArgument(const VARIANT& Argument) {
  const VARIANT& Value =
      Argument.vt == (VT_BYREF | VT_VARIANT) && Argument.pvarVal != nullptr ? *Argument.pvarVal : Argument;
  if (Value.vt == VT_BSTR && Value.bstrVal != nullptr)
    return {reinterpret_cast<const char16_t*>(Value.bstrVal), ::SysStringLen(Value.bstrVal)};
  if (Value.vt == (VT_BYREF | VT_BSTR) && Value.pbstrVal != nullptr && *Value.pbstrVal != nullptr)
    return {reinterpret_cast<const char16_t*>(*Value.pbstrVal), ::SysStringLen(*Value.pbstrVal)};
  return {};
}

void SetCancel(VARIANT& Cancel) {
  if (Cancel.vt == (VT_BYREF | VT_BOOL) && Cancel.pboolVal != nullptr) *Cancel.pboolVal = VARIANT_TRUE;
}

template <typename Interface>
bool Hand(void** Object, Interface* Self) {
  *Object = Self;
  Self->AddRef();
  return true;
}

}  // namespace

TOleThread::TOleThread() : FResult(::OleInitialize(nullptr)) {
  if (FAILED(FResult) && FResult != RPC_E_CHANGED_MODE) RaiseComError(FResult, u"Cannot initialise OLE");
}

TOleThread::~TOleThread() {
  if (SUCCEEDED(FResult)) ::OleUninitialize();
}

bool OpensInDesktopBrowser(std::u16string_view Url) {
  constexpr std::array<std::u16string_view, 3> OutsideSchemes = {u"http:", u"https:", u"mailto:"};
  for (const std::u16string_view Scheme : OutsideSchemes)
    if (StartsWithAsciiCaseless(Url, Scheme)) return true;
  return false;
}

void OpenWithDesktop(std::u16string_view Target) {
  const std::wstring Wide = ToWide(Target);
  SHELLEXECUTEINFOW Execute{};
  Execute.cbSize = sizeof(Execute);
  Execute.fMask = SEE_MASK_NOASYNC;
  Execute.lpVerb = L"open";
  Execute.lpFile = Wide.c_str();
  Execute.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&Execute)) RaiseLastOsError(u"Cannot open " + std::u16string(Target));
}

// The container's side as the control sees it: the client site, the in-place
// site and frame, and the listener of the control's events. Counted by COM:
// the control may hold it past our own teardown, so it lives until the last
// reference goes, and it forgets the window when the control is torn down.
// COM's interfaces have no virtual destructor by design: Release deletes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TBrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
public:
  TBrowserSite(HWND Window, TBrowserControl::TNavigating Navigating)
      : FWindow(Window), FNavigating(std::move(Navigating)) {}

  void Detach() noexcept {
    FWindow = nullptr;
    FNavigating = nullptr;
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID Id, void** Object) override {
    if (Object == nullptr) return E_POINTER;
    *Object = nullptr;
    const bool Found =
        (Id == IID_IUnknown || Id == IID_IOleClientSite)      ? Hand(Object, static_cast<IOleClientSite*>(this))
        : (Id == IID_IOleWindow || Id == IID_IOleInPlaceSite) ? Hand(Object, static_cast<IOleInPlaceSite*>(this))
        : (Id == IID_IOleInPlaceUIWindow || Id == IID_IOleInPlaceFrame)
            ? Hand(Object, static_cast<IOleInPlaceFrame*>(this))
        : (Id == IID_IDispatch || Id == DIID_DWebBrowserEvents2) ? Hand(Object, static_cast<IDispatch*>(this))
                                                                 : false;
    return Found ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FReferences; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG Left = --FReferences;
    if (Left == 0) delete this;
    return Left;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** Moniker) override {
    if (Moniker != nullptr) *Moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** Container) override {
    if (Container != nullptr) *Container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, for the in-place site and the frame alike
  STDMETHODIMP GetWindow(HWND* Window) override {
    if (Window == nullptr) return E_POINTER;
    *Window = FWindow;
    return FWindow != nullptr ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return FWindow != nullptr ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** Frame, IOleInPlaceUIWindow** Document, LPRECT Position, LPRECT Clip,
                                LPOLEINPLACEFRAMEINFO FrameInfo) override {
    if (Frame == nullptr || Document == nullptr || Position == nullptr || Clip == nullptr || FrameInfo == nullptr)
      return E_POINTER;
    *Frame = this;
    AddRef();
    *Document = nullptr;
    ::GetClientRect(FWindow, Position);
    *Clip = *Position;
    FrameInfo->fMDIApp = FALSE;
    FrameInfo->hwndFrame = FWindow;
    FrameInfo->haccel = nullptr;
    FrameInfo->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame: no menus, toolbars or status bar.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch, as the control's DWebBrowserEvents2 listener
  STDMETHODIMP GetTypeInfoCount(UINT* Count) override {
    if (Count != nullptr) *Count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT*, EXCEPINFO*, UINT*) override {
    // The arguments come last first.
    if (Member == DISPID_BEFORENAVIGATE2 && Params != nullptr && Params->cArgs >= 7) {
      if (!Allows(TextArgument(Params->rgvarg[5]))) SetCancel(Params->rgvarg[0]);
    } else if (Member == DISPID_NEWWINDOW3 && Params != nullptr && Params->cArgs >= 5) {
      // The manual has no second window: an outside address still reaches the desktop's browser.
      SetCancel(Params->rgvarg[3]);
      Allows(TextArgument(Params->rgvarg[0]));
    }
    return S_OK;
  }

private:
  ~TBrowserSite() = default;

  // A navigation whose check failed does not happen: nothing thrown reaches the control.
  bool Allows(std::u16string_view Url) const noexcept {
    try {
      return !FNavigating || FNavigating(Url);
    } catch (...) {
      return false;
    }
  }

  std::atomic<ULONG> FReferences{1};
  HWND FWindow;
  TBrowserControl::TNavigating FNavigating;
};
#pragma GCC diagnostic pop

TBrowserControl::TBrowserControl(HWND Parent, TNavigating Navigating)
    : FSite(new TBrowserSite(Parent, std::move(Navigating))) {
  try {
    Embed(Parent);
    ListenToEvents();
  } catch (...) {
    TearDown();
    throw;
  }
}

TBrowserControl::~TBrowserControl() { TearDown(); }

void TBrowserControl::Embed(HWND Parent) {
  HRESULT Result = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, FObject.Out());
  if (FAILED(Result)) RaiseComError(Result, u"Cannot create the web-browser control");
  Result = FObject->SetClientSite(static_cast<IOleClientSite*>(FSite));
  if (FAILED(Result)) RaiseComError(Result, u"Cannot give the web-browser control its place");
  ::OleSetContainedObject(FObject.Get(), TRUE);
  RECT Client{};
  ::GetClientRect(Parent, &Client);
  Result = FObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(FSite), 0, Parent, &Client);
  if (FAILED(Result)) RaiseComError(Result, u"Cannot show the web-browser control in the window");
  Result = FObject->QueryInterface(IID_IWebBrowser2, FBrowser.Out());
  if (FAILED(Result)) RaiseComError(Result, u"Cannot reach the web-browser control");
}

void TBrowserControl::ListenToEvents() {
  TComRef<IConnectionPointContainer> Points;
  HRESULT Result = FBrowser->QueryInterface(IID_IConnectionPointContainer, Points.Out());
  if (SUCCEEDED(Result))
    Result = Points->FindConnectionPoint(DIID_DWebBrowserEvents2, reinterpret_cast<IConnectionPoint**>(FEvents.Out()));
  if (SUCCEEDED(Result)) Result = FEvents->Advise(static_cast<IDispatch*>(FSite), &FEventsCookie);
  if (FAILED(Result)) {
    FEvents.Reset();
    RaiseComError(Result, u"Cannot follow the web-browser control's navigation");
  }
}

void TBrowserControl::Navigate(std::u16string_view Target) {
  const std::wstring Wide = ToWide(Target);
  BSTR Address = ::SysAllocStringLen(Wide.c_str(), static_cast<UINT>(Wide.size()));
  if (Address == nullptr) throw Exception(std::u16string(u"Out of memory"));
  VARIANT Empty;
  ::VariantInit(&Empty);
  const HRESULT Result = FBrowser->Navigate(Address, &Empty, &Empty, &Empty, &Empty);
  ::SysFreeString(Address);
  if (FAILED(Result)) RaiseComError(Result, u"Cannot open " + std::u16string(Target));
}

void TBrowserControl::Fit(int Width, int Height) noexcept {
  TComRef<IOleInPlaceObject> InPlace;
  if (!FObject || FAILED(FObject->QueryInterface(IID_IOleInPlaceObject, InPlace.Out()))) return;
  const RECT Place{0, 0, Width, Height};
  InPlace->SetObjectRects(&Place, &Place);
}

bool TBrowserControl::TakesKey(MSG& Message) noexcept {
  if (Message.message < WM_KEYFIRST || Message.message > WM_KEYLAST || !FBrowser) return false;
  TComRef<IOleInPlaceActiveObject> Active;
  if (FAILED(FBrowser->QueryInterface(IID_IOleInPlaceActiveObject, Active.Out()))) return false;
  return Active->TranslateAccelerator(&Message) == S_OK;
}

// In the order the control was built, undone: no event reaches us after it,
// its windows go with the in-place deactivation, and it lets go of our site.
void TBrowserControl::TearDown() noexcept {
  if (FEvents) FEvents->Unadvise(FEventsCookie);
  FEvents.Reset();
  if (FBrowser) FBrowser->Stop();
  FBrowser.Reset();
  if (FObject) {
    TComRef<IOleInPlaceObject> InPlace;
    if (SUCCEEDED(FObject->QueryInterface(IID_IOleInPlaceObject, InPlace.Out()))) InPlace->InPlaceDeactivate();
    FObject->Close(OLECLOSE_NOSAVE);
    FObject->SetClientSite(nullptr);
  }
  FObject.Reset();
  if (FSite != nullptr) {
    FSite->Detach();
    FSite->Release();
  }
  FSite = nullptr;
}

}  // namespace os::win
