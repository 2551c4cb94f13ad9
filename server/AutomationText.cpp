// BSTR conversions. wchar_t is 16 bits on Windows, so each code unit copies across unchanged.
#include "server/AutomationText.h"

#include <algorithm>
#include <new>

namespace tobrunel::server {

std::u16string fromBstr(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    const auto length = SysStringLen(text);
    std::u16string result(length, u'\0');
    std::transform(text, text + length, result.begin(),
                   [](wchar_t c) { return static_cast<char16_t>(c); });
    return result;
}

BSTR toBstr(std::u16string_view text) {
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (result == nullptr) {
        throw std::bad_alloc();
    }
    std::transform(text.begin(), text.end(), result,
                   [](char16_t c) { return static_cast<wchar_t>(c); });
    return result;
}

} // namespace tobrunel::server
