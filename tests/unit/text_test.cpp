// Unit tests of the text, byte-buffer and storage services. Chinese literals are written in UTF-8 and
// compiled to GBK (-fexec-charset=CP936), the form every text of the program takes.
#include "services/text.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

// GBK texts are compared as hex so that a failure shows which byte went wrong.
using ::hexOf;
std::string hexOf(const ByteBuffer& buffer) { return hexOf(std::string_view(buffer.data(), buffer.size())); }

constexpr std::optional<int> kLeftOut = std::nullopt;

// ---- Source encoding ---------------------------------------------------------------------------

TEST(TextEncoding, ChineseLiteralsAreStoredAsGbkBytes) {
    const struct {
        std::string_view literal;
        std::string_view gbk;
    } cases[] = {
        {"请求超时", "\xC7\xEB\xC7\xF3\xB3\xAC\xCA\xB1"},
        {"　", "\xA1\xA1"},  // full-width space
        {"５", "\xA3\xB5"},  // full-width digit five
        {"－", "\xA3\xAD"},  // full-width minus
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.gbk));
        EXPECT_EQ(hexOf(c.literal), hexOf(c.gbk));
    }
}

// ---- Storage -----------------------------------------------------------------------------------

TEST(TextStorage, ObtainedBlocksAreWritableAndReleasable) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{1} << 20}) {
        SCOPED_TRACE(size);
        void* block = obtainBlock(size);
        ASSERT_NE(block, nullptr);
        std::memset(block, 0x5A, size);  // the sanitizer checks that every byte belongs to the block
        releaseBlock(block);
    }
    releaseBlock(nullptr);
}

// The exit status of a process that ended with exit code -1.
bool endedWithExitCodeMinusOne(int status) {
#ifdef _WIN32
    return static_cast<unsigned int>(status) == 0xFFFFFFFFu;
#else
    return WIFEXITED(status) && WEXITSTATUS(status) == 255;
#endif
}

// An installed reporter that is told the byte count; like every reporter it does not allocate.
void reportToStderrForTest(std::size_t unavailableBytes) {
    std::fprintf(stderr, "installed reporter: %llu\n", static_cast<unsigned long long>(unavailableBytes));
}

constexpr std::size_t kUnobtainable = SIZE_MAX / 2;

TEST(TextStorageDeathTest, ExhaustedStorageIsReportedAndEndsWithMinusOne) {
    const struct {
        const char* what;
        void (*exhaust)();
        std::string expectedReport;
    } cases[] = {
        {"default report", [] { (void)obtainBlock(kUnobtainable); },
         "unable to allocate " + std::to_string(kUnobtainable) + " bytes"},
        {"installed reporter",
         [] {
             setStorageExhaustedReporter(&reportToStderrForTest);
             (void)obtainBlock(kUnobtainable);
         },
         "installed reporter: " + std::to_string(kUnobtainable)},
        {"element count whose bytes overflow", [] { (void)BlockAllocator<std::uint64_t>().allocate(SIZE_MAX / 4); },
         "unable to allocate " + std::to_string(SIZE_MAX) + " bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EXIT(c.exhaust(), endedWithExitCodeMinusOne, c.expectedReport);
    }
}

// ---- Texts -------------------------------------------------------------------------------------

TEST(TextServices, LengthOfCountsBytesBeforeTheFirstZero) {
    const struct {
        std::string_view text;
        int expected;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"请求超时", 8},
        {std::string_view("ab\0cd", 5), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text));
        EXPECT_EQ(lengthOf(c.text), c.expected);
    }
}

TEST(TextServices, JoinTextsPutsThePartsInOrder) {
    const struct {
        std::initializer_list<std::string_view> parts;
        std::string_view expected;
    } cases[] = {
        {{"", ""}, ""},
        {{"a"}, "a"},
        {{"C:\\Tools", "\\c.ini"}, "C:\\Tools\\c.ini"},
        {{"ping ", "-t 127.0.0.1"}, "ping -t 127.0.0.1"},
        {{"请求", "", "超时"}, "请求超时"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.expected));
        const Text joined = joinTexts(c.parts);
        EXPECT_EQ(hexOf(joined), hexOf(c.expected));
        EXPECT_EQ(joined.c_str()[joined.size()], '\0');
    }
}

TEST(TextServices, CompareTextsOrdersByUnsignedBytes) {
    const struct {
        std::string_view a, b;
        int expected;
    } cases[] = {
        {"", "", 0},
        {"a", "", 1},
        {"", "a", -1},
        {"\xB0", "z", 1},
        {"z", "\xB0", -1},
        {"5", "5", 0},
        {"5", "05", 1},
        {"5", "5 ", -1},
        {"abc", "ab", 1},
        {"a", "z", -1},  // only -1, 0 and 1, never a byte difference
        {"z", "a", 1},
        {"B", "a", -1},  // no case folding
        {"请求超时", "请求超时", 0},
        {"请求", "请求超时", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.a) + " vs " + hexOf(c.b));
        EXPECT_EQ(compareTexts(c.a, c.b), c.expected);
    }
}

TEST(TextServices, AssignTextGivesTheFieldItsOwnCopy) {
    const std::string longSource(40, 's');  // longer than any in-place string, so blocks are involved
    const struct {
        std::string_view initial, source;
    } cases[] = {
        {"", "abc"},
        {"old text that is long enough for a block", longSource},
        {"old text that is long enough for a block", ""},
        {"", ""},
        {"x", "请求超时"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.source));
        Text field(c.initial);
        assignText(field, c.source);
        EXPECT_EQ(hexOf(field), hexOf(c.source));
    }
}

TEST(TextServices, AssignTextFromTheFieldsOwnStorage) {
    const std::string_view initial = "0123456789012345678901234567890123456789";
    const struct {
        const char* what;
        std::size_t offset;
        std::string_view expected;
    } cases[] = {
        {"the field itself", 0, initial},
        {"a tail of the field", 30, "0123456789"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Text field(initial);
        const char* storage = field.data();
        assignText(field, std::string_view(field).substr(c.offset));
        EXPECT_EQ(field, Text(c.expected));
        if (c.offset == 0) {
            EXPECT_EQ(field.data(), storage);  // nothing was released or copied
        }
    }
}

TEST(TextServices, SpaceFilledTextHoldsNHalfWidthSpaces) {
    for (int n : {0, -3, INT_MIN, 1, 255}) {
        SCOPED_TRACE(n);
        const Text spaces = spaceFilledText(n);
        EXPECT_EQ(spaces, Text(n > 0 ? static_cast<std::size_t>(n) : 0, ' '));
    }
}

TEST(TextServices, TrimBlanksRemovesHalfAndFullWidthSpacesAtBothEnds) {
    const struct {
        std::string_view text, expected;
    } cases[] = {
        {"  ab  ", "ab"},
        {"　ab　", "ab"},
        {"　 a b 　 ", "a b"},
        {"  　 ", ""},
        {"", ""},
        {"\tab", "\tab"},
        {"ab\r\n", "ab\r\n"},
        {"\n ab \t", "\n ab \t"},
        {"请求 ", "请求"},
        {" 请求超时　", "请求超时"},
        // Character stepping: a space or A1 that is the second byte of a character is not a blank.
        {"\xB0 ", "\xB0 "},
        {"x\xB0\xA1\xA1", "x\xB0\xA1"},
        // An unpaired lead byte cuts the text there; blanks before it stay.
        {"ab \xB0", "ab "},
        {"  \xB0", ""},
        {"a\xA1", "a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text));
        EXPECT_EQ(hexOf(trimBlanks(c.text)), hexOf(c.expected));
    }
}

TEST(TextServices, ReplaceOccurrences) {
    const struct {
        std::string_view text, find, replacement;
        std::optional<int> start, count;
        bool caseSensitive;
        std::string_view expected;
    } cases[] = {
        {"x<a>y<a>", "<a>", "Q", kLeftOut, 1, true, "xQy<a>"},
        {"x<a>y<a>", "<a>", "Q", kLeftOut, kLeftOut, true, "xQyQ"},
        {"x<a>y<a>", "<a>", "Q", kLeftOut, -1, true, "xQyQ"},
        {"x<a>y<a>", "", "Q", kLeftOut, kLeftOut, true, "x<a>y<a>"},
        {"x<a>y<a>", "<a>", "Q", 9, kLeftOut, true, "x<a>y<a>"},
        {"x<a>y<a>", "<a>", "Q", kLeftOut, 0, true, "x<a>y<a>"},
        {"x<a>y<a>", "<a>", "Q", 3, kLeftOut, true, "x<a>yQ"},
        {"x<a>y<a>", "<a>", "Q", -2, kLeftOut, true, "xQyQ"},
        {"", "a", "b", kLeftOut, kLeftOut, true, ""},
        {"ab", "abc", "x", kLeftOut, kLeftOut, true, "ab"},
        {"aaa", "a", "", kLeftOut, kLeftOut, true, ""},
        {"aa", "a", "aa", kLeftOut, kLeftOut, true, "aaaa"},  // a replacement is not scanned again
        {"abcABC", "abc", "x", kLeftOut, kLeftOut, true, "xABC"},
        {"abcABC", "abc", "x", kLeftOut, kLeftOut, false, "xx"},
        {"[{", "{", "x", kLeftOut, kLeftOut, false, "[x"},  // only A-Z fold
        {"start <文件名>", "<文件名>", "q.exe", kLeftOut, 1, true, "start q.exe"},
        {"延时秒数秒秒数", "秒数", "5", kLeftOut, 1, true, "延时5秒秒数"},
        // 81 41 is one character, so its trail byte "A" is not a match.
        {"\x81"
         "AA",
         "A", "b", kLeftOut, kLeftOut, true,
         "\x81"
         "Ab"},
        // An unpaired lead byte met by the scan is dropped; one past the scan stays.
        {"ab\xB0", "x", "y", kLeftOut, kLeftOut, true, "ab"},
        {"ab\xB0", "xy", "z", kLeftOut, kLeftOut, true, "ab\xB0"},
        {"a-b\xB0", "-", "+", kLeftOut, 1, true, "a+b\xB0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text) + " / " + hexOf(c.find));
        const Text replaced = replaceOccurrences(c.text, c.find, c.replacement, c.start, c.count, c.caseSensitive);
        EXPECT_EQ(hexOf(replaced), hexOf(c.expected));
    }
}

TEST(TextServices, PositionOf) {
    const struct {
        std::string_view text, needle;
        std::optional<int> start;
        bool ignoreCase;
        int expected;
    } cases[] = {
        {"请求超时", "超时", kLeftOut, false, 5},
        {"请求超时", "求超", kLeftOut, false, 3},
        {"abc", "", kLeftOut, false, 1},
        {"", "", kLeftOut, false, -1},
        {"abc", "", 3, false, 1},
        {"abc", "", 4, false, -1},
        {"abcabc", "bc", 3, false, 5},
        {"abcabc", "bc", 0, false, 2},
        {"abcabc", "bc", -5, false, 2},
        {"abc", "c", 3, false, 3},
        {"abc", "c", 4, false, -1},
        {"ab", "abc", kLeftOut, false, -1},
        {"Hello", "LL", kLeftOut, true, 3},
        {"Hello", "LL", kLeftOut, false, -1},
        {"a[b", "{", kLeftOut, true, -1},  // only A-Z fold
        // A match never begins at the second byte of a two-byte character.
        {"\x81"
         "AA",
         "A", kLeftOut, false, 3},
        {"请\xEB", "\xEB", kLeftOut, false, 3},
        {"请求", "\xEB\xC7", kLeftOut, false, -1},
        // An unpaired lead byte is still a place to try.
        {"a\xB0", "\xB0", kLeftOut, false, 2},
        {"a\xB0", "b", kLeftOut, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text) + " / " + hexOf(c.needle));
        EXPECT_EQ(positionOf(c.text, c.needle, c.start, c.ignoreCase), c.expected);
    }
}

TEST(TextServices, OmittedOptionalArgumentsTakeTheirDefaults) {
    // Replacement empty, start 1, no limit, case-sensitive.
    EXPECT_EQ(replaceOccurrences("a-Ab-a", "a"), Text("-Ab-"));
    EXPECT_EQ(replaceOccurrences("x<a>y<a>", "<a>", "Q"), Text("xQyQ"));
    // Start 1, case-sensitive.
    EXPECT_EQ(positionOf("abcABC", "a"), 1);
    EXPECT_EQ(positionOf("ABCabc", "a"), 4);
}

TEST(TextServices, ParseInteger) {
    const struct {
        std::string_view text;
        int32_t expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"  12abc", 12},
        {"-7", -7},
        {"+8", 8},
        {"007", 7},
        {"12 34", 12},
        {"\t\n\v\f\r 9", 9},
        {"+-5", 0},
        {"- 5", 0},
        // Wrap-around in 32 bits.
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-4294967295", 1},
        {"99999999999", 1215752191},
        // Full-width forms.
        {"５", 5},
        {"０１２３４５６７８９", 123456789},
        {"－４２", -42},
        {"＋８", 8},
        {"　7", 7},
        {"　 　-3", -3},
        {"1２3", 123},
        {"\xA3\xA0"
         "5",
         0},  // A3 A0 is outside the full-width ASCII forms and stays
        // An unpaired lead byte is dropped.
        {"12\xB0", 12},
        {"３\xA3", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text));
        EXPECT_EQ(parseInteger(c.text), c.expected);
    }
}

TEST(TextServices, FormatNumberOfAnInteger) {
    const struct {
        int32_t value;
        std::string_view expected;
    } cases[] = {
        {0, "0"}, {-3, "-3"}, {42, "42"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(formatNumber(c.value), Text(c.expected));
    }
}

TEST(TextServices, FormatNumberOfARealUsesThirteenSignificantDigits) {
    const struct {
        double value;
        std::string_view expected;
    } cases[] = {
        {6.0, "6"},
        {4.0 + 1.0, "5"},
        {1.5, "1.5"},
        {-1.5, "-1.5"},
        {0.0, "0"},
        {123.456, "123.456"},
        {0.0001, "0.0001"},
        {0.000123456, "0.000123456"},
        {0.00012345678901234, "0.0001234567890123"},
        {0.00001, "1e-005"},
        {-1.25e-7, "-1.25e-007"},
        {1e13, "1e+013"},
        {2147483648.0, "2147483648"},
        {-2147483647.0, "-2147483647"},
        {123456789012.0, "123456789012"},
        {1234567890123.0, "1234567890123"},
        {12345678901234.0, "1.234567890123e+013"},
        {9999999999999.9, "1e+013"},  // the exponent is that of the rounded value
        {2.0 / 3.0, "0.6666666666667"},
        {0.1 + 0.2, "0.3"},
        {1e100, "1e+100"},
        {1.5e300, "1.5e+300"},
        {DBL_MAX, "1.797693134862e+308"},
        {std::numeric_limits<double>::denorm_min(), "4.940656458412e-324"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(formatNumber(c.value), Text(c.expected));
    }
}

// ---- Byte buffers ------------------------------------------------------------------------------

TEST(TextServices, TheConstantEmptyBufferHoldsNoBytes) { EXPECT_TRUE(kEmptyBuffer.empty()); }

TEST(TextServices, BytesOfTextHoldsTheBytesWithoutTheTerminator) {
    const struct {
        std::string_view text, expected;
    } cases[] = {
        {"", ""},
        {"ab", "ab"},
        {"请求超时", "\xC7\xEB\xC7\xF3\xB3\xAC\xCA\xB1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text));
        EXPECT_EQ(hexOf(bytesOfText(c.text)), hexOf(c.expected));
    }
}

TEST(TextServices, ZeroFilledBufferHoldsNZeroBytes) {
    for (int n : {0, -1, INT_MIN, 1, 4096}) {
        SCOPED_TRACE(n);
        const ByteBuffer buffer = zeroFilledBuffer(n);
        EXPECT_EQ(buffer, ByteBuffer(n > 0 ? static_cast<std::size_t>(n) : 0, '\0'));
    }
}

TEST(TextServices, TextOfBytesTakesTheBytesBeforeTheFirstZero) {
    const struct {
        int size;
        std::string_view read;  // what a read placed at the start of a zero-filled buffer
        std::string_view expected;
    } cases[] = {
        {4096, "abc", "abc"},
        {4096, "", ""},
        {4096, "请求超时", "请求超时"},
        {3, "abc", "abc"},
        {5, std::string_view("ab\0cd", 5), "ab"},
        {0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + ": " + hexOf(c.read));
        ByteBuffer buffer = zeroFilledBuffer(c.size);
        std::copy(c.read.begin(), c.read.end(), buffer.begin());
        EXPECT_EQ(hexOf(textOfBytes(buffer)), hexOf(c.expected));
    }
}

TEST(TextServices, OrAll) {
    const struct {
        std::initializer_list<int32_t> values;
        int32_t expected;
    } cases[] = {
        {{1, 256}, 257}, {{0, 0}, 0}, {{6, 3}, 7}, {{1, 2, 4, 8}, 15}, {{-1, 5}, -1}, {{INT32_MIN, 1}, INT32_MIN + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(orAll(c.values), c.expected);
    }
}

}  // namespace
