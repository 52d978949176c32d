// Byte buffers and texts (textOfBytes, bytesOfText, zeroFilledBuffer, lengthOf, joinTexts,
// spaceFilledText) and formatNumber of an integer and of a real, against the C library's "%d" and
// "%.13g" (with the exponent widened to a sign and three digits).
//
// Header: [0] flags (bits 0-3 texts 0-3 run on past their zero bytes, bits 4-5 where the real comes
// from: 0 its bit pattern [9-16], 1 the 64-bit integer [9-16], 2 the integer [9-12] divided by a
// power of ten, 3 multiplied by one), [1-4] a size, [5-8] an integer, [9-16] the real's source,
// [17] the power of ten (modulo 32).
// Texts: up to four texts.
#include <cmath>
#include <cstring>

#include "fuzz_support.h"
#include "services/text.h"

namespace {

// "%.13g" of the C library, with its exponent written as a sign and at least three digits.
std::string general13(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    std::string s(buffer);
    const std::size_t e = s.find('e');
    if (e == std::string::npos) return s;
    const std::size_t digitsAt = e + 2;  // after the exponent's sign
    const std::size_t width = s.size() - digitsAt;
    if (width < 3) s.insert(digitsAt, 3 - width, '0');
    return s;
}

double realFrom(const fuzz::FuzzInput& in) {
    const int source = (in.byte(0) >> 4) & 3;
    const uint64_t bits = in.uint64(9);
    const double power = std::pow(10.0, in.byte(17) % 32);
    switch (source) {
        case 0: {
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 1:
            return static_cast<double>(static_cast<int64_t>(bits));
        case 2:
            return in.int32(9) / power;
        default:
            return in.int32(9) * power;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in(data, size, 18);
    const std::string_view payload = in.payload();
    const int32_t rawSize = in.int32(1);
    const int n = rawSize <= 0 ? rawSize : rawSize % 8192;

    // textOfBytes: the bytes before the first zero byte, all of them when none is zero.
    {
        const ByteBuffer buffer(payload.begin(), payload.end());
        const Text t = textOfBytes(buffer);
        CHECK(std::string_view(t) == fuzz::cutAtZero(payload), "buffer " + fuzz::hexOf(payload));
    }

    // bytesOfText and back; lengthOf.
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string_view t = in.text(i);
        const std::string_view arg = in.arg(i, in.bit(0, static_cast<int>(i)));
        const auto what = [&] { return std::string("text " + fuzz::hexOf(t)); };
        CHECK(lengthOf(arg) == static_cast<int>(t.size()), what());
        const ByteBuffer bytes = bytesOfText(arg);
        CHECK(bytes.size() == t.size() && std::string_view(bytes.data(), bytes.size()) == t, what());
        CHECK(std::string_view(textOfBytes(bytes)) == t, what());
    }

    // zeroFilledBuffer, then a read that places a text at its start.
    {
        ByteBuffer buffer = zeroFilledBuffer(n);
        const auto what = [&] { return std::string("n " + std::to_string(n)); };
        CHECK(buffer.size() == static_cast<std::size_t>(n > 0 ? n : 0), what());
        for (char c : buffer) CHECK(c == '\0', what());
        CHECK(textOfBytes(buffer).empty(), what());
        const std::string_view t = in.text(0).substr(0, buffer.size());
        if (!t.empty()) std::memcpy(buffer.data(), t.data(), t.size());
        CHECK(std::string_view(textOfBytes(buffer)) == t, what() + ", read " + fuzz::hexOf(t));
    }

    // joinTexts: the parts one after another.
    {
        const Text joined = joinTexts(
            {in.arg(0, in.bit(0, 0)), in.arg(1, in.bit(0, 1)), in.arg(2, in.bit(0, 2)), in.arg(3, in.bit(0, 3))});
        const std::string expected =
            std::string(in.text(0)) + std::string(in.text(1)) + std::string(in.text(2)) + std::string(in.text(3));
        CHECK(lengthOf(joined) ==
                  lengthOf(in.text(0)) + lengthOf(in.text(1)) + lengthOf(in.text(2)) + lengthOf(in.text(3)),
              "joined " + fuzz::hexOf(joined));
        CHECK(std::string_view(joined) == expected, "joined " + fuzz::hexOf(joined));
        CHECK(joinTexts({in.text(0)}) == in.text(0) && joinTexts({{}, {}}).empty(),
              "single " + fuzz::hexOf(in.text(0)));
    }

    // spaceFilledText.
    {
        const Text spaces = spaceFilledText(n);
        CHECK(spaces.size() == static_cast<std::size_t>(n > 0 ? n : 0), "n " + std::to_string(n));
        CHECK(spaces.find_first_not_of(' ') == Text::npos, "n " + std::to_string(n));
    }

    // formatNumber of an integer: "%d".
    {
        const int32_t value = in.int32(5);
        char expected[16];
        std::snprintf(expected, sizeof expected, "%d", value);
        const Text got = formatNumber(value);
        CHECK(std::string_view(got) == expected, "integer " + std::string(expected) + " gives " + std::string(got));
    }

    // formatNumber of a real: "%.13g" with a three-digit exponent.
    {
        const double value = realFrom(in);
        if (std::isfinite(value)) {
            const Text got = formatNumber(value);
            const std::string expected = general13(value);
            char exact[64];
            std::snprintf(exact, sizeof exact, "%a", value);
            CHECK(std::string_view(got) == expected,
                  std::string("real ") + exact + " gives " + std::string(got) + ", expected " + expected);
        }
    }
    return 0;
}
