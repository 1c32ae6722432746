#include "recorder_ui/start_up.h"

#include <cstring>
#include <filesystem>

#include "base/error_text.h"
#include "base/recording_modes.h"
#include "capture/raw_take.h"
#include "capture/run_marker.h"
#include "capture/take_rescue.h"
#include "capture/work_files.h"
#include "settings/program_files.h"

namespace tavrin::recorder_ui {

StartUpResult StartUp(capture::RecorderState& state, settings::Settings& stored,
                      const std::string& programPath, const std::string& appDataDir,
                      const base::UserChannel& user) {
  StartUpResult result;
  std::string error;
  const std::string programDir = std::filesystem::path(programPath).parent_path().string();
  if (!capture::ChooseWorkFolder(state, appDataDir, programDir, error)) {
    throw std::runtime_error(error);
  }
  state.ProgramDrive = base::MountPointOf(state.WorkFolder);
  capture::TakeOrder leftOrder;
  int markerError = 0;
  switch (capture::ClaimRunMarker(state, leftOrder, markerError)) {
  case capture::MarkerClaim::HeldElsewhere: throw AlreadyRunning(capture::kAlreadyRunningText);
  case capture::MarkerClaim::LeftByOpenRun:
    result.Message = capture::RescueLeftTake(state, leftOrder).Message;
    break;
  case capture::MarkerClaim::Failed:
    // Recording works without it; what is lost is said.
    result.Message = state.MarkerPath + " could not be made (" + std::strerror(markerError) +
                     "): a second start of the program is not refused, and a take is not kept "
                     "after a crash.";
    break;
  case capture::MarkerClaim::Claimed: break;
  }
  state.NewWindows = true;

  result.ModeIndex = base::RecordingModeIndexOrContinuous(stored.RecordingModeIndex);
  capture::ApplyLoopMode(state, result.ModeIndex);
  if (stored.OutputFolder.empty()) stored.OutputFolder = settings::HomeFolder();
  state.OutputFolder = stored.OutputFolder;
  capture::DeleteWorkFiles(state);
  user.Pump();
  state.AllocateCaptureMemory();
  return result;
}

}  // namespace tavrin::recorder_ui
