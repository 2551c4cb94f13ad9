// Text helpers shared by the model and the boundary conversions: automation text is UTF-16 and
// may hold NULs, so nothing here stops at one.
#pragma once

#include <string>
#include <string_view>

namespace tobrunel {

// trimSpaces removes the spaces (code 32) at both ends; tabs, NULs and inner spaces stay.
std::u16string trimSpaces(std::u16string_view text);

// foldCase maps every letter to one case so that keys compare without regard to case: Unicode's
// simple case folding over Basic Latin, Latin-1, Latin Extended-A (U+0000-U+017F), Greek and
// Cyrillic (U+0370-U+04FF), the scripts of service names in practice; other characters stay.
char16_t foldCase(char16_t c);
std::u16string foldCase(std::u16string_view text);

} // namespace tobrunel
