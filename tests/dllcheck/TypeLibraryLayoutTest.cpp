// The vtable layout that the embedded type library and the other platform's library record in
// their own bytes: 4-byte slots for 32-bit Windows, 8-byte ones for 64-bit, IDispatch's seven
// entries first. The platform's reader cannot tell: a 64-bit one shows 8-byte slots for both.
#include "tests/dllcheck/CheckedLibrary.h"
#include "tests/dllcheck/Listing.h"
#include "tests/dllcheck/MsftLayout.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

namespace tobrunel::server::testing {
namespace {

// IDispatch's seven entries come first.
constexpr int firstMemberSlot = 7;

// listedMemberCounts is, per listed interface GUID, the number of members the listing gives it.
std::map<std::string, int> listedMemberCounts() {
    std::map<std::string, std::string> guidOf;
    std::map<std::string, int> counts;
    for (const auto& line : listedLines({"type", "member"})) {
        std::istringstream words(line);
        std::string form, index, name, kind, guid;
        words >> form >> index >> name >> kind >> guid;
        if (form == "type" && kind == "interface") {
            guidOf[name] = guid;
            counts[guid] = 0;
        } else if (form == "member") {
            ++counts[guidOf.at(index)];
        }
    }
    return counts;
}

void expectLayoutOf(SYSKIND platform, std::span<const std::byte> bytes) {
    ASSERT_FALSE(bytes.empty());
    const auto layout = readRecordedLayout(bytes);
    EXPECT_EQ(layout.platform, platform);
    const int slot = pointerSizeOf(platform);
    const auto counts = listedMemberCounts();
    ASSERT_EQ(counts.size(), 3u);
    for (const auto& [guid, members] : counts) {
        SCOPED_TRACE(guid);
        const auto found =
            std::find_if(layout.types.begin(), layout.types.end(),
                         [&](const auto& type) { return guidText(type.guid) == guid; });
        ASSERT_TRUE(found != layout.types.end()) << "no description has this GUID";
        EXPECT_EQ(found->vtableSize, slot * (firstMemberSlot + members));
        ASSERT_EQ(found->vtableOffsets.size(), static_cast<std::size_t>(members));
        for (int i = 0; i < members; ++i) {
            EXPECT_EQ(found->vtableOffsets[i], slot * (firstMemberSlot + i)) << "member " << i + 1;
        }
    }
}

TEST(TypeLibraryLayoutTest, TheEmbeddedLibraryHasTheSlotsOfItsPlatform) {
    const LoadedLibrary library(dllPath(), asImageResource);
    ASSERT_NE(library.get(), nullptr);
    expectLayoutOf(checkedPlatform, library.resource(L"TYPELIB", MAKEINTRESOURCEW(1)));
}

TEST(TypeLibraryLayoutTest, TheOtherPlatformsLibraryHasTheSlotsOfItsPlatform) {
    std::ifstream file(std::filesystem::path(otherTypeLibraryPath()), std::ios::binary);
    ASSERT_TRUE(file);
    std::vector<char> text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::byte> bytes(text.size());
    std::transform(text.begin(), text.end(), bytes.begin(),
                   [](char c) { return static_cast<std::byte>(c); });
    expectLayoutOf(checkedPlatform == SYS_WIN64 ? SYS_WIN32 : SYS_WIN64, bytes);
}

} // namespace
} // namespace tobrunel::server::testing
