// Reads a PE image's headers, export names and imported libraries from its bytes, for either
// pointer width, checking every offset against the file's end.
#include "tests/dllcheck/PeImage.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace tobrunel::server::testing {

PeImage::PeImage(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw MalformedImage("cannot open " + file.string());
    }
    const std::vector<char> text{std::istreambuf_iterator<char>(stream),
                                 std::istreambuf_iterator<char>()};
    bytes_.resize(text.size());
    std::memcpy(bytes_.data(), text.data(), text.size());

    const auto dos = at<IMAGE_DOS_HEADER>(0);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) {
        throw MalformedImage("no DOS header");
    }
    const auto nt = static_cast<std::size_t>(dos.e_lfanew);
    if (at<DWORD>(nt) != IMAGE_NT_SIGNATURE) {
        throw MalformedImage("no PE signature");
    }
    fileHeader_ = at<IMAGE_FILE_HEADER>(nt + 4);
    const auto optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    magic_ = at<WORD>(optional);
    DWORD directoryCount = 0;
    std::size_t directories = 0;
    if (magic_ == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        const auto header = at<IMAGE_OPTIONAL_HEADER32>(optional);
        dllCharacteristics_ = header.DllCharacteristics;
        directoryCount = header.NumberOfRvaAndSizes;
        directories = optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    } else if (magic_ == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        const auto header = at<IMAGE_OPTIONAL_HEADER64>(optional);
        dllCharacteristics_ = header.DllCharacteristics;
        directoryCount = header.NumberOfRvaAndSizes;
        directories = optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    } else {
        throw MalformedImage("unknown optional header");
    }
    for (DWORD i = 0; i < directoryCount && i < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++i) {
        directories_.push_back(
            at<IMAGE_DATA_DIRECTORY>(directories + i * sizeof(IMAGE_DATA_DIRECTORY)));
    }
    const auto sections = optional + fileHeader_.SizeOfOptionalHeader;
    for (WORD i = 0; i < fileHeader_.NumberOfSections; ++i) {
        sections_.push_back(at<IMAGE_SECTION_HEADER>(sections + i * sizeof(IMAGE_SECTION_HEADER)));
    }
}

template <typename Value> Value PeImage::at(std::size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(Value)) {
        throw MalformedImage("a header lies past the end of the file");
    }
    Value value;
    std::memcpy(&value, bytes_.data() + offset, sizeof value);
    return value;
}

std::size_t PeImage::offsetOf(DWORD rva) const {
    for (const auto& section : sections_) {
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData) {
            return section.PointerToRawData + (rva - section.VirtualAddress);
        }
    }
    throw MalformedImage("an address outside every section");
}

std::string PeImage::textAt(DWORD rva) const {
    std::string text;
    for (auto offset = offsetOf(rva);; ++offset) {
        const auto c = at<char>(offset);
        if (c == '\0') {
            return text;
        }
        text.push_back(c);
    }
}

bool PeImage::hasDirectory(unsigned index) const {
    return index < directories_.size() && directories_[index].VirtualAddress != 0 &&
           directories_[index].Size != 0;
}

std::vector<std::string> PeImage::exportNames() const {
    std::vector<std::string> names;
    if (!hasDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT)) {
        return names;
    }
    const auto directory = at<IMAGE_EXPORT_DIRECTORY>(
        offsetOf(directories_[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress));
    for (DWORD i = 0; i < directory.NumberOfNames; ++i) {
        names.push_back(textAt(at<DWORD>(offsetOf(directory.AddressOfNames) + 4 * i)));
    }
    return names;
}

std::vector<std::string> PeImage::importedLibraries() const {
    std::vector<std::string> names;
    if (!hasDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT)) {
        return names;
    }
    auto descriptor = offsetOf(directories_[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (;; descriptor += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto entry = at<IMAGE_IMPORT_DESCRIPTOR>(descriptor);
        if (entry.Name == 0) {
            return names;
        }
        names.push_back(textAt(entry.Name));
    }
}

} // namespace tobrunel::server::testing
