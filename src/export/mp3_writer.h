#pragma once
// The MP3 writer: encodes SaveFirst..SaveLast of the current edit level through
// the encoder library, which it loads by name for every save and releases at
// the end; on as many threads as SaveThreads allows (see mp3_pieces.h), one
// when the encoder resamples. The file starts with the information frame when
// the library offers it. Called on the user-interface thread.

#include <string>
#include <vector>

#include "encoder/encoder_api.h"
#include "export/save_job.h"
#include "settings/settings.h"

namespace tavrin::exporter {

// The record handed to the library: the export settings, quality 2, the VBR
// header (the information frame) asked for, no bit reservoir, 44100 Hz input.
encoder::EncoderConfig FillEncoderConfig(const settings::Settings& settings);

// Tries each library path in order (dlopen) and writes context.Job.OutputPath.
// Messages go through context.User; a cancelled or failed save (a failed
// flush or close too) leaves no file.
WriteResult WriteMp3(ExportContext& context, const std::vector<std::string>& libraryCandidates);

}  // namespace tavrin::exporter
