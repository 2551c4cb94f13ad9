// The masks that the collection's filters translate to.
#include "model/Enumerations.h"

namespace tobrunel {

// Each filter's codes 0 to 2 index its masks.
std::uint32_t serviceTypeMask(std::int32_t servicesEnumType) {
    constexpr std::uint32_t masks[] = {scm::serviceType::Win32, scm::serviceType::Driver,
                                       scm::serviceType::Win32 | scm::serviceType::Driver};
    return servicesEnumType >= 0 && servicesEnumType < 3 ? masks[servicesEnumType] : 0;
}

std::uint32_t serviceStateMask(std::int32_t servicesEnumState) {
    constexpr std::uint32_t masks[] = {scm::enumState::Active, scm::enumState::Inactive,
                                       scm::enumState::All};
    return servicesEnumState >= 0 && servicesEnumState < 3 ? masks[servicesEnumState] : 0;
}

} // namespace tobrunel
