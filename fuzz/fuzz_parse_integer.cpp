// parseInteger: against a model of the full-width table and the parse, and on numbers written out in
// every form that must read back as the same value.
//
// Header: [0] flags (bit 0 write a number rather than parse the text, bit 1 the number is 64-bit,
// bit 2 the text runs on past its zero byte, bit 3 the 64-bit number is negative), [1-8] the number,
// [9] how to write it (bits 0-1 blanks before it, bit 2 a "+" before a number that is not negative,
// bit 3 the sign full-width, bits 4-5 digits 0 ASCII / 1 full-width / 2-3 mixed by the bits of [10],
// bits 6-7 leading zeros), [11] which white space goes before it.
// Texts: the text to parse, or what follows the written number (after a separating "x").
#include <string>

#include "fuzz_support.h"
#include "services/text.h"

namespace {

const char* const kWhiteSpace[8] = {" ", "\t", "\n", "\v", "\f", "\r", "\xA1\xA1", " "};

std::string fullWidth(char ascii) {  // A3 A1-FE stand for 21-7E
    return std::string("\xA3") + static_cast<char>(static_cast<unsigned char>(ascii) + 0x80);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 12);

    if (!in.bit(0, 0)) {
        const std::string_view text = in.text(0);
        const int32_t got = parseInteger(in.arg(0, in.bit(0, 2)));
        const int32_t expected = fuzz::referenceParseInteger(text);
        CHECK(got == expected, "text " + fuzz::hexOf(text) + "\nresult " + std::to_string(got) + ", expected " +
                                   std::to_string(expected));
        return 0;
    }

    // Write a number: its sign and magnitude, and the 32-bit value it must read as.
    const bool negative = in.bit(0, 3);  // for the 64-bit number
    uint64_t magnitude;
    int32_t expected;
    if (in.bit(0, 1)) {
        magnitude = in.uint64(1);
        const uint32_t low = static_cast<uint32_t>(magnitude);
        expected = static_cast<int32_t>(negative ? 0u - low : low);
    } else {
        const int32_t value = in.int32(1);
        expected = value;
        magnitude = value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
    }
    const bool minus = in.bit(0, 1) ? negative : expected < 0;

    const uint8_t form = in.byte(9);
    std::string written;
    const int blanks = form & 3;
    for (int i = 0; i < blanks; ++i) written += kWhiteSpace[(in.byte(11) >> (3 * i)) & 7];
    const bool fullWidthSign = (form >> 3) & 1;
    if (minus) {
        written += fullWidthSign ? fullWidth('-') : std::string("-");
    } else if ((form >> 2) & 1) {
        written += fullWidthSign ? fullWidth('+') : std::string("+");
    }
    const int digitStyle = (form >> 4) & 3;
    std::string digits = std::string(static_cast<std::size_t>((form >> 6) & 3), '0') + std::to_string(magnitude);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const bool wideDigit = digitStyle == 1 || (digitStyle >= 2 && ((in.byte(10) >> (i % 8)) & 1));
        written += wideDigit ? fullWidth(digits[i]) : std::string(1, digits[i]);
    }
    const std::string_view rest = in.text(0);
    written += "x";
    written += rest;

    const int32_t got = parseInteger(written);
    CHECK(got == expected, "written " + fuzz::hexOf(written) + "\nresult " + std::to_string(got) + ", expected " +
                               std::to_string(expected));
    CHECK(got == fuzz::referenceParseInteger(written), "written " + fuzz::hexOf(written));
    return 0;
}
