#pragma once
// A minimal host for unit tests of the bridge: a memory manager that counts
// its blocks and a connection object that records AddError calls.
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "bridge/V8Abi.h"

struct CountingMemoryManager : TV8MemoryManager {
  CountingMemoryManager() : TV8MemoryManager{&kOps} {}
  CountingMemoryManager(const CountingMemoryManager&) = delete;
  CountingMemoryManager& operator=(const CountingMemoryManager&) = delete;
  ~CountingMemoryManager() {
    for (void* Block : Live) std::free(Block);
  }

  std::set<void*> Live;
  std::vector<unsigned long> AllocSizes;
  int Frees = 0;
  int BadFrees = 0;
  bool Refuse = false;

private:
  static CountingMemoryManager& Of(TV8MemoryManager* Self) { return *static_cast<CountingMemoryManager*>(Self); }
  static bool V8_CALL Alloc(TV8MemoryManager* Self, void** Memory, HostULong Size) {
    CountingMemoryManager& MM = Of(Self);
    if (MM.Refuse) return false;
    *Memory = std::malloc(Size == 0 ? 1 : Size);
    MM.Live.insert(*Memory);
    MM.AllocSizes.push_back(Size);
    return true;
  }
  static void V8_CALL Free(TV8MemoryManager* Self, void** Memory) {
    CountingMemoryManager& MM = Of(Self);
    ++MM.Frees;
    if (MM.Live.erase(*Memory) == 0) {
      ++MM.BadFrees;
      return;
    }
    std::free(*Memory);
  }
  static constexpr TV8MemoryManagerOps kOps = {{}, &Alloc, &Free};
};

struct RecordingConnection : TV8AddInDefBaseEx {
  struct Error {
    unsigned Code;
    std::u16string Source;
    std::u16string Description;
    HostLong Status;
  };
  RecordingConnection() : TV8AddInDefBaseEx{&kOps} {}
  std::vector<Error> Errors;

private:
  static bool V8_CALL AddError(TV8AddInDefBaseEx* Self, uint16_t Code, const V8Char* Source, const V8Char* Descr,
                               HostLong Status) {
    static_cast<RecordingConnection*>(Self)->Errors.push_back(
        {Code, Source ? Source : u"", Descr ? Descr : u"", Status});
    return true;
  }
  static constexpr TV8AddInDefBaseOps kOps = {{},      &AddError, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr,   nullptr, nullptr, nullptr, nullptr};
};
