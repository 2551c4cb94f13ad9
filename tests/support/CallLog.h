// Reading the simulated manager's call log by what was called, so that a failure names the call
// and its access rather than a position in the log, and prints the log it searched.
#pragma once

#include "tests/support/SimulatedServiceManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tobrunel::testing_support {

// CallPattern picks calls out of the log: a function, and where given, its access and its text.
struct CallPattern {
    std::string_view function;
    std::optional<std::uint32_t> access = std::nullopt;
    std::optional<std::string_view> text = std::nullopt;

    bool matches(const scm::Call& call) const {
        return call.function == function && (!access || call.access == *access) &&
               (!text || call.text == *text);
    }
};

inline std::string describe(const CallPattern& pattern) {
    std::ostringstream out;
    out << pattern.function << std::hex << std::showbase;
    if (pattern.access) {
        out << " with access " << *pattern.access;
    }
    if (pattern.text) {
        out << " on \"" << *pattern.text << '"';
    }
    return out.str();
}

inline std::string describe(const std::vector<scm::Call>& calls) {
    std::ostringstream out;
    out << "the log holds " << calls.size() << " calls:" << std::hex << std::showbase;
    for (const auto& call : calls) {
        out << "\n  " << call.function << " text \"" << call.text << "\" access " << call.access
            << " number " << call.number << " handle " << call.handle << " -> " << call.result
            << " error " << std::dec << call.error << std::hex;
    }
    return out.str();
}

// callsTo is every call that `pattern` matches, in the order they were made.
inline std::vector<scm::Call> callsTo(const scm::SimulatedServiceManager& platform,
                                      const CallPattern& pattern) {
    std::vector<scm::Call> found;
    for (const auto& call : platform.calls()) {
        if (pattern.matches(call)) {
            found.push_back(call);
        }
    }
    return found;
}

// called succeeds when the log holds a call that `pattern` matches.
inline testing::AssertionResult called(const scm::SimulatedServiceManager& platform,
                                       const CallPattern& pattern) {
    if (!callsTo(platform, pattern).empty()) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "no call to " << describe(pattern) << "; " << describe(platform.calls());
}

// callTo is the first call that `pattern` matches, for a look at its other fields; when there
// is none the test fails and an empty call stands in.
inline scm::Call callTo(const scm::SimulatedServiceManager& platform, const CallPattern& pattern) {
    const auto found = callsTo(platform, pattern);
    if (found.empty()) {
        ADD_FAILURE() << "no call to " << describe(pattern) << "; " << describe(platform.calls());
        return {};
    }
    return found.front();
}

} // namespace tobrunel::testing_support
