// activation_context_client MANIFEST dispatch|vtable: lists the services through a Tobrunel.dll
// that was never registered, from an activation context made of its assembly manifest, and
// prints them as examples/list-services.exe does: by ProgID, late-bound through IDispatch or
// through the vtable of the dual interfaces. Exits 3 when HKEY_CLASSES_ROOT holds a trace of a
// registration (the listing would then prove nothing), 1 when a step fails.
#include "server/Interfaces.h"
#include "client/ServiceTable.h"
#include "client/WindowsPath.h"

#include "tests/wine-support/ActivationContext.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tobrunel::server;
using namespace tobrunel::server::testing;

using tobrunel::client::printLine;
using tobrunel::client::printServiceTable;
using tobrunel::client::ServiceNames;
using tobrunel::client::ServiceRow;

struct Listing {
    std::vector<ServiceRow> rows;
    std::wstring computer;
};

struct Failure : std::runtime_error {
    Failure(const std::string& step, HRESULT result)
        : std::runtime_error(step + " failed: " + hex(result)) {}
};

void check(HRESULT result, const std::string& step) {
    if (FAILED(result)) {
        throw Failure(step, result);
    }
}

template <typename Interface> ComPtr<Interface> createServices() {
    CLSID clsid{};
    check(CLSIDFromProgID(L"Velcastra.clsServices", &clsid), "CLSIDFromProgID");
    ComPtr<Interface> services;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(services.ReleaseAndGetAddressOf())),
          "CoCreateInstance");
    return services;
}

// --- late-bound, as a script reads the objects --------------------------------------------------

Variant get(IDispatch& object, const wchar_t* name,
            std::initializer_list<Variant*> arguments = {}) {
    Call call;
    invoke(call, object, dispatchId(object, name), DISPATCH_PROPERTYGET, arguments);
    check(call.status, "Invoke(" + std::string(name, name + wcslen(name)) + ")");
    return call.result;
}

std::wstring textIn(const Variant& value) {
    return value.type() == VT_BSTR ? textOf(V_BSTR(value.get())) : std::wstring();
}

Listing listLateBound() {
    const ComPtr<IDispatch> services = createServices<IDispatch>();
    const ServiceNames names(*services.Get());
    Listing listing;
    const long count = V_I4(get(*services.Get(), L"Count").get());
    for (long position = 1; position <= count; ++position) {
        Variant index = Variant::integer(position);
        const Variant item = get(*services.Get(), L"Item", {&index});
        if (item.type() != VT_DISPATCH || V_DISPATCH(item.get()) == nullptr) {
            continue;
        }
        IDispatch& service = *V_DISPATCH(item.get());
        listing.rows.push_back({textIn(get(service, L"Name")), textIn(get(service, L"DisplayName")),
                                names.state(V_I4(get(service, L"CurrentState").get())),
                                names.startType(V_I4(get(service, L"StartType").get())),
                                textIn(get(service, L"BinaryPathName"))});
    }
    listing.computer = textIn(get(*services.Get(), L"ComputerName"));
    return listing;
}

// --- through the vtable --------------------------------------------------------------------------

std::wstring textOf(_clsService& service, HRESULT (STDMETHODCALLTYPE _clsService::*read)(BSTR*)) {
    Bstr value;
    check((service.*read)(value.put()), "a text property");
    return value.get() != nullptr ? std::wstring(value.get()) : std::wstring();
}

long numberOf(_clsService& service, HRESULT (STDMETHODCALLTYPE _clsService::*read)(long*)) {
    long value = 0;
    check((service.*read)(&value), "a number property");
    return value;
}

Listing listThroughVtable() {
    const ComPtr<_clsServices> services = createServices<_clsServices>();
    const ServiceNames names(*services.Get());
    Listing listing;
    long count = 0;
    check(services->get_Count(&count), "Count");
    for (long position = 1; position <= count; ++position) {
        Variant index = Variant::integer(position);
        ComPtr<_clsService> service;
        check(services->get_Item(index.get(), service.ReleaseAndGetAddressOf()), "Item");
        if (!service) {
            continue;
        }
        listing.rows.push_back(
            {textOf(*service.Get(), &_clsService::get_Name),
             textOf(*service.Get(), &_clsService::get_DisplayName),
             names.state(numberOf(*service.Get(), &_clsService::get_CurrentState)),
             names.startType(numberOf(*service.Get(), &_clsService::get_StartType)),
             textOf(*service.Get(), &_clsService::get_BinaryPathName)});
    }
    Bstr computer;
    check(services->get_ComputerName(computer.put()), "ComputerName");
    listing.computer = computer.get() != nullptr ? computer.get() : L"";
    return listing;
}

void printListing(const Listing& listing) {
    printServiceTable(listing.rows);
    printLine(L"");
    printLine(std::to_wstring(listing.rows.size()) + L" services on " + listing.computer + L".");
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view way = argc == 3 ? argv[2] : "";
    if (way != "dispatch" && way != "vtable") {
        std::fputs("usage: activation_context_client MANIFEST dispatch|vtable\n", stderr);
        return 2;
    }
    SetConsoleOutputCP(CP_UTF8);
    const auto traces = registrationTraces();
    for (const auto& trace : traces) {
        std::fprintf(stderr, "activation_context_client: registered: %ls\n", trace.c_str());
    }
    if (!traces.empty()) {
        return 3;
    }
    try {
        const ActivationContext context(windowsPathOf(argv[1]));
        if (!context) {
            throw Failure("CreateActCtxW", HRESULT_FROM_WIN32(GetLastError()));
        }
        const Activation activation(context);
        if (!activation) {
            throw Failure("ActivateActCtx", HRESULT_FROM_WIN32(GetLastError()));
        }
        const ComApartment apartment;
        check(apartment.result(), "CoInitializeEx");
        printListing(way == "dispatch" ? listLateBound() : listThroughVtable());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "activation_context_client: %s\n", error.what());
        return 1;
    }
}
