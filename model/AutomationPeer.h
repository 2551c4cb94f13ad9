// AutomationPeer: the base of the one COM object that the server keeps for a model object while
// a client holds it. The model keeps a typed pointer to it and never looks inside.
#pragma once

namespace tobrunel {

class AutomationPeer {
protected:
    AutomationPeer() = default;
    ~AutomationPeer() = default;
};

} // namespace tobrunel
