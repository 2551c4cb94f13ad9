// Build-time tool: writes Velcastra.tlb, the three interface-identity resource bodies and the
// resource script that names them (LibraryResources.rc, which Tobrunel.rc includes) into the
// current directory, for the resource compiler to embed in Tobrunel.dll.
//
//   WriteTypeLibrary win32|win64 [STDOLE2]
//
// The platform is an argument rather than this program's own, so that one 64-bit program writes
// the library of either DLL and the bytes do not depend on which machine built them. A 32-bit
// library takes IDispatch from the 32-bit stdole2.tlb (STDOLE2): the writer sizes each dual
// interface's vtable from the IDispatch it is given.
#include "client/ComApartment.h"
#include "library/Description.h"
#include "tools/typelib/TypeLibraryWriter.h"
#include "client/WindowsPath.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    using namespace tobrunel::server;
    using namespace tobrunel::client;
    const std::string_view platform = argc >= 2 ? argv[1] : "";
    if ((platform != "win32" && platform != "win64") || argc > 3) {
        std::cerr << "usage: WriteTypeLibrary win32|win64 [STDOLE2]\n";
        return 2;
    }
    try {
        ComApartment apartment;
        if (FAILED(apartment.result())) {
            throw TypeLibraryError("CoInitializeEx", apartment.result());
        }
        const std::wstring standardLibrary = argc == 3 ? windowsPathOf(argv[2]) : L"stdole2.tlb";
        const std::wstring library = std::wstring(velcastraLibrary.name) + L".tlb";
        writeTypeLibrary(library, platform == "win64" ? SYS_WIN64 : SYS_WIN32, standardLibrary);
        // The library's names are ASCII.
        const auto narrow = [](const std::wstring& text) {
            return std::string(text.begin(), text.end());
        };
        std::ofstream script("LibraryResources.rc", std::ios::binary | std::ios::trunc);
        script << "1 TYPELIB \"" << narrow(library) << "\"\n";
        for (const auto* record : velcastraLibrary.classes) {
            const auto& description = *record->defaultInterface;
            const std::wstring body = std::wstring(description.name) + L".iid";
            writeInterfaceResource(body, description.iid);
            script << "1 " << narrow(resourceNameOf(*record)) << " \"" << narrow(body) << "\"\n";
        }
        if (!script.flush()) {
            throw TypeLibraryError("writing LibraryResources.rc", E_FAIL);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "WriteTypeLibrary: " << error.what() << '\n';
        return 1;
    }
}
