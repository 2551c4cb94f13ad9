// ServiceTable: the services as the C++ clients print them, one row each: name, display name,
// state, start type and program, in UTF-8 columns that the longest cell sets, up to a limit.
#pragma once

#include "client/Bstr.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tobrunel::client {

constexpr std::size_t serviceColumns = 5;
using ServiceRow = std::array<std::wstring, serviceColumns>;

// ServiceNames: the display names of a service's state and start type ("Start Pending", "Demand
// Start"), taken at run time from the type library of the component's objects as any client
// would: the enumeration's constants through ITypeInfo::GetVarDesc and GetDocumentation. A value
// that no constant names, or a library that cannot be read, gives "Unknown (value)".
class ServiceNames {
public:
    explicit ServiceNames(IDispatch& object)
        : state_(namesOf(object, L"enServiceStatus")),
          startType_(namesOf(object, L"enServiceStartType")) {}

    std::wstring state(long value) const { return nameIn(state_, value); }
    std::wstring startType(long value) const { return nameIn(startType_, value); }

private:
    using Names = std::map<long, std::wstring>;

    static Names namesOf(IDispatch& object, const wchar_t* enumeration) {
        Names names;
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        Microsoft::WRL::ComPtr<ITypeLib> library;
        UINT index = 0;
        if (FAILED(object.GetTypeInfo(0, 0, info.GetAddressOf())) ||
            FAILED(info->GetContainingTypeLib(library.GetAddressOf(), &index))) {
            return names;
        }
        std::wstring name(enumeration);
        Microsoft::WRL::ComPtr<ITypeInfo> found;
        MEMBERID id = MEMBERID_NIL;
        USHORT count = 1;
        TYPEATTR* attributes = nullptr;
        if (FAILED(library->FindName(name.data(), 0, found.GetAddressOf(), &id, &count)) ||
            count == 0 || FAILED(found->GetTypeAttr(&attributes))) {
            return names;
        }
        for (UINT i = 0; i < attributes->cVars; ++i) {
            VARDESC* constant = nullptr;
            if (FAILED(found->GetVarDesc(i, &constant))) {
                continue;
            }
            // A constant is stored as a 32-bit integer (VT_I4 or VT_INT, which share the slot).
            Bstr text;
            if (constant->varkind == VAR_CONST &&
                SUCCEEDED(found->GetDocumentation(constant->memid, text.put(), nullptr, nullptr,
                                                  nullptr))) {
                names[V_I4(constant->lpvarValue)] = text.get();
            }
            found->ReleaseVarDesc(constant);
        }
        found->ReleaseTypeAttr(attributes);
        return names;
    }

    static std::wstring nameIn(const Names& names, long value) {
        const auto found = names.find(value);
        return found != names.end() ? found->second : L"Unknown (" + std::to_wstring(value) + L")";
    }

    Names state_;
    Names startType_;
};

inline void printLine(const std::wstring& line) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fputs(bytes.c_str(), stdout);
    std::fputs("\n", stdout); // text mode: the C runtime writes CR LF
}

namespace table {

constexpr std::array<std::size_t, serviceColumns> limits = {24, 36, 100, 100, 48};

inline std::wstring shorten(const std::wstring& text, std::size_t width) {
    return text.size() > width ? text.substr(0, width - 3) + L"..." : text;
}

} // namespace table

// printServiceTable prints a header, a rule and the rows; the last column is not padded.
inline void printServiceTable(const std::vector<ServiceRow>& rows) {
    const ServiceRow header = {L"Name", L"Display name", L"State", L"Start type", L"Program"};
    std::array<std::size_t, serviceColumns - 1> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = header[c].size();
        for (const ServiceRow& row : rows) {
            widths[c] = std::max(widths[c], row[c].size());
        }
        widths[c] = std::min(widths[c], table::limits[c]);
    }
    const auto line = [&](const ServiceRow& cells) {
        std::wstring text;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            std::wstring cell = table::shorten(cells[c], widths[c]);
            cell.resize(widths[c], L' ');
            text += cell + L"  ";
        }
        return text + table::shorten(cells.back(), table::limits.back());
    };
    ServiceRow rule;
    for (std::size_t c = 0; c < serviceColumns; ++c) {
        rule[c] = std::wstring(c < widths.size() ? widths[c] : header[c].size(), L'-');
    }
    printLine(line(header));
    printLine(line(rule));
    for (const ServiceRow& row : rows) {
        printLine(line(row));
    }
}

} // namespace tobrunel::client
