// Helpers shared by the unit tests: texts with NULs and automation error checks.
#pragma once

#include "base/AutomationError.h"
#include "base/Text.h"

#include <gtest/gtest.h>

#include <string>

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

#define EXPECT_AUTOMATION_ERROR(statement, expectedNumber)                                         \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "expected automation error " << (expectedNumber);                     \
        } catch (const tobrunel::AutomationError& error) {                                         \
            EXPECT_EQ(error.number(), (expectedNumber));                                           \
        }                                                                                          \
    } while (false)
