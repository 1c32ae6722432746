#pragma once
// The interface of the MP3 encoder library that the program loads at run time:
// a 331-byte configuration record and four C entries with 32-bit arguments and
// results, and a fifth, optional one for the information frame. The MP3 writer
// uses only this header; the library implements it.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tavrin::encoder {

inline constexpr std::uint32_t kConfigFormatExtended = 256;  // the only format understood
inline constexpr std::uint32_t kConfigRecordSize = 331;
inline constexpr std::int32_t kConfigTrue = -1;  // every boolean of the record: all bits set
inline constexpr std::int32_t kConfigFalse = 0;

inline constexpr std::int32_t kModeStereo = 0;
inline constexpr std::int32_t kModeJointStereo = 1;
inline constexpr std::int32_t kModeDualChannel = 2;
inline constexpr std::int32_t kModeMono = 3;

inline constexpr std::uint32_t kMpeg2 = 0;
inline constexpr std::uint32_t kMpeg1 = 1;

// Results of the entries; 0 is success.
inline constexpr std::uint32_t kBeErrSuccessful = 0;
inline constexpr std::uint32_t kBeErrInvalidFormat = 1;
inline constexpr std::uint32_t kBeErrInvalidFormatParameters = 2;
inline constexpr std::uint32_t kBeErrNoMoreHandles = 3;
inline constexpr std::uint32_t kBeErrInvalidHandle = 4;
inline constexpr std::uint32_t kBeErrBufferTooSmall = 5;

static_assert(std::endian::native == std::endian::little, "the record is little-endian");

#pragma pack(push, 1)
struct EncoderConfig {
  std::uint32_t ConfigFormat;   // kConfigFormatExtended
  std::uint32_t RecordVersion;  // 1
  std::uint32_t RecordSize;     // kConfigRecordSize
  std::uint32_t SampleRate;     // input, Hz
  std::uint32_t ReSampleRate;   // output, Hz; 0: the encoder decides
  std::int32_t Mode;            // kMode...
  std::uint32_t BitRate;        // kbps; the minimum when VBR is on
  std::uint32_t MaxBitRate;     // kbps
  std::int32_t Preset;          // -1: none
  std::uint32_t MpegVersion;    // kMpeg1 or kMpeg2
  std::uint32_t PsyModel;
  std::uint32_t Emphasis;
  std::int32_t Private;
  std::int32_t Crc;
  std::int32_t Copyright;
  std::int32_t Original;
  std::int32_t WriteVbrHeader;  // start with a placeholder for beGetInfoFrame's frame
  std::int32_t EnableVbr;
  std::int32_t VbrQuality;   // 0 best .. 9
  std::uint32_t AbrBitRate;  // bits per second
  std::int32_t VbrMethod;
  std::int32_t NoBitReservoir;
  std::int32_t StrictIso;
  std::uint16_t QualityWord;  // quality in the low byte, its complement in the high byte
  std::uint8_t Reserved[237];
};
#pragma pack(pop)

static_assert(sizeof(EncoderConfig) == kConfigRecordSize);
static_assert(offsetof(EncoderConfig, RecordSize) == 8);
static_assert(offsetof(EncoderConfig, Mode) == 20);
static_assert(offsetof(EncoderConfig, BitRate) == 24);
static_assert(offsetof(EncoderConfig, Preset) == 32);
static_assert(offsetof(EncoderConfig, Private) == 48);
static_assert(offsetof(EncoderConfig, WriteVbrHeader) == 64);
static_assert(offsetof(EncoderConfig, EnableVbr) == 68);
static_assert(offsetof(EncoderConfig, VbrQuality) == 72);
static_assert(offsetof(EncoderConfig, NoBitReservoir) == 84);
static_assert(offsetof(EncoderConfig, StrictIso) == 88);
static_assert(offsetof(EncoderConfig, QualityWord) == 92);
static_assert(offsetof(EncoderConfig, Reserved) == 94);

// The entries' types, for the loader. A sample is one 16-bit value of one
// channel; input is interleaved left, right.
using BeInitStreamEntry = std::uint32_t (*)(EncoderConfig* config, std::uint32_t* chunkSamples,
                                            std::uint32_t* outputBufferBytes,
                                            std::uint32_t* stream);
using BeEncodeChunkEntry = std::uint32_t (*)(std::uint32_t stream, std::uint32_t samples,
                                             const std::int16_t* input, std::uint8_t* output,
                                             std::uint32_t* outputBytes);
using BeDeinitStreamEntry = std::uint32_t (*)(std::uint32_t stream, std::uint8_t* output,
                                              std::uint32_t* outputBytes);
using BeCloseStreamEntry = std::uint32_t (*)(std::uint32_t stream);
using BeGetInfoFrameEntry = std::uint32_t (*)(std::uint32_t stream, std::uint8_t* output,
                                              std::uint32_t* outputBytes);

inline constexpr const char* kBeInitStreamName = "beInitStream";
inline constexpr const char* kBeEncodeChunkName = "beEncodeChunk";
inline constexpr const char* kBeDeinitStreamName = "beDeinitStream";
inline constexpr const char* kBeCloseStreamName = "beCloseStream";
// Optional: a library without it is used with WriteVbrHeader off.
inline constexpr const char* kBeGetInfoFrameName = "beGetInfoFrame";

}  // namespace tavrin::encoder

#define TAVRIN_ENCODER_EXPORT __attribute__((visibility("default")))

extern "C" {
// Opens a stream. Fills the largest sample count that one beEncodeChunk call
// may pass, the output buffer size every call needs, and the stream handle.
TAVRIN_ENCODER_EXPORT std::uint32_t beInitStream(tavrin::encoder::EncoderConfig* config,
                                                 std::uint32_t* chunkSamples,
                                                 std::uint32_t* outputBufferBytes,
                                                 std::uint32_t* stream);
// Encodes at most chunkSamples samples; output holds outputBufferBytes bytes.
TAVRIN_ENCODER_EXPORT std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t samples,
                                                  const std::int16_t* input, std::uint8_t* output,
                                                  std::uint32_t* outputBytes);
// Writes what the encoder still holds; output holds outputBufferBytes bytes.
TAVRIN_ENCODER_EXPORT std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                                                   std::uint32_t* outputBytes);
TAVRIN_ENCODER_EXPORT std::uint32_t beCloseStream(std::uint32_t stream);
// After beDeinitStream of a stream opened with WriteVbrHeader on: the
// information frame ("Xing" for VBR, "Info" for CBR, with the LAME extension:
// frame and byte counts, seek table, encoder delay and padding) that the caller
// writes over the stream's first frame, the placeholder of the same size.
// output holds outputBufferBytes bytes; 0 bytes when the stream has none (not
// asked for, or a frame at this bit rate too small to hold it).
TAVRIN_ENCODER_EXPORT std::uint32_t beGetInfoFrame(std::uint32_t stream, std::uint8_t* output,
                                                   std::uint32_t* outputBytes);
}
