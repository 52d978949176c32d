// The one persistent setting: the ping arguments in c.ini beside the executable.
#pragma once

#include <string_view>

#include "services/text.h"

// The program directory followed by "\c.ini", built afresh for every access.
Text settingsFilePath();

// The stored value (at most 10,239 bytes); empty when the file, the section or the key is missing.
Text readSetting(std::string_view path, std::string_view section, std::string_view key);

// Stores value (absent is stored as empty); true exactly when the system reports it stored.
bool writeSetting(std::string_view path, std::string_view section, std::string_view key, std::string_view value);
