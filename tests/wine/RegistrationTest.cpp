// DllRegisterServer and DllUnregisterServer against the prefix's registry. Whatever registration
// adds to HKEY_CLASSES_ROOT (a new key at its top or under CLSID, Interface or TypeLib) is dumped
// whole and must be the published listing's entries; unregistration leaves the registry as it
// found it.
#include "tests/wine-support/ClassesKey.h"
#include "tests/wine-support/ServerTestSupport.h"
#include "tests/dllcheck/Listing.h"

#include <set>
#include <string>
#include <vector>

namespace tobrunel::server {
namespace {

using namespace testing;

using Export = HRESULT(STDAPICALLTYPE*)();

// The parents under which registration may add keys, HKEY_CLASSES_ROOT itself first.
const std::wstring parents[] = {L"", L"CLSID", L"Interface", L"TypeLib"};

std::wstring below(const std::wstring& parent, const std::wstring& name) {
    return parent.empty() ? name : parent + L'\\' + name;
}

std::set<std::wstring> snapshot() {
    std::set<std::wstring> keys;
    for (const auto& parent : parents) {
        for (const auto& name : ClassesKey(parent).subkeys()) {
            keys.insert(below(parent, name));
        }
    }
    return keys;
}

// inListingTerms names this DLL, its folder and its platform as the listing does.
std::wstring inListingTerms(std::wstring text) {
    const auto dll = dllPath();
    const auto folder = dll.substr(0, dll.find_last_of(L'\\'));
    const auto same = [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
    };
    for (const auto& [path, name] : {std::pair{dll, L"$DLL"}, std::pair{folder, L"$DIR"}}) {
        const auto at = text.rfind(L" = ");
        if (at != std::wstring::npos && same(text.substr(at + 3), path)) {
            text = text.substr(0, at + 3) + name;
        }
    }
    const std::wstring platform = sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32";
    if (const auto at = text.find(platform); at != std::wstring::npos) {
        text.replace(at, platform.size(), L"\\0\\$PLATFORM");
    }
    return text;
}

void dumpTree(const std::wstring& path, std::vector<std::string>& lines) {
    const ClassesKey key(path);
    const auto values = key.values();
    const auto subkeys = key.subkeys();
    for (const auto& value : values) {
        lines.push_back("reg " + utf8(inListingTerms(path + value)));
    }
    if (values.empty() && subkeys.empty()) {
        lines.push_back("reg " + utf8(path) + " (empty)");
    }
    for (const auto& name : subkeys) {
        dumpTree(path + L'\\' + name, lines);
    }
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_NE(library.get(), nullptr);
        ASSERT_HRESULT(S_OK, unregisterServer());
        before = snapshot();
        ASSERT_GT(before.size(), 100u) << "the registry is not readable";
    }
    void TearDown() override { unregisterServer(); }

    HRESULT registerServer() { return library.entry<Export>("DllRegisterServer")(); }
    HRESULT unregisterServer() { return library.entry<Export>("DllUnregisterServer")(); }

    // added dumps every key that was not there before the test.
    std::vector<std::string> added() {
        std::vector<std::string> lines;
        for (const auto& key : snapshot()) {
            if (!before.contains(key)) {
                dumpTree(key, lines);
            }
        }
        return lines;
    }

    ComApartment apartment;
    LoadedLibrary library{dllPath()};
    std::set<std::wstring> before;
};

TEST_F(RegistrationTest, WritesTheListedEntriesAndNothingElse) {
    ASSERT_HRESULT(S_OK, registerServer());
    EXPECT_TRUE(sameLines({"reg"}, added()));
}

TEST_F(RegistrationTest, RegisteringTwiceWritesTheSameEntries) {
    ASSERT_HRESULT(S_OK, registerServer());
    ASSERT_HRESULT(S_OK, registerServer());
    EXPECT_TRUE(sameLines({"reg"}, added()));
}

TEST_F(RegistrationTest, UnregistrationRemovesEverythingAndMayBeRepeated) {
    ASSERT_HRESULT(S_OK, registerServer());
    ASSERT_FALSE(added().empty());
    ASSERT_HRESULT(S_OK, unregisterServer());
    EXPECT_EQ(added(), std::vector<std::string>{});
    EXPECT_HRESULT(S_OK, unregisterServer());
    EXPECT_EQ(added(), std::vector<std::string>{});
}

} // namespace
} // namespace tobrunel::server
