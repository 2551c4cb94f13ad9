// Trimming and case folding of automation text.
#include "base/Text.h"

namespace tobrunel {

std::u16string trimSpaces(std::u16string_view text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return std::u16string(text.substr(first, last - first + 1));
}

char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c < 0xC0) {
        return c;
    }
    // Latin-1 capitals, except the multiplication sign.
    if (c <= 0xDE) {
        return c == 0xD7 ? c : static_cast<char16_t>(c + 0x20);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    // Latin Extended-A pairs capitals and small letters as even and odd neighbours, with the
    // pairs shifted by one between 0x139 and 0x148 and again from 0x179.
    if (c >= 0x100 && c <= 0x137) {
        return static_cast<char16_t>(c | 1);
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    }
    if (c >= 0x14A && c <= 0x177) {
        return static_cast<char16_t>(c | 1);
    }
    // Greek capitals.
    if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) {
        return static_cast<char16_t>(c + 0x20);
    }
    // Cyrillic capitals.
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    if (c >= 0x410 && c <= 0x42F) {
        return static_cast<char16_t>(c + 0x20);
    }
    return c;
}

std::u16string foldCase(std::u16string_view text) {
    std::u16string folded(text);
    for (auto& c : folded) {
        c = foldCase(c);
    }
    return folded;
}

} // namespace tobrunel
