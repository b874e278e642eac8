#include "tools/v8host/HostObjects.h"

#include <cstdlib>
#include <new>

namespace v8host {

namespace {

// The host's destructor slots are never called by a library; they are filled all
// the same so that a stray call lands in a function rather than at address zero.
void IgnoredDestructor() noexcept {}

template <std::size_t Count>
void FillDestructorSlots(void* (&Slots)[Count]) noexcept {
  for (void*& Slot : Slots) Slot = reinterpret_cast<void*>(&IgnoredDestructor);
}

bool V8_CALL ReadOp(TV8AddInDefBaseEx*, V8Char*, V8Variant*, HostLong*, V8Char**) { return false; }
bool V8_CALL WriteOp(TV8AddInDefBaseEx*, V8Char*, V8Variant*) { return false; }
bool V8_CALL RegisterProfileAsOp(TV8AddInDefBaseEx*, V8Char*) { return false; }
bool V8_CALL SetEventBufferDepthOp(TV8AddInDefBaseEx*, HostLong) { return false; }
HostLong V8_CALL GetEventBufferDepthOp(TV8AddInDefBaseEx*) { return 0; }
bool V8_CALL ExternalEventOp(TV8AddInDefBaseEx*, V8Char*, V8Char*, V8Char*) { return false; }
void V8_CALL CleanEventBufferOp(TV8AddInDefBaseEx*) {}
bool V8_CALL SetStatusLineOp(TV8AddInDefBaseEx*, V8Char*) { return false; }
void V8_CALL ResetStatusLineOp(TV8AddInDefBaseEx*) {}
void* V8_CALL GetInterfaceOp(TV8AddInDefBaseEx*, int32_t) { return nullptr; }

std::u16string CopyOf(const V8Char* Text) { return Text ? std::u16string(Text) : std::u16string(); }

}  // namespace

// ---------------------------------------------------------------------------
HostMemoryManager::HostMemoryManager() : TV8MemoryManager{nullptr} {
  static const TV8MemoryManagerOps Table = [] {
    TV8MemoryManagerOps Filled{};
    FillDestructorSlots(Filled.Destroy);
    Filled.AllocMemory = &AllocMemoryOp;
    Filled.FreeMemory = &FreeMemoryOp;
    return Filled;
  }();
  Ops = &Table;
}

HostMemoryManager::~HostMemoryManager() {
  for (const auto& Block : FLive) std::free(const_cast<void*>(Block.first));
}

HostMemoryManager& HostMemoryManager::Of(TV8MemoryManager* Self) noexcept {
  return *static_cast<HostMemoryManager*>(Self);
}

void* HostMemoryManager::Allocate(std::size_t Bytes) {
  // A zero-byte request still gets a distinct block, as from the platform.
  void* Block = std::malloc(Bytes == 0 ? 1 : Bytes);
  if (!Block) throw std::bad_alloc();
  FLive.emplace(Block, Bytes);
  ++FAllocations;
  return Block;
}

void HostMemoryManager::Release(void* Block) noexcept {
  if (!Block) return;
  const auto Found = FLive.find(Block);
  if (Found == FLive.end()) {
    ++FBadFrees;
    return;
  }
  FLive.erase(Found);
  std::free(Block);
}

std::size_t HostMemoryManager::LiveBytes() const noexcept {
  std::size_t Total = 0;
  for (const auto& Block : FLive) Total += Block.second;
  return Total;
}

std::size_t HostMemoryManager::BlockSize(const void* Block) const noexcept {
  const auto Found = FLive.find(Block);
  return Found == FLive.end() ? 0 : Found->second;
}

bool V8_CALL HostMemoryManager::AllocMemoryOp(TV8MemoryManager* Self, void** pMemory, HostULong ulCountByte) {
  HostMemoryManager& Memory = Of(Self);
  if (!pMemory) return false;
  if (Memory.RefuseAllocations) {
    ++Memory.FRefused;
    return false;
  }
  try {
    *pMemory = Memory.Allocate(ulCountByte);
    return true;
  } catch (...) {
    return false;
  }
}

void V8_CALL HostMemoryManager::FreeMemoryOp(TV8MemoryManager* Self, void** pMemory) {
  HostMemoryManager& Memory = Of(Self);
  if (!pMemory) {
    ++Memory.FBadFrees;
    return;
  }
  Memory.Release(*pMemory);
  *pMemory = nullptr;
}

// ---------------------------------------------------------------------------
HostConnection::HostConnection() : TV8AddInDefBaseEx{nullptr} {
  static const TV8AddInDefBaseOps Table = [] {
    TV8AddInDefBaseOps Filled{};
    FillDestructorSlots(Filled.Destroy);
    Filled.AddError = &AddErrorOp;
    Filled.Read = &ReadOp;
    Filled.Write = &WriteOp;
    Filled.RegisterProfileAs = &RegisterProfileAsOp;
    Filled.SetEventBufferDepth = &SetEventBufferDepthOp;
    Filled.GetEventBufferDepth = &GetEventBufferDepthOp;
    Filled.ExternalEvent = &ExternalEventOp;
    Filled.CleanEventBuffer = &CleanEventBufferOp;
    Filled.SetStatusLine = &SetStatusLineOp;
    Filled.ResetStatusLine = &ResetStatusLineOp;
    Filled.GetInterface = &GetInterfaceOp;
    return Filled;
  }();
  Ops = &Table;
}

bool V8_CALL HostConnection::AddErrorOp(TV8AddInDefBaseEx* Self, uint16_t wcode, const V8Char* source,
                                        const V8Char* descr, HostLong scode) {
  try {
    static_cast<HostConnection*>(Self)->Errors.push_back({wcode, CopyOf(source), CopyOf(descr), scode});
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace v8host
