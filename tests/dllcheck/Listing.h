// The published contract as checked-in text (PublishedLibrary.txt, written by hand), and the
// comparison of a dump of the built DLL with it. A dump is lines in the listing's own forms, so a
// difference shows as the lines that are listed but not found and those found but not listed.
#pragma once

#include "server/Platform.h"
#include "client/WindowsPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tobrunel::server::testing {

// listedLines is every line of the listing whose first word is one of `forms`.
inline std::vector<std::string> listedLines(const std::set<std::string>& forms) {
    std::ifstream file(std::filesystem::path(client::windowsPathOf(TOBRUNEL_PUBLISHED_LISTING)));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (forms.contains(line.substr(0, line.find(' ')))) {
            lines.push_back(line);
        }
    }
    return lines;
}

// sameLines succeeds when `dumped` holds the listed lines of `forms`, each as often, and no more.
inline ::testing::AssertionResult sameLines(const std::set<std::string>& forms,
                                            std::vector<std::string> dumped) {
    auto listed = listedLines(forms);
    if (listed.empty()) {
        return ::testing::AssertionFailure() << "no listed line at " TOBRUNEL_PUBLISHED_LISTING;
    }
    std::sort(listed.begin(), listed.end());
    std::sort(dumped.begin(), dumped.end());
    std::vector<std::string> missing, extra;
    std::set_difference(listed.begin(), listed.end(), dumped.begin(), dumped.end(),
                        std::back_inserter(missing));
    std::set_difference(dumped.begin(), dumped.end(), listed.begin(), listed.end(),
                        std::back_inserter(extra));
    if (missing.empty() && extra.empty()) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure();
    for (const auto& line : missing) {
        failure << "\n  listed, not found: " << line;
    }
    for (const auto& line : extra) {
        failure << "\n  found, not listed: " << line;
    }
    return failure;
}

inline std::string utf8(std::wstring_view text) {
    std::string result(text.size() * 3, '\0');
    result.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      result.data(), static_cast<int>(result.size()), nullptr,
                                      nullptr));
    return result;
}

inline std::string guidText(const GUID& guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return utf8(text);
}

} // namespace tobrunel::server::testing
