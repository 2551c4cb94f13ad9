// Reads the platform and the vtable layout out of an MSFT type library file.
#include "tests/dllcheck/MsftLayout.h"

#include <cstdint>
#include <cstring>

namespace tobrunel::server::testing {
namespace {

constexpr std::uint32_t msftMagic = 0x5446534D; // "MSFT"
constexpr std::size_t headerSize = 0x54;
constexpr std::uint32_t helpDllFlag = 0x100;
constexpr std::size_t segmentSize = 16;
constexpr std::size_t typeInfoSegment = 0;
constexpr std::size_t guidSegment = 5;
// A function record's vtable offset keeps a flag in its lowest bit.
constexpr int vtableOffsetFlag = 1;

// Bytes reads little-endian values at offsets that it checks against the file's end.
class Bytes {
public:
    explicit Bytes(std::span<const std::byte> bytes) : bytes_(bytes) {}

    template <typename Value> Value at(std::size_t offset) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(Value)) {
            throw MalformedTypeLibrary("a record lies past the end of the file");
        }
        Value value;
        std::memcpy(&value, bytes_.data() + offset, sizeof value);
        return value;
    }

    std::size_t offset(std::int32_t value) const {
        if (value < 0) {
            throw MalformedTypeLibrary("a negative offset");
        }
        return static_cast<std::size_t>(value);
    }

private:
    std::span<const std::byte> bytes_;
};

std::vector<int> functionOffsetsAt(const Bytes& bytes, std::size_t records, int count) {
    std::vector<int> offsets;
    std::size_t record = records + 4; // after the size of the record block
    for (int i = 0; i < count; ++i) {
        const auto info = bytes.at<std::uint32_t>(record);
        offsets.push_back(bytes.at<std::int16_t>(record + 12) & ~vtableOffsetFlag);
        const auto size = info & 0xFFFF;
        if (size == 0) {
            throw MalformedTypeLibrary("a function record of size 0");
        }
        record += size;
    }
    return offsets;
}

} // namespace

RecordedLayout readRecordedLayout(std::span<const std::byte> file) {
    const Bytes bytes(file);
    if (bytes.at<std::uint32_t>(0) != msftMagic) {
        throw MalformedTypeLibrary("not an MSFT type library");
    }
    RecordedLayout layout;
    const auto flags = bytes.at<std::uint32_t>(0x14);
    layout.platform = static_cast<SYSKIND>(flags & 0xF);
    const auto count = bytes.offset(bytes.at<std::int32_t>(0x20));
    std::size_t next = headerSize + ((flags & helpDllFlag) != 0 ? 4 : 0);
    const std::size_t typeInfoOffsets = next;
    next += 4 * count;
    const auto segment = [&](std::size_t index) {
        return bytes.offset(bytes.at<std::int32_t>(next + index * segmentSize));
    };
    const auto typeInfos = segment(typeInfoSegment);
    const auto guids = segment(guidSegment);

    for (std::size_t i = 0; i < count; ++i) {
        const auto base = typeInfos + bytes.offset(bytes.at<std::int32_t>(typeInfoOffsets + 4 * i));
        RecordedTypeInfo type{};
        type.kind = static_cast<TYPEKIND>(bytes.at<std::uint32_t>(base) & 0xF);
        const auto guidAt = bytes.at<std::int32_t>(base + 0x2C);
        if (guidAt >= 0) {
            type.guid = bytes.at<GUID>(guids + bytes.offset(guidAt));
        }
        type.vtableSize = bytes.at<std::int16_t>(base + 0x4E);
        const int functions = bytes.at<std::uint32_t>(base + 0x18) & 0xFFFF;
        if (functions > 0) {
            type.vtableOffsets =
                functionOffsetsAt(bytes, bytes.offset(bytes.at<std::int32_t>(base + 4)), functions);
        }
        layout.types.push_back(std::move(type));
    }
    return layout;
}

} // namespace tobrunel::server::testing
