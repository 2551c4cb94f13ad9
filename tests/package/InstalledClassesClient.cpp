// A client of the installed package: creates both classes by ProgID, as a program on a machine
// where the package was installed does, and reads each back late-bound. Prints what it read;
// exits 1 on the first failure.
#include "client/ComApartment.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

namespace {

using Microsoft::WRL::ComPtr;

bool failed(HRESULT result, const char* step) {
    if (FAILED(result)) {
        std::printf("%s failed: 0x%08lX\n", step, static_cast<unsigned long>(result));
        return true;
    }
    return false;
}

ComPtr<IDispatch> create(const wchar_t* progId) {
    CLSID clsid{};
    ComPtr<IDispatch> object;
    if (!failed(CLSIDFromProgID(progId, &clsid), "CLSIDFromProgID")) {
        failed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)),
               "CoCreateInstance");
    }
    return object;
}

// call invokes a member by name: a property get with no argument, or a property put with one.
HRESULT call(IDispatch& object, const wchar_t* name, WORD kind, VARIANT* argument,
             VARIANT* result) {
    DISPID id = 0;
    auto* names = const_cast<LPOLESTR>(name);
    HRESULT status = object.GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(status)) {
        return status;
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{argument, kind == DISPATCH_PROPERTYPUT ? &named : nullptr,
                          argument != nullptr ? 1u : 0u, kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result, nullptr,
                         nullptr);
}

} // namespace

int main() {
    const tobrunel::client::ComApartment apartment;
    if (failed(apartment.result(), "CoInitializeEx")) {
        return 1;
    }
    const ComPtr<IDispatch> services = create(L"Velcastra.clsServices");
    VARIANT count;
    VariantInit(&count);
    if (!services || failed(call(*services.Get(), L"Count", DISPATCH_PROPERTYGET, nullptr, &count),
                            "clsServices.Count")) {
        return 1;
    }
    std::printf("Velcastra.clsServices: Count = %ld\n", static_cast<long>(V_I4(&count)));

    const ComPtr<IDispatch> service = create(L"Velcastra.clsService");
    VARIANT name;
    VariantInit(&name);
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocString(L"Spooler");
    VARIANT display;
    VariantInit(&display);
    const bool read =
        service &&
        !failed(call(*service.Get(), L"Name", DISPATCH_PROPERTYPUT, &name, nullptr),
                "clsService.Name") &&
        !failed(call(*service.Get(), L"DisplayName", DISPATCH_PROPERTYGET, nullptr, &display),
                "clsService.DisplayName");
    VariantClear(&name);
    if (!read || V_VT(&display) != VT_BSTR || SysStringLen(V_BSTR(&display)) == 0) {
        std::printf("Velcastra.clsService: no display name for Spooler\n");
        VariantClear(&display);
        return 1;
    }
    std::printf("Velcastra.clsService: Spooler is \"%ls\"\n", V_BSTR(&display));
    VariantClear(&display);
    return V_VT(&count) == VT_I4 && V_I4(&count) > 0 ? 0 : 1;
}
