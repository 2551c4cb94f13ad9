// Reading and writing the dependency text.
#include "model/clsSVCDependencies.h"

#include "base/Text.h"

namespace tobrunel {

std::u16string clsSVCDependencies::Source() const {
    if (Count() <= 0) {
        return {};
    }
    std::u16string text;
    for (std::int32_t position = 1; position <= Count(); ++position) {
        text += items_.at(position);
        text += u'\0';
    }
    text += u'\0';
    return text;
}

void clsSVCDependencies::Source(std::u16string_view strSource) {
    items_ = KeyedList<std::u16string>{};

    auto text = trimSpaces(strSource);
    // The platform's form ends at its first double NUL; whatever follows is filler.
    if (const auto end = text.find(std::u16string_view(u"\0\0", 2)); end != std::u16string::npos) {
        text.resize(end);
    }
    if (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    if (text.empty()) {
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const auto nul = text.find(u'\0', start);
        items_.add(text.substr(start, nul == std::u16string::npos ? nul : nul - start));
        if (nul == std::u16string::npos) {
            break;
        }
        start = nul + 1;
    }
}

void clsSVCDependencies::Add(std::u16string_view strCad) {
    items_.add(std::u16string(strCad));
}

bool clsSVCDependencies::Remove(std::int32_t lIndex) {
    if (items_.findAt(lIndex) == nullptr) {
        return false;
    }
    items_.remove(lIndex);
    return true;
}

std::u16string clsSVCDependencies::Item(std::int32_t lIndex) const {
    const auto* item = items_.findAt(lIndex);
    return item == nullptr ? std::u16string{} : *item;
}

} // namespace tobrunel
