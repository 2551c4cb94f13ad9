// The resources beside the type library in Tobrunel.dll: the interface identities against the
// published listing, and the version information, read as a client of the file would.
#include "tests/wine-support/ServerTestSupport.h"
#include "tests/dllcheck/Listing.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tobrunel::server {
namespace {

using testing::asImageResource;
using testing::dllPath;
using testing::guidText;
using testing::LoadedLibrary;
using testing::sameLines;
using testing::utf8;

BOOL CALLBACK collectIdentity(HMODULE, LPWSTR type, LONG_PTR found) {
    if (!IS_INTRESOURCE(type) && std::wstring_view(type).starts_with(L"_IID_")) {
        reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(type);
    }
    return TRUE;
}

// Each resource type whose name begins with "_IID_" is an interface identity: a 32-bit count, 16,
// and the GUID. Read as data, as a 64-bit process reads them from the 32-bit DLL too.
TEST(ResourcesTest, TheInterfaceIdentitiesAreTheListedOnes) {
    const LoadedLibrary library(dllPath(), asImageResource);
    ASSERT_NE(library.get(), nullptr);
    std::vector<std::wstring> types;
    EnumResourceTypesW(library.get(), collectIdentity, reinterpret_cast<LONG_PTR>(&types));
    std::vector<std::string> dumped;
    for (const auto& type : types) {
        const auto bytes = library.resource(type.c_str(), MAKEINTRESOURCEW(1));
        std::uint32_t count = 0;
        GUID iid{};
        if (bytes.size() == 20) {
            std::memcpy(&count, bytes.data(), sizeof count);
            std::memcpy(&iid, bytes.data() + 4, sizeof iid);
        }
        dumped.push_back("resource " + utf8(type) + " " +
                         (count == 16 ? guidText(iid) : std::to_string(bytes.size()) + " bytes"));
    }
    EXPECT_TRUE(sameLines({"resource"}, dumped));
}

TEST(ResourcesTest, TheTypeLibraryIsResourceOne) {
    const LoadedLibrary library(dllPath(), asImageResource);
    ASSERT_NE(library.get(), nullptr);
    EXPECT_FALSE(library.resource(L"TYPELIB", MAKEINTRESOURCEW(1)).empty());
}

class VersionInformation {
public:
    explicit VersionInformation(const std::wstring& path) {
        DWORD ignored = 0;
        data_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
        if (data_.empty() ||
            !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data_.size()), data_.data())) {
            data_.clear();
        }
    }
    bool empty() const { return data_.empty(); }

    const void* value(const std::wstring& path, UINT* size) {
        void* found = nullptr;
        if (!VerQueryValueW(data_.data(), path.c_str(), &found, size)) {
            return nullptr;
        }
        return found;
    }

    // text reads a string entry of the one translation; null when the entry is missing.
    const wchar_t* text(const std::wstring& name) {
        UINT size = 0;
        return static_cast<const wchar_t*>(value(L"\\StringFileInfo\\0C0A04B0\\" + name, &size));
    }

private:
    std::vector<unsigned char> data_;
};

TEST(ResourcesTest, VersionInformationMarksTheFileSelfRegistering) {
    VersionInformation version(dllPath());
    ASSERT_FALSE(version.empty());

    UINT size = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(version.value(L"\\", &size));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    const auto* translation =
        static_cast<const WORD*>(version.value(L"\\VarFileInfo\\Translation", &size));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(translation[0], 0x0C0A);
    EXPECT_EQ(translation[1], 0x04B0);

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } entries[] = {
        {L"InternalName", L"Tobrunel"}, {L"OriginalFilename", L"Tobrunel.DLL"},
        {L"FileVersion", L"1.00"},      {L"ProductVersion", L"1.00"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& entry : entries) {
        const wchar_t* found = version.text(entry.name);
        ASSERT_NE(found, nullptr) << entry.name;
        EXPECT_EQ(std::wstring(found), entry.value) << entry.name;
    }
}

} // namespace
} // namespace tobrunel::server
