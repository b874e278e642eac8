#pragma once
// The two objects the host hands to a component: its memory manager and its
// connection object. Both are laid out as the host's binary interface demands
// (a pointer to an explicit operation table) and record what the library does.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bridge/V8Abi.h"

namespace v8host {

// Every block it hands out is counted until it is freed, so that a session can
// tell which blocks the library kept and which frees named foreign blocks.
class HostMemoryManager : public TV8MemoryManager {
public:
  HostMemoryManager();
  ~HostMemoryManager();
  HostMemoryManager(const HostMemoryManager&) = delete;
  HostMemoryManager& operator=(const HostMemoryManager&) = delete;

  // Makes AllocMemory answer false to the library, as a host out of memory does.
  bool RefuseAllocations = false;

  // The host's own side: blocks for the values it sends, releases of the values
  // it receives. Allocate never refuses.
  void* Allocate(std::size_t Bytes);
  void Release(void* Block) noexcept;

  std::size_t LiveBlocks() const noexcept { return FLive.size(); }
  std::size_t LiveBytes() const noexcept;
  std::size_t BadFrees() const noexcept { return FBadFrees; }
  std::size_t Allocations() const noexcept { return FAllocations; }
  std::size_t RefusedAllocations() const noexcept { return FRefused; }
  // The size of a block this manager handed out and nobody freed yet; 0 otherwise.
  std::size_t BlockSize(const void* Block) const noexcept;

private:
  static bool V8_CALL AllocMemoryOp(TV8MemoryManager* Self, void** pMemory, HostULong ulCountByte);
  static void V8_CALL FreeMemoryOp(TV8MemoryManager* Self, void** pMemory);
  static HostMemoryManager& Of(TV8MemoryManager* Self) noexcept;

  std::map<const void*, std::size_t> FLive;
  std::size_t FBadFrees = 0;
  std::size_t FAllocations = 0;
  std::size_t FRefused = 0;
};

struct HostError {
  uint16_t Code = 0;
  std::u16string Source;
  std::u16string Description;
  HostLong Status = 0;
};

// Of the connection object's operations the component needs only AddError; the
// others answer like a host with no events, profile or status line to offer.
class HostConnection : public TV8AddInDefBaseEx {
public:
  HostConnection();
  HostConnection(const HostConnection&) = delete;
  HostConnection& operator=(const HostConnection&) = delete;

  // Every AddError call in order; the texts are copied during the call because
  // the library frees its own copies right after it.
  std::vector<HostError> Errors;

private:
  static bool V8_CALL AddErrorOp(TV8AddInDefBaseEx* Self, uint16_t wcode, const V8Char* source, const V8Char* descr,
                                 HostLong scode);
};

}  // namespace v8host
