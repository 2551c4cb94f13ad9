// The component as a client meets it without registering it: the classes of its assembly
// manifest made active on a thread, and a look at HKEY_CLASSES_ROOT for any trace of a
// registration, which would let a client find the classes without the manifest.
#pragma once

#include "server/Descriptions.h"
#include "server/Platform.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tobrunel::server::testing {

// ActivationContext is the context that a manifest file describes; false when the platform
// refused the manifest. Its DLL is found beside the manifest.
class ActivationContext {
public:
    explicit ActivationContext(const std::wstring& manifest) {
        ACTCTXW description{};
        description.cbSize = sizeof description;
        description.lpSource = manifest.c_str();
        context_ = CreateActCtxW(&description);
    }
    ActivationContext(const ActivationContext&) = delete;
    ActivationContext& operator=(const ActivationContext&) = delete;
    ~ActivationContext() {
        if (context_ != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(context_);
        }
    }
    explicit operator bool() const noexcept { return context_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return context_; }

private:
    HANDLE context_;
};

// Activation makes a context active on the calling thread for one scope: each thread that
// creates or receives the component's objects activates it for itself.
class Activation {
public:
    explicit Activation(const ActivationContext& context) {
        active_ = context && ActivateActCtx(context.get(), &cookie_);
    }
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;
    ~Activation() {
        if (active_) {
            DeactivateActCtx(0, cookie_);
        }
    }
    explicit operator bool() const noexcept { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

// registrationTraces lists what HKEY_CLASSES_ROOT holds of the component: any key at its root
// whose name starts with the library's name (a ProgID), and the keys of the classes, the
// interfaces and the type library. Empty where the DLL was never registered.
inline std::vector<std::wstring> registrationTraces() {
    std::vector<std::wstring> traces;
    const std::wstring prefix = std::wstring(velcastraLibrary.name) + L'.';
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        const LSTATUS status = RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr,
                                             nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS &&
            CompareStringOrdinal(
                name, static_cast<int>(std::min<std::size_t>(length, prefix.size())),
                prefix.c_str(), static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL) {
            traces.emplace_back(name);
        }
    }
    const auto keyOf = [](const wchar_t* folder, const GUID& id) {
        wchar_t text[39] = {};
        StringFromGUID2(id, text, 39);
        return std::wstring(folder) + L'\\' + text;
    };
    std::vector<std::wstring> keys = {keyOf(L"TypeLib", velcastraLibrary.libid)};
    for (const auto* record : velcastraLibrary.classes) {
        keys.push_back(keyOf(L"CLSID", record->clsid));
        keys.push_back(keyOf(L"Interface", record->defaultInterface->iid));
    }
    for (const auto& key : keys) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
            RegCloseKey(opened);
            traces.push_back(key);
        }
    }
    return traces;
}

} // namespace tobrunel::server::testing
