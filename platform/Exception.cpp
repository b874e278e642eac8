#include "platform/Exception.h"

#include "platform/Text.h"

Exception::Exception(std::u16string Message) : FMessage(std::move(Message)), FWhat(ToUtf8(FMessage)) {}

Exception::Exception(std::string_view Utf8Message) : FMessage(FromUtf8(Utf8Message)), FWhat(Utf8Message) {}

std::u16string CurrentExceptionMessage() noexcept {
  try {
    throw;
  } catch (const Exception& E) {
    return E.Message();
  } catch (const std::exception& E) {
    try {
      return FromUtf8(E.what());
    } catch (...) {
      return u"Out of memory";
    }
  } catch (...) {
    return u"Unknown error";
  }
}
