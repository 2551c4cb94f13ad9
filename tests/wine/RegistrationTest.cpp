// DllRegisterServer and DllUnregisterServer against the prefix's registry: registration writes
// the type library and the entries of the two creatable classes, nothing for the dependency
// list, and unregistration takes all of it away again.
#include "server/Descriptions.h"

#include "ServerTestSupport.h"

#include <set>
#include <string>

namespace tobrunel::server {
namespace {

using namespace testing;

using Export = HRESULT(STDAPICALLTYPE*)();

std::wstring guidText(const GUID& guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring progIdOf(const ClassRecord& record) {
    return std::wstring(velcastraLibrary.name) + L"." + std::wstring(record.name);
}

std::wstring classKeyOf(const ClassRecord& record) {
    return L"CLSID\\" + guidText(record.clsid);
}

// Key opens a key of HKEY_CLASSES_ROOT for reading; it is false when the key does not exist.
class Key {
public:
    explicit Key(const std::wstring& path) {
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    explicit operator bool() const noexcept { return key_ != nullptr; }

    // text reads a REG_SZ value, the default one for an empty name; "(missing)" when absent.
    std::wstring text(const wchar_t* name = nullptr) const {
        wchar_t buffer[1024] = {};
        DWORD size = sizeof buffer - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            return L"(missing)";
        }
        return buffer;
    }

    std::set<std::wstring> subkeys() const {
        std::set<std::wstring> names;
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                return names;
            }
            names.insert(name);
        }
    }

private:
    HKEY key_ = nullptr;
};

bool sameFile(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_NE(library.get(), nullptr);
        ASSERT_HRESULT(S_OK, unregisterServer());
    }
    void TearDown() override { unregisterServer(); }

    HRESULT registerServer() { return library.entry<Export>("DllRegisterServer")(); }
    HRESULT unregisterServer() { return library.entry<Export>("DllUnregisterServer")(); }

    std::vector<std::wstring> everyKeyRegistrationWrites() {
        std::vector<std::wstring> keys{L"TypeLib\\" + guidText(velcastraLibrary.libid)};
        for (const auto* record : velcastraLibrary.classes) {
            keys.push_back(L"Interface\\" + guidText(record->defaultInterface->iid));
            keys.push_back(classKeyOf(*record));
            keys.push_back(progIdOf(*record));
        }
        return keys;
    }

    ComApartment apartment;
    LoadedLibrary library{dllPath()};
};

TEST_F(RegistrationTest, WritesTheStandardEntriesOfEachCreatableClass) {
    ASSERT_HRESULT(S_OK, registerServer());
    for (const auto* record : velcastraLibrary.classes) {
        SCOPED_TRACE(std::wstring(record->name));
        const auto progId = progIdOf(*record);
        const auto classKey = classKeyOf(*record);
        if (record->instancing != Instancing::MultiUse) {
            EXPECT_FALSE(Key(progId));
            EXPECT_FALSE(Key(classKey));
            continue;
        }
        EXPECT_EQ(Key(progId + L"\\CLSID").text(), guidText(record->clsid));
        const Key classEntry(classKey);
        ASSERT_TRUE(classEntry);
        EXPECT_EQ(classEntry.subkeys(),
                  (std::set<std::wstring>{L"InprocServer32", L"ProgID", L"TypeLib", L"Version"}));
        const Key server(classKey + L"\\InprocServer32");
        EXPECT_TRUE(sameFile(server.text(), dllPath())) << server.text().c_str();
        EXPECT_EQ(server.text(L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(Key(classKey + L"\\ProgID").text(), progId);
        EXPECT_EQ(Key(classKey + L"\\TypeLib").text(), guidText(velcastraLibrary.libid));
        EXPECT_EQ(Key(classKey + L"\\Version").text(), L"1.0");

        CLSID found{};
        EXPECT_HRESULT(S_OK, CLSIDFromProgID(progId.c_str(), &found));
        EXPECT_TRUE(found == record->clsid);
    }
}

TEST_F(RegistrationTest, RegistersTheTypeLibraryFromTheComponentFile) {
    ASSERT_HRESULT(S_OK, registerServer());
    Bstr path;
    ASSERT_HRESULT(S_OK, QueryPathOfRegTypeLib(velcastraLibrary.libid, 1, 0, 0, path.put()));
    EXPECT_TRUE(sameFile(textOf(path.get()), dllPath())) << path.get();
    ComPtr<ITypeLib> registered;
    EXPECT_HRESULT(
        S_OK, LoadRegTypeLib(velcastraLibrary.libid, 1, 0, 0, registered.ReleaseAndGetAddressOf()));
    // The interfaces are registered for the automation marshaller.
    for (const auto* record : velcastraLibrary.classes) {
        const auto interfaceKey = L"Interface\\" + guidText(record->defaultInterface->iid);
        EXPECT_EQ(Key(interfaceKey).text(), std::wstring(record->defaultInterface->name));
        EXPECT_EQ(Key(interfaceKey + L"\\TypeLib").text(), guidText(velcastraLibrary.libid));
    }
}

TEST_F(RegistrationTest, UnregistrationRemovesEverythingAndMayBeRepeated) {
    ASSERT_HRESULT(S_OK, registerServer());
    ASSERT_HRESULT(S_OK, unregisterServer());
    for (const auto& key : everyKeyRegistrationWrites()) {
        EXPECT_FALSE(Key(key)) << key.c_str();
    }
    CLSID found{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"Velcastra.clsServices", &found)));
    EXPECT_HRESULT(S_OK, unregisterServer());
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneRegistration) {
    ASSERT_HRESULT(S_OK, registerServer());
    ASSERT_HRESULT(S_OK, registerServer());
    ASSERT_HRESULT(S_OK, unregisterServer());
    for (const auto& key : everyKeyRegistrationWrites()) {
        EXPECT_FALSE(Key(key)) << key.c_str();
    }
}

} // namespace
} // namespace tobrunel::server
