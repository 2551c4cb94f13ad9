// Automation text at the interface: BSTRs to and from the model's UTF-16 strings, lengths
// included, because a text may hold NULs.
#pragma once

#include "server/Platform.h"

#include <string>
#include <string_view>

namespace tobrunel::server {

// fromBstr copies the whole text, NULs included; a null BSTR is the empty text.
std::u16string fromBstr(BSTR text);

// toBstr allocates a copy that the caller owns; it throws std::bad_alloc when there is no
// memory for it.
BSTR toBstr(std::u16string_view text);

} // namespace tobrunel::server
