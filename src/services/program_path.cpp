#include "services/program_path.h"

ProgramLocation splitProgramPath(std::string_view modulePath) {
    std::size_t lastSeparator = std::string_view::npos;
    for (std::size_t i = 0; i < modulePath.size(); ++i) {
        const auto byte = static_cast<unsigned char>(modulePath[i]);
        if (byte == '\\') {
            lastSeparator = i;
        } else if (byte >= 0x80) {
            ++i;  // the trail byte of a two-byte character is never a separator
        }
    }
    if (lastSeparator == std::string_view::npos) return {Text(), Text(modulePath)};
    return {Text(modulePath.substr(0, lastSeparator)), Text(modulePath.substr(lastSeparator + 1))};
}
