// The keyed list: order, positions, case-insensitive unique keys.
#include "model/KeyedList.h"

#include "tests/support/TestSupport.h"

#include <map>
#include <sstream>

using tobrunel::KeyedList;
namespace errors = tobrunel::errors;

namespace {

KeyedList<int> listOf(std::initializer_list<std::pair<int, const char16_t*>> entries) {
    KeyedList<int> list;
    for (const auto& [value, key] : entries) {
        if (key == nullptr) {
            list.add(value);
        } else {
            list.add(value, key);
        }
    }
    return list;
}

TEST(KeyedList, KeepsInsertionOrderAndCounts) {
    const auto list = listOf({{10, u"b"}, {20, nullptr}, {30, u"a"}});
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(1), 10);
    EXPECT_EQ(list.at(2), 20);
    EXPECT_EQ(list.at(3), 30);
}

TEST(KeyedList, PositionsOutsideOneToCountFindNothing) {
    const auto list = listOf({{1, nullptr}, {2, nullptr}});
    for (const int position : {0, -1, 3, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(list.findAt(position), nullptr) << position;
        EXPECT_AUTOMATION_ERROR(list.at(position), errors::InvalidProcedureCall);
    }
}

TEST(KeyedList, KeysMatchWithoutRegardToCase) {
    const auto list = listOf({{1, u"Spooler"}, {2, u"École"}, {3, u"ΣΥΣΤΗΜΑ"}, {4, u"Служба"}});
    const std::pair<const char16_t*, int> lookups[] = {
        {u"spooler", 1}, {u"SPOOLER", 1}, {u"éCOLE", 2},  {u"ÉCOLE", 2},
        {u"σΥΣτημα", 3}, {u"СЛУЖБА", 4},  {u"служба", 4},
    };
    for (const auto& [key, expected] : lookups) {
        const int* found = list.findByKey(key);
        ASSERT_NE(found, nullptr) << tobrunel::toUtf8(key);
        EXPECT_EQ(*found, expected);
    }
    EXPECT_EQ(list.findByKey(u"Spoole"), nullptr);
    EXPECT_AUTOMATION_ERROR(list.at(u"missing"), errors::InvalidProcedureCall);
}

// Unicode's own table (CaseFolding.txt) is the reference: every code point of the ranges it covers
// folds to what the table says, or to itself where the table lists nothing.
TEST(KeyedList, KeysFoldAsUnicodeFoldsTheirLetters) {
    constexpr std::string_view caseFolding =
#include "CaseFolding.inc"
        ;
    std::map<char16_t, char16_t> folds;
    std::istringstream lines{std::string(caseFolding)};
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') {
            folds[static_cast<char16_t>(std::stoul(line.substr(0, 4), nullptr, 16))] =
                static_cast<char16_t>(std::stoul(line.substr(9, 4), nullptr, 16));
        }
    }
    ASSERT_EQ(folds.size(), 309u);
    for (char32_t c = 0; c <= 0x4FF; c = c == 0x17F ? 0x370 : c + 1) {
        const auto code = static_cast<char16_t>(c);
        const auto found = folds.find(code);
        EXPECT_EQ(tobrunel::foldCase(code), found == folds.end() ? code : found->second)
            << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

TEST(KeyedList, RefusesDuplicateKeyInOtherCaseWith457) {
    auto list = listOf({{1, u"Spooler"}});
    EXPECT_AUTOMATION_ERROR(list.add(2, u"SPOOLER"), errors::DuplicateKey);
    EXPECT_AUTOMATION_ERROR(list.add(2, u"spooler"), errors::DuplicateKey);
    EXPECT_EQ(list.count(), 1);
    list.add(3, u"");
    EXPECT_AUTOMATION_ERROR(list.add(4, u""), errors::DuplicateKey);
}

TEST(KeyedList, DuplicateKeyCarriesTheRuntimeText) {
    try {
        listOf({{1, u"a"}, {2, u"A"}});
        FAIL();
    } catch (const tobrunel::AutomationError& error) {
        EXPECT_EQ(error.description(),
                  u"This key is already associated with an element of this collection");
    }
}

TEST(KeyedList, RemovalMovesLaterItemsUpAndKeepsKeysFindable) {
    auto list = listOf({{1, u"a"}, {2, u"b"}, {3, u"c"}, {4, u"d"}});
    list.remove(2);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(2), 3);
    EXPECT_EQ(*list.findByKey(u"C"), 3);
    EXPECT_EQ(*list.findByKey(u"d"), 4);
    EXPECT_EQ(list.findByKey(u"b"), nullptr);
    // The removed key is free again.
    list.add(5, u"B");
    EXPECT_EQ(*list.findByKey(u"b"), 5);
    // The last position is as removable as any other; the one behind it is not.
    list.remove(4);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.findByKey(u"b"), nullptr);
    EXPECT_AUTOMATION_ERROR(list.remove(0), errors::InvalidProcedureCall);
    EXPECT_AUTOMATION_ERROR(list.remove(-1), errors::InvalidProcedureCall);
    EXPECT_AUTOMATION_ERROR(list.remove(4), errors::InvalidProcedureCall);
}

} // namespace
