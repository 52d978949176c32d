// Names and text rules of the settings file c.ini (portable).
#pragma once

#include <string_view>

inline constexpr char kSettingsFileName[] = "\\c.ini";
inline constexpr char kSettingsSection[] = "PING";
inline constexpr char kSettingsKey[] = "命令";
// A recorded value is read into this many bytes, so at most one less comes back.
inline constexpr int kSettingReadBufferSize = 10240;

// The text without its leading bytes 1 to 32 (blanks and control characters).
std::string_view skipLeadingControlBytes(std::string_view text);
