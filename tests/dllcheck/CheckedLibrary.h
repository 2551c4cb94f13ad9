// What the library checks know of the DLL under test beyond its path: the platform it was built
// for and the other platform's type library, written from the same tables.
#pragma once

#include "server/Platform.h"
#include "client/WindowsPath.h"

#include <string>

namespace tobrunel::server::testing {

inline constexpr SYSKIND checkedPlatform = TOBRUNEL_DLL_PLATFORM;

constexpr int pointerSizeOf(SYSKIND platform) {
    return platform == SYS_WIN64 ? 8 : 4;
}

inline std::wstring otherTypeLibraryPath() {
    return client::windowsPathOf(TOBRUNEL_OTHER_TYPELIB);
}

} // namespace tobrunel::server::testing
