#include "device/uTXCommon.h"

#include "platform/Text.h"

namespace {

std::u16string DeviceErrorMessage(int32_t AStatus, const std::u16string& ATextResponse,
                                  const std::u16string& ADescription) {
  const std::u16string Lead = ATextResponse.empty() ? std::u16string() : ATextResponse + u". ";
  return FormatText(u"%sСтатус=%s (%s)", {Lead, IntToText(AStatus), ADescription});
}

}  // namespace

EDevcieError::EDevcieError(int32_t AStatus, const std::u16string& ATextResponse, const std::u16string& ADescription)
    : Exception(DeviceErrorMessage(AStatus, ATextResponse, ADescription)),
      FCode(AStatus == 0 ? kUndeterminedCode : kFailureCode) {}
