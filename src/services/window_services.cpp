#include "services/window_services.h"

#include <atomic>
#include <cstdio>
#include <vector>

#include "services/system.h"

namespace {

// Beyond the end of any text an edit box can hold (its limit is below 2^31 characters).
constexpr LPARAM kPastAnyEnd = 0x7FFFFFFF;

struct ControlRecord {
    int32_t id;
    ControlKind kind;
    HWND window;
    Text caption;           // a label's caption: what it shows and what is read back
    bool disabled = false;  // the disabled flag, kept also while the window does not exist
};

struct WindowRecord {
    int32_t id;
    HWND window;
    std::vector<ControlRecord> controls;
};

// Touched only on the window's thread.
std::vector<WindowRecord> gWindows;

// What another thread needs to reach the window's thread.
std::atomic<DWORD> gWindowThreadId{0};
std::atomic<HWND> gAccessTarget{nullptr};
std::atomic<bool> gWindowClosing{false};

struct AccessRequest {
    void (*invoke)(void* access);
    void* access;
};

[[noreturn]] void missingControl(ControlRef control) {
    char message[160];
    std::snprintf(message, sizeof message, "找不到窗口 %ld 的控件 %ld，程序将退出。",
                  static_cast<long>(control.windowId), static_cast<long>(control.controlId));
    endWithFatalError(message);
}

[[noreturn]] void waitForProcessEnd() {
    for (;;) Sleep(INFINITE);
}

ControlRecord* findControl(ControlRef control) {
    for (auto& window : gWindows) {
        if (window.id != control.windowId || !IsWindow(window.window)) continue;
        for (auto& record : window.controls)
            if (record.id == control.controlId) return &record;
    }
    return nullptr;
}

// Finds the control on the window's thread and hands it to body there; from another thread the
// caller waits until that has happened. A window or control that is not found is the fatal error,
// except once the window is closing: then the access is left undone, and a worker that asked for it
// waits for the process to end (the window's own thread never waits here).
template <class Body>
void accessControl(ControlRef control, Body&& body) {
    bool done = false;
    auto access = [&] {
        ControlRecord* record = findControl(control);
        if (record == nullptr) {
            if (!gWindowClosing.load()) missingControl(control);
            return;
        }
        body(*record);
        done = true;
    };
    if (GetCurrentThreadId() == gWindowThreadId.load()) {
        access();
        return;
    }
    AccessRequest request{[](void* a) { (*static_cast<decltype(access)*>(a))(); }, &access};
    if (HWND target = gAccessTarget.load())
        SendMessageA(target, kControlAccessMessage, 0, reinterpret_cast<LPARAM>(&request));
    if (done) return;
    if (gWindowClosing.load()) waitForProcessEnd();
    endWithFatalError("主窗口不存在，程序将退出。");
}

Text windowTextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return Text();
    Text text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

void registerWindow(int32_t windowId, HWND window) {
    gWindows.push_back(WindowRecord{windowId, window, {}});
    gWindowThreadId.store(GetCurrentThreadId());
    gAccessTarget.store(window);
}

void registerControl(int32_t windowId, int32_t controlId, ControlKind kind, HWND control,
                     std::string_view initialText) {
    for (auto& window : gWindows)
        if (window.id == windowId)
            window.controls.push_back(ControlRecord{controlId, kind, control, Text(initialText)});
}

void windowClosing(int32_t) {
    gWindowClosing.store(true);
    gAccessTarget.store(nullptr);
}

void runControlAccess(LPARAM request) {
    const auto* access = reinterpret_cast<const AccessRequest*>(request);
    access->invoke(access->access);
}

Text getControlValue(ControlRef control, TextProperty) {
    Text value;
    accessControl(control, [&](const ControlRecord& record) {
        value = record.kind == ControlKind::Label ? record.caption : windowTextOf(record.window);
    });
    return value;
}

bool getControlValue(ControlRef control, DisabledProperty) {
    bool disabled = false;
    accessControl(control, [&](const ControlRecord& record) {
        disabled = IsWindow(record.window) ? !IsWindowEnabled(record.window) : record.disabled;
    });
    return disabled;
}

void setControlValue(ControlRef control, TextProperty, std::string_view text) {
    accessControl(control, [&](ControlRecord& record) {
        const Text value(text);
        if (record.kind == ControlKind::Label) {
            record.caption = value;
            SetWindowTextA(record.window, value.c_str());
            InvalidateRect(record.window, nullptr, TRUE);
        } else {
            SetWindowTextA(record.window, value.c_str());
            if (record.kind == ControlKind::EditBox)
                SendMessageA(GetParent(record.window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(record.id), EN_CHANGE),
                             reinterpret_cast<LPARAM>(record.window));
        }
    });
}

void setControlValue(ControlRef control, DisabledProperty, bool disabled) {
    accessControl(control, [&](ControlRecord& record) {
        record.disabled = disabled;
        if (IsWindow(record.window)) EnableWindow(record.window, !disabled);
    });
}

void appendEditText(ControlRef control, std::initializer_list<std::string_view> texts) {
    for (std::string_view piece : texts) {
        accessControl(control, [&](const ControlRecord& record) {
            // A selection past the end is cut back to the end, whether the box counts bytes or
            // characters; so the end is found without reading or even measuring the box's text,
            // and the cost of an append does not grow with the log.
            SendMessageA(record.window, EM_SETSEL, kPastAnyEnd, kPastAnyEnd);
            SendMessageA(record.window, EM_SCROLLCARET, 0, 0);
            const Text text(piece);
            SendMessageA(record.window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        });
    }
}
