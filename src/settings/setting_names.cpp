#include "settings/setting_names.h"

std::string_view skipLeadingControlBytes(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) >= 1 &&
           static_cast<unsigned char>(text[start]) <= 32)
        ++start;
    return text.substr(start);
}
