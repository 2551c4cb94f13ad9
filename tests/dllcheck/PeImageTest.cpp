// Tobrunel.dll as Windows loads it: the image of its processor, the four entry points under their
// undecorated names, imports that a bare Windows has, the hardening flags and no link time.
#include "tests/dllcheck/CheckedLibrary.h"
#include "tests/dllcheck/PeImage.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace tobrunel::server::testing {
namespace {

class PeImageTest : public ::testing::Test {
protected:
    PeImage image{std::filesystem::path(dllPath())};
};

TEST_F(PeImageTest, IsADllForTheTargetProcessor) {
    const bool wide = checkedPlatform == SYS_WIN64;
    EXPECT_EQ(image.fileHeader().Machine,
              wide ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(image.optionalHeaderMagic(),
              wide ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_NE(image.fileHeader().Characteristics & IMAGE_FILE_DLL, 0);
}

TEST_F(PeImageTest, ExportsTheFourEntryPointsUndecorated) {
    auto names = image.exportNames();
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected{"DllCanUnloadNow", "DllGetClassObject",
                                            "DllRegisterServer", "DllUnregisterServer"};
    EXPECT_EQ(names, expected);
}

// The DLL is copied alone onto machines with nothing installed: no runtime DLL of the compiler
// (libstdc++, libgcc, libwinpthread) may be among its imports.
TEST_F(PeImageTest, ImportsOnlyLibrariesOfABareWindows) {
    const std::set<std::string> system{"advapi32.dll", "kernel32.dll", "msvcrt.dll",
                                       "ole32.dll",    "oleaut32.dll", "user32.dll"};
    const auto imports = image.importedLibraries();
    EXPECT_FALSE(imports.empty());
    for (auto name : imports) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(system.contains(name)) << name << " is not part of Windows";
    }
}

// Address-space randomisation needs the relocations as well as the flag.
TEST_F(PeImageTest, AsksForRandomisedAddressesAndNoExecutableData) {
    WORD expected = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    if (checkedPlatform == SYS_WIN64) {
        expected |= IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA;
    }
    EXPECT_EQ(image.dllCharacteristics() & expected, expected);
    EXPECT_TRUE(image.hasDirectory(IMAGE_DIRECTORY_ENTRY_BASERELOC));
    EXPECT_EQ(image.fileHeader().Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
}

// A link time in the header would make every build's bytes differ.
TEST_F(PeImageTest, RecordsNoLinkTime) {
    EXPECT_EQ(image.fileHeader().TimeDateStamp, 0u);
}

} // namespace
} // namespace tobrunel::server::testing
