// What one property get (clsService.CurrentState, a number) and one property let
// (clsService.ComputerName, a text) cost from C++, three ways; neither touches a service: through
// the vtable, through a plain ITypeInfo::Invoke on the interface's own type information (the floor
// of any late-bound call), and through the component's IDispatch::Invoke with the argument as a
// script passes a variable; and the name lookup (GetIDsOfNames) that a script makes before a call.
// Prints key=value figures, microseconds a call, medians.
//
//   bench_latebound CALLS RUNS
#include "bench/windows/BenchSupport.h"
#include "server/Interfaces.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace tobrunel;
using namespace tobrunel::bench;
using server::ComPtr;

namespace {

constexpr DISPID CurrentStateId = 0x68030002;
constexpr DISPID ComputerNameId = 0x68030009;

// vtableTypeInfo gives the interface view of the object's dual interface, the one through which
// ITypeInfo::Invoke reaches the vtable.
ComPtr<ITypeInfo> vtableTypeInfo(IDispatch& object) {
    ComPtr<ITypeInfo> dispatch;
    if (FAILED(object.GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatch.ReleaseAndGetAddressOf()))) {
        return {};
    }
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> vtable;
    if (FAILED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) ||
        FAILED(dispatch->GetRefTypeInfo(reference, vtable.ReleaseAndGetAddressOf()))) {
        return dispatch;
    }
    return vtable;
}

// Invocation holds what one late-bound call hands over, so the loop only calls.
struct Invocation {
    VARIANTARG argument{};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};

    static Invocation get() { return {}; }
    // put passes `value` the way the caller's variable arrives: `type` is VT_BYREF|VT_BSTR for
    // the floor, VT_BYREF|VT_VARIANT for what a script sends.
    static Invocation put(VARIANT& value, VARTYPE type) {
        Invocation call;
        V_VT(&call.argument) = type;
        if (type == (VT_BYREF | VT_BSTR)) {
            V_BSTRREF(&call.argument) = &V_BSTR(&value);
        } else {
            V_VARIANTREF(&call.argument) = &value;
        }
        return call;
    }
    DISPPARAMS* bind(bool isPut) {
        parameters = isPut ? DISPPARAMS{&argument, &named, 1, 1} : DISPPARAMS{};
        return &parameters;
    }
};

// microsecondsPerCall is the median over `runs` of one loop of `calls` calls; not a number when
// the call fails, since a refused call would time only the refusal.
double microsecondsPerCall(int calls, int runs, const std::function<HRESULT()>& call) {
    std::vector<double> samples;
    if (const HRESULT status = call(); FAILED(status)) {
        std::fprintf(stderr, "a timed call fails with 0x%08lX\n",
                     static_cast<unsigned long>(status));
        return std::numeric_limits<double>::quiet_NaN();
    }
    for (int run = 0; run < runs; ++run) {
        samples.push_back(secondsOf([&] {
            for (int i = 0; i < calls; ++i) {
                call();
            }
        }));
    }
    return median(samples) * 1e6 / calls;
}

// microsecondsPerLookup times GetIDsOfNames of one member name.
double microsecondsPerLookup(int calls, int runs, IDispatch& object, std::wstring name) {
    return microsecondsPerCall(calls, runs, [&] {
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        return object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    });
}

// createDispatch creates a registered class for late binding only, as a script does.
ComPtr<IDispatch> createDispatch(const wchar_t* progId) {
    ComPtr<IDispatch> object;
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                         reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
    }
    return object;
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (calls <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_latebound CALLS RUNS\n");
        return 2;
    }
    const ComApartment apartment;
    const auto service = createByProgId<server::_clsService>(L"Velcastra.clsService");
    if (!service) {
        std::fprintf(stderr, "cannot create Velcastra.clsService: is Tobrunel.dll registered?\n");
        return 1;
    }
    const auto typeInfo = vtableTypeInfo(*service.Get());
    if (!typeInfo) {
        std::fprintf(stderr, "the object gives no type information\n");
        return 1;
    }

    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(L"bench");
    BSTR text = V_BSTR(&value);

    const auto vtableGet = [&] {
        long state = -1;
        return service->get_CurrentState(&state);
    };
    const auto vtablePut = [&] { return service->put_ComputerName(&text); };

    auto floorGet = Invocation::get();
    auto floorPut = Invocation::put(value, VT_BYREF | VT_BSTR);
    const auto typeInfoCall = [&](Invocation& call, WORD flags) {
        VARIANT result;
        VariantInit(&result);
        const bool isGet = flags == DISPATCH_PROPERTYGET;
        const HRESULT status =
            typeInfo->Invoke(service.Get(), isGet ? CurrentStateId : ComputerNameId, flags,
                             call.bind(!isGet), isGet ? &result : nullptr, nullptr, nullptr);
        VariantClear(&result);
        return status;
    };

    auto scriptGet = Invocation::get();
    auto scriptPut = Invocation::put(value, VT_BYREF | VT_VARIANT);
    const auto dispatchCall = [&](Invocation& call, WORD flags) {
        VARIANT result;
        VariantInit(&result);
        UINT argumentError = 0;
        const bool isGet = flags == DISPATCH_PROPERTYGET;
        const HRESULT status = service->Invoke(isGet ? CurrentStateId : ComputerNameId, IID_NULL,
                                               LOCALE_USER_DEFAULT, flags, call.bind(!isGet),
                                               isGet ? &result : nullptr, nullptr, &argumentError);
        VariantClear(&result);
        return status;
    };

    printFigure("calls", calls);
    printFigure("runs", runs);
    printFigure("vtable.get.us", microsecondsPerCall(calls, runs, vtableGet));
    printFigure("vtable.let.us", microsecondsPerCall(calls, runs, vtablePut));
    printFigure("typeinfo.get.us", microsecondsPerCall(calls, runs, [&] {
                    return typeInfoCall(floorGet, DISPATCH_PROPERTYGET);
                }));
    printFigure("typeinfo.let.us", microsecondsPerCall(calls, runs, [&] {
                    return typeInfoCall(floorPut, DISPATCH_PROPERTYPUT);
                }));
    printFigure("dispatch.get.us", microsecondsPerCall(calls, runs, [&] {
                    return dispatchCall(scriptGet, DISPATCH_PROPERTYGET);
                }));
    printFigure("dispatch.let.us", microsecondsPerCall(calls, runs, [&] {
                    return dispatchCall(scriptPut, DISPATCH_PROPERTYPUT);
                }));
    // A script engine that keeps no dispatch ids asks for the name before every call.
    printFigure("dispatch.names_get.us",
                microsecondsPerLookup(calls, runs, *service.Get(), L"CurrentState"));
    printFigure("dispatch.names_let.us",
                microsecondsPerLookup(calls, runs, *service.Get(), L"ComputerName"));
    if (const auto dictionary = createDispatch(L"Scripting.Dictionary")) {
        printFigure("dictionary.names.us",
                    microsecondsPerLookup(calls, runs, *dictionary.Get(), L"Count"));
    }

    // The value's text must still be the one the lets passed: the calls above only read it.
    BSTR now = nullptr;
    service->get_ComputerName(&now);
    const bool unchanged = now != nullptr && std::wstring(now) == L"bench";
    SysFreeString(now);
    VariantClear(&value);
    if (!unchanged) {
        std::fprintf(stderr, "ComputerName does not read back what the lets stored\n");
        return 1;
    }
    return 0;
}
