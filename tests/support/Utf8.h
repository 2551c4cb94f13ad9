// UTF-8 for test names, diagnostics and expected texts; the platform boundary uses its code page.
#pragma once

#include <string>
#include <string_view>

namespace tobrunel {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

} // namespace tobrunel
