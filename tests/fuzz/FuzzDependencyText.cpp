// libFuzzer target: any UTF-16 text read as a dependency list, written back and read again.
#include "model/clsSVCDependencies.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using tobrunel::clsSVCDependencies;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);

    clsSVCDependencies list;
    list.Source(text);
    bool roundTrips = true;
    for (std::int32_t i = 1; i <= list.Count(); ++i) {
        const auto item = list.Item(i);
        // Reading splits at every NUL, so no item can hold one.
        if (item.find(u'\0') != std::u16string::npos) {
            std::abort();
        }
        roundTrips = roundTrips && !item.empty() && !(i == 1 && item.front() == u' ');
    }
    if (!list.Item(0).empty() || !list.Item(list.Count() + 1).empty()) {
        std::abort();
    }

    // The text form carries a list whole unless an item is empty or the first starts with a space.
    clsSVCDependencies reread;
    reread.Source(list.Source());
    if (roundTrips) {
        if (reread.Count() != list.Count()) {
            std::abort();
        }
        for (std::int32_t i = 1; i <= list.Count(); ++i) {
            if (reread.Item(i) != list.Item(i)) {
                std::abort();
            }
        }
    }
    return 0;
}
