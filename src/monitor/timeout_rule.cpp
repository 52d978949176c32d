#include "monitor/timeout_rule.h"

bool chunkCounts(std::string_view chunk, std::string_view keyword) { return positionOf(chunk, keyword) != -1; }

Text nextCounterCaption(std::string_view caption) { return formatNumber(parseInteger(caption) + 1.0); }

bool actionDue(std::string_view counterCaption, std::string_view threshold) {
    return compareTexts(counterCaption, threshold) == 0;
}
