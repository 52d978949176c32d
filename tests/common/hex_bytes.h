// Bytes as hex pairs ("C7 EB"), so that a failed comparison of GBK texts shows the wrong byte.
#pragma once

#include <string>
#include <string_view>

inline std::string hexOf(std::string_view bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!hex.empty()) hex += ' ';
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}
