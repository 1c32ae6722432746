#include "export/opus_writer.h"

#include <opusenc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "export/block_loop.h"
#include "export/file_tags.h"
#include "export/output_file.h"

namespace tavrin::exporter {

namespace {

// Returned by a block step when the encoder failed without a file error.
constexpr int kEncoderFailed = -1;

class OpusSession {
public:
  OpusSession() = default;
  OpusSession(const OpusSession&) = delete;
  OpusSession& operator=(const OpusSession&) = delete;
  ~OpusSession() {
    if (Encoder) ope_encoder_destroy(Encoder);
    if (Comments) ope_comments_destroy(Comments);
  }

  OggOpusComments* Comments = ope_comments_create();
  OggOpusEnc* Encoder = nullptr;
  OutputFile File;
  int WriteError = 0;   // the first failed write's errno; libopusenc only learns "failed"
  int EncoderCode = 0;  // the last error libopusenc returned

  // The errno behind a failure of the encoder, else kEncoderFailed.
  int Failure(int code) {
    EncoderCode = code;
    return WriteError != 0 ? WriteError : kEncoderFailed;
  }
};

int WriteCallback(void* session, const unsigned char* data, opus_int32 bytes) {
  auto* opus = static_cast<OpusSession*>(session);
  if (opus->WriteError == 0) {
    opus->WriteError = opus->File.Append(data, static_cast<std::size_t>(bytes));
  }
  return opus->WriteError != 0;
}

// The writer closes the file itself, where it can report the result.
int CloseCallback(void*) {
  return 0;
}

}  // namespace

WavFormat OpusInputFormat(const settings::Settings& settings) {
  return EffectivePcmFormat(capture::kSampleRate, 16, settings.OpusChannels);
}

WriteResult WriteOpus(ExportContext& context) {
  SaveJob& job = context.Job;
  const WavFormat format = OpusInputFormat(context.Settings);
  const auto& rates = settings::kOpusBitRates;
  const int kbps =
      std::find(rates.begin(), rates.end(), context.Settings.OpusBitRate) != rates.end()
          ? context.Settings.OpusBitRate
          : settings::kDefaultOpusBitRate;
  OpusSession session;

  auto fail = [&](int error) {
    const std::string text = error == kEncoderFailed
                                 ? std::string("Opus encoder: ") + ope_strerror(session.EncoderCode)
                                 : session.File.ErrorText(error);
    session.File.Remove();  // undrained: what the close reports no longer matters
    context.User.Warn(text);
    return WriteResult::Failed;
  };

  if (!session.Comments) return fail(session.Failure(OPE_ALLOC_FAIL));
  for (const auto& [tag, value] : {std::pair{"ENCODER", EncoderTag()}, {"DATE", DateTag()}}) {
    const int code =
        value.empty() ? OPE_OK : ope_comments_add(session.Comments, tag, value.c_str());
    if (code != OPE_OK) return fail(session.Failure(code));
  }
  if (const int error = session.File.Create(job.OutputPath, context)) return fail(error);
  OpusEncCallbacks callbacks{WriteCallback, CloseCallback};
  int code = OPE_OK;
  session.Encoder = ope_encoder_create_callbacks(&callbacks, &session, session.Comments,
                                                 format.SamplePerSecond, format.Channels, 0, &code);
  if (!session.Encoder) return fail(session.Failure(code));
  code = ope_encoder_ctl(session.Encoder, OPUS_SET_BITRATE(kbps * 1000));
  if (code != OPE_OK) return fail(session.Failure(code));

  const auto blockBytes = static_cast<std::size_t>(OutputBlockBytes(format));
  std::vector<std::uint8_t> converted(blockBytes);
  std::vector<opus_int16> samples(blockBytes / 2);
  // The end's granule position counts the frames written: the take's padding is left out.
  const BlockLoopOutcome outcome =
      ForEachBlock(context, [&](const std::uint8_t* block, std::uint32_t frames) {
        std::memcpy(samples.data(), converted.data(),
                    ConvertBlock(format, block, converted.data(), frames));
        code = ope_encoder_write(session.Encoder, samples.data(), static_cast<int>(frames));
        return code == OPE_OK && session.WriteError == 0 ? 0 : session.Failure(code);
      });
  if (outcome.Error != 0) return fail(outcome.Error);
  if (outcome.Cancelled) {
    session.File.Remove();
    return WriteResult::Cancelled;
  }
  // The drain writes the last pages: without them the file ends early.
  code = ope_encoder_drain(session.Encoder);
  if (code != OPE_OK || session.WriteError != 0) return fail(session.Failure(code));
  if (const int error = session.File.Finish(); error != 0) return fail(error);
  return WriteResult::Written;
}

}  // namespace tavrin::exporter
