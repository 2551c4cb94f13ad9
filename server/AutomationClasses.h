// The COM faces of the three model classes. Each overrides every member of its interface with
// the call of the model member of the same name on `model_`, written from the interface's member
// list through the member shapes of AutomationObject.
#pragma once

#include "model/clsSVCDependencies.h"
#include "model/clsService.h"
#include "model/clsServices.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"
#include "server/Peers.h"

#include <memory>

namespace tobrunel::server {

#define TOBRUNEL_OVERRIDE_RESULT(cpp, name, kind, id, Result)                                      \
    HRESULT STDMETHODCALLTYPE cpp(type::Result::Cpp* result) noexcept override {                   \
        return returnResult(result, [&] { return model_->name(); });                               \
    }
#define TOBRUNEL_OVERRIDE_VALUE(cpp, name, kind, id, parameter, Type)                              \
    HRESULT STDMETHODCALLTYPE cpp(type::Type::Cpp* parameter) noexcept override {                  \
        return takeValue(parameter, [&](const auto& value) { model_->name(value); });              \
    }
#define TOBRUNEL_OVERRIDE_BOTH(cpp, name, kind, id, parameter, Type, Result)                       \
    HRESULT STDMETHODCALLTYPE cpp(type::Type::Cpp* parameter,                                      \
                                  type::Result::Cpp* result) noexcept override {                   \
        return takeValueReturnResult(parameter, result,                                            \
                                     [&](const auto& value) { return model_->name(value); });      \
    }

// Reached only through clsService.Dependencies, never created by clients.
class DependenciesObject final
    : public AutomationObject<_clsSVCDependencies, clsSVCDependenciesClass>,
      public Peer<clsSVCDependencies> {
public:
    // Made through peerOf only, so that a list never has two COM objects.
    explicit DependenciesObject(std::shared_ptr<clsSVCDependencies> model)
        : Peer(std::move(model)) {}

    TOBRUNEL_MEMBERS_clsSVCDependencies(TOBRUNEL_OVERRIDE)
};

// Created by clients as Velcastra.clsService, and by a collection for each service it lists.
class ServiceObject final : public AutomationObject<_clsService, clsServiceClass>,
                            public Peer<clsService> {
public:
    // create makes the empty service that a client creates, over `platform`.
    static ComPtr<IDispatch> create(std::shared_ptr<scm::ServiceManager> platform);

    // Made through create or peerOf only, so that a service never has two COM objects.
    explicit ServiceObject(std::shared_ptr<clsService> model) : Peer(std::move(model)) {}

    TOBRUNEL_MEMBERS_clsService(TOBRUNEL_OVERRIDE)
};

// Created by clients as Velcastra.clsServices; it lists the services of its computer at once.
class ServicesObject final : public AutomationObject<_clsServices, clsServicesClass> {
public:
    // create makes the collection over `platform`; the errors of its first enumeration (error
    // 5 when the platform wrote no computer name) leave as exceptions.
    static ComPtr<IDispatch> create(std::shared_ptr<scm::ServiceManager> platform) {
        auto model = std::make_shared<clsServices>(std::move(platform));
        return adopt<IDispatch>(std::make_unique<ServicesObject>(std::move(model)).release());
    }

    explicit ServicesObject(std::shared_ptr<clsServices> model) : model_(std::move(model)) {}

    TOBRUNEL_MEMBERS_clsServices(TOBRUNEL_OVERRIDE)

        private : std::shared_ptr<clsServices> model_;
};

#undef TOBRUNEL_OVERRIDE_RESULT
#undef TOBRUNEL_OVERRIDE_VALUE
#undef TOBRUNEL_OVERRIDE_BOTH

} // namespace tobrunel::server
