// The floor of a collection refresh: the platform calls that a refresh of Win32 services in any
// state makes, in its order and with its arguments and buffer sizes, and no other work at all.
// Written over a Platform type so the bench can run it on advapi32 directly and, to prove the
// order, through a recorder.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tobrunel::bench {

// DirectPlatform is advapi32 itself, with no layer between.
struct DirectPlatform {
    SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access) {
        return ::OpenSCManagerA(machine, database, access);
    }
    SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* name, DWORD access) {
        return ::OpenServiceA(manager, name, access);
    }
    BOOL CloseServiceHandle(SC_HANDLE handle) { return ::CloseServiceHandle(handle); }
    BOOL EnumServicesStatusA(SC_HANDLE manager, DWORD type, DWORD state,
                             ENUM_SERVICE_STATUSA* records, DWORD size, DWORD* needed,
                             DWORD* returned, DWORD* resume) {
        return ::EnumServicesStatusA(manager, type, state, records, size, needed, returned, resume);
    }
    BOOL GetServiceDisplayNameA(SC_HANDLE manager, const char* name, char* displayName,
                                DWORD* size) {
        return ::GetServiceDisplayNameA(manager, name, displayName, size);
    }
    BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
        return ::QueryServiceStatus(service, status);
    }
    BOOL QueryServiceConfigA(SC_HANDLE service, QUERY_SERVICE_CONFIGA* config, DWORD size,
                             DWORD* needed) {
        return ::QueryServiceConfigA(service, config, size, needed);
    }
    DWORD lastError() const { return ::GetLastError(); }
};

// FloorHandle closes one handle through the platform it came from; declared manager first,
// service second, it closes the service first, as the component does.
template <typename Platform> class FloorHandle {
public:
    FloorHandle(Platform& platform, SC_HANDLE handle) : platform_(platform), handle_(handle) {}
    FloorHandle(const FloorHandle&) = delete;
    FloorHandle& operator=(const FloorHandle&) = delete;
    ~FloorHandle() {
        if (handle_ != nullptr) {
            platform_.CloseServiceHandle(handle_);
        }
    }
    SC_HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    Platform& platform_;
    SC_HANDLE handle_;
};

namespace floor {

// The component's buffers: 257 enumeration records a pass, 256 bytes for a display name.
constexpr std::size_t RecordsPerPass = 257;
constexpr DWORD NameBufferSize = 256;

template <typename Platform>
bool readStatus(Platform& platform, const std::string& computer, const char* name) {
    const FloorHandle<Platform> manager(
        platform, platform.OpenSCManagerA(computer.c_str(), nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) {
        return false;
    }
    const FloorHandle<Platform> service(
        platform, platform.OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    return service && platform.QueryServiceStatus(service.get(), &status) != 0;
}

template <typename Platform>
void readConfiguration(Platform& platform, const std::string& computer, const char* name) {
    const FloorHandle<Platform> manager(
        platform, platform.OpenSCManagerA(computer.c_str(), nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return;
    }
    const FloorHandle<Platform> service(
        platform, platform.OpenServiceA(manager.get(), name, SERVICE_QUERY_CONFIG));
    if (!service) {
        return;
    }
    // The size probe: one byte, declared as none.
    std::vector<BYTE> buffer(1);
    DWORD needed = 0;
    if (platform.QueryServiceConfigA(service.get(),
                                     reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()), 0,
                                     &needed) != 0 ||
        platform.lastError() != ERROR_INSUFFICIENT_BUFFER) {
        return;
    }
    buffer.assign(static_cast<std::size_t>(needed) + 1, 0);
    platform.QueryServiceConfigA(
        service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()), needed, &needed);
}

// loadService is what naming a new service object costs: the display-name lookup on a manager
// handle that stays open through the status and configuration reads that follow.
template <typename Platform>
bool loadService(Platform& platform, const std::string& computer, const char* name) {
    const FloorHandle<Platform> lookup(
        platform, platform.OpenSCManagerA(computer.c_str(), nullptr, GENERIC_READ));
    if (!lookup) {
        return false;
    }
    char displayName[NameBufferSize];
    DWORD size = NameBufferSize;
    if (platform.GetServiceDisplayNameA(lookup.get(), name, displayName, &size) == 0) {
        return false;
    }
    if (readStatus(platform, computer, name)) {
        readConfiguration(platform, computer, name);
    }
    return true;
}

} // namespace floor

// refreshFloor enumerates Win32 services in any state on `computer` and loads each one as the
// component does; it gives the number of services it loaded.
template <typename Platform>
std::size_t refreshFloor(Platform& platform, const std::string& computer) {
    const FloorHandle<Platform> manager(
        platform, platform.OpenSCManagerA(computer.c_str(), nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) {
        return 0;
    }
    std::size_t loaded = 0;
    DWORD resume = 0;
    for (;;) {
        std::vector<ENUM_SERVICE_STATUSA> records(floor::RecordsPerPass);
        const auto size = static_cast<DWORD>(records.size() * sizeof records[0]);
        DWORD needed = 0;
        DWORD returned = 0;
        const DWORD resumedFrom = resume;
        if (platform.EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                                         records.data(), size, &needed, &returned, &resume) == 0 &&
            platform.lastError() != ERROR_MORE_DATA) {
            return loaded;
        }
        const auto count = std::min<std::size_t>(returned, records.size());
        for (std::size_t i = 0; i < count; ++i) {
            if (records[i].lpServiceName != nullptr &&
                floor::loadService(platform, computer, records[i].lpServiceName)) {
                ++loaded;
            }
        }
        if (resume == 0 || resume == resumedFrom) {
            return loaded;
        }
    }
}

// localComputerName is the name the component reads once when it is created and passes to
// every open of the manager afterwards.
inline std::string localComputerName() {
    // The component's buffer size, so a long host name comes back as it does there.
    char name[floor::NameBufferSize] = {};
    DWORD size = sizeof name;
    if (::GetComputerNameA(name, &size) == 0) {
        return {};
    }
    return std::string(name, size);
}

} // namespace tobrunel::bench
