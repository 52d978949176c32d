// Text, byte-buffer and storage operations shared by every part of Quorvane.
//
// Texts are 8-bit GBK (code page 936) bytes. A Text never holds a zero byte: the byte before which a
// C text would end. An absent text and the empty text are the same thing here: an empty Text.
// Operations that walk characters take a byte of 0x80 or more together with the byte after it as one
// two-byte character; a lead byte with nothing after it is "unpaired" and each operation says what it
// does with it. Every operation returns a new value owned by its caller; none keeps state, so both
// threads may call them at once.
//
// This file includes no <windows.h>: it is built and tested natively as well as for Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Storage. Every Text and ByteBuffer takes its storage from obtainBlock. A block that cannot be had
// is reported ("how many bytes") and ends the program at once with exit code -1; obtainBlock never
// returns null.
[[nodiscard]] void* obtainBlock(std::size_t size);
// Gives back a block from obtainBlock; null is ignored.
void releaseBlock(void* block) noexcept;

// How the program reports exhausted storage before it ends. The default writes to standard error;
// the Windows program installs one that shows an error box. The reporter must not allocate.
using StorageExhaustedReporter = void (*)(std::size_t unavailableBytes);
void setStorageExhaustedReporter(StorageExhaustedReporter reporter) noexcept;

template <class T>
struct BlockAllocator {
    using value_type = T;
    BlockAllocator() noexcept = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}
    T* allocate(std::size_t n);
    void deallocate(T* p, std::size_t) noexcept { releaseBlock(p); }
    template <class U>
    bool operator==(const BlockAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const BlockAllocator<U>&) const noexcept {
        return false;
    }
};

// Reports an impossible size (an element count whose bytes overflow) as all of the address space.
[[noreturn]] void reportStorageExhausted(std::size_t unavailableBytes) noexcept;

template <class T>
T* BlockAllocator<T>::allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) reportStorageExhausted(SIZE_MAX);
    return static_cast<T*>(obtainBlock(n * sizeof(T)));
}

using Text = std::basic_string<char, std::char_traits<char>, BlockAllocator<char>>;

// A byte buffer: its size() is the byte count and data() an area that a system read can fill. An
// empty buffer stands for "absent"; kEmptyBuffer is the program's constant empty buffer.
using ByteBuffer = std::vector<char, BlockAllocator<char>>;
extern const ByteBuffer kEmptyBuffer;

// Bytes before the first zero byte (a Text has none, so for a Text its size).
int lengthOf(std::string_view text);

// The parts one after another; always a new text.
Text joinTexts(std::initializer_list<std::string_view> parts);

// Byte-wise unsigned comparison: -1, 0 or 1. Absent equals empty.
int compareTexts(std::string_view a, std::string_view b);

// The field receives its own copy of source (an empty source leaves it empty). Assigning a field to
// itself changes nothing.
void assignText(Text& field, std::string_view source);

// n half-width spaces; empty when n <= 0.
Text spaceFilledText(int n);

// The text without the blanks (0x20 and the full-width space A1 A1) at both ends. An unpaired lead
// byte met while walking for trailing blanks cuts the text there.
Text trimBlanks(std::string_view text);

// Replaces occurrences of find at character starts from the 1-based start on, at most count times
// (none = no limit; a negative count also means no limit), comparing exactly or with A-Z equal to
// a-z. An unpaired lead byte met while scanning is dropped and ends the scan.
Text replaceOccurrences(std::string_view text, std::string_view find, std::string_view replacement = {},
                        std::optional<int> start = std::nullopt, std::optional<int> count = std::nullopt,
                        bool caseSensitive = true);

// The 1-based byte position of the first occurrence of needle at a character start at or after
// start, or -1. An empty needle gives 1 when the searched range is not empty.
int positionOf(std::string_view text, std::string_view needle, std::optional<int> start = std::nullopt,
               bool ignoreCase = false);

// Full-width forms become ASCII, then: white space, an optional sign, decimal digits; 32-bit wrap.
int32_t parseInteger(std::string_view text);

// "%d" of an integer; "%.13g" of a real, with the exponent always signed and three digits (1e-005),
// independent of the C runtime and the locale.
Text formatNumber(int32_t value);
Text formatNumber(double value);

// The text's bytes without a terminating zero; empty for the empty text.
ByteBuffer bytesOfText(std::string_view text);

// n zero bytes; empty when n <= 0.
ByteBuffer zeroFilledBuffer(int n);

// The buffer's bytes before its first zero byte (all of them when none is zero).
Text textOfBytes(const ByteBuffer& buffer);

// Bitwise OR of all the values.
int32_t orAll(std::initializer_list<int32_t> values);
