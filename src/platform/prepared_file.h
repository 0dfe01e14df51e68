// A file in a folder chain under a place the system names (the documents
// folder, the game's executable). Portable: it only uses what platform.h
// reports.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/platform.h"

namespace bw {

using FolderUnder = std::filesystem::path (*)(const std::filesystem::path& place);

// `folder(place)` joined with `fileName`, with the folder chain created on
// every call, so a chain deleted while the game runs comes back. The bare
// relative `fileName` when the system can't name the place. Nothing when the
// place's name can't be held, the chain can't be created or memory runs
// out: the caller then does without the file rather than let an error reach
// the game.
std::optional<std::filesystem::path> PrepareFileUnder(const platform::PathLookup& place, FolderUnder folder,
                                                      const char* fileName) noexcept;

}  // namespace bw
