// ComObject: the one IUnknown of every COM object of the server, the class objects and the
// automation objects alike. The object's interfaces are `Interface` and the ones it derives
// from that are named in `Also`; the last reference deletes it.
#pragma once

#include "server/Module.h"
#include "server/Platform.h"

#include <atomic>
#include <memory>

namespace tobrunel::server {

// Counting says whether an object keeps the module loaded while it lives: the automation objects
// do; a class object does not, since only LockServer holds the library on a factory's behalf.
enum class Counting { KeepsModule, Free };

template <typename Interface, Counting counting, typename... Also>
class ComObject : public Interface {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() {
        if constexpr (counting == Counting::KeepsModule) {
            uncountObjectOrLock();
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid != IID_IUnknown && iid != __uuidof(Interface) && ((iid != __uuidof(Also)) && ...)) {
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) {
            // The last reference owned the object.
            std::unique_ptr<ComObject> owner(this);
        }
        return left;
    }

protected:
    ComObject() noexcept {
        if constexpr (counting == Counting::KeepsModule) {
            countObjectOrLock();
        }
    }

private:
    std::atomic<ULONG> references_{1};
};

} // namespace tobrunel::server
