// Loading an interface's type information from the module's own TYPELIB resource.
#include "server/TypeInformation.h"

#include "server/Module.h"

#include <new>
#include <string>

namespace tobrunel::server {

namespace {

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
        status = dispatch.GetRefTypeInfo(reference, result.put());
    }
    return status;
}

} // namespace

HRESULT loadInterfaceTypeInfo(const GUID& iid, InterfaceTypeInfo& result) noexcept {
    try {
        const std::wstring path = modulePath();
        if (path.empty()) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        ComPtr<ITypeLib> library;
        HRESULT status = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
        if (FAILED(status)) {
            return status;
        }
        InterfaceTypeInfo loaded;
        status = library->GetTypeInfoOfGuid(iid, loaded.dispatch.put());
        if (FAILED(status)) {
            return status;
        }
        if (kindOf(*loaded.dispatch.get()) == TKIND_DISPATCH) {
            status = vtableViewOf(*loaded.dispatch.get(), loaded.vtable);
            if (FAILED(status)) {
                return status;
            }
        } else {
            loaded.vtable = loaded.dispatch;
        }
        result = std::move(loaded);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace tobrunel::server
