#pragma once
// Failures of the host emulator, sorted by what went wrong so that the command
// line can answer each kind with its own exit code.
#include <string>
#include <utility>

#include "platform/Exception.h"

namespace v8host {

enum class FailureKind {
  BadArgument,   // the command line, a script line or a typed value is malformed
  Refused,       // the component answered false
  LoadFailed,    // the library cannot be loaded or lacks an export
  UnknownClass,  // GetClassObject created nothing
  UnknownName,   // the component knows no such method or property
};

class HostFailure : public Exception {
public:
  HostFailure(FailureKind Kind, std::u16string Message) : Exception(std::move(Message)), FKind(Kind) {}
  FailureKind Kind() const noexcept { return FKind; }

private:
  FailureKind FKind;
};

}  // namespace v8host
