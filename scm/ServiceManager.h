// The seam over the service control manager: one abstract interface whose functions mirror the
// platform's ANSI entry points one for one, so the model is the same over Win32 and over the
// simulated manager.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tobrunel::scm {

// RawHandle is an opaque manager or service handle of pointer width; 0 means the open failed.
using RawHandle = std::uintptr_t;

// The platform's records, field for field in the platform's order and with its field widths, so
// that each has the platform's own layout in every build (36 bytes for ServiceConfig and
// EnumServiceStatus on 32-bit Windows). The names differ from the platform's own, which
// <windows.h> takes for macros, so these headers and it may come in any order.
struct ServiceStatus {
    std::uint32_t dwServiceType;
    std::uint32_t dwCurrentState;
    std::uint32_t dwControlsAccepted;
    std::uint32_t dwWin32ExitCode;
    std::uint32_t dwServiceSpecificExitCode;
    std::uint32_t dwCheckPoint;
    std::uint32_t dwWaitHint;
};

struct ServiceConfig {
    std::uint32_t dwServiceType;
    std::uint32_t dwStartType;
    std::uint32_t dwErrorControl;
    char* lpBinaryPathName;
    char* lpLoadOrderGroup;
    std::uint32_t dwTagId;
    char* lpDependencies;
    char* lpServiceStartName;
    char* lpDisplayName;
};

struct EnumServiceStatus {
    char* lpServiceName;
    char* lpDisplayName;
    ServiceStatus serviceStatus;
};

// Access rights, codes and service numbers as the platform numbers them.
namespace access {
inline constexpr std::uint32_t ScManagerConnect = 0x1;
inline constexpr std::uint32_t ScManagerEnumerateService = 0x4;
inline constexpr std::uint32_t ScManagerQueryLockStatus = 0x10;
inline constexpr std::uint32_t ScManagerModifyBootConfig = 0x20;
inline constexpr std::uint32_t ServiceQueryConfig = 0x1;
inline constexpr std::uint32_t ServiceQueryStatus = 0x4;
inline constexpr std::uint32_t ServiceStart = 0x10;
inline constexpr std::uint32_t ServiceStop = 0x20;
inline constexpr std::uint32_t ServicePauseContinue = 0x40;
inline constexpr std::uint32_t Delete = 0x10000;
inline constexpr std::uint32_t GenericExecute = 0x20000000;
inline constexpr std::uint32_t GenericRead = 0x80000000;
} // namespace access

namespace control {
inline constexpr std::uint32_t Stop = 1;
inline constexpr std::uint32_t Pause = 2;
inline constexpr std::uint32_t Continue = 3;
inline constexpr std::uint32_t ParamChange = 6;
} // namespace control

// The service numbers that the records carry, signed so that they compare alike with the
// records' fields and the model's, whose enumerations they are. Driver and Win32 are the masks of
// the two families (a recogniser driver counts as a driver).
namespace serviceType {
inline constexpr std::int32_t KernelDriver = 0x1;
inline constexpr std::int32_t FileSystemDriver = 0x2;
inline constexpr std::int32_t RecognizerDriver = 0x8;
inline constexpr std::int32_t Win32OwnProcess = 0x10;
inline constexpr std::int32_t Win32ShareProcess = 0x20;
inline constexpr std::int32_t InteractiveProcess = 0x100;
inline constexpr std::int32_t InteractiveWin32OwnProcess = InteractiveProcess | Win32OwnProcess;
inline constexpr std::int32_t InteractiveWin32ShareProcess = InteractiveProcess | Win32ShareProcess;
inline constexpr std::int32_t Driver = KernelDriver | FileSystemDriver | RecognizerDriver;
inline constexpr std::int32_t Win32 = Win32OwnProcess | Win32ShareProcess;
} // namespace serviceType

namespace serviceState {
inline constexpr std::int32_t Stopped = 1;
inline constexpr std::int32_t StartPending = 2;
inline constexpr std::int32_t StopPending = 3;
inline constexpr std::int32_t Running = 4;
inline constexpr std::int32_t ContinuePending = 5;
inline constexpr std::int32_t PausePending = 6;
inline constexpr std::int32_t Paused = 7;
} // namespace serviceState

namespace controlsAccepted {
inline constexpr std::int32_t AcceptStop = 0x1;
inline constexpr std::int32_t AcceptPauseContinue = 0x2;
inline constexpr std::int32_t AcceptShutdown = 0x4;
} // namespace controlsAccepted

namespace startType {
inline constexpr std::int32_t BootStart = 0;
inline constexpr std::int32_t SystemStart = 1;
inline constexpr std::int32_t AutoStart = 2;
inline constexpr std::int32_t DemandStart = 3;
inline constexpr std::int32_t Disabled = 4;
} // namespace startType

namespace errorControl {
inline constexpr std::int32_t IgnoreError = 0;
inline constexpr std::int32_t NormalError = 1;
inline constexpr std::int32_t SevereError = 2;
inline constexpr std::int32_t CriticalError = 3;
} // namespace errorControl

// The states an enumeration selects by.
namespace enumState {
inline constexpr std::int32_t Active = 1;
inline constexpr std::int32_t Inactive = 2;
inline constexpr std::int32_t All = Active | Inactive;
} // namespace enumState

namespace error {
inline constexpr std::uint32_t AccessDenied = 5;
inline constexpr std::uint32_t InvalidHandle = 6;
inline constexpr std::uint32_t InvalidParameter = 87;
inline constexpr std::uint32_t BufferOverflow = 111;
inline constexpr std::uint32_t InsufficientBuffer = 122;
inline constexpr std::uint32_t InvalidName = 123;
inline constexpr std::uint32_t MoreData = 234;
inline constexpr std::uint32_t DependentServicesRunning = 1051;
inline constexpr std::uint32_t InvalidServiceControl = 1052;
inline constexpr std::uint32_t ServiceRequestTimeout = 1053;
inline constexpr std::uint32_t ServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t ServiceDisabled = 1058;
inline constexpr std::uint32_t ServiceDoesNotExist = 1060;
inline constexpr std::uint32_t ServiceCannotAcceptControl = 1061;
inline constexpr std::uint32_t ServiceNotActive = 1062;
inline constexpr std::uint32_t ServiceMarkedForDelete = 1072;
inline constexpr std::uint32_t InvalidComputerName = 1210;
inline constexpr std::uint32_t RpcServerUnavailable = 1722;
} // namespace error

// ServiceManager: each function takes and returns what its platform namesake does (texts in the
// platform's ANSI code page, NUL-ended; a zero result or handle for failure) and leaves the
// platform's last error for lastError() to read right after the call. The two code-page
// functions convert automation text to and from that ANSI form.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    virtual RawHandle OpenSCManagerA(const char* machineName, const char* databaseName,
                                     std::uint32_t desiredAccess) = 0;
    virtual RawHandle OpenServiceA(RawHandle manager, const char* serviceName,
                                   std::uint32_t desiredAccess) = 0;
    virtual int CloseServiceHandle(RawHandle handle) = 0;
    virtual int QueryServiceStatus(RawHandle service, ServiceStatus* status) = 0;
    virtual int QueryServiceConfigA(RawHandle service, void* buffer, std::uint32_t bufferSize,
                                    std::uint32_t* bytesNeeded) = 0;
    virtual int ControlService(RawHandle service, std::uint32_t control, ServiceStatus* status) = 0;
    virtual int StartServiceA(RawHandle service, std::uint32_t argumentCount,
                              const char** arguments) = 0;
    virtual int DeleteService(RawHandle service) = 0;
    virtual int EnumServicesStatusA(RawHandle manager, std::uint32_t serviceType,
                                    std::uint32_t serviceState, void* buffer,
                                    std::uint32_t bufferSize, std::uint32_t* bytesNeeded,
                                    std::uint32_t* servicesReturned,
                                    std::uint32_t* resumeHandle) = 0;
    virtual int GetServiceDisplayNameA(RawHandle manager, const char* serviceName,
                                       char* displayName, std::uint32_t* bufferSize) = 0;
    virtual int GetServiceKeyNameA(RawHandle manager, const char* displayName, char* serviceName,
                                   std::uint32_t* bufferSize) = 0;
    virtual int GetComputerNameA(char* buffer, std::uint32_t* size) = 0;
    virtual std::uint32_t lastError() const = 0;

    virtual std::string toAnsi(std::u16string_view text) const = 0;
    virtual std::u16string fromAnsi(std::string_view text) const = 0;
};

} // namespace tobrunel::scm
