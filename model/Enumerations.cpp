// Member tables of the public enumerations, in published order.
#include "model/Enumerations.h"

namespace tobrunel {

namespace {

constexpr EnumerationMember serviceStatusMembers[] = {
    {0, u"Stopped", enServiceStatus::Stopped},
    {1, u"Start Pending", enServiceStatus::StartPending},
    {2, u"Stop Pending", enServiceStatus::StopPending},
    {3, u"Running", enServiceStatus::Running},
    {4, u"Continue Pending", enServiceStatus::ContinuePending},
    {5, u"Pause Pending", enServiceStatus::PausePending},
    {6, u"Paused", enServiceStatus::Paused},
};

constexpr EnumerationMember controlsAcceptedMembers[] = {
    {0, u"Accept Stop", enControlsAccepted::AcceptStop},
    {1, u"Accept Pause & Continue", enControlsAccepted::AcceptPauseContinue},
    {2, u"Accept Shutdown", enControlsAccepted::AcceptShutdown},
};

constexpr EnumerationMember serviceStartTypeMembers[] = {
    {0, u"Boot Start", enServiceStartType::BootStart},
    {1, u"System Start", enServiceStartType::SystemStart},
    {2, u"Auto Start", enServiceStartType::AutoStart},
    {3, u"Demand Start", enServiceStartType::DemandStart},
    {4, u"Disabled", enServiceStartType::Disabled},
};

constexpr EnumerationMember startErrorSeverityMembers[] = {
    {0, u"Ignore Error", enStartErrorSeverity::IgnoreError},
    {1, u"Normal Error", enStartErrorSeverity::NormalError},
    {2, u"Severe Error", enStartErrorSeverity::SevereError},
    {3, u"Critical Error", enStartErrorSeverity::CriticalError},
};

constexpr EnumerationMember serviceTypeMembers[] = {
    {0, u"WIN32 Own Process", enServiceType::Win32OwnProcess},
    {1, u"WIN32 Share Process", enServiceType::Win32ShareProcess},
    {2, u"Kernel Driver", enServiceType::KernelDriver},
    {3, u"File System Driver", enServiceType::FileSystemDriver},
    {4, u"Interactive WIN32 Own Process", enServiceType::InteractiveWin32OwnProcess},
    {5, u"Interactive WIN32 Share Process", enServiceType::InteractiveWin32ShareProcess},
};

constexpr EnumerationMember serviceEnumTypeMembers[] = {
    {0, u"WIN32 Services", enServiceEnumType::Win32Services},
    {1, u"Kernel and File System Drivers", enServiceEnumType::KernelAndFileSystemDrivers},
    {2, u"Both WIN32 and Drivers", enServiceEnumType::BothWin32AndDrivers},
};

constexpr EnumerationMember serviceEnumStateMembers[] = {
    {0, u"Active Services", enServiceEnumState::ActiveServices},
    {1, u"Inactive Services", enServiceEnumState::InactiveServices},
    {2, u"Both Active and Inactive Services", enServiceEnumState::BothActiveAndInactiveServices},
};

constexpr Enumeration enumerations[] = {
    {u"enServiceStatus", serviceStatusMembers},
    {u"enControlsAccepted", controlsAcceptedMembers},
    {u"enServiceStartType", serviceStartTypeMembers},
    {u"enStartErrorSeverity", startErrorSeverityMembers},
    {u"enServiceType", serviceTypeMembers},
    {u"enServiceEnumType", serviceEnumTypeMembers},
    {u"enServiceEnumState", serviceEnumStateMembers},
};

} // namespace

std::span<const Enumeration> publicEnumerations() {
    return enumerations;
}

std::uint32_t serviceTypeMask(std::int32_t servicesEnumType) {
    switch (servicesEnumType) {
    case enServiceEnumType::Win32Services:
        return scm::serviceType::Win32;
    case enServiceEnumType::KernelAndFileSystemDrivers:
        return scm::serviceType::Driver;
    case enServiceEnumType::BothWin32AndDrivers:
        return scm::serviceType::Win32 | scm::serviceType::Driver;
    default:
        return 0;
    }
}

std::uint32_t serviceStateMask(std::int32_t servicesEnumState) {
    switch (servicesEnumState) {
    case enServiceEnumState::ActiveServices:
        return scm::enumState::Active;
    case enServiceEnumState::InactiveServices:
        return scm::enumState::Inactive;
    case enServiceEnumState::BothActiveAndInactiveServices:
        return scm::enumState::All;
    default:
        return 0;
    }
}

} // namespace tobrunel
