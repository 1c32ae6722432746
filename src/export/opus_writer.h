#pragma once
// The Ogg Opus writer: each 0.1 s block converted by the WAV writer's channel
// rule (mono keeps the left channel) at 44100 Hz, 16 bit, and encoded by
// libopusenc, which resamples to Opus's 48 kHz itself, with a comment header
// naming the encoder and the date. User-interface thread only: it lets
// pending messages run after every block.

#include "export/save_job.h"
#include "export/wav_writer.h"
#include "settings/settings.h"

namespace tavrin::exporter {

// The format handed to the encoder: 44100 Hz, 16 bit, the Opus channels.
WavFormat OpusInputFormat(const settings::Settings& settings);

// Writes blocks Job.SaveFirst..Job.SaveLast of the document's CurrentLevel to
// Job.OutputPath, replacing any file there, at the Opus bit rate of the
// settings. Cancel and every error (the file, a source, the encoder, its
// drain or the close) leave no file; errors are shown once.
WriteResult WriteOpus(ExportContext& context);

}  // namespace tavrin::exporter
