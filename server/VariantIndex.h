// The position-or-key argument of the collection, read from an automation VARIANT.
#pragma once

#include "model/Index.h"
#include "server/Platform.h"

namespace tobrunel::server {

// indexFromVariant reads a text as a key and any other value as the position that the platform's
// conversion to a 32-bit integer gives (numbers rounded half to even, objects not asked for their
// value); references are followed. A value that does not convert is an index that finds nothing.
// It throws std::bad_alloc only.
Index indexFromVariant(const VARIANT* argument);

} // namespace tobrunel::server
