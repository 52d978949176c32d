// Splitting the executable's path into its directory and bare file name (portable).
#pragma once

#include <string_view>

#include "services/text.h"

struct ProgramLocation {
    Text directory;  // without a trailing backslash; "C:" for a program at a drive root
    Text fileName;   // the bare file name with its extension
};

// Splits at the last backslash, stepping over GBK two-byte characters so that a trail byte 0x5C
// (as in 乗, 81 5C) is never taken for a separator. Without a backslash the directory is empty and
// the file name is the whole path.
ProgramLocation splitProgramPath(std::string_view modulePath);
