// The layout a type library file records for its platform, read from the file's own bytes (the
// MSFT format): a 64-bit reader scales a 32-bit library's vtable offsets to 8-byte slots, so only
// the bytes tell whether a 32-bit library has 4-byte ones.
#pragma once

#include "server/Platform.h"

#include <cstddef>
#include <span>
#include <stdexcept>
#include <vector>

namespace tobrunel::server::testing {

struct RecordedTypeInfo {
    TYPEKIND kind;
    GUID guid;
    int vtableSize;                 // bytes, the inherited entries included
    std::vector<int> vtableOffsets; // bytes, one per function in the file's order
};

struct RecordedLayout {
    SYSKIND platform;
    std::vector<RecordedTypeInfo> types; // in index order
};

class MalformedTypeLibrary : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// readRecordedLayout reads the layout from the bytes of an MSFT type library; bytes that are not
// one throw MalformedTypeLibrary.
RecordedLayout readRecordedLayout(std::span<const std::byte> bytes);

} // namespace tobrunel::server::testing
