// Tobrunel.dll's objects work over this computer's real service control manager.
#include "scm/Win32ServiceManager.h"
#include "server/ServicePlatform.h"

namespace tobrunel::server {

std::shared_ptr<scm::ServiceManager> makeServicePlatform() {
    return std::make_shared<scm::Win32ServiceManager>();
}

} // namespace tobrunel::server
