// Helpers shared by the unit tests: texts with NULs and automation error checks.
#pragma once

#include "base/AutomationError.h"
#include "base/Text.h"
#include "tests/support/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

// nul builds automation text from a UTF-8 literal in which '|' stands for a NUL.
inline std::u16string nul(std::string_view text) {
    auto out = tobrunel::fromUtf8(text);
    for (auto& c : out) {
        if (c == u'|') {
            c = u'\0';
        }
    }
    return out;
}

// testName turns a row's description into a name GoogleTest accepts: letters and digits stay,
// every run of anything else becomes one underscore.
inline std::string testName(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool kept =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (kept) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name.empty() ? "empty" : name;
}

// numberName spells a number for a test name, where no minus sign may stand.
inline std::string numberName(long long value) {
    return value < 0 ? "minus" + std::to_string(-value) : std::to_string(value);
}

// NamedAfterWhat names each case of a table after its row's `what`.
struct NamedAfterWhat {
    template <typename Row> std::string operator()(const testing::TestParamInfo<Row>& info) const {
        return testName(info.param.what);
    }
};

#define EXPECT_AUTOMATION_ERROR(statement, expectedNumber)                                         \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "expected automation error " << (expectedNumber);                     \
        } catch (const tobrunel::AutomationError& error) {                                         \
            EXPECT_EQ(error.number(), (expectedNumber));                                           \
        }                                                                                          \
    } while (false)
