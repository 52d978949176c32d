// positionOf: the first match at a character start of the searched range, or -1.
//
// Header: [0] flags (bit 0 ignore case, bit 1 start given, bit 2 text runs on past its zero byte,
// bit 3 needle runs on, bit 4 start from bytes 1-4 rather than the signed byte 1).
// Texts: the text, the needle.
#include <optional>

#include "fuzz_support.h"
#include "services/text.h"

namespace {

// Naive search: every position that stepping from the range start visits, in order.
int referencePositionOf(std::string_view text, std::string_view needle, std::size_t first, bool ignoreCase) {
    if (first >= text.size()) return -1;
    if (needle.empty()) return 1;
    for (std::size_t p : fuzz::characterStarts(text, first)) {
        if (text.size() - p < needle.size()) break;
        if (fuzz::sameBytes(text, p, needle, ignoreCase)) return static_cast<int>(p + 1);
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 5);
    const bool ignoreCase = in.bit(0, 0);
    const bool hasStart = in.bit(0, 1);
    const int32_t startValue = in.bit(0, 4) ? in.int32(1) : static_cast<int8_t>(in.byte(1));
    const std::optional<int> start = hasStart ? std::optional<int>(startValue) : std::nullopt;

    const std::string_view text = in.text(0);
    const std::string_view needle = in.text(1);
    const std::size_t first = fuzz::startOffsetOf(hasStart, startValue);

    const int found = positionOf(in.arg(0, in.bit(0, 2)), in.arg(1, in.bit(0, 3)), start, ignoreCase);
    const auto what = [&] {
        return std::string("text " + fuzz::hexOf(text) + "\nneedle " + fuzz::hexOf(needle) + "\nstart " +
                           (hasStart ? std::to_string(startValue) : std::string("none")) +
                           (ignoreCase ? ", ignore case" : ", case-sensitive") + "\nresult " + std::to_string(found));
    };

    CHECK(found == -1 || (found >= 1 && static_cast<std::size_t>(found) <= text.size()), what());
    if (needle.empty()) {
        CHECK(found == (first < text.size() ? 1 : -1), what());
    } else if (found != -1) {
        const std::size_t p = static_cast<std::size_t>(found) - 1;
        // A character start of the range, walked from the range's first byte.
        CHECK(p >= first && fuzz::isCharacterStart(text, p, first), what());
        CHECK(text.size() - p >= needle.size() && fuzz::sameBytes(text, p, needle, ignoreCase), what());
        if (!ignoreCase) CHECK(text.compare(p, needle.size(), needle) == 0, what());
        // No earlier character start matches.
        for (std::size_t q : fuzz::characterStarts(text, first)) {
            if (q >= p) break;
            CHECK(!(text.size() - q >= needle.size() && fuzz::sameBytes(text, q, needle, ignoreCase)), what());
        }
    }
    CHECK(found == referencePositionOf(text, needle, first, ignoreCase), what());

    if (!ignoreCase) {
        // Folding only adds matches: the ignore-case search finds something at or before.
        const int folded = positionOf(text, needle, start, true);
        CHECK(found == -1 || (folded != -1 && folded <= found),
              what() + "\nignore-case result " + std::to_string(folded));
        if (!hasStart) CHECK(positionOf(text, needle) == found, what());
    }
    return 0;
}
