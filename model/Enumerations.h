// The seven public enumerations: their values as C++ constants, the platform's own numbers where
// the platform has them.
#pragma once

#include "scm/ServiceManager.h"

#include <cstdint>

namespace tobrunel {

namespace enServiceStatus {
inline constexpr std::int32_t Stopped = scm::serviceState::Stopped;
inline constexpr std::int32_t StartPending = scm::serviceState::StartPending;
inline constexpr std::int32_t StopPending = scm::serviceState::StopPending;
inline constexpr std::int32_t Running = scm::serviceState::Running;
inline constexpr std::int32_t ContinuePending = scm::serviceState::ContinuePending;
inline constexpr std::int32_t PausePending = scm::serviceState::PausePending;
inline constexpr std::int32_t Paused = scm::serviceState::Paused;
} // namespace enServiceStatus

namespace enControlsAccepted {
inline constexpr std::int32_t AcceptStop = scm::accept::Stop;
inline constexpr std::int32_t AcceptPauseContinue = scm::accept::PauseContinue;
inline constexpr std::int32_t AcceptShutdown = scm::accept::Shutdown;
} // namespace enControlsAccepted

namespace enServiceStartType {
inline constexpr std::int32_t BootStart = scm::start::Boot;
inline constexpr std::int32_t SystemStart = scm::start::System;
inline constexpr std::int32_t AutoStart = scm::start::Auto;
inline constexpr std::int32_t DemandStart = scm::start::Demand;
inline constexpr std::int32_t Disabled = scm::start::Disabled;
} // namespace enServiceStartType

namespace enStartErrorSeverity {
inline constexpr std::int32_t IgnoreError = scm::startError::Ignore;
inline constexpr std::int32_t NormalError = scm::startError::Normal;
inline constexpr std::int32_t SevereError = scm::startError::Severe;
inline constexpr std::int32_t CriticalError = scm::startError::Critical;
} // namespace enStartErrorSeverity

namespace enServiceType {
inline constexpr std::int32_t Win32OwnProcess = scm::serviceType::Win32OwnProcess;
inline constexpr std::int32_t Win32ShareProcess = scm::serviceType::Win32ShareProcess;
inline constexpr std::int32_t KernelDriver = scm::serviceType::KernelDriver;
inline constexpr std::int32_t FileSystemDriver = scm::serviceType::FileSystemDriver;
inline constexpr std::int32_t InteractiveWin32OwnProcess =
    scm::serviceType::InteractiveProcess | scm::serviceType::Win32OwnProcess;
inline constexpr std::int32_t InteractiveWin32ShareProcess =
    scm::serviceType::InteractiveProcess | scm::serviceType::Win32ShareProcess;
} // namespace enServiceType

namespace enServiceEnumType {
inline constexpr std::int32_t Win32Services = 0;
inline constexpr std::int32_t KernelAndFileSystemDrivers = 1;
inline constexpr std::int32_t BothWin32AndDrivers = 2;
} // namespace enServiceEnumType

namespace enServiceEnumState {
inline constexpr std::int32_t ActiveServices = 0;
inline constexpr std::int32_t InactiveServices = 1;
inline constexpr std::int32_t BothActiveAndInactiveServices = 2;
} // namespace enServiceEnumState

// The service-type and service-state masks that the two collection filters translate to; a code
// outside 0 to 2 gives the mask 0, which the platform refuses.
std::uint32_t serviceTypeMask(std::int32_t servicesEnumType);
std::uint32_t serviceStateMask(std::int32_t servicesEnumState);

} // namespace tobrunel
