#pragma once
// Modules by address: the add-in's resources and window classes belong to the
// library that holds this code, never to the host's program.
#include <windows.h>

namespace os {

// The module (library or program) that holds Address; nullptr when none does.
HMODULE ModuleOfAddress(const void* Address) noexcept;

// The module this code was linked into.
HMODULE OwnModule() noexcept;

}  // namespace os
