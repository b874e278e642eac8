#pragma once
// What the equipment library does with a driver on a shop's first set-up,
// once the package is attached and the object created: the connection
// sequence, with the settings form filled with its defaults and the values
// the user gave.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/v8host/HostComponent.h"

namespace v8host {

// One parameter of the driver's settings form (GetParameters).
struct FormSetting {
  std::u16string Name;
  std::u16string Type;   // the form's TypeValue: "String", "Number", "Boolean"...
  std::u16string Value;  // the form's DefaultValue, or the value the user gave
};

using GivenSettings = std::vector<std::pair<std::u16string, std::u16string>>;

// Every Parameter element of the form, at any depth, in the document's order.
// Raises a HostFailure (Refused) when the text is not a settings form.
std::vector<FormSetting> SettingsOfForm(std::u16string_view FormXml);
// The user's values replace the defaults; a name the form does not have is a
// HostFailure (BadArgument), as the form offers no field for it.
void ApplyGivenSettings(std::vector<FormSetting>& Settings, const GivenSettings& Given);
// The value as the form's type hands it to SetParameter: a Number as an
// integer (a number with a fraction when it has one), a Boolean as one, the
// rest as text. Raises a HostFailure (BadArgument) for a value its type cannot take.
HostValue SettingValue(const FormSetting& Setting);

// Whether the equipment library finds INFO.XML's type among its equipment
// types (the Russian configurations' names, or "POSTerminal" of the English
// ones); otherwise it leaves the type for the user to pick.
bool IsEquipmentTypeName(std::u16string_view Name);

class ConnectionCalls {
public:
  virtual ~ConnectionCalls() = default;
  // One call of the component, shown and recorded.
  virtual CallOutcome Call(std::u16string_view Method, std::vector<HostValue> Args) = 0;
  // The user's own steps while the device is open; false when one failed.
  virtual bool RunScript() = 0;
};

// GetInterfaceRevision, GetDescription, GetParameters, SetParameter for every
// setting, Open, DeviceTest, GetAdditionalActions, the script, Close. A call
// that fails or answers false is followed by GetLastError, whose reason the
// equipment library shows, and ends the sequence; Close is still called once
// Open succeeded. Answers whether every step succeeded; Applied receives the
// settings as they were set.
bool RunConnectionSequence(ConnectionCalls& Calls, const GivenSettings& Given, std::vector<FormSetting>& Applied);

}  // namespace v8host
