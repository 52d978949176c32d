// Unit tests of the names of the settings file and the skipping of leading control bytes.
#include "settings/setting_names.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

#include <string>
#include <string_view>

namespace {

TEST(SettingNames, NamesAreTheGbkBytes) {
    EXPECT_EQ(std::string_view(kSettingsFileName), "\\c.ini");
    EXPECT_EQ(std::string_view(kSettingsSection), "PING");
    EXPECT_EQ(hexOf(kSettingsKey), "C3 FC C1 EE");  // 命令
    EXPECT_EQ(kSettingReadBufferSize, 10240);
}

TEST(SettingNames, EveryByteFrom1To32IsSkippedWhenLeading) {
    for (int byte = 1; byte <= 32; ++byte) {
        SCOPED_TRACE(byte);
        const std::string text = std::string(1, static_cast<char>(byte)) + "PING";
        EXPECT_EQ(skipLeadingControlBytes(text), "PING");
        const std::string alone(3, static_cast<char>(byte));
        EXPECT_EQ(skipLeadingControlBytes(alone), "");
    }
}

TEST(SettingNames, OtherLeadingBytesAreKept) {
    for (int byte : {0, 33, 0x41, 0x7F, 0x80, 0x81, 0xA1, 0xFF}) {
        SCOPED_TRACE(byte);
        const std::string text = std::string(1, static_cast<char>(byte)) + " x";
        EXPECT_EQ(hexOf(skipLeadingControlBytes(text)), hexOf(text));
    }
}

TEST(SettingNames, OnlyLeadingBytesAreSkipped) {
    const struct {
        std::string_view text;
        std::string_view rest;
    } cases[] = {
        {"", ""},
        {"PING", "PING"},
        {" \t\r\nPING", "PING"},
        {"\x01\x1F\x20命令", "命令"},
        {"  a b  ", "a b  "},
        {" \t C:\\dir\\c.ini \t", "C:\\dir\\c.ini \t"},
        {"\xA1\xA1命令", "\xA1\xA1命令"},  // a full-width space is not a control byte
        {" \x80 ", "\x80 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hexOf(c.text));
        EXPECT_EQ(hexOf(skipLeadingControlBytes(c.text)), hexOf(c.rest));
    }
}

}  // namespace
