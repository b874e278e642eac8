#pragma once
// The system's one error type: every failure is an exception carrying a message
// text, which reaches the host as UTF-16 and the log as UTF-8.
#include <exception>
#include <string>
#include <string_view>

class Exception : public std::exception {
public:
  explicit Exception(std::u16string Message);
  explicit Exception(std::string_view Utf8Message);
  const std::u16string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FWhat.c_str(); }

private:
  std::u16string FMessage;
  std::string FWhat;
};

// The message of whatever was thrown: the system's own, a standard exception's
// text, or a fixed text for anything else. Only for catch blocks.
std::u16string CurrentExceptionMessage() noexcept;
