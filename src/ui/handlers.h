// The main window's event handlers. Each runs on the window's thread, takes nothing and returns
// nothing.
#pragma once

// The window and its controls exist and the window is still hidden: decides whether to monitor.
void onMainWindowCreated();
// 按钮1 clicked: records the ping arguments and restarts the program.
void onRecordAndStart();
// 按钮2 clicked: starts "shutdown -a".
void onCancelShutdown();
