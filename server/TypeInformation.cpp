// The module's type information: a fixed set of slots, each filled once by whichever thread
// first needs it. A thread that loses the race to fill a slot releases its own copy and takes
// the winner's, so no lock is needed; oleaut32's type information may be used from any thread.
#include "server/TypeInformation.h"

#include "library/Description.h"
#include "server/Module.h"

#include <array>
#include <atomic>
#include <string>

namespace tobrunel::server {

namespace {

constexpr std::size_t interfaceCount = velcastraLibrary.classes.size();

std::array<std::array<std::atomic<ITypeInfo*>, 2>, interfaceCount> interfaces{};

// publish puts `loaded` into an empty slot, or gives it back and returns what another thread put
// there first.
ITypeInfo* publish(std::atomic<ITypeInfo*>& slot, ITypeInfo* loaded) noexcept {
    ITypeInfo* expected = nullptr;
    if (slot.compare_exchange_strong(expected, loaded)) {
        return loaded;
    }
    loaded->Release();
    return expected;
}

// load reads one view of interface `iid` from the module's own TYPELIB resource (the type
// information keeps its library); the vtable view of a dual interface is the implemented type at
// index -1 of its dispatch view.
HRESULT load(const GUID& iid, TypeView view, ITypeInfo*& result) noexcept {
    std::wstring path;
    try {
        path = modulePath();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (path.empty()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    ComPtr<ITypeLib> source;
    HRESULT status = LoadTypeLibEx(path.c_str(), REGKIND_NONE, source.GetAddressOf());
    if (FAILED(status)) {
        return status;
    }
    ComPtr<ITypeInfo> dispatch;
    status = source->GetTypeInfoOfGuid(iid, dispatch.GetAddressOf());
    if (FAILED(status) || view == TypeView::Dispatch) {
        result = dispatch.Detach();
        return status;
    }
    HREFTYPE reference = 0;
    status = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference);
    if (SUCCEEDED(status)) {
        status = dispatch->GetRefTypeInfo(reference, &result);
    }
    return status;
}

} // namespace

HRESULT typeInfoOf(const GUID& iid, TypeView view, ITypeInfo*& result) noexcept {
    result = nullptr;
    for (std::size_t i = 0; i < interfaceCount; ++i) {
        if (velcastraLibrary.classes[i]->defaultInterface->iid != iid) {
            continue;
        }
        auto& slot = interfaces[i][view == TypeView::Dispatch ? 0 : 1];
        result = slot.load();
        if (result != nullptr) {
            return S_OK;
        }
        ITypeInfo* loaded = nullptr;
        const HRESULT status = load(iid, view, loaded);
        if (SUCCEEDED(status)) {
            result = publish(slot, loaded);
        }
        return status;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

void releaseTypeInformation() noexcept {
    for (auto& views : interfaces) {
        for (auto& slot : views) {
            if (ITypeInfo* loaded = slot.exchange(nullptr)) {
                loaded->Release();
            }
        }
    }
}

} // namespace tobrunel::server
