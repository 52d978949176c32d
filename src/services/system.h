// Where the program lives, files, child programs, pauses, the message pump and the worker thread.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>

#include "services/text.h"

// Captures the program directory and file name and makes the directory the current one. Called
// once, first thing at start-up; reports no failure.
void startServices();

// The executable's directory without a trailing backslash ("C:" for a program at a drive root).
Text programDirectory();
// The executable's bare file name with its extension.
Text programFileName();

// True when a directory entry matches name (a file, a directory, or a wildcard pattern).
bool pathExists(std::string_view name);

// Creates or truncates the file and writes the buffers' bytes in order. False for an empty name,
// a file that cannot be opened, or a failed write or close.
bool saveBytesToFile(std::string_view fileName, std::initializer_list<ByteBuffer> buffers);

// Starts commandLine without handle inheritance. windowMode 1..6 (clamped; default 2) chooses how
// its first window shows. With wait, waits until it ends; otherwise at most 1000 ms for it to be
// ready for input. True when the process was created.
bool launchCommandLine(std::string_view commandLine, bool wait, std::optional<int> windowMode = std::nullopt);

// The show-window value for a window mode, clamped to 1..6.
int showWindowValueOf(int windowMode);

void pauseMilliseconds(int milliseconds);

// Handles the messages waiting for the calling thread, leaving a quit request in the queue.
void pumpPendingMessages();

// Starts routine on a new thread whose handle is closed at once: nothing waits for it.
bool spawnWorkerThread(void (*routine)());

// Shows an error box and, once it is dismissed, ends the process with exit code -1 without any
// clean-up.
[[noreturn]] void endWithFatalError(const char* message);
