// Trimming and case folding of automation text.
#include "base/Text.h"

#include <algorithm>
#include <iterator>

namespace tobrunel {

std::u16string trimSpaces(std::u16string_view text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return std::u16string(text.substr(first, last - first + 1));
}

namespace {

// FoldRule maps every `step`-th code point from `first` through `last` to its small letter by
// adding `delta`: capitals with their small letter next door (step 2), runs of capitals (step 1)
// and single letters whose small letter lies elsewhere.
struct FoldRule {
    char16_t first;
    char16_t last;
    char16_t step;
    int delta;
};

// Unicode's simple case folding for Basic Latin, Latin-1, Latin Extended-A, Greek and Coptic, and
// Cyrillic, sorted by first code point.
constexpr FoldRule foldRules[] = {
    {0x41, 0x5A, 1, 0x20},
    {0xB5, 0xB5, 1, 0x3BC - 0xB5},
    {0xC0, 0xD6, 1, 0x20},
    {0xD8, 0xDE, 1, 0x20},
    {0x100, 0x12E, 2, 1},
    {0x132, 0x136, 2, 1},
    {0x139, 0x147, 2, 1},
    {0x14A, 0x176, 2, 1},
    {0x178, 0x178, 1, 0xFF - 0x178},
    {0x179, 0x17D, 2, 1},
    {0x17F, 0x17F, 1, 0x73 - 0x17F},
    {0x370, 0x372, 2, 1},
    {0x376, 0x376, 1, 1},
    {0x37F, 0x37F, 1, 0x3F3 - 0x37F},
    {0x386, 0x386, 1, 0x26},
    {0x388, 0x38A, 1, 0x25},
    {0x38C, 0x38C, 1, 0x40},
    {0x38E, 0x38F, 1, 0x3F},
    {0x391, 0x3A1, 1, 0x20},
    {0x3A3, 0x3AB, 1, 0x20},
    {0x3C2, 0x3C2, 1, 1},
    {0x3CF, 0x3CF, 1, 8},
    {0x3D0, 0x3D0, 1, 0x3B2 - 0x3D0},
    {0x3D1, 0x3D1, 1, 0x3B8 - 0x3D1},
    {0x3D5, 0x3D5, 1, 0x3C6 - 0x3D5},
    {0x3D6, 0x3D6, 1, 0x3C0 - 0x3D6},
    {0x3D8, 0x3EE, 2, 1},
    {0x3F0, 0x3F0, 1, 0x3BA - 0x3F0},
    {0x3F1, 0x3F1, 1, 0x3C1 - 0x3F1},
    {0x3F4, 0x3F4, 1, 0x3B8 - 0x3F4},
    {0x3F5, 0x3F5, 1, 0x3B5 - 0x3F5},
    {0x3F7, 0x3F7, 1, 1},
    {0x3F9, 0x3F9, 1, 0x3F2 - 0x3F9},
    {0x3FA, 0x3FA, 1, 1},
    {0x3FD, 0x3FF, 1, 0x37B - 0x3FD},
    {0x400, 0x40F, 1, 0x50},
    {0x410, 0x42F, 1, 0x20},
    {0x460, 0x480, 2, 1},
    {0x48A, 0x4BE, 2, 1},
    {0x4C0, 0x4C0, 1, 0xF},
    {0x4C1, 0x4CD, 2, 1},
    {0x4D0, 0x4FE, 2, 1},
};

} // namespace

char16_t foldCase(char16_t c) {
    const auto* rule =
        std::upper_bound(std::begin(foldRules), std::end(foldRules), c,
                         [](char16_t code, const FoldRule& r) { return code < r.first; });
    if (rule == std::begin(foldRules)) {
        return c;
    }
    --rule;
    if (c > rule->last || (c - rule->first) % rule->step != 0) {
        return c;
    }
    return static_cast<char16_t>(c + rule->delta);
}

std::u16string foldCase(std::u16string_view text) {
    std::u16string folded(text);
    for (auto& c : folded) {
        c = foldCase(c);
    }
    return folded;
}

} // namespace tobrunel
