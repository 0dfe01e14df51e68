// Other copies of the plug-in in the game, named in the log so the player
// can tell why the log's lines and the threads come twice.
#pragma once

#include <string>

#include "platform/platform.h"

namespace bw {

// A copy's file as the log shows it (UTF-8), so the player can tell which
// copy to remove.
std::string NameForTheLog(const platform::PathLookup& file) noexcept;

// Names every other copy loaded now, at this copy's start.
void NameTheOtherCopies() noexcept;

// Names, once more, every other copy loaded now whose line the log doesn't
// show: one loaded after the start, or one older than the shared start
// claim that started after this copy and deleted the log, its line with it.
void NameTheOtherCopiesAgain() noexcept;

}  // namespace bw
