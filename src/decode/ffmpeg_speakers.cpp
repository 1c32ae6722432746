#include "decode/ffmpeg_speakers.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace tavrin::decode {

namespace {

Speaker SpeakerOfChannel(AVChannel channel) {
  switch (channel) {
  case AV_CHAN_FRONT_LEFT: return Speaker::FrontLeft;
  case AV_CHAN_FRONT_RIGHT: return Speaker::FrontRight;
  case AV_CHAN_FRONT_CENTER: return Speaker::FrontCenter;
  case AV_CHAN_LOW_FREQUENCY:
  case AV_CHAN_LOW_FREQUENCY_2: return Speaker::LowFrequency;
  case AV_CHAN_BACK_LEFT: return Speaker::BackLeft;
  case AV_CHAN_BACK_RIGHT: return Speaker::BackRight;
  case AV_CHAN_FRONT_LEFT_OF_CENTER: return Speaker::FrontLeftOfCenter;
  case AV_CHAN_FRONT_RIGHT_OF_CENTER: return Speaker::FrontRightOfCenter;
  case AV_CHAN_BACK_CENTER: return Speaker::BackCenter;
  // Wide and direct surrounds sit beside the listener, as the sides do.
  case AV_CHAN_SIDE_LEFT:
  case AV_CHAN_WIDE_LEFT:
  case AV_CHAN_SURROUND_DIRECT_LEFT: return Speaker::SideLeft;
  case AV_CHAN_SIDE_RIGHT:
  case AV_CHAN_WIDE_RIGHT:
  case AV_CHAN_SURROUND_DIRECT_RIGHT: return Speaker::SideRight;
  case AV_CHAN_TOP_CENTER: return Speaker::TopCenter;
  case AV_CHAN_TOP_FRONT_LEFT: return Speaker::TopFrontLeft;
  case AV_CHAN_TOP_FRONT_CENTER: return Speaker::TopFrontCenter;
  case AV_CHAN_TOP_FRONT_RIGHT: return Speaker::TopFrontRight;
  case AV_CHAN_TOP_BACK_LEFT: return Speaker::TopBackLeft;
  case AV_CHAN_TOP_BACK_CENTER: return Speaker::TopBackCenter;
  case AV_CHAN_TOP_BACK_RIGHT: return Speaker::TopBackRight;
  // A Dolby-encoded pair is a stereo mix already; the rest name no place we mix by.
  default: return Speaker::Unknown;
  }
}

}  // namespace

std::vector<Speaker> SpeakersOf(const AVChannelLayout& layout) {
  if (layout.order != AV_CHANNEL_ORDER_NATIVE && layout.order != AV_CHANNEL_ORDER_CUSTOM) return {};
  std::vector<Speaker> speakers;
  for (int index = 0; index < layout.nb_channels; ++index) {
    speakers.push_back(SpeakerOfChannel(av_channel_layout_channel_from_index(&layout, index)));
  }
  return speakers;
}

}  // namespace tavrin::decode
