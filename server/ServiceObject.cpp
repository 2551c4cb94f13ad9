// The one COM object of each model service and dependency list, which clients compare with Is.
#include "server/AutomationClasses.h"

namespace tobrunel::server {

ComPtr<IDispatch> ServiceObject::create(std::shared_ptr<scm::ServiceManager> platform) {
    return peerOf<ServiceObject>(std::make_shared<clsService>(std::move(platform)));
}

_clsService* resultOf(std::shared_ptr<clsService> service) {
    return peerOf<ServiceObject>(std::move(service)).Detach();
}

_clsSVCDependencies* resultOf(std::shared_ptr<clsSVCDependencies> list) {
    return peerOf<DependenciesObject>(std::move(list)).Detach();
}

} // namespace tobrunel::server
