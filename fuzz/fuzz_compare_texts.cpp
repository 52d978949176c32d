// compareTexts: an unsigned byte-wise order in which -1, 0 and 1 are the only answers.
//
// Header: [0] flags (bit 0 a runs on past its zero byte, bit 1 b runs on).
// Texts: a, b, c.
#include <cstring>

#include "fuzz_support.h"
#include "services/text.h"

namespace {

int referenceCompare(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    const int byBytes = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (byBytes != 0) return byBytes < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 1);
    const std::string_view a = in.text(0), b = in.text(1), c = in.text(2);
    const auto what = [&] {
        return std::string("a " + fuzz::hexOf(a) + "\nb " + fuzz::hexOf(b) + "\nc " + fuzz::hexOf(c));
    };

    const int ab = compareTexts(in.arg(0, in.bit(0, 0)), in.arg(1, in.bit(0, 1)));
    const int ba = compareTexts(b, a);
    const int bc = compareTexts(b, c);
    const int ac = compareTexts(a, c);
    const auto results = [&] {
        return std::string(what() + "\nab " + std::to_string(ab) + ", ba " + std::to_string(ba) + ", bc " +
                           std::to_string(bc) + ", ac " + std::to_string(ac));
    };

    CHECK(ab == -1 || ab == 0 || ab == 1, results());
    CHECK(ab == -ba, results());
    CHECK((ab == 0) == (a == b), results());
    CHECK(ab == referenceCompare(a, b), results());
    CHECK(compareTexts(a, a) == 0, results());
    // Empty and absent are the same text.
    CHECK(compareTexts(a, {}) == (a.empty() ? 0 : 1) && compareTexts({}, a) == (a.empty() ? 0 : -1), results());
    // A total order: transitive.
    if (ab <= 0 && bc <= 0) CHECK(ac <= 0, results());
    if (ab >= 0 && bc >= 0) CHECK(ac >= 0, results());
    return 0;
}
