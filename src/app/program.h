// The whole life of the main thread.
#pragma once

// Prepares the process, loads the main window and runs the message loop. Ends the process: exit code
// 0 after the window has closed, -1 when the window cannot be created.
[[noreturn]] void startProgram();
