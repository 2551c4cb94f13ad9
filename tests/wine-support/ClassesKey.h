// ClassesKey: one key of HKEY_CLASSES_ROOT opened for reading, for the checks of what
// registration writes. A key that does not exist reads as no subkeys, no values and "(missing)".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tobrunel::server::testing {

class ClassesKey {
public:
    explicit ClassesKey(const std::wstring& path) {
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ClassesKey(const ClassesKey&) = delete;
    ClassesKey& operator=(const ClassesKey&) = delete;
    ~ClassesKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    explicit operator bool() const noexcept { return key_ != nullptr; }

    // text is a REG_SZ value (the default one for no name) as ASCII, which the registration's
    // ids, ProgIDs and names are; "(missing)" when absent.
    std::string text(const wchar_t* name = nullptr) const {
        wchar_t buffer[1024] = {};
        DWORD size = sizeof buffer - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            return "(missing)";
        }
        const std::wstring value(buffer);
        return std::string(value.begin(), value.end());
    }

    std::vector<std::wstring> subkeys() const {
        std::vector<std::wstring> names;
        wchar_t name[256];
        for (DWORD length = 256;
             key_ != nullptr && RegEnumKeyExW(key_, static_cast<DWORD>(names.size()), name, &length,
                                              nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             length = 256) {
            names.emplace_back(name, length);
        }
        return names;
    }

    // values is each value as "[name] = data", the default one without a name.
    std::vector<std::wstring> values() const {
        std::vector<std::wstring> found;
        wchar_t name[256];
        wchar_t data[1024];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256, size = sizeof data - sizeof(wchar_t), type = 0;
            if (RegEnumValueW(key_, index, name, &length, nullptr, &type,
                              reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
                return found;
            }
            data[size / sizeof(wchar_t)] = L'\0';
            found.push_back(
                (length == 0 ? L"" : L" [" + std::wstring(name) + L"]") + L" = " +
                (type == REG_SZ ? std::wstring(data) : L"(type " + std::to_wstring(type) + L")"));
        }
    }

private:
    HKEY key_ = nullptr;
};

} // namespace tobrunel::server::testing
