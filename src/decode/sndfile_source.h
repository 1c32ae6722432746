#pragma once
// The files libsndfile reads (WAV, AIFF, FLAC, Ogg Vorbis and Opus, MP3 and
// the rest of its list) as a SoundSource, header fields that state less
// than the file holds read past (header_patch).

#include <cstdint>
#include <string>

#include "decode/sound_source.h"

namespace tavrin::decode {

// Opens the file on `fd` (`fileBytes` long; the descriptor stays the
// caller's and must outlive the source). A refusal is worded for `name`;
// NotSound is set when libsndfile does not know the file or its encoding, or
// said nothing telling of it, so that another decoder may try.
OpenedSource OpenWithSndfile(int fd, std::int64_t fileBytes, const std::string& name);

}  // namespace tavrin::decode
