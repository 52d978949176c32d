// Version data of the executable, read by the resource script.
#pragma once

#define QUORVANE_VERSION_BINARY 1, 0, 0, 0
#define QUORVANE_VERSION_TEXT "1.0.0.0"
#define QUORVANE_NAME "Quorvane"
