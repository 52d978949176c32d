// The main window: its description, loading, keys and message routing.
#pragma once

#include <windows.h>

// Builds the window and its controls, raises the creation event and shows the window. Returns
// false when the window could not be created.
bool loadMainWindow();

// True while the main window exists.
bool mainWindowExists();

// Keys that the window handles before the focused control sees them (Esc, Tab, Shift+Tab, Enter
// outside the log). Returns true when the message has been handled and must not be dispatched.
bool handleWindowKeys(const MSG& message);

// Tells the window that the message loop now runs, so that its destruction posts the quit request.
void messageLoopEntered();
