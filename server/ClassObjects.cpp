// Class factories for the creatable classes; the objects they make belong to the caller's
// apartment and work over the platform that makeServicePlatform gives.
#include "server/ClassObjects.h"

#include "server/ComObject.h"
#include "server/ErrorReporting.h"
#include "server/Module.h"
#include "server/ServicePlatform.h"
#include "server/ServiceObject.h"
#include "server/ServicesObject.h"

#include <memory>
#include <new>

namespace tobrunel::server {

namespace {

// Creatable is a class that clients may create, with the function that makes its objects.
struct Creatable {
    const ClassRecord& record;
    ComPtr<IDispatch> (*create)(std::shared_ptr<scm::ServiceManager> platform);
};

const Creatable creatable[] = {
    {clsServicesClass, &ServicesObject::create},
    {clsServiceClass, &ServiceObject::create},
};

const Creatable* creatableOf(const ClassRecord& record) noexcept {
    for (const auto& entry : creatable) {
        if (&entry.record == &record) {
            return &entry;
        }
    }
    return nullptr;
}

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
        return createObject(made_.record, iid, object);
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

HRESULT createObject(const ClassRecord& record, REFIID iid, void** object) noexcept {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    const auto* made = record.instancing == Instancing::MultiUse ? creatableOf(record) : nullptr;
    if (made == nullptr) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    try {
        return made->create(makeServicePlatform())->QueryInterface(iid, object);
    } catch (...) {
        return failureFromCurrentException(record);
    }
}

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** factory) noexcept {
    if (factory == nullptr) {
        return E_POINTER;
    }
    *factory = nullptr;
    const Creatable* made = nullptr;
    for (const auto* record : velcastraLibrary.classes) {
        if (record->clsid == clsid && record->instancing == Instancing::MultiUse) {
            made = creatableOf(*record);
        }
    }
    if (made == nullptr) {
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
