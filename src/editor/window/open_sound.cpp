#include "editor/window/open_sound.h"

#include <filesystem>
#include <utility>

#include "capture/work_files.h"

namespace tavrin::editor {

decode::OpenResult OpenSoundFile(const SoundFileOpener& opener, const std::string& path,
                                 capture::RecorderState& state, recovery::TakeStandIn& standIn,
                                 decode::OpenJob& job, const base::UserChannel& user,
                                 std::string& message, bool& alarming) {
  message.clear();
  alarming = false;
  if (!opener) return decode::OpenResult::Failed;
  // A file already open stays whole in Open.raw until the new one is decoded.
  const std::string partPath = capture::OpeningTakePath(state);
  document::Take take;
  decode::OpenReport report;
  const decode::OpenResult result = opener(path, partPath, job, user, take, report, message);
  if (result != decode::OpenResult::Opened) {
    std::error_code ignored;  // the decoder leaves none behind; nor may a stand-in
    std::filesystem::remove(partPath, ignored);
    if (result == decode::OpenResult::Failed && message.empty()) {
      message = path + " could not be opened.";
    }
    if (result == decode::OpenResult::Cancelled) message.clear();
    return result;
  }
  alarming = report.Alarming;
  standIn.PutIn(state, std::move(take));
  // The earlier opening's stream closed with its take: its file is replaced.
  std::error_code code;
  std::filesystem::rename(partPath, capture::OpenedTakePath(state), code);
  if (!code) state.Take.RawPath = capture::OpenedTakePath(state);
  return result;
}

void RemoveOpenedTake(const capture::RecorderState& state) {
  if (state.WorkFolder.empty()) return;
  std::error_code ignored;  // a file that is already gone is what we want
  for (const std::string& path :
       {capture::OpenedTakePath(state), capture::OpeningTakePath(state)}) {
    std::filesystem::remove(path, ignored);
  }
}

}  // namespace tavrin::editor
