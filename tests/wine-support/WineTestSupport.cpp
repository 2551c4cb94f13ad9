// The platform's own answers for the real-manager tests, and the recording pass-through manager.
#include "tests/wine-support/WineTestSupport.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <thread>
#include <utility>

namespace tobrunel::wintest {

namespace {

constexpr DWORD Stopped = SERVICE_STOPPED;
constexpr DWORD Running = SERVICE_RUNNING;

// Wine enumerates a fresh prefix in under 2 KiB; this leaves room for hundreds of services.
constexpr std::size_t EnumerationBufferSize = 256 * 1024;

std::string textAt(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

// listAt copies a NUL-separated list through its closing empty name.
std::string listAt(const char* list) {
    if (list == nullptr) {
        return {};
    }
    const char* end = list;
    while (*end != '\0') {
        end += std::strlen(end) + 1;
    }
    return std::string(list, end);
}

std::optional<PlatformConfig> configOf(SC_HANDLE service) {
    QUERY_SERVICE_CONFIGA probe{};
    DWORD needed = 0;
    ::QueryServiceConfigA(service, &probe, 0, &needed);
    // QUERY_SERVICE_CONFIGA holds pointers, so the buffer must be aligned for them.
    std::vector<std::uint64_t> storage(needed / sizeof(std::uint64_t) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(storage.data());
    if (!::QueryServiceConfigA(service, config,
                               static_cast<DWORD>(storage.size() * sizeof storage[0]), &needed)) {
        return std::nullopt;
    }
    return PlatformConfig{config->dwServiceType,
                          config->dwStartType,
                          config->dwErrorControl,
                          config->dwTagId,
                          textAt(config->lpBinaryPathName),
                          textAt(config->lpLoadOrderGroup),
                          listAt(config->lpDependencies),
                          textAt(config->lpServiceStartName),
                          textAt(config->lpDisplayName)};
}

std::optional<std::string> displayNameOf(SC_HANDLE manager, const std::string& name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    if (!::GetServiceDisplayNameA(manager, name.c_str(), buffer, &size)) {
        return std::nullopt;
    }
    return std::string(buffer);
}

} // namespace

ScmHandle openManager(DWORD access) {
    return ScmHandle(::OpenSCManagerA(nullptr, nullptr, access));
}

OpenedService openService(const std::string& name, DWORD access) {
    OpenedService opened{openManager(SC_MANAGER_CONNECT), nullptr};
    if (opened.manager) {
        opened.service.reset(::OpenServiceA(opened.manager.get(), name.c_str(), access));
    }
    return opened;
}

std::optional<SERVICE_STATUS> queryStatus(const std::string& name) {
    const auto opened = openService(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!opened || !::QueryServiceStatus(opened.service.get(), &status)) {
        return std::nullopt;
    }
    return status;
}

std::optional<SERVICE_STATUS_PROCESS> queryStatusProcess(const std::string& name) {
    const auto opened = openService(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!opened ||
        !::QueryServiceStatusEx(opened.service.get(), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
        return std::nullopt;
    }
    return status;
}

std::optional<PlatformConfig> queryConfig(const std::string& name) {
    const auto opened = openService(name, SERVICE_QUERY_CONFIG);
    return opened ? configOf(opened.service.get()) : std::nullopt;
}

std::optional<std::string> displayNameOf(const std::string& name) {
    const ScmHandle manager = openManager(GENERIC_READ);
    return manager ? displayNameOf(manager.get(), name) : std::nullopt;
}

std::optional<PlatformView> viewOf(const std::string& name) {
    const ScmHandle manager = openManager(GENERIC_READ | SC_MANAGER_CONNECT);
    if (!manager) {
        return std::nullopt;
    }
    const ScmHandle service(
        ::OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    SERVICE_STATUS status{};
    if (!service || !::QueryServiceStatus(service.get(), &status)) {
        return std::nullopt;
    }
    auto config = configOf(service.get());
    auto displayName = displayNameOf(manager.get(), name);
    if (!config || !displayName) {
        return std::nullopt;
    }
    return PlatformView{status, std::move(*config), std::move(*displayName)};
}

std::optional<std::vector<EnumeratedService>> enumerateServices(DWORD type, DWORD state) {
    const ScmHandle manager = openManager(SC_MANAGER_ENUMERATE_SERVICE);
    std::vector<std::uint64_t> storage(EnumerationBufferSize / sizeof(std::uint64_t));
    auto* records = reinterpret_cast<ENUM_SERVICE_STATUSA*>(storage.data());
    DWORD needed = 0;
    DWORD returned = 0;
    DWORD resume = 0;
    if (!manager || !::EnumServicesStatusA(manager.get(), type, state, records,
                                           EnumerationBufferSize, &needed, &returned, &resume)) {
        return std::nullopt;
    }
    std::vector<EnumeratedService> services;
    for (DWORD i = 0; i < returned; ++i) {
        services.push_back({textAt(records[i].lpServiceName), textAt(records[i].lpDisplayName),
                            records[i].ServiceStatus});
    }
    return services;
}

std::vector<std::string> dependencyNames(const std::string& list) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start < list.size();) {
        const auto end = std::min(list.find('\0', start), list.size());
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::u16string wide(std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int length = static_cast<int>(ansi.size());
    const int size = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::u16string text(static_cast<std::size_t>(size), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(text.data()),
                          size);
    return text;
}

std::u16string computerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    ::GetComputerNameA(name, &size);
    return wide(name);
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

namespace {

bool reaches(const std::string& name, DWORD state) {
    return eventually([&] {
        const auto status = queryStatus(name);
        return status && status->dwCurrentState == state;
    });
}

} // namespace

bool startService(const std::string& name) {
    const auto opened = openService(name, SERVICE_START | SERVICE_QUERY_STATUS);
    if (!opened) {
        return false;
    }
    const auto status = queryStatus(name);
    if (status && status->dwCurrentState == Stopped) {
        ::StartServiceA(opened.service.get(), 0, nullptr);
    }
    return reaches(name, Running);
}

bool stopService(const std::string& name) {
    const auto opened = openService(name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!opened) {
        return false;
    }
    // A service that is still starting or stopping settles first; only then is a stop accepted.
    eventually([&] {
        const auto status = queryStatus(name);
        return status && (status->dwCurrentState == Stopped || status->dwCurrentState == Running ||
                          status->dwCurrentState == SERVICE_PAUSED);
    });
    SERVICE_STATUS ignored{};
    const auto status = queryStatus(name);
    if (status && status->dwCurrentState != Stopped &&
        !::ControlService(opened.service.get(), SERVICE_CONTROL_STOP, &ignored) &&
        ::GetLastError() == ERROR_INVALID_SERVICE_CONTROL) {
        return false; // it accepts no stop, so none will come
    }
    return reaches(name, Stopped);
}

RecordingServiceManager::RecordingServiceManager(std::shared_ptr<scm::ServiceManager> platform)
    : platform_(std::move(platform)) {}

std::size_t RecordingServiceManager::callsTo(std::string_view function) const {
    return static_cast<std::size_t>(std::count_if(
        calls_.begin(), calls_.end(), [&](const Call& call) { return call.function == function; }));
}

std::optional<RecordingServiceManager::Call>
RecordingServiceManager::lastCallTo(std::string_view function) const {
    const auto found = std::find_if(calls_.rbegin(), calls_.rend(),
                                    [&](const Call& call) { return call.function == function; });
    if (found == calls_.rend()) {
        return std::nullopt;
    }
    return *found;
}

scm::RawHandle RecordingServiceManager::OpenSCManagerA(const char* machineName,
                                                       const char* databaseName,
                                                       std::uint32_t desiredAccess) {
    return record("OpenSCManagerA",
                  platform_->OpenSCManagerA(machineName, databaseName, desiredAccess),
                  desiredAccess);
}

scm::RawHandle RecordingServiceManager::OpenServiceA(scm::RawHandle manager,
                                                     const char* serviceName,
                                                     std::uint32_t desiredAccess) {
    return record("OpenServiceA", platform_->OpenServiceA(manager, serviceName, desiredAccess),
                  desiredAccess);
}

int RecordingServiceManager::CloseServiceHandle(scm::RawHandle handle) {
    return record("CloseServiceHandle", platform_->CloseServiceHandle(handle));
}

int RecordingServiceManager::QueryServiceStatus(scm::RawHandle service,
                                                scm::ServiceStatus* status) {
    return record("QueryServiceStatus", platform_->QueryServiceStatus(service, status), 0, status);
}

int RecordingServiceManager::QueryServiceConfigA(scm::RawHandle service, void* buffer,
                                                 std::uint32_t bufferSize,
                                                 std::uint32_t* bytesNeeded) {
    return record("QueryServiceConfigA",
                  platform_->QueryServiceConfigA(service, buffer, bufferSize, bytesNeeded));
}

int RecordingServiceManager::ControlService(scm::RawHandle service, std::uint32_t control,
                                            scm::ServiceStatus* status) {
    return record("ControlService", platform_->ControlService(service, control, status), control,
                  status);
}

int RecordingServiceManager::StartServiceA(scm::RawHandle service, std::uint32_t argumentCount,
                                           const char** arguments) {
    return record("StartServiceA", platform_->StartServiceA(service, argumentCount, arguments));
}

int RecordingServiceManager::DeleteService(scm::RawHandle service) {
    return record("DeleteService", platform_->DeleteService(service));
}

int RecordingServiceManager::EnumServicesStatusA(scm::RawHandle manager, std::uint32_t serviceType,
                                                 std::uint32_t serviceState, void* buffer,
                                                 std::uint32_t bufferSize,
                                                 std::uint32_t* bytesNeeded,
                                                 std::uint32_t* servicesReturned,
                                                 std::uint32_t* resumeHandle) {
    return record("EnumServicesStatusA", platform_->EnumServicesStatusA(
                                             manager, serviceType, serviceState, buffer, bufferSize,
                                             bytesNeeded, servicesReturned, resumeHandle));
}

int RecordingServiceManager::GetServiceDisplayNameA(scm::RawHandle manager, const char* serviceName,
                                                    char* displayName, std::uint32_t* bufferSize) {
    return record("GetServiceDisplayNameA",
                  platform_->GetServiceDisplayNameA(manager, serviceName, displayName, bufferSize));
}

int RecordingServiceManager::GetServiceKeyNameA(scm::RawHandle manager, const char* displayName,
                                                char* serviceName, std::uint32_t* bufferSize) {
    return record("GetServiceKeyNameA",
                  platform_->GetServiceKeyNameA(manager, displayName, serviceName, bufferSize));
}

int RecordingServiceManager::GetComputerNameA(char* buffer, std::uint32_t* size) {
    return record("GetComputerNameA", platform_->GetComputerNameA(buffer, size));
}

std::string RecordingServiceManager::toAnsi(std::u16string_view text) const {
    return platform_->toAnsi(text);
}

std::u16string RecordingServiceManager::fromAnsi(std::string_view text) const {
    return platform_->fromAnsi(text);
}

} // namespace tobrunel::wintest
