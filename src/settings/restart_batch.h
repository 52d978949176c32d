// The text of Restart.bat, which restarts the program after a short pause and deletes itself
// (portable).
#pragma once

#include <optional>
#include <string_view>

#include "services/text.h"

// Four lines joined by CR LF, no line end after the last: no echo, a pause made by pinging the
// loopback address 秒数 times, start the program by its file name, delete the batch.
inline constexpr char restartBatchTemplate[] =
    "@echo off \r\n"
    "@ping 127.0.0.1 -n 秒数 >nul\r\n"
    "start \"\" \"<文件名>\"\r\n"
    "del Restart.bat";

// A pause count below 1, or none, is 2.
int restartPauseCount(std::optional<int> given);

// The template with the first "<文件名>" replaced by fileName, then the first "秒数" (searched from
// the start) by the pause count.
Text restartBatchText(std::string_view fileName, int pauseCount);
