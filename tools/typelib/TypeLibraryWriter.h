// Builds the Velcastra type library from the description of the library (library/Description.h),
// through the platform's type-library writer.
#pragma once

#include "server/Platform.h"

#include <stdexcept>
#include <string>

namespace tobrunel::server {

// TypeLibraryError names the step of the build that the platform refused and its HRESULT.
class TypeLibraryError : public std::runtime_error {
public:
    TypeLibraryError(const std::string& step, HRESULT result);
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

// writeTypeLibrary creates (or replaces) the type library file at `path` for `platform`, its
// interfaces derived from the IDispatch of `standardLibrary` (a stdole2.tlb of that platform).
// COM must be initialised on the calling thread; a refused step throws TypeLibraryError.
void writeTypeLibrary(const std::wstring& path, SYSKIND platform,
                      const std::wstring& standardLibrary);

// writeInterfaceResource writes the body of an interface-identity resource: the byte count 16
// as a 32-bit little-endian number, then the GUID in its in-memory form.
void writeInterfaceResource(const std::wstring& path, const GUID& iid);

} // namespace tobrunel::server
