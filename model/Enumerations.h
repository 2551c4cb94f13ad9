// The seven public enumerations as C++ constants.
#pragma once

#include "scm/ServiceManager.h"

#include <cstdint>

namespace tobrunel {

// Five are the platform's numbers under the names clients know them by.
namespace enServiceStatus = scm::serviceState;
namespace enControlsAccepted = scm::controlsAccepted;
namespace enServiceStartType = scm::startType;
namespace enStartErrorSeverity = scm::errorControl;
namespace enServiceType = scm::serviceType;

// The two filters of the collection are the component's own codes, 0 to 2 in this order.
namespace enServiceEnumType {
enum : std::int32_t { Win32Services, KernelAndFileSystemDrivers, BothWin32AndDrivers };
} // namespace enServiceEnumType

namespace enServiceEnumState {
enum : std::int32_t { ActiveServices, InactiveServices, BothActiveAndInactiveServices };
} // namespace enServiceEnumState

// The service-type and service-state masks that the two collection filters translate to; a code
// outside 0 to 2 gives the mask 0, which the platform refuses.
std::uint32_t serviceTypeMask(std::int32_t servicesEnumType);
std::uint32_t serviceStateMask(std::int32_t servicesEnumState);

} // namespace tobrunel
