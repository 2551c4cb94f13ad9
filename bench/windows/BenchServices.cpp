// Installs and removes the refresh benchmark's extra services with the platform's Unicode calls.
#include "bench/windows/BenchServices.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tobrunel::bench {

namespace {

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const noexcept { ::CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

std::wstring numbered(const wchar_t* stem, int number) {
    wchar_t digits[8];
    std::swprintf(digits, 8, L"%03d", number);
    return stem + std::wstring(digits);
}

// benchServiceNames lists the installed services of the prefix; Wine never splits the list, so
// one call with a generous buffer sees them all.
std::vector<std::wstring> benchServiceNames(SC_HANDLE manager, bool& listed) {
    std::vector<BYTE> buffer(1 << 20);
    DWORD needed = 0;
    DWORD returned = 0;
    DWORD resume = 0;
    listed =
        ::EnumServicesStatusW(manager, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL,
                              reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                              static_cast<DWORD>(buffer.size()), &needed, &returned, &resume) != 0;
    std::vector<std::wstring> names;
    if (!listed) {
        return names;
    }
    const auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
    const std::wstring_view prefix(BenchServicePrefix);
    for (DWORD i = 0; i < returned; ++i) {
        const std::wstring_view name(records[i].lpServiceName);
        if (name.starts_with(prefix)) {
            names.emplace_back(name);
        }
    }
    return names;
}

} // namespace

int installBenchServices(int count, const std::wstring& binaryPath) {
    if (removeBenchServices() < 0) {
        return 0;
    }
    const ServiceHandle manager(
        ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE | SC_MANAGER_CONNECT));
    if (!manager) {
        return 0;
    }
    const std::wstring quotedPath = L"\"" + binaryPath + L"\"";
    int installed = 0;
    for (int i = 1; i <= count; ++i) {
        const auto name = numbered(BenchServicePrefix, i);
        const auto displayName = numbered(L"Tobrunel bench service ", i);
        const ServiceHandle service(
            ::CreateServiceW(manager.get(), name.c_str(), displayName.c_str(), SERVICE_QUERY_STATUS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                             quotedPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (service) {
            ++installed;
        } else {
            std::fprintf(stderr, "CreateServiceW(%ls) failed: %lu\n", name.c_str(),
                         ::GetLastError());
        }
    }
    return installed;
}

int removeBenchServices() {
    const ServiceHandle manager(
        ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT));
    if (!manager) {
        return -1;
    }
    bool listed = false;
    const auto names = benchServiceNames(manager.get(), listed);
    if (!listed) {
        return -1;
    }
    int removed = 0;
    for (const auto& name : names) {
        const ServiceHandle service(::OpenServiceW(manager.get(), name.c_str(), DELETE));
        if (service && ::DeleteService(service.get()) != 0) {
            ++removed;
        }
    }
    return removed;
}

} // namespace tobrunel::bench
