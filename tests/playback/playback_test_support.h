#pragma once
// Documents for playback tests: a take and a work file filled with a pattern
// that names each sample's source, buffer and frame, an edit list over them,
// and the bytes the document should sound as, worked out from the rows alone.

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "pattern_audio.h"
#include "scratch_folder.h"

namespace tavrin::playback::testing {

inline constexpr int kTakeTag = 1;
inline constexpr int kWorkTag = 2;

using tavrin::testing::PatternBlock;
using tavrin::testing::PatternSample;

// Creates `path` holding source buffers 1..buffers of the pattern. Returns 0 or errno.
inline int WritePatternFile(base::File& file, const std::string& path, int tag,
                            std::uint32_t buffers) {
  if (const int error = file.Create(path); error != 0) return error;
  std::vector<char> bytes;
  for (std::uint32_t buffer = 1; buffer <= buffers; ++buffer) {
    const auto block = PatternBlock(tag, buffer);
    bytes.insert(bytes.end(), block.begin(), block.end());
  }
  return file.Write(bytes.data(), bytes.size());
}

// Document blocks first..last as they should sound, from the rows.
inline std::vector<char> ExpectedBytes(const std::vector<document::Segment>& rows,
                                       std::uint32_t first, std::uint32_t last) {
  std::vector<char> bytes;
  for (const document::Segment& row : rows) {
    for (std::uint32_t i = 0; i < row.Length; ++i) {
      const std::uint32_t position = row.Start + i;
      if (position < first || position > last) continue;
      const auto block = PatternBlock(row.FromTake ? kTakeTag : kWorkTag, row.Offset + i);
      bytes.insert(bytes.end(), block.begin(), block.end());
    }
  }
  return bytes;
}

// A recorder state and an edit document over a pattern take and work file in
// a folder of its own; SetupError is 0 or the errno that kept the files out.
class PatternDocument {
public:
  explicit PatternDocument(const std::string& name, std::uint32_t takeBuffers = 60,
                           std::uint32_t workBuffers = 40)
      : Scratch("playback-" + name), Folder(Scratch.Path()) {
    State.AllocateCaptureMemory();
    SetupError = WritePatternFile(State.Take.RawStream, (Folder / "Tavrin.raw").string(), kTakeTag,
                                  takeBuffers);
    if (SetupError == 0) {
      SetupError = WritePatternFile(Document.EditStream, (Folder / "Edit.raw").string(), kWorkTag,
                                    workBuffers);
    }
  }
  ~PatternDocument() {
    State.Take.RawStream.Close();
    Document.EditStream.Close();
  }

  // Makes `rows` the current level and the document length theirs.
  void SetRows(std::vector<document::Segment> rows) {
    Rows = std::move(rows);
    if (!document::SetLevelRows(Document, 1, Rows)) SetupError = EINVAL;
    Document.CurrentLevel = 1;
    Document.LevelLength[1] = 0;
    for (const document::Segment& row : Rows) Document.LevelLength[1] += row.Length;
  }

  tavrin::testing::ScratchFolder Scratch;
  std::filesystem::path Folder;
  int SetupError = 0;
  capture::RecorderState State;
  document::EditDocument Document;
  std::vector<document::Segment> Rows;
};

}  // namespace tavrin::playback::testing
