#pragma once
// IDispatch around a simulator object: names are looked up at run time (no type
// library), arguments come as the VARIANTs script hosts and our client send.
#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>

#include "tools/terminal-sim/SimObject.h"

namespace terminal_sim {

// Objects and server locks alive in this DLL, for DllCanUnloadNow.
extern std::atomic<long> GLiveComObjects;

// COM interfaces have no virtual destructor by design: objects die in Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DispatchObject final : public IDispatch {
public:
  explicit DispatchObject(std::shared_ptr<SimObject> Inner);
  ~DispatchObject();
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT Index, LCID Locale, ITypeInfo** Info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, LCID Locale, DISPID* Ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID Id, REFIID Iid, LCID Locale, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                   EXCEPINFO* Error, UINT* ArgError) override;

  const std::shared_ptr<SimObject>& Inner() const noexcept { return FInner; }

private:
  Value Dispatch(std::u16string_view Name, WORD Flags, DISPPARAMS& Params);

  std::atomic<ULONG> FRefs{1};
  std::shared_ptr<SimObject> FInner;
};
#pragma GCC diagnostic pop

}  // namespace terminal_sim
