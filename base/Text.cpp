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

std::string toUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0   ? lead
                      : extra == 1 ? lead & 0x1F
                      : extra == 2 ? lead & 0x0F
                                   : lead & 0x07;
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

} // namespace tobrunel
