#pragma once
// The containers libsndfile does not read (MP4/M4A with AAC or ALAC, WebM and
// Matroska, WMA, AC-3, a video's sound track) as a SoundSource, through
// FFmpeg's libraries: the file's first sound track, the encoder's delay and
// padding removed where the container states them.

#include <cstdint>
#include <string>

#include "decode/sound_source.h"

namespace tavrin::decode {

// Opens the file on `fd` (`fileBytes` long; the descriptor stays the
// caller's and must outlive the source). The format is told by the file's
// bytes alone, never its name, and the file may open no other file or
// address. A refusal is worded for `name`; NotSound is set when FFmpeg does
// not know the file either.
OpenedSource OpenWithFfmpeg(int fd, std::int64_t fileBytes, const std::string& name);

}  // namespace tavrin::decode
