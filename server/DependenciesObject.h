// The COM face of clsSVCDependencies: reached only through clsService.Dependencies, never
// created by clients.
#pragma once

#include "model/clsSVCDependencies.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"
#include "server/Peers.h"

#include <memory>

namespace tobrunel::server {

class DependenciesObject final
    : public AutomationObject<_clsSVCDependencies, clsSVCDependenciesClass>,
      public Peer<clsSVCDependencies> {
public:
    // Made through peerOf only, so that a list never has two COM objects.
    explicit DependenciesObject(std::shared_ptr<clsSVCDependencies> model)
        : Peer(std::move(model)) {}

    TOBRUNEL_AUTOMATION_MEMBERS(clsSVCDependencies)
};

} // namespace tobrunel::server
