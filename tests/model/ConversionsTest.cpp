// The text conversions at the platform boundary and the simulated code pages.
#include "tests/support/CodePage.h"
#include "scm/Conversions.h"
#include "tests/support/SimulatedServiceManager.h"

#include "tests/support/TestSupport.h"

#include <cstring>
#include <vector>

using namespace tobrunel;
using namespace tobrunel::scm;

namespace {

// filledWith lays `text` out in a platform buffer with some room either side.
struct Filled {
    explicit Filled(std::string_view text) : bytes(text.size() + 16, std::byte{'#'}) {
        std::memcpy(bytes.data() + 8, text.data(), text.size());
    }
    const char* text() const { return reinterpret_cast<const char*>(bytes.data()) + 8; }
    PlatformBuffer all() const { return bytes; }
    std::vector<std::byte> bytes;
};

class Boundary : public testing::Test {
protected:
    SimulatedServiceManager platform;
};

TEST_F(Boundary, BufferCopyKeepsLengthAndFiller) {
    const Filled filled(std::string("Spooler\0", 8));
    const auto copy = bufferCopy(platform, filled.all(), filled.text());
    ASSERT_EQ(copy.size(), 256u);
    EXPECT_EQ(copy.substr(0, 8), nul("Spooler|"));
    EXPECT_EQ(copy.substr(8), std::u16string(248, u' '));
    EXPECT_EQ(cutAtNul(copy), u"Spooler");
}

struct CopyCase {
    std::size_t length;
    std::size_t copySize;
};

class BufferCopyLength : public Boundary, public testing::WithParamInterface<CopyCase> {};

// A text that does not fit with its NUL is taken whole, never written past a buffer.
TEST_P(BufferCopyLength, CutGivesTheWholeText) {
    const std::string text(GetParam().length, 'x');
    const Filled filled(text + '\0');
    const auto copy = bufferCopy(platform, filled.all(), filled.text());
    EXPECT_EQ(copy.size(), GetParam().copySize);
    EXPECT_EQ(cutAtNul(copy), std::u16string(GetParam().length, u'x'));
}

INSTANTIATE_TEST_SUITE_P(Lengths, BufferCopyLength,
                         testing::Values(CopyCase{0, 256}, CopyCase{255, 256}, CopyCase{256, 257},
                                         CopyCase{300, 301}, CopyCase{40000, 40001}),
                         ([](const auto& info) {
                             return "text_of_" + std::to_string(info.param.length) + "_bytes";
                         }));

TEST_F(Boundary, UnwrittenTextsStayFiller) {
    const Filled filled(std::string("Name\0", 5));
    const char outside[] = "outside";
    const auto* end = reinterpret_cast<const char*>(filled.bytes.data() + filled.bytes.size());
    // Null, elsewhere, one byte before the buffer, and exactly at its end.
    for (const char* pointer :
         {static_cast<const char*>(nullptr), outside, filled.text() - 9, end}) {
        const auto copy = bufferCopy(platform, filled.all(), pointer);
        EXPECT_EQ(copy, std::u16string(256, u' '));
        EXPECT_AUTOMATION_ERROR(cutAtNul(copy), errors::InvalidProcedureCall);
        EXPECT_EQ(guardedCutAtNul(copy), copy);
        EXPECT_EQ(listCopy(platform, filled.all(), pointer), std::u16string(512, u' '));
    }
}

TEST_F(Boundary, TextRunningToTheEndOfTheBufferStopsThere) {
    const std::vector<std::byte> bytes(4, std::byte{'z'});
    const auto copy = bufferCopy(platform, bytes, reinterpret_cast<const char*>(bytes.data()));
    EXPECT_EQ(cutAtNul(copy), u"zzzz");
}

TEST_F(Boundary, ListCopyTakesTheWholeListThroughItsClosingNul) {
    const Filled filled(std::string("A\0B\0\0garbage", 13));
    const auto copy = listCopy(platform, filled.all(), filled.text());
    ASSERT_EQ(copy.size(), 512u);
    EXPECT_EQ(copy.substr(0, 5), nul("A|B||"));
    EXPECT_EQ(copy.substr(5), std::u16string(507, u' '));

    const Filled empty(std::string("\0junk", 5));
    EXPECT_EQ(listCopy(platform, empty.all(), empty.text()).substr(0, 2), nul("| "));

    std::string longList;
    for (int i = 0; i < 100; ++i) {
        longList += "Name" + std::to_string(i) + '\0';
    }
    longList += '\0';
    const Filled big(longList);
    EXPECT_EQ(listCopy(platform, big.all(), big.text()), fromUtf8(longList));
}

TEST_F(Boundary, UnclosedListIsClosedAtTheEndOfTheBuffer) {
    const std::string open("A\0B", 3);
    const std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(open.data()),
                                       reinterpret_cast<const std::byte*>(open.data()) + 3);
    const auto copy = listCopy(platform, bytes, reinterpret_cast<const char*>(bytes.data()));
    EXPECT_EQ(copy.substr(0, 5), nul("A|B||"));
}

TEST_F(Boundary, NulCuts) {
    EXPECT_EQ(cutAtNul(nul("|abc")), u"");
    EXPECT_EQ(cutAtNul(nul("ab|c|")), u"ab");
    EXPECT_AUTOMATION_ERROR(cutAtNul(u"no nul"), errors::InvalidProcedureCall);
    EXPECT_AUTOMATION_ERROR(cutAtNul(u""), errors::InvalidProcedureCall);
    EXPECT_EQ(guardedCutAtNul(u"   "), u"   ");
    EXPECT_EQ(guardedCutAtNul(u""), u"");
    EXPECT_EQ(guardedCutAtNul(nul(" a|  ")), u" a");
    EXPECT_AUTOMATION_ERROR(guardedCutAtNul(u" a "), errors::InvalidProcedureCall);
}

TEST_F(Boundary, ComputerNameRead) {
    EXPECT_EQ(readComputerName(platform), u"SIMHOST");
    platform.setLocalComputerName("Pc-\xC9t\xE9");
    EXPECT_EQ(readComputerName(platform), u"Pc-Été");
    platform.leaveComputerNameUnwritten();
    EXPECT_AUTOMATION_ERROR(readComputerName(platform), errors::InvalidProcedureCall);
}

struct CodePageCase {
    CodePage codePage;
    std::u16string text;
    std::string bytes;
};

class CodePages : public testing::TestWithParam<CodePageCase> {};

TEST_P(CodePages, ConvertBothWays) {
    EXPECT_EQ(toCodePage(GetParam().codePage, GetParam().text), GetParam().bytes);
    EXPECT_EQ(fromCodePage(GetParam().codePage, GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CodePages,
    testing::Values(CodePageCase{CodePage::Windows1252, u"abc", "abc"},
                    CodePageCase{CodePage::Windows1252, u"Café €", "Caf\xE9 \x80"},
                    CodePageCase{CodePage::Windows1252, nul("a|b"), std::string("a\0b", 3)},
                    CodePageCase{CodePage::Windows1252, u"Œ\x81", "\x8C\x81"},
                    CodePageCase{CodePage::DoubleByte, u"aЖb",
                                 "a\x88\x96"
                                 "b"},
                    CodePageCase{CodePage::DoubleByte, u"é", "\x81\xE9"}),
    ([](const auto& info) {
        std::string name =
            info.param.codePage == CodePage::Windows1252 ? "Windows1252" : "DoubleByte";
        name += "_bytes";
        for (const unsigned char byte : info.param.bytes) {
            const char* const digits = "0123456789ABCDEF";
            name += {'_', digits[byte / 16], digits[byte % 16]};
        }
        return name;
    }));

TEST(CodePagesLossy, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(toCodePage(CodePage::Windows1252, u"Ж"), "?");
    EXPECT_EQ(toCodePage(CodePage::DoubleByte, u"\xD55C"), "?");
    EXPECT_EQ(fromCodePage(CodePage::DoubleByte, "a\xA8"), u"a?");
}

} // namespace
