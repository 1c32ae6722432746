#pragma once
// A take of generated audio on disk with its peak tables, and an open editor
// document on it, for the editor engine's tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "editor/edit_context.h"
#include "editor/editor_session.h"
#include "scratch_folder.h"

namespace tavrin::editor::testing {

inline constexpr std::size_t kSamplesPerBuffer = 2 * capture::kFramesPerBuffer;

// Peaks by the rule, written out here rather than taken from the code under test.
inline BufferPeaks ReferencePeaks(const std::int16_t* samples) {
  std::int32_t peaks[4] = {-32767, 32767, -32768, 32767};
  for (std::size_t i = 0; i < kSamplesPerBuffer; i += 2) {
    peaks[0] = std::max<std::int32_t>(peaks[0], samples[i]);
    peaks[1] = std::min<std::int32_t>(peaks[1], samples[i]);
    peaks[2] = std::max<std::int32_t>(peaks[2], samples[i + 1]);
    peaks[3] = std::min<std::int32_t>(peaks[3], samples[i + 1]);
  }
  return {static_cast<std::int16_t>(peaks[0]), static_cast<std::int16_t>(peaks[1]),
          static_cast<std::int16_t>(peaks[2]), static_cast<std::int16_t>(peaks[3])};
}

class EditorRig {
public:
  // `takeSamples` holds whole buffers of interleaved stereo.
  EditorRig(const std::string& name, const std::vector<std::int16_t>& takeSamples)
      : Scratch("editor-" + name),
        Folder(Scratch.Path()),
        Context{Document,
                State,
                {[this](const std::string& text) { Messages.push_back(text); },
                 {},
                 [this] { Pump(); }}} {
    State.AllocateCaptureMemory();
    State.EditPath = (Folder / "Edit.raw").string();
    State.ClipPath = (Folder / "Clp.raw").string();
    State.ProgramDrive = "/work-drive";
    State.Take.RawStream.Create((Folder / "Tavrin.raw").string());
    State.Take.RawStream.Write(takeSamples.data(), takeSamples.size() * 2);
    State.Take.TakeLength = static_cast<std::uint32_t>(takeSamples.size() / kSamplesPerBuffer);
    State.Take.FinishedRecordedBuffers = State.Take.TakeLength;
    for (std::uint32_t b = 0; b < State.Take.TakeLength; ++b)
      State.Take.Peaks[b + 1] = ReferencePeaks(takeSamples.data() + b * kSamplesPerBuffer);
    OpenEditDocument(Context);
  }
  ~EditorRig() {
    CloseEditDocument(Context);
    State.Take.RawStream.Close();
  }

  // The whole document as the one reader gives it.
  std::vector<std::int16_t> ReadAll() {
    std::vector<std::int16_t> samples;
    for (const DocumentRun& run : DocumentRuns(Document, 1, Document.Length())) {
      const std::size_t at = samples.size();
      samples.resize(at + run.Buffers * kSamplesPerBuffer);
      ReadError = ReadRun(Document, State.Take, run, 0, samples.data() + at,
                          std::size_t{run.Buffers} * capture::kBufferBytes);
      if (ReadError != 0) break;
    }
    return samples;
  }

  void Select(std::uint32_t first, std::uint32_t last) {
    Document.SelStart = first;
    Document.SelEnd = last;
  }

  tavrin::testing::ScratchFolder Scratch;
  std::filesystem::path Folder;
  capture::RecorderState State;
  EditSession Document;
  EditContext Context;
  std::vector<std::string> Messages;
  std::vector<float> Progress;  // OperationProgress at every message pump
  std::function<void()> OnPump;
  int ReadError = 0;

private:
  void Pump() {
    Progress.push_back(Document.OperationProgress);
    if (OnPump) OnPump();
  }
};

// Interleaved stereo buffers of a seeded pseudo-random signal that also
// reaches both ends of the 16-bit range.
inline std::vector<std::int16_t> GeneratedTake(std::uint32_t buffers, std::uint32_t seed) {
  std::vector<std::int16_t> samples(buffers * kSamplesPerBuffer);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    const std::uint32_t draw = state >> 8;
    if (draw % 997 == 0) {
      samples[i] = draw % 2 ? 32767 : -32768;
    } else {
      samples[i] = static_cast<std::int16_t>(static_cast<std::int32_t>(draw % 40001) - 20000);
    }
  }
  return samples;
}

}  // namespace tavrin::editor::testing
