#pragma once
// What a v8host run found, and its two renderings: lines for people, JSON for programs.
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/v8host/AddInPackage.h"
#include "tools/v8host/Equipment.h"
#include "tools/v8host/HostComponent.h"

namespace v8host {

struct StepReport {
  std::string Command;  // "call", "get", "set"
  std::u16string Name;
  std::vector<HostValue> Args;
  CallOutcome Outcome;
};

struct ClassReport {
  std::u16string Name;
  bool Created = false;
  std::optional<std::u16string> Extension;
  std::vector<MethodInfo> Methods;
  std::vector<PropertyInfo> Properties;
};

struct InfoReport {
  std::u16string ClassNames;
  int32_t AttachType = 0;
  std::vector<ClassReport> Classes;
};

struct MemoryReport {
  std::size_t LeftBlocks = 0;
  std::size_t LeftBytes = 0;
  std::size_t BadFrees = 0;
  bool Clean() const noexcept { return LeftBlocks == 0 && BadFrees == 0; }
};
MemoryReport MemoryReportOf(const HostMemoryManager& Memory);

void PrintStep(std::ostream& Out, const StepReport& Step);
void PrintInfo(std::ostream& Out, const InfoReport& Info);
std::string MemoryLine(const MemoryReport& Memory);

// A package attached as the platform does, and what the equipment library read
// of it (equipment only).
struct PackageReport {
  std::optional<DriverEntry> Driver;
  std::u16string ObjectName;
  bool KnownEquipmentType = false;
  std::u16string AttachedName;
  std::optional<ManifestComponent> Component;
  std::u16string NewObject;
  std::vector<FormSetting> Settings;
};
void PrintPackage(std::ostream& Out, const PackageReport& Package);

// A whole run as one JSON object.
struct RunReport {
  std::u16string Library;
  std::u16string Class;
  std::optional<PackageReport> Package;
  std::optional<InfoReport> Info;
  std::vector<StepReport> Steps;
  std::optional<MemoryReport> Memory;
  std::optional<std::u16string> Error;
  int ExitCode = 0;
};
std::string RunJson(const RunReport& Run);

}  // namespace v8host
