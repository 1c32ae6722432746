#include "export/flac_frames.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "export/md5.h"
#include "pattern_audio.h"

namespace tavrin::exporter {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A stream as libFLAC writes it: its start and each FLAC frame on its own.
struct Encoded {
  Bytes Head;
  std::vector<Bytes> FlacFrames;
  std::vector<FLAC__int32> Samples;  // interleaved, as encoded
};

Encoded Encode(unsigned rate, unsigned channels, unsigned bits, unsigned frames) {
  Encoded encoded;
  for (unsigned frame = 0; frame < frames; ++frame) {
    for (unsigned channel = 0; channel < channels; ++channel) {
      encoded.Samples.push_back(
          testing::PatternSample(1, 1, static_cast<int>(frame), static_cast<int>(channel)) >>
          (16 - bits));
    }
  }
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  FLAC__stream_encoder_set_channels(encoder, channels);
  FLAC__stream_encoder_set_bits_per_sample(encoder, bits);
  FLAC__stream_encoder_set_sample_rate(encoder, rate);
  FLAC__stream_encoder_set_blocksize(encoder, 4096);
  const auto write = [](const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                        uint32_t samples, uint32_t, void* data) {
    auto& out = *static_cast<Encoded*>(data);
    if (samples == 0) {
      out.Head.insert(out.Head.end(), buffer, buffer + bytes);
    } else {
      out.FlacFrames.emplace_back(buffer, buffer + bytes);
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  };
  EXPECT_EQ(FLAC__stream_encoder_init_stream(encoder, write, nullptr, nullptr, nullptr, &encoded),
            FLAC__STREAM_ENCODER_INIT_STATUS_OK);
  EXPECT_TRUE(FLAC__stream_encoder_process_interleaved(encoder, encoded.Samples.data(), frames));
  EXPECT_TRUE(FLAC__stream_encoder_finish(encoder));
  FLAC__stream_encoder_delete(encoder);
  return encoded;
}

// libFLAC's decoder over a stream in memory: the samples, the frame numbers
// it read (fixed block sizes of 4096) and whether a checksum failed.
struct Decoded {
  Bytes Stream;
  std::size_t At = 0;
  std::vector<FLAC__int32> Samples;
  std::vector<std::uint64_t> Numbers;
  bool Errors = false;
};

void Decode(Decoded& decoded) {
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  const auto read = [](const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* data) {
    auto& in = *static_cast<Decoded*>(data);
    *bytes = std::min(*bytes, in.Stream.size() - in.At);
    std::memcpy(buffer, in.Stream.data() + in.At, *bytes);
    in.At += *bytes;
    return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                       : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  };
  const auto write = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                        const FLAC__int32* const channels[], void* data) {
    auto& out = *static_cast<Decoded*>(data);
    out.Numbers.push_back(frame->header.number.sample_number / 4096);
    for (unsigned i = 0; i < frame->header.blocksize; ++i) {
      for (unsigned c = 0; c < frame->header.channels; ++c) out.Samples.push_back(channels[c][i]);
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  };
  const auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
    static_cast<Decoded*>(data)->Errors = true;
  };
  ASSERT_EQ(FLAC__stream_decoder_init_stream(decoder, read, nullptr, nullptr, nullptr, nullptr,
                                             write, nullptr, error, &decoded),
            FLAC__STREAM_DECODER_INIT_STATUS_OK);
  EXPECT_TRUE(FLAC__stream_decoder_process_until_end_of_stream(decoder));
  FLAC__stream_decoder_delete(decoder);
}

TEST(FlacFrames, RenumberedFramesDecodeAtEveryCodedNumberLength) {
  // 44.1 kHz has a rate code of its own; 11025 Hz is given in Hz after the
  // number; the last, short frame gives its block size there too.
  for (const auto [rate, channels, bits] : {std::array{44100u, 2u, 16u}, {11025u, 1u, 8u}}) {
    const Encoded encoded = Encode(rate, channels, bits, 3 * 4096 + 1000);
    ASSERT_EQ(encoded.FlacFrames.size(), 4u);
    // Numbers of 1 to 6 coded bytes, and across each change of length.
    for (const std::uint32_t first :
         {0u, 126u, 2046u, 65534u, 0x1FFFFEu, 0x3FFFFFEu, 0x7FFFFFFCu}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, from " + std::to_string(first));
      Decoded decoded;
      decoded.Stream = encoded.Head;
      for (std::uint32_t i = 0; i < encoded.FlacFrames.size(); ++i) {
        const Bytes& frame = encoded.FlacFrames[i];
        ASSERT_TRUE(AppendRenumberedFrame(frame.data(), frame.size(), first + i, decoded.Stream));
      }
      Decode(decoded);
      EXPECT_FALSE(decoded.Errors);
      EXPECT_EQ(decoded.Numbers,
                (std::vector<std::uint64_t>{first, first + 1u, first + 2u, first + 3u}));
      EXPECT_TRUE(decoded.Samples == encoded.Samples);
    }
  }
}

TEST(FlacFrames, AnythingButAFixedBlockFrameIsRefused) {
  const Encoded encoded = Encode(44100, 2, 16, 4096);
  Bytes frame = encoded.FlacFrames.at(0);
  Bytes out;
  EXPECT_FALSE(AppendRenumberedFrame(encoded.Head.data(), encoded.Head.size(), 1, out));
  EXPECT_FALSE(AppendRenumberedFrame(frame.data(), 6, 1, out));
  frame[1] = 0xF9;  // variable block sizes: the header would carry a sample number
  EXPECT_FALSE(AppendRenumberedFrame(frame.data(), frame.size(), 1, out));
  frame[1] = 0xF8;
  frame[3] ^= 0x02;  // the header's CRC-8 no longer matches
  EXPECT_FALSE(AppendRenumberedFrame(frame.data(), frame.size(), 1, out));
  EXPECT_TRUE(out.empty());
}

// RFC 1321's test suite, each message fed in uneven parts.
TEST(FlacFrames, Md5OfTheStandardMessages) {
  const std::pair<std::string, std::string> kMessages[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890"
       "1234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"}};
  for (const auto& [message, expected] : kMessages) {
    Md5 md5;
    const auto* data = reinterpret_cast<const std::uint8_t*>(message.data());
    for (std::size_t at = 0, part = 1; at < message.size(); at += part, part = part * 3 % 71) {
      md5.Update(data + at, std::min(part, message.size() - at));
    }
    std::string hex;
    for (const std::uint8_t byte : md5.Finish()) {
      hex += "0123456789abcdef"[byte >> 4];
      hex += "0123456789abcdef"[byte & 15];
    }
    EXPECT_EQ(hex, expected) << '"' << message << '"';
  }
}

}  // namespace
}  // namespace tavrin::exporter
