// trimBlanks: the blanks (20, A1 A1) at both ends go, nothing else changes.
//
// Header: [0] flags (bit 0 the text runs on past its zero byte).
// Texts: the text.
#include "fuzz_support.h"
#include "services/text.h"

namespace {

// On whole characters: drop the leading blanks; then an unpaired lead byte at the end is dropped on
// its own (blanks before it stay), otherwise the trailing blanks are dropped.
std::string referenceTrim(std::string_view text) {
    const std::vector<std::string_view> chars = fuzz::charactersOf(text);
    std::size_t begin = 0, end = chars.size();
    while (begin < end && fuzz::isBlankCharacter(chars[begin])) ++begin;
    if (begin < end && fuzz::isUnpaired(chars[end - 1])) {
        --end;
    } else {
        while (end > begin && fuzz::isBlankCharacter(chars[end - 1])) --end;
    }
    std::string out;
    for (std::size_t i = begin; i < end; ++i) out += chars[i];
    return out;
}

bool startsWithBlank(std::string_view s) {
    return (!s.empty() && s[0] == ' ') || (s.size() >= 2 && s.substr(0, 2) == "\xA1\xA1");
}

bool hasUnpairedLeadByte(std::string_view s) {
    const auto chars = fuzz::charactersOf(s);
    return !chars.empty() && fuzz::isUnpaired(chars.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 1);
    const std::string_view text = in.text(0);
    const Text result = trimBlanks(in.arg(0, in.bit(0, 0)));
    const std::string_view got(result);
    const auto what = [&] { return std::string("text " + fuzz::hexOf(text) + "\nresult " + fuzz::hexOf(got)); };

    CHECK(got.size() <= text.size(), what());
    // A piece of the input: what follows its leading blanks.
    std::size_t leading = 0;
    while (startsWithBlank(text.substr(leading))) leading += text[leading] == ' ' ? 1 : 2;
    CHECK(text.substr(leading, got.size()) == got, what());
    CHECK(!startsWithBlank(got), what());

    const std::string expected = referenceTrim(text);
    CHECK(got == expected, what() + "\nexpected " + fuzz::hexOf(expected));

    if (!hasUnpairedLeadByte(text)) {
        // Nothing blank is left at the end, and a second trim changes nothing.
        const auto chars = fuzz::charactersOf(got);
        CHECK(chars.empty() || !fuzz::isBlankCharacter(chars.back()), what());
        const Text again = trimBlanks(got);
        CHECK(std::string_view(again) == got, what() + "\ntrimmed again " + fuzz::hexOf(again));
    } else {
        // The unpaired lead byte (the text's last byte) never survives.
        CHECK(leading + got.size() < text.size(), what());
    }
    return 0;
}
