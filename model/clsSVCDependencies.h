// clsSVCDependencies: the names one service depends on, and their platform text form (every
// name followed by a NUL, the whole closed by one more NUL).
#pragma once

#include "model/AutomationPeer.h"
#include "model/KeyedList.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tobrunel {

// clsSVCDependencies holds its names in a keyed list without keys. Nothing here calls the
// platform: edits change this snapshot only. automationPeer is the server's COM object for this
// list while one exists, so a client always meets the same object; the model never reads it.
class clsSVCDependencies {
public:
    std::u16string Source() const;
    // Source (let) throws the old list away first, whatever the text holds; if appending fails
    // part way the new list keeps the names appended so far.
    void Source(std::u16string_view strSource);

    std::int32_t Count() const noexcept { return items_.count(); }
    void Add(std::u16string_view strCad);
    bool Remove(std::int32_t lIndex);
    std::u16string Item(std::int32_t lIndex) const;

    AutomationPeer* automationPeer = nullptr;

private:
    KeyedList<std::u16string> items_;
};

} // namespace tobrunel
