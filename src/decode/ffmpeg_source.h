#pragma once
// The containers libsndfile does not read (MP4/M4A with AAC or ALAC, WebM and
// Matroska, WMA, AC-3, a video's sound track) as a SoundSource, through
// FFmpeg's libraries: the file's first sound track, the encoder's delay and
// padding removed where the container states them.

#include <cstdint>
#include <functional>
#include <string>

#include "decode/sound_source.h"

namespace tavrin::decode {

// Opens the file on `fd` (`fileBytes` long; the descriptor stays the
// caller's and must outlive the source). The format is told by the file's
// bytes alone, never its name, and only the containers of an allow-list are
// read; no protocol, other file or address is ever opened. Every step of
// FFmpeg's runs under a deadline, and `keepGoing` (called every 100 ms of a
// long step; false for Cancel) stops it. A refusal is worded for `name`;
// NotSound is set when the file is none of the allowed containers.
OpenedSource OpenWithFfmpeg(int fd, std::int64_t fileBytes, const std::string& name,
                            std::function<bool()> keepGoing);

}  // namespace tavrin::decode
