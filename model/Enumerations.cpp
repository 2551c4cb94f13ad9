// The masks that the collection's filters translate to.
#include "model/Enumerations.h"

namespace tobrunel {

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
