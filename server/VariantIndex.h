// The position-or-key argument of the collection, read from an automation VARIANT.
#pragma once

#include "model/Index.h"
#include "server/Platform.h"

namespace tobrunel::server {

// indexFromVariant reads a text as a key and a number of any automation type as a position,
// rounded to the nearest whole number with halves to even; references are followed. Anything
// else (empty, null, an object, an array, a number beyond 32 bits) is an index that finds
// nothing. It throws std::bad_alloc only.
Index indexFromVariant(const VARIANT* argument);

} // namespace tobrunel::server
