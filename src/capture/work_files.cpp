#include "capture/work_files.h"

#include <sys/statvfs.h>

#include <cstdlib>
#include <filesystem>

namespace tavrin::capture {

namespace fs = std::filesystem;

std::string AppDataFolder() {
  if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome) return dataHome;
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::string(home) + "/.local/share";
  }
  return {};
}

namespace {

bool MakeFolder(const std::string& folder) {
  std::error_code code;
  if (fs::is_directory(folder, code)) return true;
  fs::create_directories(folder, code);
  return !code && fs::is_directory(folder, code);
}

}  // namespace

bool ChooseWorkFolder(RecorderState& state, const std::string& appData,
                      const std::string& programDir, std::string& error) {
  std::error_code code;
  const std::string personal =
      appData.empty() ? std::string() : (fs::path(appData) / kWorkFolderName).string();
  std::string folder;
  if (!personal.empty() && fs::is_directory(personal, code)) {
    folder = personal;
  } else {
    folder = (fs::path(programDir) / "Temp").string();
    // An installed program's folder is not the user's to write in.
    if (!MakeFolder(folder) && !personal.empty()) folder = personal;
  }
  if (!MakeFolder(folder)) {
    error = "Can not create " + folder;
    return false;
  }
  state.WorkFolder = folder;
  state.Take.RawPath = folder + "/Tavrin.raw";
  state.EditPath = folder + "/Edit.raw";
  state.ClipPath = folder + "/Clp.raw";
  state.PeaksPath = folder + "/Tavrin.spv";
  state.TakePeaksPath = folder + "/Tavrin.raw.spv";
  state.MarkerPath = folder + "/Tavrin.run";
  return true;
}

std::string OpenedTakePath(const RecorderState& state) {
  return state.WorkFolder + "/Open.raw";
}

std::string OpeningTakePath(const RecorderState& state) {
  return state.WorkFolder + "/Open.part.raw";
}

void DeleteWorkFiles(const RecorderState& state) {
  std::error_code ignored;
  for (const std::string& path :
       {state.Take.RawPath, state.TakePeaksPath, state.EditPath, state.ClipPath}) {
    if (!path.empty()) fs::remove(path, ignored);
  }
  if (state.WorkFolder.empty()) return;
  for (const std::string& path : {OpenedTakePath(state), OpeningTakePath(state)}) {
    fs::remove(path, ignored);
  }
}

std::int64_t FreeBytesAt(const std::string& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return -1;
  return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

}  // namespace tavrin::capture
