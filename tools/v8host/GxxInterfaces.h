#pragma once
// The three interfaces of a component as a host built with g++ declares them:
// C++ abstract classes called through the compiler's own vtables, whose
// virtual functions sit in the order of the operation tables (bridge/V8Abi.h),
// destructor first. The host tests call our component through them; the peer
// add-in of the benchmarks implements them.
#include "bridge/V8Abi.h"

namespace v8host {

class GxxInitDone {
public:
  virtual ~GxxInitDone() = default;
  virtual bool Init(void* Connection) = 0;
  virtual bool setMemManager(void* MemoryManager) = 0;
  virtual long GetInfo() = 0;
  virtual void Done() = 0;
};

class GxxLanguageExtender {
public:
  virtual ~GxxLanguageExtender() = default;
  virtual bool RegisterExtensionAs(char16_t** ExtensionName) = 0;
  virtual long GetNProps() = 0;
  virtual long FindProp(const char16_t* Name) = 0;
  virtual const char16_t* GetPropName(long Number, long Alias) = 0;
  virtual bool GetPropVal(long Number, V8Variant* Value) = 0;
  virtual bool SetPropVal(long Number, V8Variant* Value) = 0;
  virtual bool IsPropReadable(long Number) = 0;
  virtual bool IsPropWritable(long Number) = 0;
  virtual long GetNMethods() = 0;
  virtual long FindMethod(const char16_t* Name) = 0;
  virtual const char16_t* GetMethodName(long Number, long Alias) = 0;
  virtual long GetNParams(long Number) = 0;
  virtual bool GetParamDefValue(long Number, long Param, V8Variant* Value) = 0;
  virtual bool HasRetVal(long Number) = 0;
  virtual bool CallAsProc(long Number, V8Variant* Params, long Count) = 0;
  virtual bool CallAsFunc(long Number, V8Variant* Return, V8Variant* Params, long Count) = 0;
};

class GxxLocale {
public:
  virtual ~GxxLocale() = default;
  virtual void SetLocale(const char16_t* Locale) = 0;
};

// What such a host receives from GetClassObject: one object with the three
// interfaces as its bases, so the second sits one pointer after the first and
// the third two pointers after.
class GxxComponent : public GxxInitDone, public GxxLanguageExtender, public GxxLocale {};

}  // namespace v8host
