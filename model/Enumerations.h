// The seven public enumerations: their values as C++ constants, the platform's own numbers where
// the platform has them.
#pragma once

#include "scm/ServiceManager.h"

#include <cstdint>

namespace tobrunel {

// Each is an unnamed enumeration of 32-bit members, so its values compare with and store into
// the model's std::int32_t fields as they are.
namespace enServiceStatus {
enum : std::int32_t {
    Stopped = scm::serviceState::Stopped,
    StartPending = scm::serviceState::StartPending,
    StopPending = scm::serviceState::StopPending,
    Running = scm::serviceState::Running,
    ContinuePending = scm::serviceState::ContinuePending,
    PausePending = scm::serviceState::PausePending,
    Paused = scm::serviceState::Paused,
};
} // namespace enServiceStatus

namespace enControlsAccepted {
enum : std::int32_t {
    AcceptStop = scm::accept::Stop,
    AcceptPauseContinue = scm::accept::PauseContinue,
    AcceptShutdown = scm::accept::Shutdown,
};
} // namespace enControlsAccepted

namespace enServiceStartType {
enum : std::int32_t {
    BootStart = scm::start::Boot,
    SystemStart = scm::start::System,
    AutoStart = scm::start::Auto,
    DemandStart = scm::start::Demand,
    Disabled = scm::start::Disabled,
};
} // namespace enServiceStartType

namespace enStartErrorSeverity {
enum : std::int32_t {
    IgnoreError = scm::startError::Ignore,
    NormalError = scm::startError::Normal,
    SevereError = scm::startError::Severe,
    CriticalError = scm::startError::Critical,
};
} // namespace enStartErrorSeverity

namespace enServiceType {
enum : std::int32_t {
    Win32OwnProcess = scm::serviceType::Win32OwnProcess,
    Win32ShareProcess = scm::serviceType::Win32ShareProcess,
    KernelDriver = scm::serviceType::KernelDriver,
    FileSystemDriver = scm::serviceType::FileSystemDriver,
    InteractiveWin32OwnProcess =
        scm::serviceType::InteractiveProcess | scm::serviceType::Win32OwnProcess,
    InteractiveWin32ShareProcess =
        scm::serviceType::InteractiveProcess | scm::serviceType::Win32ShareProcess,
};
} // namespace enServiceType

namespace enServiceEnumType {
enum : std::int32_t {
    Win32Services = 0,
    KernelAndFileSystemDrivers = 1,
    BothWin32AndDrivers = 2,
};
} // namespace enServiceEnumType

namespace enServiceEnumState {
enum : std::int32_t {
    ActiveServices = 0,
    InactiveServices = 1,
    BothActiveAndInactiveServices = 2,
};
} // namespace enServiceEnumState

// The service-type and service-state masks that the two collection filters translate to; a code
// outside 0 to 2 gives the mask 0, which the platform refuses.
std::uint32_t serviceTypeMask(std::int32_t servicesEnumType);
std::uint32_t serviceStateMask(std::int32_t servicesEnumState);

} // namespace tobrunel
