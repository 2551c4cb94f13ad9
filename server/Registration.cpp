// Writing and removing the registry entries of the library and its creatable classes.
#include "server/Registration.h"

#include "library/ClassRegistration.h"
#include "server/Module.h"

#include <memory>
#include <new>
#include <type_traits>
#include <string>
#include <vector>

namespace tobrunel::server {

namespace {

HRESULT fromWin32(LSTATUS status) {
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

// writeValue creates `path` under HKEY_CLASSES_ROOT as needed and sets its value `name` (the
// default value when null).
HRESULT writeValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return fromWin32(
        RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), name, REG_SZ, value.c_str(), bytes));
}

HRESULT removeTree(const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    // RegDeleteTree leaves the key itself on some systems; remove it, and accept its absence.
    const LSTATUS removed = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return fromWin32(status);
    }
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
        return fromWin32(removed);
    }
    return S_OK;
}

bool keyExists(const std::wstring& path) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key);
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> opened(key,
                                                                                      &RegCloseKey);
    return status == ERROR_SUCCESS;
}

constexpr SYSKIND thisPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT registerTypeLibrary(const std::wstring& path) {
    ComPtr<ITypeLib> library;
    HRESULT status = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.ReleaseAndGetAddressOf());
    if (SUCCEEDED(status)) {
        std::wstring fullPath = path;
        status = RegisterTypeLib(library.Get(), fullPath.data(), nullptr);
    }
    return status;
}

HRESULT unregisterTypeLibrary() {
    const auto& library = velcastraLibrary;
    if (!keyExists(L"TypeLib\\" + guidText(registeredLibid) + L'\\' + libraryVersionText())) {
        return S_OK;
    }
    return UnRegisterTypeLib(registeredLibid, library.majorVersion, library.minorVersion,
                             library.lcid, thisPlatform);
}

HRESULT registerClass(const ClassRecord& record, const std::wstring& path) {
    for (const auto& tree : classTrees(record, path)) {
        for (const auto& [subkey, name, value] : tree.values) {
            const std::wstring key = subkey.empty() ? tree.root : tree.root + L'\\' + subkey;
            const HRESULT status = writeValue(key, name.empty() ? nullptr : name.c_str(), value);
            if (FAILED(status)) {
                return status;
            }
        }
    }
    return S_OK;
}

HRESULT unregisterClass(const ClassRecord& record) {
    HRESULT status = S_OK;
    for (const auto& tree : classTrees(record, {})) {
        const HRESULT removed = removeTree(tree.root);
        status = FAILED(status) ? status : removed;
    }
    return status;
}

} // namespace

HRESULT registerServer(HMODULE module) noexcept {
    try {
        const std::wstring path = pathOfModule(module);
        if (path.empty()) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        HRESULT status = registerTypeLibrary(path);
        for (const auto* record : velcastraLibrary.classes) {
            if (SUCCEEDED(status) && record->instancing == Instancing::MultiUse) {
                status = registerClass(*record, path);
            }
        }
        return status;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregisterServer() noexcept {
    try {
        HRESULT status = S_OK;
        for (const auto* record : velcastraLibrary.classes) {
            if (record->instancing == Instancing::MultiUse) {
                const HRESULT removed = unregisterClass(*record);
                status = FAILED(status) ? status : removed;
            }
        }
        const HRESULT typeLibrary = unregisterTypeLibrary();
        return FAILED(status) ? status : typeLibrary;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace tobrunel::server
