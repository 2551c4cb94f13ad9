// The table that scripts/bench.sh prints: every benchmark program prints its own finished rows
// in these columns, so the script only runs the programs in order.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace tobrunel::bench {

// median is not a number when nothing was measured, so the table shows "n/a", never a zero.
inline double median(std::vector<double> samples) {
    if (samples.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::sort(samples.begin(), samples.end());
    const auto middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// formatted prints `value` through `format`, or "n/a" when it was not measured.
inline std::string formatted(const char* format, double value) {
    if (!std::isfinite(value)) {
        return "n/a";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// figure is a measured value, six significant digits.
inline std::string figure(double value) {
    return formatted("%.6g", value);
}

// decimals3 is a ratio or a difference: three decimals.
inline std::string decimals3(double value) {
    return formatted("%.3f", value);
}

// row is one line of the table; a program that measures in another order than the table's
// keeps its rows until it prints them.
inline std::string row(const std::string& label, const std::string& measured,
                       const std::string& reference, const std::string& ratio,
                       const std::string& note) {
    const char* format = "%-50s %11s %11s %8s  %s\n";
    const auto print = [&](char* text, std::size_t size) {
        return std::snprintf(text, size, format, label.c_str(), measured.c_str(), reference.c_str(),
                             ratio.c_str(), note.c_str());
    };
    std::string line(static_cast<std::size_t>(print(nullptr, 0)), '\0');
    print(line.data(), line.size() + 1);
    return line;
}

// row of two sides of a comparison: the ratio column is measured / reference.
inline std::string row(const std::string& label, double measured, double reference,
                       const std::string& note) {
    return row(label, figure(measured), figure(reference), decimals3(measured / reference), note);
}

inline void print(const std::string& rows) {
    std::fputs(rows.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace tobrunel::bench
