// list-services.cpp: the services of a computer as a table, from C++ through the vtables of
// Tobrunel.dll's dual interfaces. Register the DLL first (regsvr32 Tobrunel.dll), then:
//
//   list-services.exe [/active] [/drivers] [computer]
#include "client/Bstr.h"
#include "client/ServiceTable.h"
#include "server/Interfaces.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tobrunel::client::Bstr;
using tobrunel::client::printLine;
using tobrunel::client::printServiceTable;
using tobrunel::client::ServiceNames;
using tobrunel::client::ServiceRow;
using tobrunel::server::_clsService;
using tobrunel::server::_clsServices;
using tobrunel::server::ComPtr;

// ComFailure carries the step that failed and the HRESULT it gave.
class ComFailure : public std::runtime_error {
public:
    ComFailure(const std::string& step, HRESULT result)
        : std::runtime_error(step), result_(result) {}
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

void check(HRESULT result, const char* step) {
    if (FAILED(result)) {
        throw ComFailure(step, result);
    }
}

// Apartment: this thread in a single-threaded apartment, as the component's classes expect,
// for the lifetime of the object. Declared before any interface pointer, it outlives them all.
class Apartment {
public:
    Apartment() { check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx"); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment() { CoUninitialize(); }
};

struct Options {
    bool activeOnly = false;
    bool withDrivers = false;
    bool help = false;
    std::wstring computer;
};

std::wstring widen(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 1)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

Options parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string lower = argument;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower == "/active") {
            options.activeOnly = true;
        } else if (lower == "/drivers") {
            options.withDrivers = true;
        } else if (lower == "/?" || lower == "/help" || lower == "-h" || lower == "--help") {
            options.help = true;
        } else {
            options.computer = widen(argv[i]);
        }
    }
    return options;
}

// --- reading the component ---------------------------------------------------------------------

std::wstring textOf(_clsService& service, HRESULT (STDMETHODCALLTYPE _clsService::*read)(BSTR*),
                    const char* step) {
    Bstr value;
    check((service.*read)(value.put()), step);
    // A BSTR may hold NULs; the table shows the text up to the first one, as a console would.
    return value.get() != nullptr ? std::wstring(value.get()) : std::wstring();
}

long numberOf(_clsService& service, HRESULT (STDMETHODCALLTYPE _clsService::*read)(long*),
              const char* step) {
    long value = 0;
    check((service.*read)(&value), step);
    return value;
}

ServiceRow rowOf(_clsService& service, const ServiceNames& names) {
    return {textOf(service, &_clsService::get_Name, "Name"),
            textOf(service, &_clsService::get_DisplayName, "DisplayName"),
            names.state(numberOf(service, &_clsService::get_CurrentState, "CurrentState")),
            names.startType(numberOf(service, &_clsService::get_StartType, "StartType")),
            textOf(service, &_clsService::get_BinaryPathName, "BinaryPathName")};
}

ComPtr<_clsServices> createServices() {
    CLSID clsid{};
    check(CLSIDFromProgID(L"Velcastra.clsServices", &clsid),
          "CLSIDFromProgID(\"Velcastra.clsServices\") (is Tobrunel.dll registered?)");
    ComPtr<_clsServices> services;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(services.ReleaseAndGetAddressOf())),
          "CoCreateInstance(Velcastra.clsServices)");
    return services;
}

// applyOptions sets the filters and the computer; each setting lists the services again.
void applyOptions(_clsServices& services, const Options& options) {
    if (!options.computer.empty()) {
        Bstr computer(
            SysAllocStringLen(options.computer.data(), static_cast<UINT>(options.computer.size())));
        BSTR name = computer.get();
        check(services.put_ComputerName(&name), "ComputerName");
    }
    if (options.withDrivers) {
        long bothWin32AndDrivers = 2;
        check(services.put_ServicesEnumType(&bothWin32AndDrivers), "ServicesEnumType");
    }
    if (options.activeOnly) {
        long activeServices = 0;
        check(services.put_ServicesEnumState(&activeServices), "ServicesEnumState");
    }
}

// rowsOf walks the collection by position, 1 to Count: it has no enumerator.
std::vector<ServiceRow> rowsOf(_clsServices& services) {
    long count = 0;
    check(services.get_Count(&count), "Count");
    const ServiceNames names(services);
    std::vector<ServiceRow> rows;
    for (long position = 1; position <= count; ++position) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = position;
        ComPtr<_clsService> service;
        check(services.get_Item(&index, service.ReleaseAndGetAddressOf()), "Item");
        if (!service) {
            continue; // Item answers no object, not an error, for a position it lacks.
        }
        rows.push_back(rowOf(*service.Get(), names));
    }
    return rows;
}

std::wstring computerOf(_clsServices& services) {
    Bstr name;
    check(services.get_ComputerName(name.put()), "ComputerName");
    return name.get() != nullptr ? std::wstring(name.get()) : std::wstring();
}

int listServices(const Options& options) {
    const Apartment apartment;
    const ComPtr<_clsServices> services = createServices();
    applyOptions(*services.Get(), options);
    const std::vector<ServiceRow> rows = rowsOf(*services.Get());
    printServiceTable(rows);
    printLine(L"");
    printLine(std::to_wstring(rows.size()) + L" " + (options.activeOnly ? L"active " : L"") +
              (options.withDrivers ? L"services and drivers" : L"services") + L" on " +
              computerOf(*services.Get()) + L".");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseArguments(argc, argv);
    if (options.help) {
        std::puts("usage: list-services.exe [/active] [/drivers] [computer]");
        return 0;
    }
    SetConsoleOutputCP(CP_UTF8);
    try {
        return listServices(options);
    } catch (const ComFailure& failure) {
        std::fprintf(stderr, "list-services: %s failed: 0x%08lX\n", failure.what(),
                     static_cast<unsigned long>(failure.result()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "list-services: %s\n", error.what());
    }
    return 1;
}
