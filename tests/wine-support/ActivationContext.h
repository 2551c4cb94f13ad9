// The component as a client meets it without registering it: the classes of its assembly
// manifest made active on a thread, and a look at HKEY_CLASSES_ROOT for any trace of a
// registration, which would let a client find the classes without the manifest.
#pragma once

#include "server/Platform.h"
#include "tests/dllcheck/Listing.h"
#include "tests/wine-support/ClassesKey.h"

#include <algorithm>
#include <set>
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

// registrationTraces lists what HKEY_CLASSES_ROOT holds of the component, as the published
// listing names it: any key at its root whose name starts with the library's name (a ProgID),
// and every key that registration adds. Empty where the DLL was never registered.
inline std::vector<std::wstring> registrationTraces() {
    const auto widened = [](const std::string& text) {
        return std::wstring(text.begin(), text.end());
    };
    std::set<std::wstring> listed;
    for (const auto& line : listedLines({"reg"})) {
        // A key at the root (a ProgID), or one below CLSID, Interface or TypeLib.
        const auto key = widened(line.substr(4, line.find(' ', 4) - 4));
        const auto top = key.substr(0, key.find(L'\\'));
        const bool folder = top == L"CLSID" || top == L"Interface" || top == L"TypeLib";
        listed.insert(folder ? key.substr(0, key.find(L'\\', top.size() + 1)) : top);
    }
    if (listed.empty()) {
        return {L"no registry key listed in " TOBRUNEL_PUBLISHED_LISTING};
    }
    const auto library = listedLines({"library"});
    const std::wstring prefix =
        library.empty() ? L"?" : widened(library[0].substr(8, library[0].find(' ', 8) - 8)) + L'.';
    std::vector<std::wstring> traces;
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
            listed.erase(name);
        }
    }
    for (const auto& key : listed) {
        if (ClassesKey(key)) {
            traces.push_back(key);
        }
    }
    return traces;
}

} // namespace tobrunel::server::testing
