// What one property get (clsService.CurrentState, a number) and one property let
// (clsService.ComputerName, a text) cost from C++, three ways; neither touches a service: through
// the vtable, through a plain ITypeInfo::Invoke on the interface's own type information (the floor
// of any late-bound call), and through the component's IDispatch::Invoke with the argument as a
// script passes a variable; and the name lookup (GetIDsOfNames) that a script makes before a call.
// Then the same from VBScript, SCRIPT_RUNS runs of scripts/late-bound.vbs through cscript. Prints
// its rows of the bench table: microseconds a call, medians.
//
//   bench_latebound CALLS RUNS [SCRIPT_RUNS]
#include "bench/windows/BenchSupport.h"
#include "server/Interfaces.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <utility>
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

// memberNames lists the names of the interface's own members that the object's type information
// holds; IDispatch's seven, which it holds too, are restricted and no script calls them.
std::vector<std::wstring> memberNames(IDispatch& object) {
    std::vector<std::wstring> names;
    ComPtr<ITypeInfo> info;
    TYPEATTR* attributes = nullptr;
    if (FAILED(object.GetTypeInfo(0, LOCALE_USER_DEFAULT, info.ReleaseAndGetAddressOf())) ||
        FAILED(info->GetTypeAttr(&attributes))) {
        return names;
    }
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) {
            continue;
        }
        BSTR name = nullptr;
        UINT found = 0;
        if ((function->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0 &&
            SUCCEEDED(info->GetNames(function->memid, &name, 1, &found)) && found == 1) {
            names.emplace_back(name);
        }
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return names;
}

// The member whose name took longest to look up, and how many were timed, for its row's note.
std::string slowestName;
std::size_t timedNames = 0;

// slowestLookup times GetIDsOfNames of every member of the objects and keeps the slowest.
std::pair<std::wstring, double> slowestLookup(int calls, int runs,
                                              const std::vector<IDispatch*>& objects) {
    std::pair<std::wstring, double> slowest{L"", 0};
    for (IDispatch* object : objects) {
        for (const auto& name : memberNames(*object)) {
            const double us = microsecondsPerLookup(calls, runs, *object, name);
            ++timedNames;
            if (us > slowest.second) {
                slowest = {name, us};
            }
        }
    }
    return slowest;
}

// createDispatch creates a registered class for late binding only, as a script does.
ComPtr<IDispatch> createDispatch(const wchar_t* progId) {
    ComPtr<IDispatch> object;
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(object.ReleaseAndGetAddressOf()));
    }
    return object;
}

using Figures = std::map<std::string, double>;

// figureOf is one figure, not a number when it was not measured.
double figureOf(const Figures& figures, const std::string& key) {
    const auto found = figures.find(key);
    return found == figures.end() ? std::nan("") : found->second;
}

// scriptFigures runs late-bound.vbs `runs` times and gives the median of each figure it prints
// as key=value lines; a run that lacks its closing "done=1" timed failed calls and is not counted.
Figures scriptFigures(int calls, int runs) {
    std::map<std::string, std::vector<double>> samples;
    int complete = 0;
    for (int run = 0; run < runs; ++run) {
        std::istringstream lines(
            runCscript(L"bench\\windows\\scripts\\late-bound.vbs " + std::to_wstring(calls))
                .output);
        Figures printed;
        for (std::string line; std::getline(lines, line);) {
            if (const auto equals = line.find('='); equals != std::string::npos) {
                printed[line.substr(0, equals)] = std::strtod(line.c_str() + equals + 1, nullptr);
            }
        }
        if (figureOf(printed, "done") != 1) {
            continue;
        }
        ++complete;
        for (const auto& [key, value] : printed) {
            samples[key].push_back(value);
        }
    }
    if (complete != runs) {
        std::fprintf(stderr, "warning: late-bound.vbs finished %d of %d runs\n", complete, runs);
    }
    Figures medians;
    for (const auto& [key, values] : samples) {
        medians[key] = median(values);
    }
    return medians;
}

void printRows(const Figures& cpp, const Figures& vbs) {
    const auto of = [](const Figures& figures, const char* key) { return figureOf(figures, key); };
    print(row("3. property get from VBScript (us)", of(vbs, "dll.get.us"),
              of(vbs, "dictionary.get.us"), "CurrentState | Scripting.Dictionary Count") +
          row("   property let, variable, from VBScript (us)", of(vbs, "dll.let.us"),
              of(vbs, "dictionary.let.us"), "ComputerName (text) | Dictionary CompareMode") +
          row("   VBScript loop overhead, subtracted (us)", figure(of(vbs, "empty_loop.us")), "",
              "", "one empty For iteration") +
          row("   get from C++: DLL's IDispatch | ITypeInfo (us)", of(cpp, "dispatch.get.us"),
              of(cpp, "typeinfo.get.us"), "CurrentState: IDispatch::Invoke | ITypeInfo::Invoke") +
          row("   let from C++: DLL's IDispatch | ITypeInfo (us)", of(cpp, "dispatch.let.us"),
              of(cpp, "typeinfo.let.us"), "ComputerName: by-ref VARIANT, as scripts send | BSTR") +
          row("   GetIDsOfNames from C++ (us)", of(cpp, "dispatch.names_get.us"),
              of(cpp, "dictionary.names.us"),
              "CurrentState | Dictionary Count; ComputerName " +
                  figure(of(cpp, "dispatch.names_let.us")) + " us") +
          row("   GetIDsOfNames, slowest member, from C++ (us)",
              of(cpp, "dispatch.names_slowest.us"), of(cpp, "dictionary.names.us"),
              slowestName + " of the " + std::to_string(timedNames) +
                  " members of the three interfaces | Dictionary Count") +
          row("   get | let through the vtable from C++ (us)", figure(of(cpp, "vtable.get.us")),
              figure(of(cpp, "vtable.let.us")), "", "early bound, for scale"));
}

// cppFigures times the calls from C++; empty when the component cannot be created or the lets
// did not store their text.
Figures cppFigures(int calls, int runs) {
    const ComApartment apartment;
    const auto service = createByProgId<server::_clsService>(L"Velcastra.clsService");
    if (!service) {
        std::fprintf(stderr, "cannot create Velcastra.clsService: is Tobrunel.dll registered?\n");
        return {};
    }
    const auto typeInfo = vtableTypeInfo(*service.Get());
    if (!typeInfo) {
        std::fprintf(stderr, "the object gives no type information\n");
        return {};
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

    Figures figures;
    const auto timed = [&](const auto& call) { return microsecondsPerCall(calls, runs, call); };
    figures["vtable.get.us"] = timed(vtableGet);
    figures["vtable.let.us"] = timed(vtablePut);
    figures["typeinfo.get.us"] =
        timed([&] { return typeInfoCall(floorGet, DISPATCH_PROPERTYGET); });
    figures["typeinfo.let.us"] =
        timed([&] { return typeInfoCall(floorPut, DISPATCH_PROPERTYPUT); });
    figures["dispatch.get.us"] =
        timed([&] { return dispatchCall(scriptGet, DISPATCH_PROPERTYGET); });
    figures["dispatch.let.us"] =
        timed([&] { return dispatchCall(scriptPut, DISPATCH_PROPERTYPUT); });
    // A script engine that keeps no dispatch ids asks for the name before every call.
    figures["dispatch.names_get.us"] =
        microsecondsPerLookup(calls, runs, *service.Get(), L"CurrentState");
    figures["dispatch.names_let.us"] =
        microsecondsPerLookup(calls, runs, *service.Get(), L"ComputerName");
    const auto services = createDispatch(L"Velcastra.clsServices");
    ComPtr<server::_clsSVCDependencies> dependencies;
    service->get_Dependencies(dependencies.ReleaseAndGetAddressOf());
    if (services && dependencies) {
        const auto [name, us] =
            slowestLookup(calls, runs, {services.Get(), service.Get(), dependencies.Get()});
        figures["dispatch.names_slowest.us"] = us;
        slowestName.assign(name.begin(), name.end());
    }
    if (const auto dictionary = createDispatch(L"Scripting.Dictionary")) {
        figures["dictionary.names.us"] =
            microsecondsPerLookup(calls, runs, *dictionary.Get(), L"Count");
    }

    // The value's text must still be the one the lets passed: the calls above only read it.
    BSTR now = nullptr;
    service->get_ComputerName(&now);
    const bool unchanged = now != nullptr && std::wstring(now) == L"bench";
    SysFreeString(now);
    VariantClear(&value);
    if (!unchanged) {
        std::fprintf(stderr, "ComputerName does not read back what the lets stored\n");
        return {};
    }
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const int scriptRuns = argc > 3 ? std::atoi(argv[3]) : 0;
    if (calls <= 0 || runs <= 0 || scriptRuns < 0) {
        std::fprintf(stderr, "usage: bench_latebound CALLS RUNS [SCRIPT_RUNS]\n");
        return 2;
    }
    std::fprintf(stderr, "bench: late-bound calls (%d a loop)\n", calls);
    const auto cpp = cppFigures(calls, runs);
    printRows(cpp, scriptFigures(calls, scriptRuns));
    return cpp.empty() ? 1 : 0;
}
