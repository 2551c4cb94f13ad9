// PeImage: the headers, exports and imports of a DLL read from its file, so that a 64-bit check
// reads a 32-bit DLL as well as its own.
#pragma once

#include "server/Platform.h"

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tobrunel::server::testing {

class MalformedImage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PeImage {
public:
    // Reads the whole file; a file that is not a PE image throws MalformedImage.
    explicit PeImage(const std::filesystem::path& file);

    const IMAGE_FILE_HEADER& fileHeader() const noexcept { return fileHeader_; }
    WORD optionalHeaderMagic() const noexcept { return magic_; }
    WORD dllCharacteristics() const noexcept { return dllCharacteristics_; }
    bool hasDirectory(unsigned index) const;

    std::vector<std::string> exportNames() const;
    std::vector<std::string> importedLibraries() const;

private:
    template <typename Value> Value at(std::size_t offset) const;
    std::size_t offsetOf(DWORD rva) const;
    std::string textAt(DWORD rva) const;

    std::vector<std::byte> bytes_;
    IMAGE_FILE_HEADER fileHeader_{};
    WORD magic_ = 0;
    WORD dllCharacteristics_ = 0;
    std::vector<IMAGE_DATA_DIRECTORY> directories_;
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

} // namespace tobrunel::server::testing
