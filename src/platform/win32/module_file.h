// Inside the Windows platform layer: the file a module was loaded from.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace bw::platform {

// The file `module` was loaded from (null: the process's executable), asked
// for first in a buffer of `firstBufferUnits` UTF-16 units.
PathLookup ModuleFilePath(HMODULE module, DWORD firstBufferUnits) noexcept;

}  // namespace bw::platform
