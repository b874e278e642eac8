#pragma once
#include <string>

// Gives every local user inheritable full access to a folder the log writer has
// just created. Raises an Exception when the rights cannot be read or merged.
void GrantEveryoneFullAccess(const std::u16string& Folder);
