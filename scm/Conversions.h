// The conversions of text at the platform boundary.
#pragma once

#include "scm/ServiceManager.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tobrunel::scm {

// The sizes of the buffers that the platform's texts are copied into, which clients see: a name
// of 256 bytes or more does not fit a name lookup with its NUL, so the Name and DisplayName
// setters fail there, and the dependency text comes with the buffer's filler spaces up to 512
// bytes. 256 is the platform's own limit on the length of a service name and of a display name;
// the dependency list, several names each with its NUL, has twice that.
inline constexpr std::size_t TextBufferSize = 256;
inline constexpr std::size_t ListBufferSize = 512;

// PlatformBuffer is the memory a query filled: a text pointer the platform hands back is only
// read when it points into it.
using PlatformBuffer = std::span<const std::byte>;

// bufferCopy copies the platform's text at `text` into a buffer of `size` spaces and converts the
// whole buffer to Unicode: the text, its NUL, then the rest of the spaces. A pointer that is null
// or outside `filled` is a text the platform did not write, and the spaces stay. A text too long
// for the buffer is taken whole, with its NUL and no spaces, so a long path is never cut short
// and nothing is written past a buffer; an unended text stops at the end of `filled`.
std::u16string bufferCopy(const ServiceManager& platform, PlatformBuffer filled, const char* text,
                          std::size_t size = TextBufferSize);

// listCopy copies a NUL-separated list through the NUL that closes it into a buffer of `size`
// spaces, with no cut: the dependency list removes the filler itself. Longer lists are taken
// whole, as bufferCopy does.
std::u16string listCopy(const ServiceManager& platform, PlatformBuffer filled, const char* list,
                        std::size_t size = ListBufferSize);

// cutAtNul keeps what stands before the first NUL. A buffer without one was never written by the
// platform and raises automation error 5.
std::u16string cutAtNul(std::u16string_view text);

// guardedCutAtNul leaves a text of spaces alone and cuts any other at its first NUL.
std::u16string guardedCutAtNul(std::u16string_view text);

// readComputerName asks the platform for this computer's name in a buffer of 256 spaces and cuts
// it at its NUL; the call's result is not examined, so an unwritten buffer raises error 5.
std::u16string readComputerName(ServiceManager& platform);

// NameLookup is one of the two name lookups, GetServiceDisplayNameA and GetServiceKeyNameA.
using NameLookup = int (ServiceManager::*)(RawHandle, const char*, char*, std::uint32_t*);

// readName runs `lookup` of one name into a buffer of 256 spaces on an open manager; it returns
// false, and leaves `result` alone, when the platform refuses.
bool readName(ServiceManager& platform, NameLookup lookup, RawHandle manager,
              std::u16string_view name, std::u16string& result);

// readConfigRecord copies the fixed part of a configuration out of the byte buffer the platform
// filled; the texts stay in the buffer, where its pointers point.
ServiceConfig readConfigRecord(PlatformBuffer filled);

} // namespace tobrunel::scm
