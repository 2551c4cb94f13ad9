// One COM object per model object while a client holds it: the object registers itself in the
// model's automationPeer slot, so handing out the same model object again hands out the same
// COM object (a script's Item(1) Is Item(1)).
#pragma once

#include "server/ComPtr.h"

#include <memory>

namespace tobrunel::server {

// peerOf returns the COM object of `model`, making one when it has none; no object for a null
// model. Object registers itself in its constructor and leaves the slot in its destructor.
template <typename Object, typename Model>
ComPtr<typename Object::InterfaceType> peerOf(std::shared_ptr<Model> model) {
    using Interface = typename Object::InterfaceType;
    if (!model) {
        return {};
    }
    if (model->automationPeer != nullptr) {
        return ComPtr<Interface>::share(static_cast<Object*>(model->automationPeer));
    }
    auto made = std::make_unique<Object>(std::move(model));
    return ComPtr<Interface>::adopt(made.release());
}

} // namespace tobrunel::server
