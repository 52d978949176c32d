#include "settings/restart_batch.h"

int restartPauseCount(std::optional<int> given) { return given && *given >= 1 ? *given : 2; }

Text restartBatchText(std::string_view fileName, int pauseCount) {
    const Text withName = replaceOccurrences(restartBatchTemplate, "<文件名>", fileName, std::nullopt, 1, true);
    return replaceOccurrences(withName, "秒数", formatNumber(static_cast<int32_t>(pauseCount)), std::nullopt, 1, true);
}
