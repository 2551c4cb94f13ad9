// The module handle and the live-object count.
#include "server/Module.h"

#include "server/TypeInformation.h"

#include <atomic>
#include <vector>

namespace tobrunel::server {

namespace {
HMODULE moduleHandle = nullptr;
std::atomic<long> objectsAndLocks{0};
} // namespace

BOOL onLoadNotification(HINSTANCE module, DWORD reason, LPVOID reserved) noexcept {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleHandle = module;
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        releaseTypeInformation();
    }
    return TRUE;
}

HMODULE thisModule() noexcept {
    return moduleHandle;
}

std::wstring modulePath() {
    return pathOfModule(moduleHandle);
}

std::wstring pathOfModule(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const auto size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(module, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            return std::wstring(buffer.data(), length);
        }
        // The platform cut the path to fit; a longer buffer holds it whole.
        buffer.resize(buffer.size() * 2);
    }
}

void countObjectOrLock() noexcept {
    ++objectsAndLocks;
}
void uncountObjectOrLock() noexcept {
    --objectsAndLocks;
}
long liveObjectsAndLocks() noexcept {
    return objectsAndLocks.load();
}

} // namespace tobrunel::server
