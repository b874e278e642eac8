#pragma once
// The host's interfaces as a host built with g++ declares them: abstract C++
// classes whose virtual functions, destructor first, sit in the order of the
// operation tables of bridge/V8Abi.h. The compiler's own vtables then give the
// binary layout the host calls, so this add-in needs no table of its own.
#include "bridge/V8Abi.h"

namespace peer {

// The host's objects the component calls.
class MemoryManager {
public:
  virtual ~MemoryManager() = default;
  virtual bool AllocMemory(void** Block, unsigned long Bytes) = 0;
  virtual void FreeMemory(void** Block) = 0;
};

class Connection {
public:
  virtual ~Connection() = default;
  virtual bool AddError(unsigned short Code, const char16_t* Source, const char16_t* Description, long Status) = 0;
  virtual bool Read(char16_t* Name, V8Variant* Value, long* ErrorCode, char16_t** ErrorText) = 0;
  virtual bool Write(char16_t* Name, V8Variant* Value) = 0;
  virtual bool RegisterProfileAs(char16_t* ProfileName) = 0;
  virtual bool SetEventBufferDepth(long Depth) = 0;
  virtual long GetEventBufferDepth() = 0;
  virtual bool ExternalEvent(char16_t* Source, char16_t* Message, char16_t* Data) = 0;
  virtual void CleanEventBuffer() = 0;
  virtual bool SetStatusLine(char16_t* Line) = 0;
  virtual void ResetStatusLine() = 0;
  virtual void* GetInterface(int Kind) = 0;
};

// The three interfaces the component serves.
class InitDone {
public:
  virtual ~InitDone() = default;
  virtual bool Init(void* HostConnection) = 0;
  virtual bool setMemManager(void* HostMemory) = 0;
  virtual long GetInfo() = 0;
  virtual void Done() = 0;
};

class LanguageExtender {
public:
  virtual ~LanguageExtender() = default;
  virtual bool RegisterExtensionAs(char16_t** ExtensionName) = 0;
  virtual long GetNProps() = 0;
  virtual long FindProp(const char16_t* Name) = 0;
  virtual const char16_t* GetPropName(long Number, long Language) = 0;
  virtual bool GetPropVal(long Number, V8Variant* Value) = 0;
  virtual bool SetPropVal(long Number, V8Variant* Value) = 0;
  virtual bool IsPropReadable(long Number) = 0;
  virtual bool IsPropWritable(long Number) = 0;
  virtual long GetNMethods() = 0;
  virtual long FindMethod(const char16_t* Name) = 0;
  virtual const char16_t* GetMethodName(long Number, long Language) = 0;
  virtual long GetNParams(long Number) = 0;
  virtual bool GetParamDefValue(long Number, long Param, V8Variant* Value) = 0;
  virtual bool HasRetVal(long Number) = 0;
  virtual bool CallAsProc(long Number, V8Variant* Params, long Count) = 0;
  virtual bool CallAsFunc(long Number, V8Variant* Return, V8Variant* Params, long Count) = 0;
};

class Locale {
public:
  virtual ~Locale() = default;
  virtual void SetLocale(const char16_t* Name) = 0;
};

// What GetClassObject hands out: the three interfaces as bases in this order,
// so they sit at words 0, 1 and 2 of the object.
class ComponentBase : public InitDone, public LanguageExtender, public Locale {};

}  // namespace peer
