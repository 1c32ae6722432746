#pragma once
// The FLAC writer: each 0.1 s block converted by the WAV writer's rules (rate
// by sample picking, left channel for mono, high byte for 8 bit) and encoded
// by libFLAC's stream encoder, with the MD5 of the audio in STREAMINFO, a seek
// point every 10 s and a Vorbis comment naming the encoder and the date.
// User-interface thread only: it lets pending messages run after every block.

#include "export/save_job.h"
#include "export/wav_writer.h"
#include "settings/settings.h"

namespace tavrin::exporter {

// The FLAC options as written: what EffectivePcmFormat makes of them.
WavFormat EffectiveFlacFormat(const settings::Settings& settings);

// Writes blocks Job.SaveFirst..Job.SaveLast of the document's CurrentLevel to
// Job.OutputPath, replacing any file there, at the compression level of the
// settings (0..8). Cancel and every error (the file, a source, the encoder,
// its finish or the close) leave no file; errors are shown once.
WriteResult WriteFlac(ExportContext& context);

}  // namespace tavrin::exporter
