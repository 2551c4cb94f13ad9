// Class factories for the creatable classes; the objects they make belong to the caller's
// apartment and work over the platform that makeServicePlatform gives.
#include "server/ClassObjects.h"

#include "model/clsService.h"
#include "model/clsServices.h"
#include "server/ErrorReporting.h"
#include "server/Module.h"
#include "server/ServiceObject.h"
#include "server/ServicePlatform.h"
#include "server/ServicesObject.h"
#include "server/TypeInformation.h"

#include <atomic>
#include <memory>
#include <new>

namespace tobrunel::server {

namespace {

ComPtr<IDispatch> newObjectOf(const ClassRecord& record) {
    auto platform = makeServicePlatform();
    if (&record == &clsServicesClass) {
        return ServicesObject::create(std::move(platform));
    }
    if (&record == &clsServiceClass) {
        return ServiceObject::create(std::move(platform));
    }
    return {};
}

// ClassFactory is not counted as a live object: only LockServer keeps the library loaded on a
// factory's behalf, as COM's rules for class objects say.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const ClassRecord& record) : record_(record) {}
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;
    virtual ~ClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) {
            // The last reference owned the factory.
            std::unique_ptr<ClassFactory> owner(this);
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return createObject(record_, iid, object);
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
    const ClassRecord& record_;
    std::atomic<ULONG> references_{1};
};

const ClassRecord* findClass(const LibraryRecord& library, REFCLSID clsid) noexcept {
    for (const auto* record : library.classes) {
        if (record->clsid == clsid) {
            return record;
        }
    }
    return nullptr;
}

} // namespace

HRESULT createObject(const ClassRecord& record, REFIID iid, void** object) noexcept {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (record.instancing != Instancing::MultiUse) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    try {
        const auto made = newObjectOf(record);
        if (!made) {
            return CLASS_E_CLASSNOTAVAILABLE;
        }
        return made->QueryInterface(iid, object);
    } catch (...) {
        return failureFromCurrentException(record);
    }
}

HRESULT getClassObject(const LibraryRecord& library, REFCLSID clsid, REFIID iid,
                       void** factory) noexcept {
    if (factory == nullptr) {
        return E_POINTER;
    }
    *factory = nullptr;
    const auto* record = findClass(library, clsid);
    if (record == nullptr || record->instancing != Instancing::MultiUse) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    try {
        const auto made = adopt<IClassFactory>(std::make_unique<ClassFactory>(*record).release());
        return made->QueryInterface(iid, factory);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT canUnloadNow(const LibraryRecord&) noexcept {
    if (liveObjectsAndLocks() != 0) {
        return S_FALSE;
    }
    // No object is left to use the type information; the module may go.
    releaseTypeInformation();
    return S_OK;
}

} // namespace tobrunel::server
