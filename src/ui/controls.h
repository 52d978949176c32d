// Identity numbers of the main window and its thirteen controls, named as in the window's design.
#pragma once

#include <cstdint>

#include "services/window_services.h"

inline constexpr int32_t kMainWindowId = 1375797249;

inline constexpr ControlRef 分组框1{kMainWindowId, 369164384};
inline constexpr ControlRef 标签5{kMainWindowId, 369164423};  // the occurrence counter
inline constexpr ControlRef 标签4{kMainWindowId, 369164422};
inline constexpr ControlRef 按钮2{kMainWindowId, 369164420};    // aborts a pending shutdown
inline constexpr ControlRef 编辑框5{kMainWindowId, 369164419};  // action command line
inline constexpr ControlRef 编辑框4{kMainWindowId, 369164418};  // threshold
inline constexpr ControlRef 编辑框3{kMainWindowId, 369164387};  // keyword
inline constexpr ControlRef 标签3{kMainWindowId, 369164386};
inline constexpr ControlRef 标签2{kMainWindowId, 369164385};
inline constexpr ControlRef 标签1{kMainWindowId, 369164381};
inline constexpr ControlRef 编辑框2{kMainWindowId, 369164380};  // ping arguments
inline constexpr ControlRef 按钮1{kMainWindowId, 369164291};    // record and restart
inline constexpr ControlRef 编辑框1{kMainWindowId, 369164290};  // the log
