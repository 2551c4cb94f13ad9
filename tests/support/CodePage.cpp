// Conversions through the simulated manager's code pages.
#include "tests/support/CodePage.h"

#include <array>
#include <cstdint>

namespace tobrunel::scm {

namespace {

// Windows-1252 differs from Latin-1 in 0x80-0x9F; 0 marks the five bytes it leaves undefined,
// which convert to the C1 control of the same number.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t fromWindows1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F && windows1252High[byte - 0x80] != 0) {
        return windows1252High[byte - 0x80];
    }
    return byte;
}

char toWindows1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < windows1252High.size(); ++i) {
        if (windows1252High[i] == c || (windows1252High[i] == 0 && c == 0x80 + i)) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

constexpr char16_t DoubleByteLimit = 0x4000;

} // namespace

std::string toCodePage(CodePage codePage, std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text) {
        if (codePage == CodePage::Windows1252) {
            bytes += toWindows1252(c);
        } else if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < DoubleByteLimit) {
            bytes += static_cast<char>(0x80 + (c >> 7));
            bytes += static_cast<char>(0x80 | (c & 0x7F));
        } else {
            bytes += '?';
        }
    }
    return bytes;
}

std::u16string fromCodePage(CodePage codePage, std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (codePage == CodePage::Windows1252) {
            text += fromWindows1252(byte);
        } else if (byte < 0x80) {
            text += static_cast<char16_t>(byte);
        } else if (i + 1 < bytes.size()) {
            const auto trail = static_cast<unsigned char>(bytes[++i]);
            text += static_cast<char16_t>(((byte - 0x80) << 7) | (trail & 0x7F));
        } else {
            // A lead byte without its trail byte, as at the end of a cut buffer.
            text += u'?';
        }
    }
    return text;
}

} // namespace tobrunel::scm
