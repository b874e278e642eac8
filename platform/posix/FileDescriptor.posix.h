#pragma once
// Descriptor-level helpers the POSIX layer shares: an owned descriptor, whole
// writes and the advisory lock that keeps appends of several processes apart.
#include <string_view>

namespace os {

class TFileDescriptor {
public:
  TFileDescriptor() noexcept = default;
  explicit TFileDescriptor(int Fd) noexcept : FFd(Fd) {}
  ~TFileDescriptor() { Reset(); }
  TFileDescriptor(TFileDescriptor&& Other) noexcept : FFd(Other.Release()) {}
  TFileDescriptor& operator=(TFileDescriptor&& Other) noexcept;
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const noexcept { return FFd; }
  bool IsOpen() const noexcept { return FFd >= 0; }
  int Release() noexcept {
    const int Fd = FFd;
    FFd = -1;
    return Fd;
  }
  void Reset() noexcept;

private:
  int FFd = -1;
};

// Writes every byte, resuming after interruptions. Raises an Exception on failure.
void WriteAll(int Fd, std::string_view Bytes);
// Waits for the exclusive advisory lock; closing the descriptor releases it.
void LockExclusive(int Fd);

}  // namespace os
