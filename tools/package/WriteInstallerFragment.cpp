// Build-time tool: writes the WiX fragment that installs and registers one DLL of the component,
// from the library record that registration reads. The project's own Windows Installer packages
// are built from it, and installer authors include it in theirs.
//
//   WriteInstallerFragment x86|x64 NAME OUTPUT FILE...
//
// FILE... are the paths of the install tree (relative, "/" between folders), NAME.dll among them.
// The fragment defines the folder "Tobrunel" under the directory that the preprocessor variable
// TobrunelParentFolder names, one component a file, and the component group "Tobrunel". The DLL's
// component carries the registration as registry values, exactly the keys that DllRegisterServer
// writes for the installed path, so that a package needs no self-registration and no custom
// action: it installs, repairs and uninstalls the registration with the file. OUTPUT is a name
// in the current directory: a Windows program reads no host path.
#include "library/ClassRegistration.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tobrunel::server;

// The standard marshaller that builds proxies and stubs from a type library.
constexpr std::string_view typeLibraryMarshaller = "{00020424-0000-0000-C000-000000000046}";
// The library's flags as the platform's registration writes them for a library read from a DLL:
// none of its own, and "has a disk image".
constexpr std::string_view libraryFlags = "8";
// The folder that the fragment adds under the author's directory.
constexpr std::string_view folderName = "Tobrunel";

// xmlText escapes what XML and the installer's formatted text treat as markup; the library's
// texts are ASCII, anything else is refused rather than guessed at.
std::string xmlText(std::wstring_view text) {
    std::string result;
    for (const wchar_t c : text) {
        if (c < 0x20 || c > 0x7E || c == L'[' || c == L']') {
            throw std::invalid_argument("a text of the library cannot be written as is");
        }
        switch (c) {
        case L'&':
            result += "&amp;";
            break;
        case L'<':
            result += "&lt;";
            break;
        case L'>':
            result += "&gt;";
            break;
        case L'"':
            result += "&quot;";
            break;
        default:
            result.push_back(static_cast<char>(c));
        }
    }
    return result;
}

std::string xmlGuid(const GUID& guid) {
    return xmlText(guidText(guid));
}

// identifierOf makes an installer identifier (letters, digits, "_" and ".") of a path.
std::string identifierOf(std::string_view path) {
    std::string id = "Tobrunel_";
    for (const char c : path) {
        id.push_back(std::isalnum(static_cast<unsigned char>(c)) || c == '.' ? c : '_');
    }
    return id;
}

// RegistryRow is one value under HKEY_CLASSES_ROOT; an empty name is the key's default value.
struct RegistryRow {
    std::string key;
    std::string name;
    std::string value;
};

// classValuesOf lists what DllRegisterServer writes for each creatable class and for the type
// library. `dll` and `folder` are the installer's formatted texts for the installed file and its
// folder (without the final "\", as the platform's registration writes it).
std::vector<RegistryRow> classValuesOf(const LibraryRecord& library, std::string_view platform,
                                       const std::string& dll, const std::string& folder) {
    const std::string libid = xmlGuid(library.libid);
    const std::string version = xmlText(libraryVersionText());
    std::vector<RegistryRow> values;
    for (const auto* record : library.classes) {
        if (record->instancing != Instancing::MultiUse) {
            continue; // the component makes it for itself: nothing to find it by
        }
        // The path stands in for the installer's formatted text, which is no text of the library.
        const std::wstring path = L"?";
        for (const auto& tree : classTrees(*record, path)) {
            for (const auto& [subkey, name, value] : tree.values) {
                values.push_back({xmlText(subkey.empty() ? tree.root : tree.root + L'\\' + subkey),
                                  xmlText(name), value == path ? dll : xmlText(value)});
            }
        }
    }
    const std::string libraryKey = "TypeLib\\" + libid + '\\' + version;
    values.insert(values.end(), {
                                    {libraryKey, "", xmlText(library.description)},
                                    {libraryKey + '\\' + std::to_string(library.lcid) + '\\' +
                                         std::string(platform),
                                     "", dll},
                                    {libraryKey + "\\FLAGS", "", std::string(libraryFlags)},
                                    {libraryKey + "\\HELPDIR", "", folder},
                                });
    return values;
}

// interfaceValuesOf lists what registering the type library writes for each class's dual
// interface: the type-library marshaller, so that objects cross apartments and processes.
std::vector<RegistryRow> interfaceValuesOf(const LibraryRecord& library) {
    const std::string libid = xmlGuid(library.libid);
    std::vector<RegistryRow> values;
    for (const auto* record : library.classes) {
        const InterfaceDescription& dual = *record->defaultInterface;
        const std::string key = "Interface\\" + xmlGuid(dual.iid);
        values.insert(values.end(),
                      {
                          {key, "", xmlText(dual.name)},
                          {key + "\\ProxyStubClsid", "", std::string(typeLibraryMarshaller)},
                          {key + "\\ProxyStubClsid32", "", std::string(typeLibraryMarshaller)},
                          {key + "\\TypeLib", "", libid},
                          {key + "\\TypeLib", "Version", xmlText(libraryVersionText())},
                      });
    }
    return values;
}

void writeValues(std::ostream& out, const std::vector<RegistryRow>& values, std::string_view indent,
                 bool firstIsKeyPath) {
    for (const auto& [key, name, value] : values) {
        out << indent << "<RegistryValue Root=\"HKCR\" Key=\"" << key << '"';
        if (!name.empty()) {
            out << " Name=\"" << name << '"';
        }
        out << " Value=\"" << value << "\" Type=\"string\""
            << (firstIsKeyPath ? " KeyPath=\"yes\"" : "") << "/>\n";
        firstIsKeyPath = false;
    }
}

// Folder is one folder of the install tree: its files, then its subfolders by name.
struct Folder {
    std::vector<std::string> files; // paths from the top of the tree
    std::map<std::string, Folder> folders;
};

Folder treeOf(const std::vector<std::string>& paths) {
    Folder top;
    for (const auto& path : paths) {
        Folder* folder = &top;
        for (std::size_t start = 0, slash; (slash = path.find('/', start)) != std::string::npos;
             start = slash + 1) {
            folder = &folder->folders[path.substr(start, slash - start)];
        }
        folder->files.push_back(path);
    }
    return top;
}

// Fragment writes the fragment of one DLL; the components' ids go into its component group.
class Fragment {
public:
    Fragment(bool wide, std::string dllPath) : wide_(wide), dllPath_(std::move(dllPath)) {}

    std::string write(const Folder& top) {
        out_ << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
             << "<!-- Installs and registers " << dllPath_ << " (written by the build; never edit"
             << " by hand). -->\n"
             << "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
             << "  <Fragment>\n"
             << "    <DirectoryRef Id=\"$(var.TobrunelParentFolder)\">\n"
             << "      <Directory Id=\"TobrunelFolder\" Name=\"" << folderName << "\">\n";
        writeFolder(top, "        ");
        if (wide_) {
            writeOtherViewInterfaces("        ");
        }
        out_ << "      </Directory>\n"
             << "    </DirectoryRef>\n"
             << "    <ComponentGroup Id=\"Tobrunel\">\n";
        for (const auto& id : components_) {
            out_ << "      <ComponentRef Id=\"" << id << "\"/>\n";
        }
        out_ << "    </ComponentGroup>\n"
             << "  </Fragment>\n"
             << "</Wix>\n";
        return out_.str();
    }

private:
    std::string win64() const { return wide_ ? " Win64=\"yes\"" : ""; }

    void writeFolder(const Folder& folder, const std::string& indent) {
        for (const auto& path : folder.files) {
            writeFile(path, indent);
        }
        for (const auto& [name, inner] : folder.folders) {
            out_ << indent << "<Directory Id=\"" << identifierOf(name + "_folder") << "\" Name=\""
                 << name << "\">\n";
            writeFolder(inner, indent + "  ");
            out_ << indent << "</Directory>\n";
        }
    }

    void writeFile(const std::string& path, const std::string& indent) {
        const std::string id = identifierOf(path);
        const std::string name = path.substr(path.find_last_of('/') + 1);
        components_.push_back(id);
        out_ << indent << "<Component Id=\"" << id << "\" Guid=\"*\"" << win64() << ">\n"
             << indent << "  <File Id=\"" << id << "\" Name=\"" << name << "\" Source=\"" << path
             << "\" KeyPath=\"yes\"/>\n";
        if (path == dllPath_) {
            // The folder as the platform's registration writes it, without the final "\" that
            // the installer gives every folder of its own.
            const std::string folder = "[$(var.TobrunelParentFolder)]" + std::string(folderName);
            writeValues(
                out_,
                classValuesOf(velcastraLibrary, wide_ ? "win64" : "win32", "[#" + id + ']', folder),
                indent + "  ", false);
            writeValues(out_, interfaceValuesOf(velcastraLibrary), indent + "  ", false);
        }
        out_ << indent << "</Component>\n";
    }

    // A 64-bit DLL's registration writes the interfaces in the 32-bit view too, so that 32-bit
    // clients marshal its objects.
    void writeOtherViewInterfaces(const std::string& indent) {
        const std::string id = identifierOf(dllPath_ + "_interfaces_32");
        components_.push_back(id);
        out_ << indent << "<Component Id=\"" << id << "\" Guid=\"*\">\n";
        writeValues(out_, interfaceValuesOf(velcastraLibrary), indent + "  ", true);
        out_ << indent << "</Component>\n";
    }

    bool wide_;
    std::string dllPath_;
    std::ostringstream out_;
    std::vector<std::string> components_;
};

} // namespace

int main(int argc, char** argv) {
    const std::regex fileName(R"([A-Za-z0-9_]+)");
    const std::regex relativePath(R"([A-Za-z0-9_.-]+(/[A-Za-z0-9_.-]+)*)");
    bool usable = argc >= 5 &&
                  (std::string_view(argv[1]) == "x86" || std::string_view(argv[1]) == "x64") &&
                  std::regex_match(argv[2], fileName);
    const std::vector<std::string> paths(argv + std::min(argc, 4), argv + argc);
    for (const auto& path : paths) {
        usable = usable && std::regex_match(path, relativePath);
    }
    const std::string dll = usable ? std::string(argv[2]) + ".dll" : std::string();
    if (!usable || std::find(paths.begin(), paths.end(), dll) == paths.end()) {
        std::cerr << "usage: WriteInstallerFragment x86|x64 NAME OUTPUT FILE... (NAME.dll among"
                     " the files)\n";
        return 2;
    }
    try {
        const std::string fragment =
            Fragment(std::string_view(argv[1]) == "x64", dll).write(treeOf(paths));
        std::ofstream file(argv[3], std::ios::binary | std::ios::trunc);
        file << fragment;
        file.close();
        if (!file) {
            std::cerr << "WriteInstallerFragment: cannot write " << argv[3] << '\n';
            return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "WriteInstallerFragment: " << error.what() << '\n';
        return 1;
    }
}
