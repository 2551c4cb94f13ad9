// libFuzzer target: buffer and list copies of texts anywhere in, or outside, a platform buffer
// the fuzzer fills, through both simulated code pages. AddressSanitizer catches any read or write
// outside the buffers.
#include "base/AutomationError.h"
#include "scm/Conversions.h"
#include "tests/support/SimulatedServiceManager.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace tobrunel;
using namespace tobrunel::scm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    SimulatedServiceManager platform;
    platform.useCodePage((data[0] & 1) != 0 ? CodePage::DoubleByte : CodePage::Windows1252);
    // Offsets past the end stand for pointers the platform handed back outside its buffer.
    const std::size_t offset = data[1] | (data[2] << 8);
    const std::vector<std::byte> filled(reinterpret_cast<const std::byte*>(data + 3),
                                        reinterpret_cast<const std::byte*>(data + size));
    const char* base = reinterpret_cast<const char*>(filled.data());
    const char* text =
        offset <= filled.size() + 64 ? base + std::min(offset, filled.size()) : nullptr;

    const auto copy = bufferCopy(platform, filled, text);
    const auto list = listCopy(platform, filled, text);
    if (copy.size() < TextBufferSize / 2 || list.size() < ListBufferSize / 2) {
        std::abort();
    }
    try {
        (void)cutAtNul(copy);
        (void)guardedCutAtNul(copy);
    } catch (const AutomationError& error) {
        if (error.number() != errors::InvalidProcedureCall) {
            std::abort();
        }
    }
    return 0;
}
