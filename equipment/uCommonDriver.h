#pragma once
// The methods every connected-equipment driver offers the host: interface
// revision, self-description, last error, connect and disconnect, settings,
// device test, additional actions and localisation; the driver description
// record and the equipment types.
#include <cstdint>
#include <string>
#include <string_view>

#include "dispatch/uCustomDriver.h"
#include "equipment/uEquipmentErrors.h"

enum class TEquipmentType : uint8_t {
  etScanner = 0,
  etMCR = 1,
  etFR = 2,
  etReceiptPrinter = 3,
  etLabelPrinter = 4,
  etCustomerDisplay = 5,
  etDataCollectionTerminal = 6,
  etAcquiringTerminal = 7,
  etScale = 8,
  etPrintingScale = 9,
  etRFIDReader = 10,
  etECR = 11,
  etVideocamera = 12,
  etElectronicLock = 13,
  etUnknown = 14,
};

// The host's type name; raises "Enum value unacceptable" out of range.
std::u16string EquipmentTypeToStr(TEquipmentType Type);

struct TDriverInfo {
  std::u16string Name;
  std::u16string Description;
  TEquipmentType EquipmentType = TEquipmentType::etUnknown;
  bool IntegrationComponent = false;
  bool MainDriverInstalled = false;
  std::u16string DriverVersion;
  std::u16string IntegrationComponentVersion;
  std::u16string DownloadURL;
  // Kept for the record's shape only: the description document reports the
  // live log switch and asks the log writer for the folder.
  bool LogIsEnabled = false;
  std::u16string LogPath;

  // Leaves the texts that registration and the version set alone.
  void Clear();
};

// The one description shared by every component object of the process.
TDriverInfo& DriverInfo();

class TCommonDriver : public TCustomDriver {
public:
  // A class-level operation that a derived driver class may replace with its
  // own static UpdateDriverInfo.
  using TUpdateDriverInfo = void (*)(TDriverInfo& ADriverInfo);

  TCommonDriver() : TCommonDriver(&TCommonDriver::UpdateDriverInfo) {}
  // Runs this class's Close; a derived driver releases its own resources in
  // its own destructor, where its Close is still reachable.
  ~TCommonDriver() override;

  static const TExportTable& Exports();
  const TExportTable& ObjectExports() const override { return Exports(); }

  static void UpdateDriverInfo(TDriverInfo& ADriverInfo);

  // Registers the driver class and fills the process-wide description with the
  // texts and with what the class's UpdateDriverInfo adds.
  template <class TClass>
  static void RegisterDriver(std::u16string_view AExtension, std::u16string_view AName,
                             std::u16string_view ADescription) {
    TCustomDriver::RegisterDriver<TClass>(AExtension);
    CompleteRegistration(AExtension, AName, ADescription, &TClass::UpdateDriverInfo);
  }

  bool Enabled() const noexcept { return FEnabled; }

  virtual int32_t GetRevision();
  virtual void Open();
  virtual void Close();
  virtual void DoDeviceTest(std::u16string& Description, std::u16string& DemoMode);
  virtual std::u16string BuildParametersXml();
  virtual std::u16string BuildDescriptionXml();
  virtual std::u16string BuildActionsXml();
  virtual void RunAdditionalAction(std::u16string_view Name);
  virtual std::u16string BuildLocalizationPattern();
  virtual void ApplyLocalization(std::u16string_view LanguageCode, std::u16string_view Pattern);

  // Host methods.
  virtual bool GetInterfaceRevision(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetDescription(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetLastError(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool Open(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool Close(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetParameters(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool SetParameter(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool DeviceTest(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetAdditionalActions(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool DoAdditionalAction(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetLocalizationPattern(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool SetLocalization(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);

  // The log switch.
  bool GetLogEnabled() const;
  void SetLogEnabled(bool Value);

  // Additional actions.
  void ViewLog();
  void ShowHelp();

protected:
  // Derived classes with their own UpdateDriverInfo hand it in, so that every
  // new object refreshes the description as its most derived class would.
  explicit TCommonDriver(TUpdateDriverInfo UpdateInfo);

private:
  static void CompleteRegistration(std::u16string_view AExtension, std::u16string_view AName,
                                   std::u16string_view ADescription, TUpdateDriverInfo UpdateInfo);

  bool FEnabled = false;
};
