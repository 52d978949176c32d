// Text, byte-buffer and storage operations (see text.h). Stateless apart from the storage reporter,
// which start-up installs once; everything else only reads its arguments and builds new values.
#include "services/text.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {

// ---- Storage -----------------------------------------------------------------------------------

// Must not allocate: it runs exactly when the heap has nothing left.
void writeExhaustedReportToStderr(std::size_t unavailableBytes) {
    char digits[32];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits - 1, unavailableBytes);
    *(ec == std::errc() ? end : digits) = '\0';
    char message[96];
    std::snprintf(message, sizeof message, "Quorvane: unable to allocate %s bytes\n", digits);
    std::fputs(message, stderr);
    std::fflush(stderr);
}

// Both threads may run out of storage; the pointer itself is the only shared state here.
std::atomic<StorageExhaustedReporter> gStorageReporter{&writeExhaustedReportToStderr};

// ---- Character stepping ------------------------------------------------------------------------

constexpr unsigned char kLeadByteMin = 0x80;
constexpr unsigned char kFullWidthLead = 0xA1;  // first byte of the full-width space A1 A1
constexpr unsigned char kFullWidthAsciiLead = 0xA3;

unsigned char byteAt(std::string_view text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

// A view that ends where a C text would: at the first zero byte.
std::string_view textPart(std::string_view text) {
    const std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

// Width of the character that starts at byte i: 1 or 2, or 0 for a lead byte with no byte after it.
std::size_t charWidthAt(std::string_view text, std::size_t i) {
    if (byteAt(text, i) < kLeadByteMin) return 1;
    return i + 1 < text.size() ? 2 : 0;
}

bool isHalfWidthBlankAt(std::string_view text, std::size_t i) { return text[i] == ' '; }

bool isFullWidthBlankAt(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && byteAt(text, i) == kFullWidthLead && byteAt(text, i + 1) == kFullWidthLead;
}

unsigned char foldAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Compares needle.size() bytes of text from byte i (the caller guarantees they exist).
bool matchesAt(std::string_view text, std::size_t i, std::string_view needle, bool foldCase) {
    if (!foldCase) return text.compare(i, needle.size(), needle) == 0;
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (foldAsciiLetter(byteAt(text, i + k)) != foldAsciiLetter(byteAt(needle, k))) return false;
    }
    return true;
}

// A 1-based start position as a 0-based byte offset; a missing start or one below 1 means 1.
std::size_t startOffset(std::optional<int> start) {
    return (start && *start > 1) ? static_cast<std::size_t>(*start) - 1 : 0;
}

Text makeText(std::string_view bytes) { return Text(bytes.data(), bytes.size()); }

// ---- Number formatting -------------------------------------------------------------------------

constexpr int kSignificantDigits = 13;  // the "%.13g" that every counter and number text uses
constexpr int kExponentDigits = 3;

// Writes the "%.13g" form of a finite value into out and returns its length. out must hold 40 bytes.
std::size_t writeGeneral13(double value, char* out) {
    // The rounding is delegated to to_chars, which is exact and ignores the locale and the C runtime.
    char sci[48];
    const auto [sciEnd, ec] =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, kSignificantDigits - 1);
    if (ec != std::errc()) return 0;  // cannot happen for a finite double in 48 bytes

    // sci is "[-]d.ddddddddddddde(+|-)dd[d]".
    const char* p = sci;
    std::size_t n = 0;
    if (*p == '-') {
        out[n++] = '-';
        ++p;
    }
    char digits[kSignificantDigits];
    int digitCount = 0;
    for (; p != sciEnd && *p != 'e'; ++p) {
        if (*p != '.' && digitCount < kSignificantDigits) digits[digitCount++] = *p;
    }
    int exponent = 0;
    if (p != sciEnd) ++p;  // 'e'
    const bool negativeExponent = p != sciEnd && *p == '-';
    if (p != sciEnd && (*p == '-' || *p == '+')) ++p;
    for (; p != sciEnd; ++p) exponent = exponent * 10 + (*p - '0');
    if (negativeExponent) exponent = -exponent;

    while (digitCount > 1 && digits[digitCount - 1] == '0') --digitCount;

    if (exponent >= -4 && exponent < kSignificantDigits) {
        if (exponent >= 0) {
            const int integerDigits = exponent + 1;
            for (int i = 0; i < integerDigits; ++i) out[n++] = i < digitCount ? digits[i] : '0';
            if (digitCount > integerDigits) {
                out[n++] = '.';
                for (int i = integerDigits; i < digitCount; ++i) out[n++] = digits[i];
            }
        } else {
            out[n++] = '0';
            out[n++] = '.';
            for (int i = -1; i > exponent; --i) out[n++] = '0';
            for (int i = 0; i < digitCount; ++i) out[n++] = digits[i];
        }
    } else {
        out[n++] = digits[0];
        if (digitCount > 1) {
            out[n++] = '.';
            for (int i = 1; i < digitCount; ++i) out[n++] = digits[i];
        }
        out[n++] = 'e';
        out[n++] = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        char expDigits[8];
        int expCount = 0;
        for (int rest = magnitude; rest > 0 || expCount < kExponentDigits; rest /= 10) {
            expDigits[expCount++] = static_cast<char>('0' + rest % 10);
        }
        while (expCount > 0) out[n++] = expDigits[--expCount];
    }
    return n;
}

}  // namespace

// ---- Storage -----------------------------------------------------------------------------------

void* obtainBlock(std::size_t size) {
    // malloc(0) may legitimately return null; a zero-byte block is still a block.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) reportStorageExhausted(size);
    return block;
}

void releaseBlock(void* block) noexcept { std::free(block); }

void setStorageExhaustedReporter(StorageExhaustedReporter reporter) noexcept {
    gStorageReporter.store(reporter != nullptr ? reporter : &writeExhaustedReportToStderr);
}

void reportStorageExhausted(std::size_t unavailableBytes) noexcept {
    gStorageReporter.load()(unavailableBytes);
    std::_Exit(-1);
}

const ByteBuffer kEmptyBuffer{};

// ---- Texts -------------------------------------------------------------------------------------

int lengthOf(std::string_view text) { return static_cast<int>(textPart(text).size()); }

Text joinTexts(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (std::string_view part : parts) total += textPart(part).size();
    Text joined;
    joined.reserve(total);
    for (std::string_view part : parts) joined.append(textPart(part));
    return joined;
}

int compareTexts(std::string_view a, std::string_view b) {
    a = textPart(a);
    b = textPart(b);
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = byteAt(a, i);
        const unsigned char y = byteAt(b, i);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

void assignText(Text& field, std::string_view source) {
    source = textPart(source);
    if (source.data() == field.data() && source.size() == field.size()) return;
    // Copy before letting go of the old text: source may point into it.
    Text copy = makeText(source);
    field.swap(copy);
}

Text spaceFilledText(int n) {
    if (n <= 0) return Text();
    return Text(static_cast<std::size_t>(n), ' ');
}

Text trimBlanks(std::string_view text) {
    text = textPart(text);
    std::size_t begin = 0;
    while (begin < text.size()) {
        if (isHalfWidthBlankAt(text, begin)) {
            begin += 1;
        } else if (isFullWidthBlankAt(text, begin)) {
            begin += 2;
        } else {
            break;
        }
    }

    std::size_t end = text.size();
    std::size_t runStart = std::string_view::npos;  // where the current run of blanks began
    for (std::size_t i = begin; i < text.size();) {
        const std::size_t width = charWidthAt(text, i);
        if (width == 0) {  // an unpaired lead byte: dropped, and the walk ends there
            runStart = i;
            break;
        }
        const bool blank = width == 1 ? isHalfWidthBlankAt(text, i) : isFullWidthBlankAt(text, i);
        if (!blank) {
            runStart = std::string_view::npos;
        } else if (runStart == std::string_view::npos) {
            runStart = i;
        }
        i += width;
    }
    if (runStart != std::string_view::npos) end = runStart;
    return makeText(text.substr(begin, end - begin));
}

Text replaceOccurrences(std::string_view text, std::string_view find, std::string_view replacement,
                        std::optional<int> start, std::optional<int> count, bool caseSensitive) {
    text = textPart(text);
    find = textPart(find);
    replacement = textPart(replacement);
    const std::size_t first = startOffset(start);
    const bool limited = count.has_value() && *count >= 0;
    if (text.empty() || find.empty() || first >= text.size() || (limited && *count == 0)) {
        return makeText(text);
    }
    int replacementsLeft = limited ? *count : 0;

    Text result;
    result.reserve(text.size());
    result.append(text.substr(0, first));
    std::size_t pos = first;
    while (text.size() - pos >= find.size()) {
        if (matchesAt(text, pos, find, !caseSensitive)) {
            result.append(replacement);
            pos += find.size();
            if (limited && --replacementsLeft == 0) break;
            continue;
        }
        const std::size_t width = charWidthAt(text, pos);
        if (width == 0) {  // an unpaired lead byte is dropped and ends the scan
            pos = text.size();
            break;
        }
        result.append(text.substr(pos, width));
        pos += width;
    }
    result.append(text.substr(pos));
    return result;
}

int positionOf(std::string_view text, std::string_view needle, std::optional<int> start, bool ignoreCase) {
    text = textPart(text);
    needle = textPart(needle);
    const std::size_t first = startOffset(start);
    if (first >= text.size()) return -1;
    if (needle.empty()) return 1;
    for (std::size_t pos = first; text.size() - pos >= needle.size();) {
        if (matchesAt(text, pos, needle, ignoreCase)) return static_cast<int>(pos + 1);
        const std::size_t width = charWidthAt(text, pos);
        if (width == 0) break;
        pos += width;
    }
    return -1;
}

int32_t parseInteger(std::string_view text) {
    text = textPart(text);

    // Full-width forms become ASCII; the copy never grows, so it fits in the text's size.
    Text ascii;
    ascii.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t width = charWidthAt(text, i);
        if (width == 0) break;  // an unpaired lead byte is dropped
        if (width == 1) {
            ascii.push_back(text[i]);
        } else {
            const unsigned char lead = byteAt(text, i);
            const unsigned char trail = byteAt(text, i + 1);
            if (lead == kFullWidthAsciiLead && trail >= 0xA1 && trail <= 0xFE) {
                ascii.push_back(static_cast<char>(trail - 0x80));
            } else if (lead == kFullWidthLead && trail == 0xA1) {
                ascii.push_back(' ');
            } else if (lead == kFullWidthLead && trail == 0xAB) {
                ascii.push_back('~');
            } else if (lead == kFullWidthLead && (trail == 0xEE || trail == 0xEF)) {
                ascii.push_back('*');
            } else {
                ascii.append(text.substr(i, 2));
            }
        }
        i += width;
    }

    // Locale-independent decimal parse; unsigned arithmetic gives the 32-bit wrap without overflow.
    std::size_t i = 0;
    while (i < ascii.size() && (ascii[i] == ' ' || (ascii[i] >= '\t' && ascii[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) {
        negative = ascii[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
        value = value * 10u + static_cast<uint32_t>(ascii[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);  // modulo 2^32, as C++20 defines it
}

Text formatNumber(int32_t value) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    return ec == std::errc() ? Text(digits, static_cast<std::size_t>(end - digits)) : Text();
}

Text formatNumber(double value) {
    if (std::isnan(value)) return Text("nan");
    if (std::isinf(value)) return Text(value < 0 ? "-inf" : "inf");
    char out[40];
    return Text(out, writeGeneral13(value, out));
}

// ---- Byte buffers ------------------------------------------------------------------------------

ByteBuffer bytesOfText(std::string_view text) {
    text = textPart(text);
    return ByteBuffer(text.begin(), text.end());
}

ByteBuffer zeroFilledBuffer(int n) {
    if (n <= 0) return ByteBuffer();
    return ByteBuffer(static_cast<std::size_t>(n), '\0');
}

Text textOfBytes(const ByteBuffer& buffer) {
    return makeText(textPart(std::string_view(buffer.data(), buffer.size())));
}

int32_t orAll(std::initializer_list<int32_t> values) {
    uint32_t bits = 0;
    for (int32_t v : values) bits |= static_cast<uint32_t>(v);
    return static_cast<int32_t>(bits);
}
