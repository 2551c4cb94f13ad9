// The COM face of clsServices: created by clients as Velcastra.clsServices; it lists the
// services of its computer at once.
#pragma once

#include "model/clsServices.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"
#include "server/ServiceObject.h"

#include <memory>

namespace tobrunel::server {

class ServicesObject final : public AutomationObject<_clsServices, clsServicesClass> {
public:
    // create makes the collection over `platform`; the errors of its first enumeration (error
    // 5 when the platform wrote no computer name) leave as exceptions.
    static ComPtr<IDispatch> create(std::shared_ptr<scm::ServiceManager> platform) {
        auto model = std::make_shared<clsServices>(std::move(platform));
        return adopt<IDispatch>(std::make_unique<ServicesObject>(std::move(model)).release());
    }

    explicit ServicesObject(std::shared_ptr<clsServices> model) : model_(std::move(model)) {}

    TOBRUNEL_AUTOMATION_MEMBERS(clsServices)

private:
    std::shared_ptr<clsServices> model_;
};

} // namespace tobrunel::server
