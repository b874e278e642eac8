#pragma once
// The host's objects a component calls, as a host built with g++ declares
// them: abstract C++ classes whose virtual functions, destructor first, sit in
// the order of the operation tables of bridge/V8Abi.h. With the component's own
// interfaces (tools/v8host/GxxInterfaces.h) the compiler's vtables give the
// binary layout the host calls, so the peer add-in needs no table of its own.
#include "bridge/V8Abi.h"

namespace peer {

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

}  // namespace peer
