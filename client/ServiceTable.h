// ServiceTable: the services as the C++ clients print them, one row each: name, display name,
// state, start type and program, in UTF-8 columns that the longest cell sets, up to a limit.
#pragma once

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tobrunel::client {

constexpr std::size_t serviceColumns = 5;
using ServiceRow = std::array<std::wstring, serviceColumns>;

inline std::wstring stateText(long state) {
    static constexpr std::array<std::wstring_view, 7> names = {
        L"Stopped",          L"Start Pending", L"Stop Pending", L"Running",
        L"Continue Pending", L"Pause Pending", L"Paused"};
    if (state >= 1 && state <= 7) {
        return std::wstring(names[static_cast<std::size_t>(state - 1)]);
    }
    return L"Unknown (" + std::to_wstring(state) + L")";
}

inline std::wstring startTypeText(long startType) {
    static constexpr std::array<std::wstring_view, 5> names = {
        L"Boot Start", L"System Start", L"Auto Start", L"Demand Start", L"Disabled"};
    if (startType >= 0 && startType <= 4) {
        return std::wstring(names[static_cast<std::size_t>(startType)]);
    }
    return L"Unknown (" + std::to_wstring(startType) + L")";
}

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
