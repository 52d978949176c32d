// Recording the ping arguments and restarting the program through Restart.bat.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "services/text.h"

// Writes Restart.bat, starts it hidden and terminates this process with exit code 0. Returns only
// when the executable is not found or the termination failed.
void restartSelf(std::optional<int> pauseCount = std::nullopt);

// The system's short form of path when it is strictly shorter, otherwise path itself.
Text shortPathOf(std::string_view path);

// Terminates the process (this one when no id is given) with exit code 0; true on success.
bool terminateProcessById(std::optional<uint32_t> processId = std::nullopt);
