// Build-time tool: writes the assembly manifest of one DLL of the component from the library
// record that registration reads, so that clients can create its classes without registering it.
//
//   WriteAssemblyManifest x86|amd64 VERSION NAME OUTPUT
//
// VERSION is the DLL's file version as four numbers (a.b.c.d), NAME its file name without
// ".dll", which is also the assembly's name. The manifest names every creatable class with the
// ProgID and threading model that registration writes, the type library, and every class's dual
// interface with the type-library marshaller, which objects used across apartments need when
// nothing is registered. The output has LF line ends and no time in it: the same inputs give the
// same bytes. OUTPUT is a name in the current directory: a Windows program reads no host path.
#include "library/Description.h"

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>

namespace {

using namespace tobrunel::server;

// The standard marshaller that builds proxies and stubs from a type library.
constexpr std::string_view typeLibraryMarshaller = "{00020424-0000-0000-C000-000000000046}";

std::string narrow(std::wstring_view text) {
    // The library's names are ASCII; anything else would need escaping the tool does not do.
    std::string result;
    for (const wchar_t c : text) {
        if (c < 0x20 || c > 0x7E || c == L'"' || c == L'&' || c == L'<' || c == L'>') {
            throw std::invalid_argument("a name of the library is not plain ASCII");
        }
        result.push_back(static_cast<char>(c));
    }
    return result;
}

std::string guidOf(const GUID& guid) {
    return narrow(guidText(guid));
}

std::string manifestOf(std::string_view architecture, std::string_view version,
                       std::string_view name) {
    const LibraryRecord& library = velcastraLibrary;
    const std::string libid = guidOf(library.libid);
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        << "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        << "  <assemblyIdentity type=\"win32\" name=\"" << name << "\" version=\"" << version
        << "\" processorArchitecture=\"" << architecture << "\"/>\n"
        << "  <file name=\"" << name << ".dll\">\n";
    for (const auto* record : library.classes) {
        if (record->instancing != Instancing::MultiUse) {
            continue; // registration writes nothing for it either
        }
        out << "    <comClass clsid=\"" << guidOf(record->clsid) << "\" progid=\""
            << narrow(progIdOf(*record)) << "\" threadingModel=\"" << narrow(library.threadingModel)
            << "\" tlbid=\"" << libid << "\"/>\n";
    }
    // The type-library writer sets no library flags; registration writes those of the library
    // as loaded from the DLL, where the platform adds that it has a disk image.
    out << "    <typelib tlbid=\"" << libid << "\" version=\"" << library.majorVersion << '.'
        << library.minorVersion << "\" helpdir=\"\" flags=\"HASDISKIMAGE\"/>\n"
        << "  </file>\n";
    for (const auto* record : library.classes) {
        const InterfaceDescription& dual = *record->defaultInterface;
        out << "  <comInterfaceExternalProxyStub name=\"" << narrow(dual.name) << "\" iid=\""
            << guidOf(dual.iid) << "\" proxyStubClsid32=\"" << typeLibraryMarshaller
            << "\" tlbid=\"" << libid << "\"/>\n";
    }
    out << "</assembly>\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv) {
    const std::regex fourNumbers(R"(\d+\.\d+\.\d+\.\d+)");
    const std::regex fileName(R"([A-Za-z0-9_]+)");
    if (argc != 5 || (std::string_view(argv[1]) != "x86" && std::string_view(argv[1]) != "amd64") ||
        !std::regex_match(argv[2], fourNumbers) || !std::regex_match(argv[3], fileName)) {
        std::cerr << "usage: WriteAssemblyManifest x86|amd64 VERSION NAME OUTPUT\n";
        return 2;
    }
    try {
        const std::string manifest = manifestOf(argv[1], argv[2], argv[3]);
        std::ofstream file(argv[4], std::ios::binary | std::ios::trunc);
        file << manifest;
        file.close();
        if (!file) {
            std::cerr << "WriteAssemblyManifest: cannot write " << argv[4] << '\n';
            return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "WriteAssemblyManifest: " << error.what() << '\n';
        return 1;
    }
}
