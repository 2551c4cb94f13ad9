// The module's one cache of the type library and its interfaces' type information. Objects of
// several apartments ask for it, each on its own thread, so one lock guards the cache;
// oleaut32's type information may be used from any thread.
#include "server/TypeInformation.h"

#include "server/Module.h"

#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace tobrunel::server {

namespace {

struct LoadedInterface {
    GUID iid;
    InterfaceTypeInfo info;
};

struct TypeInformationCache {
    std::mutex lock;
    ComPtr<ITypeLib> library;
    std::vector<LoadedInterface> interfaces;
};

TypeInformationCache cache;

TYPEKIND kindOf(ITypeInfo& info) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info.GetTypeAttr(&attributes))) {
        return TKIND_MAX;
    }
    const TYPEKIND kind = attributes->typekind;
    info.ReleaseTypeAttr(attributes);
    return kind;
}

// vtableViewOf finds the interface behind a dual dispatch description; the implemented
// type at index -1 is that interface.
HRESULT vtableViewOf(ITypeInfo& dispatch, ComPtr<ITypeInfo>& result) {
    HREFTYPE reference = 0;
    HRESULT status = dispatch.GetRefTypeOfImplType(static_cast<UINT>(-1), &reference);
    if (SUCCEEDED(status)) {
        status = dispatch.GetRefTypeInfo(reference, result.ReleaseAndGetAddressOf());
    }
    return status;
}

// loadLibrary reads the module's own TYPELIB resource; the caller holds the lock.
HRESULT loadLibrary() {
    if (cache.library) {
        return S_OK;
    }
    const std::wstring path = modulePath();
    if (path.empty()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, cache.library.ReleaseAndGetAddressOf());
}

HRESULT loadInterface(const GUID& iid, InterfaceTypeInfo& result) {
    HRESULT status = loadLibrary();
    if (FAILED(status)) {
        return status;
    }
    InterfaceTypeInfo loaded;
    status = cache.library->GetTypeInfoOfGuid(iid, loaded.dispatch.ReleaseAndGetAddressOf());
    if (FAILED(status)) {
        return status;
    }
    if (kindOf(*loaded.dispatch.Get()) == TKIND_DISPATCH) {
        status = vtableViewOf(*loaded.dispatch.Get(), loaded.vtable);
        if (FAILED(status)) {
            return status;
        }
    } else {
        loaded.vtable = loaded.dispatch;
    }
    result = std::move(loaded);
    return S_OK;
}

} // namespace

HRESULT interfaceTypeInfo(const GUID& iid, InterfaceTypeInfo& result) noexcept {
    try {
        const std::lock_guard guard(cache.lock);
        for (const auto& loaded : cache.interfaces) {
            if (loaded.iid == iid) {
                result = loaded.info;
                return S_OK;
            }
        }
        InterfaceTypeInfo loaded;
        const HRESULT status = loadInterface(iid, loaded);
        if (FAILED(status)) {
            return status;
        }
        cache.interfaces.push_back({iid, loaded});
        result = std::move(loaded);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::system_error&) {
        return E_UNEXPECTED;
    }
}

void releaseTypeInformation() noexcept {
    const std::lock_guard guard(cache.lock);
    cache.interfaces.clear();
    cache.library.Reset();
}

} // namespace tobrunel::server
