// The dependency list and its text form in both directions.
#include "model/clsSVCDependencies.h"

#include "tests/support/TestSupport.h"

#include <random>
#include <vector>

using tobrunel::clsSVCDependencies;

namespace {

std::vector<std::u16string> itemsOf(const clsSVCDependencies& list) {
    std::vector<std::u16string> items;
    for (std::int32_t i = 1; i <= list.Count(); ++i) {
        items.push_back(list.Item(i));
    }
    return items;
}

struct ReadCase {
    const char* what;
    std::u16string source;
    std::vector<std::u16string> items;
};

class ReadingDependencyText : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadingDependencyText, GivesTheListedItems) {
    clsSVCDependencies list;
    list.Add(u"stale");
    list.Source(GetParam().source);
    EXPECT_EQ(itemsOf(list), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ReadingDependencyText,
    testing::Values(
        ReadCase{"platform form", nul("A|B||"), {u"A", u"B"}},
        ReadCase{"without closing NUL", nul("A|B|"), {u"A", u"B"}},
        ReadCase{"without any closing", nul("A|B"), {u"A", u"B"}},
        ReadCase{"filler of spaces", nul("A|B||") + std::u16string(500, u' '), {u"A", u"B"}},
        ReadCase{"filler of NULs and leftovers", nul("A|B|||junk|X||"), {u"A", u"B"}},
        ReadCase{"stops at first double NUL", nul("A||B||"), {u"A"}},
        ReadCase{"spaces at ends go, beside NUL stay", nul(" A B |C "), {u"A B ", u"C"}},
        ReadCase{"leading NUL gives empty first item", nul("|A||"), {u"", u"A"}},
        ReadCase{"empty text", u"", {}}, ReadCase{"one NUL", nul("|"), {}},
        ReadCase{"two NULs", nul("||"), {}}, ReadCase{"three NULs", nul("|||"), {}},
        ReadCase{"spaces only", u"     ", {}},
        ReadCase{"tabs are not trimmed", u"\tA\t", {u"\tA\t"}},
        ReadCase{"group marker kept", nul("+Network|Tcpip||"), {u"+Network", u"Tcpip"}},
        ReadCase{"duplicates kept", nul("A|A||"), {u"A", u"A"}},
        ReadCase{"non-ASCII names", nul("Служба|École||"), {u"Служба", u"École"}}),
    NamedAfterWhat{});

struct WriteCase {
    std::vector<std::u16string> items;
    std::u16string source;
};

class WritingDependencyText : public testing::TestWithParam<WriteCase> {};

TEST_P(WritingDependencyText, GivesTheListedText) {
    clsSVCDependencies list;
    for (const auto& item : GetParam().items) {
        list.Add(item);
    }
    EXPECT_EQ(list.Source(), GetParam().source);
}

// spelled names an item in a test name, with its NULs and spaces written out.
std::string spelled(std::u16string_view item) {
    std::string text;
    for (const char16_t c : item) {
        text += c == u'\0' ? " NUL " : c == u' ' ? " space " : tobrunel::toUtf8({&c, 1});
    }
    return testName(text);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, WritingDependencyText,
    testing::Values(WriteCase{{}, u""}, WriteCase{{u"A"}, nul("A||")},
                    WriteCase{{u"A", u"B"}, nul("A|B||")}, WriteCase{{u""}, nul("||")},
                    WriteCase{{u"", u""}, nul("|||")}, WriteCase{{nul("A|B")}, nul("A|B||")},
                    WriteCase{{u" A", u"B "}, nul(" A|B ||")}),
    ([](const auto& info) {
        std::string name = "names";
        for (const auto& item : info.param.items) {
            name += '_' + (item.empty() ? std::string("empty") : spelled(item));
        }
        return info.param.items.empty() ? std::string("no_names") : name;
    }));

TEST(DependencyList, NewListIsEmptyEverywhere) {
    clsSVCDependencies list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Item(1), u"");
    EXPECT_FALSE(list.Remove(1));
    EXPECT_EQ(list.Source(), u"");
}

TEST(DependencyList, RoundTripsLoseOnlyWhatTheTextFormCannotCarry) {
    clsSVCDependencies list;
    list.Add(u" lead");
    list.Add(u"trail ");
    list.Source(list.Source());
    EXPECT_EQ(itemsOf(list), (std::vector<std::u16string>{u"lead", u"trail "}));

    list.Source(u"");
    list.Add(u"");
    list.Source(list.Source());
    EXPECT_EQ(list.Count(), 0);
}

TEST(DependencyList, RemoveAndItemByPosition) {
    clsSVCDependencies list;
    list.Source(nul("A|B|C||"));
    EXPECT_TRUE(list.Remove(2));
    EXPECT_EQ(itemsOf(list), (std::vector<std::u16string>{u"A", u"C"}));
    EXPECT_FALSE(list.Remove(3));
    EXPECT_FALSE(list.Remove(0));
    EXPECT_FALSE(list.Remove(-1));
    EXPECT_EQ(list.Count(), 2);
    for (const int position : {0, -5, 3, INT32_MIN}) {
        EXPECT_EQ(list.Item(position), u"") << position;
    }
}

// Lists of random names without empty items or leading spaces survive a write and a read.
TEST(DependencyList, RandomListsRoundTrip) {
    std::mt19937 random(20261208);
    const std::u16string alphabet = u"abcXYZ09 _-+.éЖ\t";
    for (int round = 0; round < 500; ++round) {
        std::vector<std::u16string> names(random() % 8);
        for (auto& name : names) {
            const auto length = 1 + random() % 12;
            for (std::size_t i = 0; i < length; ++i) {
                name += alphabet[random() % alphabet.size()];
            }
            if (name.front() == u' ') {
                name.front() = u'x';
            }
        }
        clsSVCDependencies written;
        for (const auto& name : names) {
            written.Add(name);
        }
        clsSVCDependencies read;
        read.Source(written.Source());
        ASSERT_EQ(itemsOf(read), names) << "round " << round;
    }
}

} // namespace
