#pragma once
// FFmpeg's libraries are loaded only when a file needs them: the containers
// libsndfile does not read are opened by a module of ours linked against them
// (tavrin_ffmpeg.so), loaded with dlopen the first time, so that a recorder
// that never opens an M4A maps none of them. User-interface thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "decode/sound_source.h"

namespace tavrin::decode {

// The module's file name, as it is built and installed.
inline constexpr const char* kFfmpegModuleName = "tavrin_ffmpeg.so";
// Its one entry, exported with C linkage so that it is found by this name: it
// opens the file as OpenWithFfmpeg (ffmpeg_source.h) says, into `opened`.
inline constexpr const char* kFfmpegOpenEntry = "TavrinFfmpegOpen";
using FfmpegOpenFunction = void (*)(int fd, std::int64_t fileBytes, const std::string* name,
                                    const std::function<bool()>* keepGoing, OpenedSource* opened);

// The paths the module is looked for at, in order, from the next opening on;
// set at start-up. Empty: beside the running program.
void SetFfmpegModuleCandidates(std::vector<std::string> paths);

// "x.m4a needs the FFmpeg libraries, which are not installed (why), so it can not be opened."
std::string NeedsFfmpegText(const std::string& name, const std::string& reason);

}  // namespace tavrin::decode
