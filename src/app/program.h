// The whole life of the main thread.
#pragma once

// Makes exhausted storage end the program with an error box (and exit code -1), as every fatal
// error does. The first thing startProgram does.
void installFatalReports();

// Prepares the process, loads the main window and runs the message loop. Ends the process: exit code
// 0 after the window has closed, -1 when the window cannot be created.
[[noreturn]] void startProgram();
