// The plug-in's log: one time-stamped line per event in
// Documents\My Games\Velmoria\TRVX\Logs\Brackwell.log.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/platform.h"

// The Windows build formats with the C99 printf of the MinGW runtime (%zu
// and friends work there); clang checks printf formats against C99 on every
// target, the MinGW one included.
#define BW_PRINTF_FORMAT(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

namespace bw {

// Where the log lives; creates its folder chain on every call so that a
// folder deleted while the game runs comes back with the next line. Falls
// back to "Brackwell.log" in the current directory when the documents folder
// is unknown. Nothing when the path can't be prepared (the chain can't be
// created, memory runs out): callers then skip the file rather than let an
// error reach the game.
std::optional<std::filesystem::path> GetLogFilePath() noexcept;

// Claims the game process for this start (see platform::ClaimTheGameProcess)
// and, when this call is the first, resets the log so that the file under
// its name holds only this start's lines: the previous run's log is removed,
// and no program that holds it open can keep the name or take this start's
// lines with it when it closes. A viewer that shares writing keeps its
// file, emptied, and follows the new lines. Both happen under the lock every
// line takes: a later call's line, from a host that loads its plug-ins in
// parallel, can't come before the reset and be erased by it. When the old
// file can be neither removed nor emptied (read-only, a folder in its way,
// a holder that shares nothing) or can't be found, new lines are appended
// to whatever is there.
platform::StartClaim ClaimTheStartAndResetTheLog() noexcept;

// Appends one line: "[YYYY-MM-DD HH:MM:SS] message" ending in CR LF, the
// stamp in the system's local time, the message cut after 511 bytes. Opens,
// appends and closes the file on every call, so a line is in the file (the
// system's cache) once this returns: it survives a crash of the game, not a
// power cut. When another program holds the file without sharing, the open
// is retried for a few tens of milliseconds. Safe from any thread and from
// any copy of the plug-in in the game: all take one lock, and a line that
// would wait for it longer than a quarter of a second is dropped, as is any
// line that can't be written, without a trace.
void LogMessage(const char* format, ...) noexcept BW_PRINTF_FORMAT(1, 2);

// Whether a line of the log as it stands holds `message`; false also when
// the log can't be read.
bool LogHoldsMessage(std::string_view message) noexcept;

}  // namespace bw
