// One COM object per model object while a client holds it: the object registers itself in the
// model's automationPeer slot, so handing out the same model object again hands out the same
// COM object (a script's Item(1) Is Item(1)).
#pragma once

#include "model/AutomationPeer.h"
#include "server/Platform.h"

#include <memory>
#include <type_traits>

namespace tobrunel::server {

// Peer is the link of a COM class to its model class, written once: the object registers itself
// in its model's automationPeer slot when made and leaves the slot when it goes.
template <typename Model> class Peer : public AutomationPeer {
public:
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

protected:
    explicit Peer(std::shared_ptr<Model> model) : model_(std::move(model)) {
        model_->automationPeer = this;
    }
    ~Peer() {
        if (model_->automationPeer == this) {
            model_->automationPeer = nullptr;
        }
    }

    std::shared_ptr<Model> model_;
};

// peerOf returns the COM object of `model`, making one when it has none; no object for a null
// model. Object derives from Peer<Model>, so a set slot always holds an Object.
template <typename Object, typename Model>
ComPtr<typename Object::InterfaceType> peerOf(std::shared_ptr<Model> model) {
    using Interface = typename Object::InterfaceType;
    static_assert(std::is_base_of_v<Peer<Model>, Object>);
    if (!model) {
        return {};
    }
    if (model->automationPeer != nullptr) {
        return ComPtr<Interface>(static_cast<Object*>(model->automationPeer));
    }
    return adopt<Interface>(std::make_unique<Object>(std::move(model)).release());
}

} // namespace tobrunel::server
