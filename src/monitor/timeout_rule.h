// The timeout rule's decisions (portable). The counter lives only as the caption of 标签5; these
// say what a chunk does to it and when the action is due.
#pragma once

#include <string_view>

#include "services/text.h"

// A chunk counts when the keyword occurs in it at a character start, byte for byte. An empty keyword
// counts every non-empty chunk; an empty chunk never counts.
bool chunkCounts(std::string_view chunk, std::string_view keyword);

// The counter caption after one more hit: the caption read as a 32-bit integer, plus one, as text
// ("2147483647" becomes "2147483648", which reads back as -2147483648).
Text nextCounterCaption(std::string_view caption);

// The action is due when the counter's caption equals the threshold text exactly ("5" is not "05").
bool actionDue(std::string_view counterCaption, std::string_view threshold);
