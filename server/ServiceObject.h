// The COM face of clsService: created by clients as Velcastra.clsService, and by a collection
// for each service it lists.
#pragma once

#include "model/clsService.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"
#include "server/Peers.h"

#include <memory>

namespace tobrunel::server {

class ServiceObject final : public AutomationObject<_clsService, clsServiceClass>,
                            public Peer<clsService> {
public:
    // create makes the empty service that a client creates, over `platform`.
    static ComPtr<IDispatch> create(std::shared_ptr<scm::ServiceManager> platform);

    // Made through create or peerOf only, so that a service never has two COM objects.
    explicit ServiceObject(std::shared_ptr<clsService> model) : Peer(std::move(model)) {}

    TOBRUNEL_AUTOMATION_MEMBERS(clsService)
};

} // namespace tobrunel::server
