// The vtable layout that the embedded type library and the other platform's library record in
// their own bytes: 4-byte slots for 32-bit Windows, 8-byte ones for 64-bit, IDispatch's seven
// entries first. The platform's reader cannot tell: a 64-bit one shows 8-byte slots for both.
#include "server/Descriptions.h"
#include "tests/dllcheck/CheckedLibrary.h"
#include "tests/dllcheck/MsftLayout.h"
#include "tests/wine/ServerTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace tobrunel::server::testing {
namespace {

// A dual interface's own members follow the seven of IDispatch.
constexpr int firstMemberSlot = 7;

void expectLayoutOf(SYSKIND platform, std::span<const std::byte> bytes) {
    ASSERT_FALSE(bytes.empty());
    const auto layout = readRecordedLayout(bytes);
    EXPECT_EQ(layout.platform, platform);
    const int slot = pointerSizeOf(platform);
    for (const auto* record : velcastraLibrary.classes) {
        const auto& description = *record->defaultInterface;
        SCOPED_TRACE(std::wstring(description.name));
        const auto found =
            std::find_if(layout.types.begin(), layout.types.end(),
                         [&](const auto& type) { return type.guid == description.iid; });
        ASSERT_NE(found, layout.types.end());
        const int members = static_cast<int>(description.members.size());
        EXPECT_EQ(found->vtableSize, slot * (firstMemberSlot + members));
        ASSERT_EQ(found->vtableOffsets.size(), description.members.size());
        for (int i = 0; i < members; ++i) {
            EXPECT_EQ(found->vtableOffsets[i], slot * (firstMemberSlot + i))
                << std::wstring(description.members[i].name).c_str();
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
