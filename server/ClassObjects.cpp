// Class factories for the creatable classes; the objects they make belong to the caller's
// apartment and work over the platform that makeServicePlatform gives.
#include "server/ClassObjects.h"

#include "library/Description.h"
#include "server/AutomationClasses.h"
#include "server/ComObject.h"
#include "server/ErrorReporting.h"
#include "server/Module.h"
#include "server/ServicePlatform.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>

namespace tobrunel::server {

namespace {

// Creatable is a class that clients may create, with the function that makes its objects over
// this computer's service control manager.
struct Creatable {
    const ClassRecord& record;
    ComPtr<IDispatch> (*create)(std::shared_ptr<scm::ServiceManager> platform);
};

const Creatable creatable[] = {
    {clsServicesClass, &ServicesObject::create},
    {clsServiceClass, &ServiceObject::create},
};

// A factory is not counted as a live object: only LockServer keeps the library loaded on its
// behalf, as COM's rules for class objects say.
class ClassFactory final : public ComObject<IClassFactory, Counting::Free> {
public:
    explicit ClassFactory(const Creatable& made) : made_(made) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        try {
            return made_.create(makeServicePlatform())->QueryInterface(iid, object);
        } catch (...) {
            return failureFromCurrentException(made_.record);
        }
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        if (lock) {
            countObjectOrLock();
        } else {
            uncountObjectOrLock();
        }
        return S_OK;
    }

private:
    const Creatable& made_;
};

} // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** factory) noexcept {
    if (factory == nullptr) {
        return E_POINTER;
    }
    *factory = nullptr;
    const auto made =
        std::find_if(std::begin(creatable), std::end(creatable), [&](const auto& entry) {
            return entry.record.clsid == clsid && entry.record.instancing == Instancing::MultiUse;
        });
    if (made == std::end(creatable)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    try {
        const auto object = adopt<IClassFactory>(std::make_unique<ClassFactory>(*made).release());
        return object->QueryInterface(iid, factory);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT canUnloadNow() noexcept {
    return liveObjectsAndLocks() == 0 ? S_OK : S_FALSE;
}

} // namespace tobrunel::server
