// The timeout rule's decisions: whether a chunk counts, the counter caption after a hit, and when the
// action is due, alone and over a run of hits.
//
// Header: [0] flags (bit 0 the caption is the integer [1-4] in decimal rather than text 2, bits 1-4
// chunk, keyword, caption and threshold run on past their zero bytes, bit 5 the threshold is the
// decimal of the integer [6-9]), [5] hits to play (modulo 48).
// Texts: the chunk, the keyword, the counter caption, the threshold.
#include <string>

#include "fuzz_support.h"
#include "monitor/timeout_rule.h"
#include "services/text.h"

namespace {

bool referenceCounts(std::string_view chunk, std::string_view keyword) {
    if (keyword.empty()) return !chunk.empty();
    for (std::size_t p : fuzz::characterStarts(chunk)) {
        if (chunk.size() - p >= keyword.size() && chunk.compare(p, keyword.size(), keyword) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 10);
    const std::string chunk(in.text(0));
    const std::string keyword(in.text(1));
    const std::string caption = in.bit(0, 0) ? std::to_string(in.int32(1)) : std::string(in.text(2));
    const std::string threshold = in.bit(0, 5) ? std::to_string(in.int32(6)) : std::string(in.text(3));

    // Whether the chunk counts: the keyword at a character start, byte for byte.
    {
        const bool got = chunkCounts(in.arg(0, in.bit(0, 1)), in.arg(1, in.bit(0, 2)));
        CHECK(got == referenceCounts(chunk, keyword),
              "chunk " + fuzz::hexOf(chunk) + "\nkeyword " + fuzz::hexOf(keyword) + "\ncounts " + std::to_string(got));
    }

    // The caption after a hit: the caption's 32-bit value plus one, in plain decimal.
    {
        const std::string_view captionArg = in.bit(0, 0) ? std::string_view(caption) : in.arg(2, in.bit(0, 3));
        const int32_t n = fuzz::referenceParseInteger(caption);
        const std::string expected = std::to_string(static_cast<int64_t>(n) + 1);
        const Text next = nextCounterCaption(captionArg);
        const auto what = [&] {
            return std::string("caption " + fuzz::hexOf(caption) + " (" + std::to_string(n) + ")\nnext " +
                               fuzz::hexOf(next) + ", expected " + expected);
        };
        CHECK(std::string_view(next) == expected, what());
        CHECK(std::string_view(formatNumber(static_cast<double>(n) + 1.0)) == expected, what());
        // Read back, it is the 32-bit value one up (2147483648 reads as -2147483648).
        CHECK(parseInteger(next) == static_cast<int32_t>(static_cast<uint32_t>(n) + 1u), what());
    }

    // The action is due exactly when the two texts are equal byte for byte.
    {
        const std::string_view captionArg = in.bit(0, 0) ? std::string_view(caption) : in.arg(2, in.bit(0, 3));
        const std::string_view thresholdArg = in.bit(0, 5) ? std::string_view(threshold) : in.arg(3, in.bit(0, 4));
        CHECK(actionDue(captionArg, thresholdArg) == (caption == threshold),
              "caption " + fuzz::hexOf(caption) + "\nthreshold " + fuzz::hexOf(threshold));
    }

    // A run of hits from the caption: the action is due at most once, at the hit whose caption is the
    // threshold text.
    {
        const int hits = in.byte(5) % 48;
        std::string current = caption;
        int64_t value = fuzz::referenceParseInteger(caption);
        int fired = 0;
        for (int i = 0; i < hits; ++i) {
            current = std::string(nextCounterCaption(current));
            const std::string expected = std::to_string(value + 1);
            value = static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
            const bool due = actionDue(current, threshold);
            const auto what = [&] {
                return std::string("caption " + fuzz::hexOf(caption) + ", threshold " + fuzz::hexOf(threshold) +
                                   "\nhit " + std::to_string(i + 1) + " gives " + current + ", expected " + expected);
            };
            CHECK(current == expected, what());
            CHECK(due == (threshold == expected), what());
            fired += due ? 1 : 0;
            CHECK(fired <= 1, what());
        }
    }
    return 0;
}
