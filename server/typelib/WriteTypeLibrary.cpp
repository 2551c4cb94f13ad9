// Build-time tool: writes Velcastra.tlb and the three interface-identity resource bodies into the
// current directory, for the resource compiler to embed in Tobrunel.dll.
#include "server/ComApartment.h"
#include "server/Descriptions.h"
#include "server/typelib/TypeLibraryWriter.h"

#include <exception>
#include <iostream>
#include <string>

namespace {

// The library describes the platform this build targets: pointer sizes and vtable offsets
// follow from it.
constexpr SYSKIND targetPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

} // namespace

int main() {
    using namespace tobrunel::server;
    try {
        ComApartment apartment;
        if (FAILED(apartment.result())) {
            throw TypeLibraryError("CoInitializeEx", apartment.result());
        }
        writeTypeLibrary(std::wstring(velcastraLibrary.name) + L".tlb", targetPlatform);
        for (const auto* record : velcastraLibrary.classes) {
            const auto& description = *record->defaultInterface;
            writeInterfaceResource(std::wstring(description.name) + L".iid", description.iid);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "WriteTypeLibrary: " << error.what() << '\n';
        return 1;
    }
}
