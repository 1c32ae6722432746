#pragma once
// The work folder, the work files in it, and the file system they live on.

#include <cstdint>
#include <string>

#include "capture/recorder_state.h"

namespace tavrin::capture {

inline constexpr const char* kWorkFolderName = "Tavrin Recorder";

// The per-user data folder: $XDG_DATA_HOME, else ~/.local/share.
std::string AppDataFolder();

// Picks the work folder: "<appData>/Tavrin Recorder" when something made it,
// else "<programDir>/Temp", created when missing; when that cannot be created
// (an installed program), "<appData>/Tavrin Recorder" is created and used.
// Sets WorkFolder and the work file paths. Returns false with "Can not create
// <folder>" (the last folder tried) in `error`.
bool ChooseWorkFolder(RecorderState& state, const std::string& appData,
                      const std::string& programDir, std::string& error);

// The work file of a sound file opened in the editor (Open.raw), and the one
// a new opening decodes into (Open.part.raw) until it has replaced it.
std::string OpenedTakePath(const RecorderState& state);
std::string OpeningTakePath(const RecorderState& state);

// Deletes Tavrin.raw with its peaks, Edit.raw, Clp.raw and an opened file's
// work files; the peak file Tavrin.spv and "test" stay.
void DeleteWorkFiles(const RecorderState& state);

// Free bytes of the file system that holds `path` (-1 when unknown).
std::int64_t FreeBytesAt(const std::string& path);

}  // namespace tavrin::capture
