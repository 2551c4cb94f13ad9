// Win32ServiceManager: each call is its advapi32 or kernel32 namesake, followed at once by a read
// of the platform's last error.
#include "scm/Win32ServiceManager.h"

#include "base/AutomationError.h"

#include <windows.h>

#include <climits>
#include <cstddef>
#include <cstring>

namespace tobrunel::scm {

// The model reads these records out of buffers the platform filled, so each portable record must
// be the platform's own, byte for byte, in this build's pointer width: the same size, and each
// field where the platform's stands.
#define SAME_FIELD(Seam, Platform, field) offsetof(Seam, field) == offsetof(Platform, field)
#define SAME_STATUS(field) SAME_FIELD(ServiceStatus, SERVICE_STATUS, field)
#define SAME_CONFIG(field) SAME_FIELD(ServiceConfig, QUERY_SERVICE_CONFIGA, field)
static_assert(sizeof(ServiceStatus) == sizeof(SERVICE_STATUS) && SAME_STATUS(dwServiceType) &&
              SAME_STATUS(dwCurrentState) && SAME_STATUS(dwControlsAccepted) &&
              SAME_STATUS(dwWin32ExitCode) && SAME_STATUS(dwServiceSpecificExitCode) &&
              SAME_STATUS(dwCheckPoint) && SAME_STATUS(dwWaitHint));
static_assert(sizeof(ServiceConfig) == sizeof(QUERY_SERVICE_CONFIGA) &&
              SAME_CONFIG(dwServiceType) && SAME_CONFIG(dwStartType) &&
              SAME_CONFIG(dwErrorControl) && SAME_CONFIG(lpBinaryPathName) &&
              SAME_CONFIG(lpLoadOrderGroup) && SAME_CONFIG(dwTagId) &&
              SAME_CONFIG(lpDependencies) && SAME_CONFIG(lpServiceStartName) &&
              SAME_CONFIG(lpDisplayName));
static_assert(sizeof(EnumServiceStatus) == sizeof(ENUM_SERVICE_STATUSA) &&
              SAME_FIELD(EnumServiceStatus, ENUM_SERVICE_STATUSA, lpServiceName) &&
              SAME_FIELD(EnumServiceStatus, ENUM_SERVICE_STATUSA, lpDisplayName) &&
              offsetof(EnumServiceStatus, serviceStatus) ==
                  offsetof(ENUM_SERVICE_STATUSA, ServiceStatus));
#undef SAME_CONFIG
#undef SAME_STATUS
#undef SAME_FIELD

// The sizes the model's buffers were measured in.
static_assert(sizeof(void*) != 4 || sizeof(ServiceConfig) == 36);
static_assert(sizeof(void*) != 4 || sizeof(EnumServiceStatus) == 36);

static_assert(sizeof(wchar_t) == sizeof(char16_t), "automation text is UTF-16 on Windows");

// The numbers the seam names are the platform's own.
static_assert(access::ScManagerConnect == SC_MANAGER_CONNECT &&
              access::ScManagerEnumerateService == SC_MANAGER_ENUMERATE_SERVICE &&
              access::ScManagerQueryLockStatus == SC_MANAGER_QUERY_LOCK_STATUS &&
              access::ScManagerModifyBootConfig == SC_MANAGER_MODIFY_BOOT_CONFIG &&
              access::ServiceQueryConfig == SERVICE_QUERY_CONFIG &&
              access::ServiceQueryStatus == SERVICE_QUERY_STATUS &&
              access::ServiceStart == SERVICE_START && access::ServiceStop == SERVICE_STOP &&
              access::ServicePauseContinue == SERVICE_PAUSE_CONTINUE && access::Delete == DELETE &&
              access::GenericExecute == GENERIC_EXECUTE && access::GenericRead == GENERIC_READ);
static_assert(serviceType::KernelDriver == SERVICE_KERNEL_DRIVER &&
              serviceType::FileSystemDriver == SERVICE_FILE_SYSTEM_DRIVER &&
              serviceType::RecognizerDriver == SERVICE_RECOGNIZER_DRIVER &&
              serviceType::Win32OwnProcess == SERVICE_WIN32_OWN_PROCESS &&
              serviceType::Win32ShareProcess == SERVICE_WIN32_SHARE_PROCESS &&
              serviceType::InteractiveProcess == SERVICE_INTERACTIVE_PROCESS &&
              serviceType::Driver == SERVICE_DRIVER && serviceType::Win32 == SERVICE_WIN32);
static_assert(serviceState::Stopped == SERVICE_STOPPED &&
              serviceState::StartPending == SERVICE_START_PENDING &&
              serviceState::StopPending == SERVICE_STOP_PENDING &&
              serviceState::Running == SERVICE_RUNNING &&
              serviceState::ContinuePending == SERVICE_CONTINUE_PENDING &&
              serviceState::PausePending == SERVICE_PAUSE_PENDING &&
              serviceState::Paused == SERVICE_PAUSED);
static_assert(controlsAccepted::AcceptStop == SERVICE_ACCEPT_STOP &&
              controlsAccepted::AcceptPauseContinue == SERVICE_ACCEPT_PAUSE_CONTINUE &&
              controlsAccepted::AcceptShutdown == SERVICE_ACCEPT_SHUTDOWN);
static_assert(startType::BootStart == SERVICE_BOOT_START &&
              startType::SystemStart == SERVICE_SYSTEM_START &&
              startType::AutoStart == SERVICE_AUTO_START &&
              startType::DemandStart == SERVICE_DEMAND_START &&
              startType::Disabled == SERVICE_DISABLED);
static_assert(errorControl::IgnoreError == SERVICE_ERROR_IGNORE &&
              errorControl::NormalError == SERVICE_ERROR_NORMAL &&
              errorControl::SevereError == SERVICE_ERROR_SEVERE &&
              errorControl::CriticalError == SERVICE_ERROR_CRITICAL);
static_assert(enumState::Active == SERVICE_ACTIVE && enumState::Inactive == SERVICE_INACTIVE &&
              enumState::All == SERVICE_STATE_ALL);
static_assert(control::Stop == SERVICE_CONTROL_STOP && control::Pause == SERVICE_CONTROL_PAUSE &&
              control::Continue == SERVICE_CONTROL_CONTINUE &&
              control::ParamChange == SERVICE_CONTROL_PARAMCHANGE);
static_assert(error::AccessDenied == ERROR_ACCESS_DENIED &&
              error::InvalidHandle == ERROR_INVALID_HANDLE &&
              error::InvalidParameter == ERROR_INVALID_PARAMETER &&
              error::BufferOverflow == ERROR_BUFFER_OVERFLOW &&
              error::InsufficientBuffer == ERROR_INSUFFICIENT_BUFFER &&
              error::InvalidName == ERROR_INVALID_NAME && error::MoreData == ERROR_MORE_DATA &&
              error::DependentServicesRunning == ERROR_DEPENDENT_SERVICES_RUNNING &&
              error::InvalidServiceControl == ERROR_INVALID_SERVICE_CONTROL &&
              error::ServiceRequestTimeout == ERROR_SERVICE_REQUEST_TIMEOUT &&
              error::ServiceAlreadyRunning == ERROR_SERVICE_ALREADY_RUNNING &&
              error::ServiceDisabled == ERROR_SERVICE_DISABLED &&
              error::ServiceDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST &&
              error::ServiceCannotAcceptControl == ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
              error::ServiceNotActive == ERROR_SERVICE_NOT_ACTIVE &&
              error::ServiceMarkedForDelete == ERROR_SERVICE_MARKED_FOR_DELETE &&
              error::InvalidComputerName == ERROR_INVALID_COMPUTERNAME &&
              error::RpcServerUnavailable == RPC_S_SERVER_UNAVAILABLE);

namespace {

SC_HANDLE toScHandle(RawHandle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}
RawHandle toRawHandle(SC_HANDLE handle) {
    return reinterpret_cast<RawHandle>(handle);
}

// InOutArgument carries one in/out argument from the seam's type to the platform's and back.
// The two have the same bytes (checked above) but are distinct types (DWORD is unsigned long,
// not std::uint32_t), so the value is copied rather than its pointer cast. A null pointer stays
// null, so the platform sees exactly what the caller passed.
template <typename Seam, typename Platform> class InOutArgument {
    static_assert(sizeof(Seam) == sizeof(Platform));

public:
    explicit InOutArgument(Seam* seam) : seam_(seam) {
        if (seam_ != nullptr) {
            std::memcpy(&value_, seam_, sizeof value_);
        }
    }
    Platform* get() noexcept { return seam_ != nullptr ? &value_ : nullptr; }
    void writeBack() const noexcept {
        if (seam_ != nullptr) {
            std::memcpy(seam_, &value_, sizeof value_);
        }
    }

private:
    Seam* seam_;
    Platform value_{};
};

using DwordArgument = InOutArgument<std::uint32_t, DWORD>;
using StatusArgument = InOutArgument<ServiceStatus, SERVICE_STATUS>;

// The conversion functions count in int; a longer text cannot cross.
int lengthForPlatform(std::size_t length) {
    if (length > static_cast<std::size_t>(INT_MAX)) {
        throw AutomationError(errors::OutOfMemory);
    }
    return static_cast<int>(length);
}

} // namespace

void Win32ServiceManager::keepLastError() {
    lastError_ = ::GetLastError();
}

RawHandle Win32ServiceManager::OpenSCManagerA(const char* machineName, const char* databaseName,
                                              std::uint32_t desiredAccess) {
    const SC_HANDLE manager = ::OpenSCManagerA(machineName, databaseName, desiredAccess);
    keepLastError();
    return toRawHandle(manager);
}

RawHandle Win32ServiceManager::OpenServiceA(RawHandle manager, const char* serviceName,
                                            std::uint32_t desiredAccess) {
    const SC_HANDLE service = ::OpenServiceA(toScHandle(manager), serviceName, desiredAccess);
    keepLastError();
    return toRawHandle(service);
}

int Win32ServiceManager::CloseServiceHandle(RawHandle handle) {
    const BOOL closed = ::CloseServiceHandle(toScHandle(handle));
    keepLastError();
    return closed;
}

int Win32ServiceManager::QueryServiceStatus(RawHandle service, ServiceStatus* status) {
    StatusArgument platformStatus(status);
    const BOOL queried = ::QueryServiceStatus(toScHandle(service), platformStatus.get());
    keepLastError();
    platformStatus.writeBack();
    return queried;
}

int Win32ServiceManager::QueryServiceConfigA(RawHandle service, void* buffer,
                                             std::uint32_t bufferSize, std::uint32_t* bytesNeeded) {
    DwordArgument needed(bytesNeeded);
    const BOOL queried = ::QueryServiceConfigA(
        toScHandle(service), static_cast<QUERY_SERVICE_CONFIGA*>(buffer), bufferSize, needed.get());
    keepLastError();
    needed.writeBack();
    return queried;
}

int Win32ServiceManager::ControlService(RawHandle service, std::uint32_t control,
                                        ServiceStatus* status) {
    StatusArgument platformStatus(status);
    const BOOL sent = ::ControlService(toScHandle(service), control, platformStatus.get());
    keepLastError();
    platformStatus.writeBack();
    return sent;
}

int Win32ServiceManager::StartServiceA(RawHandle service, std::uint32_t argumentCount,
                                       const char** arguments) {
    const BOOL started = ::StartServiceA(toScHandle(service), argumentCount, arguments);
    keepLastError();
    return started;
}

int Win32ServiceManager::DeleteService(RawHandle service) {
    const BOOL deleted = ::DeleteService(toScHandle(service));
    keepLastError();
    return deleted;
}

int Win32ServiceManager::EnumServicesStatusA(RawHandle manager, std::uint32_t serviceType,
                                             std::uint32_t serviceState, void* buffer,
                                             std::uint32_t bufferSize, std::uint32_t* bytesNeeded,
                                             std::uint32_t* servicesReturned,
                                             std::uint32_t* resumeHandle) {
    DwordArgument needed(bytesNeeded);
    DwordArgument returned(servicesReturned);
    DwordArgument resume(resumeHandle);
    const BOOL enumerated = ::EnumServicesStatusA(
        toScHandle(manager), serviceType, serviceState, static_cast<ENUM_SERVICE_STATUSA*>(buffer),
        bufferSize, needed.get(), returned.get(), resume.get());
    keepLastError();
    needed.writeBack();
    returned.writeBack();
    resume.writeBack();
    return enumerated;
}

int Win32ServiceManager::GetServiceDisplayNameA(RawHandle manager, const char* serviceName,
                                                char* displayName, std::uint32_t* bufferSize) {
    DwordArgument size(bufferSize);
    const BOOL found =
        ::GetServiceDisplayNameA(toScHandle(manager), serviceName, displayName, size.get());
    keepLastError();
    size.writeBack();
    return found;
}

int Win32ServiceManager::GetServiceKeyNameA(RawHandle manager, const char* displayName,
                                            char* serviceName, std::uint32_t* bufferSize) {
    DwordArgument size(bufferSize);
    const BOOL found =
        ::GetServiceKeyNameA(toScHandle(manager), displayName, serviceName, size.get());
    keepLastError();
    size.writeBack();
    return found;
}

int Win32ServiceManager::GetComputerNameA(char* buffer, std::uint32_t* size) {
    DwordArgument platformSize(size);
    const BOOL read = ::GetComputerNameA(buffer, platformSize.get());
    keepLastError();
    platformSize.writeBack();
    return read;
}

std::string Win32ServiceManager::toAnsi(std::u16string_view text) const {
    if (text.empty()) {
        return {};
    }
    // Explicit lengths, never -1: a text may hold NULs and each one must cross.
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = lengthForPlatform(text.size());
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::u16string Win32ServiceManager::fromAnsi(std::string_view text) const {
    if (text.empty()) {
        return {};
    }
    const int length = lengthForPlatform(text.size());
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(size), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(wide.data()),
                          size);
    return wide;
}

} // namespace tobrunel::scm
