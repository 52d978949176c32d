// The monitor worker and the timeout rule it applies to every chunk.
#pragma once

#include <string_view>

// The body of the worker thread: runs "ping " plus the text of 编辑框2 hidden, with its output and
// error on a pipe, and streams every chunk into the log until the child has ended.
void runMonitor();

// Counts a chunk that holds the keyword of 编辑框3 on 标签5 and, when the counter's caption then
// equals the threshold of 编辑框4, starts the command line of 编辑框5.
void applyTimeoutRule(std::string_view chunk);
