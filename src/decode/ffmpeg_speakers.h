#pragma once
// The speakers of FFmpeg's channel layout (a decoded frame's), as ours.

#include <vector>

#include "decode/sound_source.h"

struct AVChannelLayout;

namespace tavrin::decode {

// One per channel in the layout's order; empty when its order names no
// speakers (FFmpeg's unspecified or ambisonic order).
std::vector<Speaker> SpeakersOf(const AVChannelLayout& layout);

}  // namespace tavrin::decode
