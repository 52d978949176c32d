// replaceOccurrences against a model of the scan, and against positionOf for a single replacement.
//
// Header: [0] flags (bit 0 case-sensitive, bit 1 start given, bit 2 count given, bit 3 replacement
// given, bit 4 text runs on past its zero byte, bit 5 find runs on, bit 6 replacement runs on,
// bit 7 start and count from bytes 1-4 and 5-8 rather than the signed bytes 1 and 5).
// Texts: the text, find, the replacement.
#include <optional>

#include "fuzz_support.h"
#include "services/text.h"

namespace {

// The scan: from the start, try find at the scan position; a match is replaced and skipped, anything
// else is copied one character at a time. An unpaired lead byte reached by the scan is dropped and
// ends it. What the scan has not reached is copied unchanged.
std::string referenceReplace(std::string_view text, std::string_view find, std::string_view replacement,
                             std::size_t first, bool limited, long limit, bool caseSensitive) {
    if (text.empty() || find.empty() || first >= text.size() || (limited && limit == 0)) {
        return std::string(text);
    }
    std::string out(text.substr(0, first));
    std::size_t pos = first;
    long replaced = 0;
    while (pos + find.size() <= text.size()) {
        if (fuzz::sameBytes(text, pos, find, !caseSensitive)) {
            out += replacement;
            pos += find.size();
            ++replaced;
            if (limited && replaced == limit) break;
        } else if (!fuzz::isLeadByte(fuzz::at(text, pos))) {
            out += text[pos];
            pos += 1;
        } else if (pos + 1 < text.size()) {
            out += text.substr(pos, 2);
            pos += 2;
        } else {
            pos = text.size();
        }
    }
    out += text.substr(pos);
    return out;
}

// Whether stepping from first reaches an unpaired lead byte at the text's last byte.
bool scanMeetsUnpairedByte(std::string_view text, std::size_t first) {
    const auto starts = fuzz::characterStarts(text, first);
    return !starts.empty() && starts.back() == text.size() - 1 && fuzz::isLeadByte(fuzz::at(text, text.size() - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 9);
    const bool caseSensitive = in.bit(0, 0);
    const bool hasStart = in.bit(0, 1);
    const bool hasCount = in.bit(0, 2);
    const bool hasReplacement = in.bit(0, 3);
    const bool wide = in.bit(0, 7);
    const int32_t startValue = wide ? in.int32(1) : static_cast<int8_t>(in.byte(1));
    const int32_t countValue = wide ? in.int32(5) : static_cast<int8_t>(in.byte(5));
    const std::optional<int> start = hasStart ? std::optional<int>(startValue) : std::nullopt;
    const std::optional<int> count = hasCount ? std::optional<int>(countValue) : std::nullopt;

    const std::string_view text = in.text(0);
    const std::string_view find = in.text(1);
    const std::string_view replacement = hasReplacement ? in.text(2) : std::string_view();
    const std::size_t first = fuzz::startOffsetOf(hasStart, startValue);
    const bool limited = hasCount && countValue >= 0;

    const Text result = hasReplacement ? replaceOccurrences(in.arg(0, in.bit(0, 4)), in.arg(1, in.bit(0, 5)),
                                                            in.arg(2, in.bit(0, 6)), start, count, caseSensitive)
                                       : replaceOccurrences(in.arg(0, in.bit(0, 4)), in.arg(1, in.bit(0, 5)), {}, start,
                                                            count, caseSensitive);
    const std::string_view got(result);
    const auto what = [&] {
        return std::string("text " + fuzz::hexOf(text) + "\nfind " + fuzz::hexOf(find) + "\nreplacement " +
                           fuzz::hexOf(replacement) + "\nstart " +
                           (hasStart ? std::to_string(startValue) : std::string("none")) + ", count " +
                           (hasCount ? std::to_string(countValue) : std::string("none")) +
                           (caseSensitive ? ", case-sensitive" : ", ignore case") + "\nresult " + fuzz::hexOf(got));
    };

    CHECK(got.find('\0') == std::string_view::npos, what());
    const std::string expected = referenceReplace(text, find, replacement, first, limited, countValue, caseSensitive);
    CHECK(got == expected, what() + "\nexpected " + fuzz::hexOf(expected));

    // The bytes before the start are never touched.
    CHECK(got.substr(0, first) == text.substr(0, first), what());

    // One replacement: exactly the first occurrence that positionOf reports from the same start.
    if (!text.empty() && !find.empty() && first < text.size()) {
        const Text once(replaceOccurrences(text, find, replacement, start, 1, caseSensitive));
        const int p = positionOf(text, find, start, !caseSensitive);
        const auto detail = [&] {
            return std::string(what() + "\ncount 1 gives " + fuzz::hexOf(once) + ", positionOf " + std::to_string(p));
        };
        if (p != -1) {
            const std::size_t at = static_cast<std::size_t>(p) - 1;
            const std::string spliced =
                std::string(text.substr(0, at)) + std::string(replacement) + std::string(text.substr(at + find.size()));
            CHECK(std::string_view(once) == spliced, detail());
        } else if (find.size() == 1 && scanMeetsUnpairedByte(text, first)) {
            CHECK(std::string_view(once) == text.substr(0, text.size() - 1), detail());
        } else {
            CHECK(std::string_view(once) == text, detail());
        }
    }

    // Replacing find by itself, case-sensitively, changes nothing, except that a scan which ends on
    // an unpaired lead byte drops it. (Matches move the scan, so where it ends is not known here.)
    if (caseSensitive) {
        const Text same(replaceOccurrences(text, find, find, start, count, true));
        const bool mayDrop = !text.empty() && fuzz::isLeadByte(fuzz::at(text, text.size() - 1));
        CHECK(std::string_view(same) == text || (mayDrop && std::string_view(same) == text.substr(0, text.size() - 1)),
              what() + "\nfind by itself gives " + fuzz::hexOf(same));
    }
    return 0;
}
