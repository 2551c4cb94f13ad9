// The assembly manifest of Tobrunel.dll against what the DLL itself says: the manifest it
// carries is the file shipped beside it, and every class, the type library and every interface
// that DllRegisterServer writes to the registry appear in it with the same ids, ProgIDs,
// threading model and versions, and nothing else does; its version is the DLL's file version.
#include "tests/wine-support/ClassesKey.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>

namespace tobrunel::server {
namespace {

using namespace testing;

using Export = HRESULT(STDAPICALLTYPE*)();
using Attributes = std::map<std::string, std::string>;

std::string manifestFile() {
    std::ifstream file(TOBRUNEL_MANIFEST, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// elementsOf lists the attributes of every element `name` in the manifest's text.
std::vector<Attributes> elementsOf(const std::string& manifest, const std::string& name) {
    std::vector<Attributes> elements;
    const std::regex element("<" + name + R"(((?:\s+[A-Za-z0-9]+="[^"]*")*)\s*/?>)");
    const std::regex attribute(R"x(([A-Za-z0-9]+)="([^"]*)")x");
    for (std::sregex_iterator found(manifest.begin(), manifest.end(), element), end; found != end;
         ++found) {
        Attributes attributes;
        const std::string text = (*found)[1];
        for (std::sregex_iterator pair(text.begin(), text.end(), attribute); pair != end; ++pair) {
            attributes[(*pair)[1]] = (*pair)[2];
        }
        elements.push_back(attributes);
    }
    return elements;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // ids, ProgIDs and names are ASCII
}

bool sameText(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(std::wstring(a.begin(), a.end()).c_str(), -1,
                                std::wstring(b.begin(), b.end()).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// flagNames spells a registered LIBFLAGS number as a manifest does: the names of its bits.
std::string flagNames(const std::string& number) {
    static const std::pair<unsigned long, const char*> names[] = {
        {LIBFLAG_FRESTRICTED, "RESTRICTED"},
        {LIBFLAG_FCONTROL, "CONTROL"},
        {LIBFLAG_FHIDDEN, "HIDDEN"},
        {LIBFLAG_FHASDISKIMAGE, "HASDISKIMAGE"}};
    const unsigned long flags = std::stoul(number);
    std::string text;
    for (const auto& [bit, name] : names) {
        if ((flags & bit) != 0) {
            text += (text.empty() ? "" : ",") + std::string(name);
        }
    }
    return text;
}

using ClassEntry = std::tuple<std::string, std::string, std::string, std::string>;
using InterfaceEntry = std::tuple<std::string, std::string, std::string, std::string>;

// registeredClasses: every class whose server is the DLL, as (clsid, ProgID, threading model,
// type library), found by walking CLSID.
std::set<ClassEntry> registeredClasses(const std::string& dll) {
    std::set<ClassEntry> classes;
    const ClassesKey root(L"CLSID");
    for (const auto& clsid : root.subkeys()) {
        const ClassesKey server(L"CLSID\\" + clsid + L"\\InprocServer32");
        if (!server || !sameText(server.text(), dll)) {
            continue;
        }
        const std::string progId = ClassesKey(L"CLSID\\" + clsid + L"\\ProgID").text();
        // The ProgID leads back to the class.
        EXPECT_EQ(ClassesKey(std::wstring(progId.begin(), progId.end()) + L"\\CLSID").text(),
                  narrow(clsid));
        classes.emplace(narrow(clsid), progId, server.text(L"ThreadingModel"),
                        ClassesKey(L"CLSID\\" + clsid + L"\\TypeLib").text());
    }
    return classes;
}

// registeredInterfaces: every interface described by type library `libid`, as (iid, name,
// proxy-stub class, type library), found by walking Interface.
std::set<InterfaceEntry> registeredInterfaces(const std::string& libid) {
    std::set<InterfaceEntry> interfaces;
    const ClassesKey root(L"Interface");
    for (const auto& iid : root.subkeys()) {
        const std::wstring path = L"Interface\\" + iid;
        const std::string library = ClassesKey(path + L"\\TypeLib").text();
        if (!sameText(library, libid)) {
            continue;
        }
        interfaces.emplace(narrow(iid), ClassesKey(path).text(),
                           ClassesKey(path + L"\\ProxyStubClsid32").text(), library);
    }
    return interfaces;
}

class AssemblyManifestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(library.get(), nullptr);
        ASSERT_FALSE(manifest.empty()) << "no manifest at " << TOBRUNEL_MANIFEST;
    }

    LoadedLibrary library{dllPath()};
    std::string manifest = manifestFile();
};

TEST_F(AssemblyManifestTest, TheDllCarriesTheShippedManifestAsItsOwn) {
    const LoadedLibrary data(dllPath(), asImageResource);
    const auto bytes = data.resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), manifest);
}

TEST_F(AssemblyManifestTest, NamesTheDllWithItsVersionAndProcessor) {
    auto identities = elementsOf(manifest, "assemblyIdentity");
    ASSERT_EQ(identities.size(), 1u);
    auto files = elementsOf(manifest, "file");
    ASSERT_EQ(files.size(), 1u);
    const std::wstring path = dllPath();
    const std::string fileName = narrow(path.substr(path.find_last_of(L"\\/") + 1));
    EXPECT_TRUE(sameText(files[0]["name"], fileName)) << files[0]["name"];
    EXPECT_TRUE(sameText(identities[0]["name"] + ".dll", fileName)) << identities[0]["name"];
    EXPECT_EQ(identities[0]["type"], "win32");
    EXPECT_EQ(identities[0]["processorArchitecture"], sizeof(void*) == 8 ? "amd64" : "x86");

    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(identities[0]["version"], std::to_string(HIWORD(fixed->dwFileVersionMS)) + '.' +
                                            std::to_string(LOWORD(fixed->dwFileVersionMS)) + '.' +
                                            std::to_string(HIWORD(fixed->dwFileVersionLS)) + '.' +
                                            std::to_string(LOWORD(fixed->dwFileVersionLS)));
}

TEST_F(AssemblyManifestTest, DescribesWhatRegistrationWrites) {
    ASSERT_HRESULT(S_OK, library.entry<Export>("DllRegisterServer")());
    const std::string dll = narrow(dllPath());
    const std::set<ClassEntry> registered = registeredClasses(dll);
    const auto typeLibraries = elementsOf(manifest, "typelib");
    ASSERT_EQ(typeLibraries.size(), 1u);
    Attributes typeLibrary = typeLibraries[0];
    const std::set<InterfaceEntry> registeredDuals = registeredInterfaces(typeLibrary["tlbid"]);
    const std::wstring versionKey =
        L"TypeLib\\" + std::wstring(typeLibrary["tlbid"].begin(), typeLibrary["tlbid"].end()) +
        L"\\" + std::wstring(typeLibrary["version"].begin(), typeLibrary["version"].end());
    const std::string flags = ClassesKey(versionKey + L"\\FLAGS").text();
    const std::string file =
        ClassesKey(versionKey + L"\\0\\" + (sizeof(void*) == 8 ? L"win64" : L"win32")).text();
    ASSERT_HRESULT(S_OK, library.entry<Export>("DllUnregisterServer")());

    ASSERT_EQ(registered.size(), 2u) << "registration writes the two creatable classes";
    std::set<ClassEntry> described;
    for (auto& entry : elementsOf(manifest, "comClass")) {
        described.emplace(entry["clsid"], entry["progid"], entry["threadingModel"], entry["tlbid"]);
    }
    EXPECT_EQ(described, registered);

    EXPECT_TRUE(sameText(file, dll)) << "the type library is not registered from the DLL";
    EXPECT_EQ(flagNames(flags), typeLibrary["flags"]) << "registered flags " << flags;

    ASSERT_EQ(registeredDuals.size(), 3u) << "registration writes the three dual interfaces";
    std::set<InterfaceEntry> describedDuals;
    for (auto& entry : elementsOf(manifest, "comInterfaceExternalProxyStub")) {
        describedDuals.emplace(entry["iid"], entry["name"], entry["proxyStubClsid32"],
                               entry["tlbid"]);
    }
    EXPECT_EQ(describedDuals, registeredDuals);
}

} // namespace
} // namespace tobrunel::server
