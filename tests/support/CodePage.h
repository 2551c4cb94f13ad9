// The simulated manager's code pages: Windows-1252, and a double-byte code page in which every
// character from U+0080 to U+3FFF takes two bytes, so byte-length limits can be tested.
#pragma once

#include <string>
#include <string_view>

namespace tobrunel::scm {

enum class CodePage { Windows1252, DoubleByte };

// Characters the code page cannot carry become '?', as the platform's best-fit conversion does.
std::string toCodePage(CodePage codePage, std::u16string_view text);
std::u16string fromCodePage(CodePage codePage, std::string_view bytes);

} // namespace tobrunel::scm
