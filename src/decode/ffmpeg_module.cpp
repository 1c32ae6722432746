#include "decode/ffmpeg_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <optional>
#include <utility>

#include "decode/ffmpeg_source.h"

namespace tavrin::decode {

namespace {

struct LoadedModule {
  FfmpegOpenFunction Open = nullptr;
  std::string Problem;  // why it did not load
};

std::vector<std::string> g_candidates;
// Loaded at the first call and never unloaded: the sources it makes run its
// code. Looked for again only when the candidates change.
std::optional<LoadedModule> g_module;

const LoadedModule& Module() {
  if (!g_module) {
    LoadedModule loaded;
    std::vector<std::string> paths = g_candidates;
    if (paths.empty()) {
      std::error_code error;
      const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
      paths.push_back((program.parent_path() / kFfmpegModuleName).string());
    }
    for (const std::string& path : paths) {
      // Lazily bound: of the many libraries FFmpeg's pull in, few functions are ever called.
      void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
      if (handle == nullptr) {
        const char* why = ::dlerror();
        // The first path's problem is the one to tell, unless a later one got further.
        if (loaded.Problem.empty() || std::filesystem::exists(path)) {
          loaded.Problem = why != nullptr ? why : path;
        }
        continue;
      }
      loaded.Open = reinterpret_cast<FfmpegOpenFunction>(::dlsym(handle, kFfmpegOpenEntry));
      if (loaded.Open != nullptr) break;
      loaded.Problem = path + " has no entry " + kFfmpegOpenEntry;
    }
    g_module = std::move(loaded);
  }
  return *g_module;
}

}  // namespace

void SetFfmpegModuleCandidates(std::vector<std::string> paths) {
  g_candidates = std::move(paths);
  g_module.reset();
}

std::string NeedsFfmpegText(const std::string& name, const std::string& reason) {
  return name + " needs the FFmpeg libraries, which are not installed (" + reason +
         "), so it can not be opened.";
}

OpenedSource OpenWithFfmpeg(int fd, std::int64_t fileBytes, const std::string& name,
                            std::function<bool()> keepGoing) {
  const LoadedModule& module = Module();
  OpenedSource opened;
  if (module.Open == nullptr) {
    opened.Refusal = NeedsFfmpegText(name, module.Problem);
    return opened;
  }
  module.Open(fd, fileBytes, &name, &keepGoing, &opened);
  return opened;
}

}  // namespace tavrin::decode
