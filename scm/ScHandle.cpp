// Opening the manager, and a service on it.
#include "scm/ScHandle.h"

#include <string>

namespace tobrunel::scm {

ScHandle openManager(ServiceManager& platform, std::u16string_view computerName,
                     std::uint32_t desiredAccess) {
    const auto machine = platform.toAnsi(computerName);
    return ScHandle(platform, platform.OpenSCManagerA(machine.c_str(), nullptr, desiredAccess));
}

OpenedService openService(ServiceManager& platform, std::u16string_view computerName,
                          std::u16string_view serviceName, std::uint32_t managerAccess,
                          std::uint32_t serviceAccess) {
    OpenedService opened{openManager(platform, computerName, managerAccess), {}};
    if (opened.manager) {
        const auto name = platform.toAnsi(serviceName);
        opened.service = ScHandle(
            platform, platform.OpenServiceA(opened.manager.get(), name.c_str(), serviceAccess));
    }
    return opened;
}

} // namespace tobrunel::scm
