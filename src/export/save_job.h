#pragma once
// What a save writes and how far it has come: the range of document blocks,
// the target file, the Cancel flag and the shared percentage.

#include <cstdint>
#include <functional>
#include <string>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "settings/settings.h"

namespace tavrin::exporter {

struct SaveJob {
  std::uint32_t SaveFirst = 1;  // document blocks, 1-based, inclusive
  std::uint32_t SaveLast = 0;
  std::string OutputPath;
  std::string OutputName;
  bool SaveActive = false;         // cleared by the progress dialog's Cancel
  float OperationProgress = 0.0f;  // percent, 0..100
  unsigned Threads = 0;            // encoding threads wanted; 0: every usable core (SaveThreads)
};

// The writers' ties to the rest of the program.
struct ExportContext {
  const settings::Settings& Settings;
  const document::EditDocument& Document;
  capture::RecorderState& State;  // the take's stream and the transfer memory
  SaveJob& Job;
  base::UserChannel User;
};

enum class WriteResult { Written, Cancelled, Failed };

}  // namespace tavrin::exporter
