// Shared pieces of the fuzz targets: splitting the fuzz data into options and texts, the failure
// report, and small reference models of GBK character stepping that the targets check against.
//
// Input layout of every target: a fixed number of header bytes (options, numbers; missing bytes
// read as 0), then a payload split at its zero bytes into texts. A Text never holds a zero byte, so
// the zero byte is the natural separator. Some targets also hand a service the view that runs on
// past a text's end into the rest of the data: the service must stop at the first zero byte, as it
// would at the end of a C text.
//
// Non-ASCII bytes are written as \x escapes here: clang has no GBK execution character set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// ---- Failure report ----------------------------------------------------------------------------

inline std::string hexOf(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out.empty() ? std::string("(empty)") : out;
}

[[noreturn]] inline void propertyFailed(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "\n*** property violated at %s:%d\n*** %s\n%s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// CHECK(condition, detail): aborts with the condition and a description of the inputs.
#define CHECK(condition, detail)                                                            \
    do {                                                                                    \
        if (!(condition)) ::fuzz::propertyFailed(__FILE__, __LINE__, #condition, (detail)); \
    } while (0)

// ---- Splitting the fuzz data -------------------------------------------------------------------

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size, std::size_t headerSize)
        : all_(reinterpret_cast<const char*>(data), size) {
        const std::size_t h = headerSize < size ? headerSize : size;
        header_ = all_.substr(0, h);
        payload_ = all_.substr(h);
        std::size_t from = 0;
        while (true) {
            const std::size_t zero = payload_.find('\0', from);
            if (zero == std::string_view::npos) {
                partStarts_.push_back(from);
                partEnds_.push_back(payload_.size());
                break;
            }
            partStarts_.push_back(from);
            partEnds_.push_back(zero);
            from = zero + 1;
        }
    }

    // Header byte i; 0 past the end of the data.
    uint8_t byte(std::size_t i) const { return i < header_.size() ? static_cast<uint8_t>(header_[i]) : 0; }
    bool bit(std::size_t i, int b) const { return ((byte(i) >> b) & 1) != 0; }
    // Four header bytes from i, little-endian.
    int32_t int32(std::size_t i) const {
        uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v |= static_cast<uint32_t>(byte(i + k)) << (8 * k);
        return static_cast<int32_t>(v);
    }
    uint64_t uint64(std::size_t i) const {
        uint64_t v = 0;
        for (std::size_t k = 0; k < 8; ++k) v |= static_cast<uint64_t>(byte(i + k)) << (8 * k);
        return v;
    }

    // Text i of the payload (never holds a zero byte); empty when there are fewer texts.
    std::string_view text(std::size_t i) const {
        if (i >= partStarts_.size()) return {};
        return payload_.substr(partStarts_[i], partEnds_[i] - partStarts_[i]);
    }
    // Text i together with everything that follows it in the data (its zero byte included).
    std::string_view textWithTail(std::size_t i) const {
        if (i >= partStarts_.size()) return {};
        return payload_.substr(partStarts_[i]);
    }
    // Text i, or text i with its tail when withTail is set.
    std::string_view arg(std::size_t i, bool withTail) const { return withTail ? textWithTail(i) : text(i); }

    std::string_view payload() const { return payload_; }
    std::size_t textCount() const { return partStarts_.size(); }

private:
    std::string_view all_;
    std::string_view header_;
    std::string_view payload_;
    std::vector<std::size_t> partStarts_;
    std::vector<std::size_t> partEnds_;
};

// ---- Reference models --------------------------------------------------------------------------

inline unsigned char at(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

inline bool isLeadByte(unsigned char b) { return b >= 0x80; }

// The part of a view before its first zero byte.
inline std::string_view cutAtZero(std::string_view s) {
    const void* zero = std::memchr(s.data(), 0, s.size());
    return zero == nullptr ? s : s.substr(0, static_cast<const char*>(zero) - s.data());
}

// The positions that character stepping visits when it starts at byte from: a byte below 0x80 is one
// character, a byte of 0x80 or more takes the byte after it along. An unpaired lead byte at the end
// is visited (it is the last position).
inline std::vector<std::size_t> characterStarts(std::string_view s, std::size_t from = 0) {
    std::vector<std::size_t> starts;
    for (std::size_t i = from; i < s.size(); i += isLeadByte(at(s, i)) ? 2 : 1) starts.push_back(i);
    return starts;
}

inline bool isCharacterStart(std::string_view s, std::size_t pos, std::size_t from = 0) {
    for (std::size_t i = from; i <= pos && i < s.size(); i += isLeadByte(at(s, i)) ? 2 : 1) {
        if (i == pos) return true;
    }
    return false;
}

// The characters of s as stepping sees them; an unpaired lead byte is a character of one byte.
inline std::vector<std::string_view> charactersOf(std::string_view s) {
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t w = (isLeadByte(at(s, i)) && i + 1 < s.size()) ? 2 : 1;
        chars.push_back(s.substr(i, w));
        i += w;
    }
    return chars;
}

inline bool isUnpaired(std::string_view character) { return character.size() == 1 && isLeadByte(at(character, 0)); }

inline bool isBlankCharacter(std::string_view character) { return character == " " || character == "\xA1\xA1"; }

inline unsigned char foldAZ(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// n bytes of a from ai against b from bi, exactly or with only A-Z folded to a-z.
inline bool sameBytes(std::string_view a, std::size_t ai, std::string_view b, bool foldLetters) {
    for (std::size_t k = 0; k < b.size(); ++k) {
        unsigned char x = at(a, ai + k);
        unsigned char y = at(b, k);
        if (foldLetters) {
            x = foldAZ(x);
            y = foldAZ(y);
        }
        if (x != y) return false;
    }
    return true;
}

// The 0-based offset that a 1-based start position stands for (missing or below 1 means 1).
inline std::size_t startOffsetOf(bool hasStart, int32_t start) {
    return (hasStart && start > 1) ? static_cast<std::size_t>(start) - 1 : 0;
}

// The integer that a counter caption or any text reads as: full-width forms become ASCII, then
// white space, an optional sign and decimal digits, with 32-bit wrap.
inline int32_t referenceParseInteger(std::string_view text) {
    std::string ascii;
    for (std::string_view ch : charactersOf(text)) {
        if (ch.size() == 1) {
            if (!isLeadByte(at(ch, 0))) ascii += ch;  // an unpaired lead byte is dropped
            continue;
        }
        const unsigned char lead = at(ch, 0), trail = at(ch, 1);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            ascii.push_back(static_cast<char>(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            ascii.push_back(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            ascii.push_back('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            ascii.push_back('*');
        } else {
            ascii += ch;
        }
    }
    std::size_t i = ascii.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    int sign = 1;
    if (ascii[i] == '+' || ascii[i] == '-') {
        if (ascii[i] == '-') sign = -1;
        ++i;
    }
    // Modulo 2^32 in 64-bit arithmetic, folded into the signed range at the end.
    int64_t value = 0;
    for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
        value = (value * 10 + (ascii[i] - '0')) % 4294967296LL;
    }
    value = (sign * value) % 4294967296LL;
    if (value < 0) value += 4294967296LL;
    if (value >= 2147483648LL) value -= 4294967296LL;
    return static_cast<int32_t>(value);
}

}  // namespace fuzz
