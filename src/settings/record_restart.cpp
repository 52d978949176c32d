#include "settings/record_restart.h"

#include <windows.h>

#include <algorithm>

#include "services/system.h"
#include "services/unique_handle.h"
#include "settings/restart_batch.h"
#include "settings/setting_names.h"
#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/handlers.h"

namespace {
constexpr int kShortNameCapacity = 255;
}

void onRecordAndStart() {
    const bool stored =
        writeSetting(settingsFilePath(), kSettingsSection, kSettingsKey, getControlValue(编辑框2, kTextProperty));
    if (!stored) return;
    pauseMilliseconds(1000);
    restartSelf();
}

void restartSelf(std::optional<int> pauseCount) {
    const int count = restartPauseCount(pauseCount);
    const Text fileName = programFileName();
    if (!pathExists(fileName)) return;
    const Text batch = restartBatchText(shortPathOf(fileName), count);
    const Text batchPath = joinTexts({programDirectory(), "\\Restart.bat"});
    saveBytesToFile(batchPath, {bytesOfText(batch)});
    // Quoted, so that a directory with blanks in its name neither splits the command line nor lets
    // a program named after the first word of the path run instead.
    launchCommandLine(joinTexts({"\"", batchPath, "\""}), false, 1);
    terminateProcessById();
}

Text shortPathOf(std::string_view path) {
    Text buffer = spaceFilledText(kShortNameCapacity);
    const Text longPath(path);
    // The size given is the path's length, so only a strictly shorter short form fits; it is
    // capped at the buffer so that no path can make the call write past it.
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(longPath.size(), kShortNameCapacity + 1));
    GetShortPathNameA(longPath.c_str(), buffer.data(), size);
    const std::string_view shortForm(buffer.c_str());
    if (trimBlanks(shortForm).empty()) return longPath;
    return Text(shortForm);
}

bool terminateProcessById(std::optional<uint32_t> processId) {
    const DWORD id = processId ? *processId : GetCurrentProcessId();
    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return TerminateProcess(process.get(), 0) == TRUE;
}
