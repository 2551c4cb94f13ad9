// KeyedList: the ordered collection with optional, case-insensitive, unique text keys that holds
// the services of a collection and the names of a dependency list.
#pragma once

#include "base/AutomationError.h"
#include "base/Text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tobrunel {

// KeyedList keeps items in insertion order and finds them by 1-based position or by key. Keys
// are hashed on their case-folded form, so a lookup costs the same for ten services or ten
// thousand. A failed lookup raises error 5, as the runtime's collection does, and a duplicate
// key raises 457; callers that treat a miss as "no item" use the find functions instead.
template <typename T> class KeyedList {
public:
    std::int32_t count() const noexcept { return static_cast<std::int32_t>(items_.size()); }

    void add(T item) { items_.push_back(Entry{std::move(item), std::nullopt}); }

    void add(T item, std::u16string_view key) {
        auto folded = foldCase(key);
        if (positions_.contains(folded)) {
            throw AutomationError(errors::DuplicateKey);
        }
        positions_.emplace(std::move(folded), items_.size());
        items_.push_back(Entry{std::move(item), std::u16string(key)});
    }

    // findAt returns the item at a 1-based position, or nullptr when there is none.
    const T* findAt(std::int32_t position) const noexcept {
        if (position < 1 || position > count()) {
            return nullptr;
        }
        return &items_[static_cast<std::size_t>(position - 1)].item;
    }

    const T* findByKey(std::u16string_view key) const {
        const auto found = positions_.find(foldCase(key));
        return found == positions_.end() ? nullptr : &items_[found->second].item;
    }

    const T& at(std::int32_t position) const {
        const T* item = findAt(position);
        if (item == nullptr) {
            throw AutomationError(errors::InvalidProcedureCall);
        }
        return *item;
    }

    const T& at(std::u16string_view key) const {
        const T* item = findByKey(key);
        if (item == nullptr) {
            throw AutomationError(errors::InvalidProcedureCall);
        }
        return *item;
    }

    // remove takes out the item at a 1-based position; the items behind it move up one place.
    void remove(std::int32_t position) {
        if (position < 1 || position > count()) {
            throw AutomationError(errors::InvalidProcedureCall);
        }
        const auto index = static_cast<std::size_t>(position - 1);
        if (items_[index].key) {
            positions_.erase(foldCase(*items_[index].key));
        }
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
        if (!positions_.empty()) {
            reindexFrom(index);
        }
    }

private:
    struct Entry {
        T item;
        std::optional<std::u16string> key;
    };

    void reindexFrom(std::size_t index) {
        for (auto i = index; i < items_.size(); ++i) {
            if (items_[i].key) {
                positions_[foldCase(*items_[i].key)] = i;
            }
        }
    }

    std::vector<Entry> items_;
    std::unordered_map<std::u16string, std::size_t> positions_;
};

} // namespace tobrunel
