// Unit tests of the timeout rule's decisions: whether a chunk counts, the next counter caption and
// whether the action is due. Chinese literals are compiled to GBK (-fexec-charset=CP936).
#include "monitor/timeout_rule.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

#include <string>
#include <string_view>

namespace {

TEST(TimeoutRule, ChunkCountsWhenTheKeywordStandsAtACharacterStart) {
    const struct {
        const char* name;
        std::string_view chunk;
        std::string_view keyword;
        bool counts;
    } cases[] = {
        {"keyword alone", "请求超时。\r\n", "请求超时", true},
        {"keyword twice is one yes", "请求超时。\r\n请求超时。\r\n", "请求超时", true},
        {"keyword after ASCII text", "来自 127.0.0.1 的回复: 请求超时", "请求超时", true},
        {"first half of a split keyword", "... 请求", "请求超时", false},
        {"second half of a split keyword", "超时。\r\n", "请求超时", false},
        {"other output", "来自 127.0.0.1 的回复: 字节=32 时间<1ms TTL=128\r\n", "请求超时", false},
        {"ASCII case differs", "Request timed out.\r\n", "request timed out", false},
        {"ASCII case equal", "Request timed out.\r\n", "Request timed out", true},
        {"empty keyword, non-empty chunk", "x", "", true},
        {"empty keyword, empty chunk", "", "", false},
        {"keyword, empty chunk", "", "请求超时", false},
        {"trailing blank in keyword, blank present", "请求超时 \r\n", "请求超时 ", true},
        {"trailing blank in keyword, blank absent", "请求超时。\r\n", "请求超时 ", false},
        // 请求 is C7 EB C7 F3: "EB C7" stands across a character boundary, starting at a trail byte.
        {"match starting at a trail byte", "请求", "\xEB\xC7", false},
        // 乗 is 81 5C: its trail byte is a backslash, which is no character of its own.
        {"backslash as a trail byte", "C:乗", "\\", false},
        {"backslash as a character", "C:\\乗", "\\", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(chunkCounts(c.chunk, c.keyword), c.counts);
    }
}

TEST(TimeoutRule, NextCounterCaptionAddsOneWith32BitWrap) {
    const struct {
        std::string_view caption;
        std::string_view next;
    } cases[] = {
        {"0", "1"},
        {"4", "5"},
        {"99", "100"},
        {"-1", "0"},
        {"-5", "-4"},
        {"2147483647", "2147483648"},   // one past the largest 32-bit value, still printed in full
        {"2147483648", "-2147483647"},  // reads back as -2147483648
        {"4294967296", "1"},            // wraps to 0
        {"abc", "1"},                   // no digits reads as 0
        {"", "1"},
        {"  7", "8"},     // leading white space skipped
        {"12abc", "13"},  // digits up to the first other character
        {"５", "6"},      // full-width digit
        {"１２", "13"},
        {"－３", "-2"},  // full-width minus
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.caption));
        EXPECT_EQ(hexOf(nextCounterCaption(c.caption)), hexOf(c.next));
    }
}

TEST(TimeoutRule, CounterPassesThroughTheThresholdOnce) {
    // Counting from the start caption "0" with threshold "5": due exactly at the fifth hit.
    Text caption = "0";
    std::string dueAt;
    for (int hit = 1; hit <= 8; ++hit) {
        caption = nextCounterCaption(caption);
        if (actionDue(caption, "5")) dueAt += std::to_string(hit) + ";";
    }
    EXPECT_EQ(dueAt, "5;");
    EXPECT_EQ(std::string(caption.c_str()), "8");
}

TEST(TimeoutRule, ActionDueOnlyWhenTheTextsAreEqual) {
    const struct {
        std::string_view caption;
        std::string_view threshold;
        bool due;
    } cases[] = {
        {"5", "5", true},                      // the same text
        {"5", "05", false},                    // leading zero
        {"5", "5 ", false},                    // trailing blank
        {"5", " 5", false},                    // leading blank
        {"5", "", false},                      // empty threshold
        {"5", "5.0", false},                   // decimal point
        {"5", "５", false},                    // full-width five is another text
        {"6", "5", false},                     // passed the threshold: greater is not due
        {"4", "5", false},                     // not yet
        {"-2147483647", "-2147483647", true},  // after the wrap
        {"", "", true},                        // absent equals empty; never arises after an increment
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.caption) + " / " + hexOf(c.threshold));
        EXPECT_EQ(actionDue(c.caption, c.threshold), c.due);
    }
}

}  // namespace
