// windowsPathOf: a path of the build machine as Windows programs see it, for the build-time tools
// and the tests that Wine runs with host paths on their command lines or compiled in.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

namespace tobrunel::client {

// Under Wine a host path becomes a drive path; on Windows it is one already.
inline std::wstring windowsPathOf(const std::string& hostPath) {
    using ToDosName = wchar_t*(CDECL*)(const char*);
    const auto toDosName = reinterpret_cast<ToDosName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDosName != nullptr && hostPath.starts_with('/')) {
        if (wchar_t* dosName = toDosName(hostPath.c_str())) {
            std::wstring result(dosName);
            HeapFree(GetProcessHeap(), 0, dosName);
            return result;
        }
    }
    return std::wstring(hostPath.begin(), hostPath.end());
}

} // namespace tobrunel::client
