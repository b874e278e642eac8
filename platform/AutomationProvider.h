#pragma once
// Where COM has in-process servers, we have provider libraries: a shared
// library that creates automation objects for the ProgIDs registered to it.
// Only used where there is no COM (Linux); on Windows a provider is a real
// in-process COM server instead.
//
// A provider exports, with C linkage:
//   automation::Object* OrvexCreateAutomationObject(const char16_t* ProgId);
// It answers a new object the caller owns (deleted through the virtual
// destructor), or null for a ProgId it does not provide; it may throw an
// Exception for a class it provides but cannot create. ProgId comes spelt as it
// was registered, whatever the case CreateObject was asked with. A provider
// library, once loaded, is never unloaded: exceptions, objects and texts that
// came from it may outlive every object it made. The provider and the caller
// share the C++ runtime, as both are built by this project.
#include <string>
#include <string_view>
#include "platform/Automation.h"

namespace automation {

inline constexpr char kProviderEntryName[] = "OrvexCreateAutomationObject";
using ProviderEntry = Object* (*)(const char16_t* ProgId);

// The class registry: a folder with one entry per ProgID naming the provider
// library's absolute path. An entry is a file named as the ProgID holding the
// path on one line; names compare ignoring the case of ASCII letters, as COM
// compares class names. The folder is ORVEX_AUTOMATION_REGISTRY when that
// variable is set (tests and demos register privately there), else the
// machine-wide /etc/orvex/automation.
std::u16string RegistryFolder();

// The registration step a provider offers, like an in-process server's
// self-registration. Registering again replaces the entry, also one spelt in
// another case; the folder is created when missing. A ProgID that cannot be a
// file name (empty, a leading dot, a slash or a control character) raises
// "Invalid class string", a provider path that is not absolute raises too.
// Unregistering a class that is not registered does nothing; given a provider
// path, only entries naming that provider are removed (one installed by
// another provider stays). The folder is made 0755 and each entry 0644,
// whatever the umask.
//
// Before an entry is trusted, the folder, the entry and the provider library
// must keep the rules of os::TrustedRealPath (platform/posix): owned by root or
// this user and writable by nobody else, all the way up from the root; an
// entry is a regular file of at most 8 KiB. A class that breaks one fails to be
// created with a message naming the path and the rule. A class that passed is
// created again without the full look-up for as long as the same user asks
// and the folder, the entry and the provider are the very files checked,
// unchanged (device, inode, size, times, owner, rights); anything else about
// them, and the look-up and every check run again.
void RegisterClass(std::u16string_view ProgId, std::u16string_view ProviderPath);
void UnregisterClass(std::u16string_view ProgId, std::u16string_view OnlyOfProvider = {});

}  // namespace automation
