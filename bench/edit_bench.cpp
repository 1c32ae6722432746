// The editor engine on the 10-minute bench take, against sox and cp on the
// same raw input in the same run: Amplify 200 %, Fade In and Normalize of the
// whole take (sox vol 2, fade t 600, gain -n), Copy then Paste of all of it
// (cp of the file), and one Delete plus one Undo on a document of 99 rows,
// 10 hours and 10 seconds long. Best of 3 after a warm-up run.
// Usage: edit_bench <scratch folder>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_run.h"
#include "bench_take.h"
#include "document/chunked_io.h"
#include "document/peaks.h"
#include "editor/clipboard.h"
#include "editor/editor_session.h"
#include "editor/effects.h"
#include "editor/levels.h"

namespace {

using namespace tavrin;

// The take's peak tables, as the capture engine fills them while recording.
bool MeasureTakePeaks(capture::RecorderState& state) {
  std::vector<std::uint8_t> buffer(capture::kBufferBytes);
  for (std::uint32_t b = 1; b <= state.Take.TakeLength; ++b) {
    if (state.Take.RawStream.ReadAt(std::int64_t{b - 1} * capture::kBufferBytes, buffer.data(),
                                    buffer.size()) != 0) {
      return false;
    }
    const document::BufferPeaks peaks =
        document::MeasurePeaks(buffer.data(), capture::kFramesPerBuffer);
    state.Take.Peaks[b].MaxLeft = peaks.MaxLeft;
    state.Take.Peaks[b].MinLeft = peaks.MinLeft;
    state.Take.Peaks[b].MaxRight = peaks.MaxRight;
    state.Take.Peaks[b].MinRight = peaks.MinRight;
  }
  return true;
}

// Microseconds of one Delete plus one Undo inside a document of 99 rows.
double DeleteUndoMicroseconds(editor::EditContext& context, std::uint32_t length) {
  editor::EditSession& document = context.Document;
  std::vector<tavrin::document::Segment> rows;
  const std::uint32_t rowLength = length / 99;
  for (std::uint32_t row = 0; row < 99; ++row) {
    const std::uint32_t buffers = row == 98 ? length - 98 * rowLength : rowLength;
    rows.push_back({row * rowLength + 1, buffers, row * rowLength + 1, row % 2 == 0});
  }
  SetLevelRows(document, 0, rows);
  document.CurrentLevel = document.TopLevel = 0;
  document.LevelLength[0] = context.State.Take.TakeLength = length;
  const std::uint32_t middle = 49 * rowLength + 1;
  constexpr int kRepeats = 200000;
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats; ++i) {
      // Inside one row of the long document (making 100 rows); two rows of the short one.
      document.SelStart = middle + rowLength / 4;
      document.SelEnd = document.SelStart + std::max<std::uint32_t>(rowLength / 4, 1);
      if (editor::Delete(context) != editor::EditResult::Done ||
          editor::Undo(context) != editor::EditResult::Done) {
        return -1;
      }
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count() / kRepeats);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: edit_bench <scratch folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string take = folder + "/in.raw";
  const std::string soxOut = folder + "/sox.raw";
  const std::string cpOut = folder + "/cp.raw";
  if (!bench::MakeBenchTake(take)) {
    std::fprintf(stderr, "edit_bench: cannot write %s\n", take.c_str());
    return 1;
  }
  capture::RecorderState state;
  state.AllocateCaptureMemory();
  state.EditPath = folder + "/Edit.raw";
  state.ClipPath = folder + "/Clp.raw";
  if (state.Take.RawStream.OpenExisting(take) != 0) return 1;
  state.Take.TakeLength = bench::kBenchTakeBuffers;
  if (!MeasureTakePeaks(state)) return 1;
  editor::EditSession document;
  editor::EditContext context{document, state, {[](const std::string& text) {
                                std::fprintf(stderr, "edit_bench: %s\n", text.c_str());
                              }}};
  // Every timed run starts from a freshly opened editor: Edit.raw and Clp.raw empty.
  auto reopen = [&] {
    editor::CloseEditDocument(context);
    state.Take.TakeLength = bench::kBenchTakeBuffers;
    editor::OpenEditDocument(context);
    document.SelStart = 1;
    document.SelEnd = bench::kBenchTakeBuffers;
  };
  auto ours = [&](const std::function<bool()>& run) { return bench::BestOf(3, reopen, run); };
  auto sox = [&](std::vector<std::string> effect) {
    std::vector<std::string> args = {"sox", "-V1", "-t", "raw", "-r", "44100", "-e",  "signed",
                                     "-b",  "16",  "-c", "2",   take, "-t",    "raw", soxOut};
    args.insert(args.end(), effect.begin(), effect.end());
    return bench::BestOf(
        3, [&] { ::unlink(soxOut.c_str()); }, [&] { return bench::RunProgram(args); });
  };
  auto done = [](editor::EditResult result) { return result == editor::EditResult::Done; };

  const double amplify = ours([&] { return done(editor::Amplify(context, 2.0)); });
  const double soxAmplify = sox({"vol", "2"});
  const double fade = ours([&] { return done(editor::FadeIn(context)); });
  const double soxFade = sox({"fade", "t", "600"});
  const double normalize = ours([&] { return done(editor::Normalize(context)); });
  const double soxNormalize = sox({"gain", "-n"});
  const double copyPaste = ours([&] {
    if (!done(editor::Copy(context))) return false;
    document.CursorPos = bench::kBenchTakeBuffers;
    return done(editor::Insert(context, "Paste"));
  });
  const double cp = bench::BestOf(
      3, [&] { ::unlink(cpOut.c_str()); },
      [&] {
        return bench::RunProgram({"cp", take, cpOut});
      });
  reopen();
  const double deleteUndo = DeleteUndoMicroseconds(context, capture::kTenHoursBuffers);
  const double deleteUndoShort = DeleteUndoMicroseconds(context, 100);
  editor::CloseEditDocument(context);
  ::unlink(soxOut.c_str());
  ::unlink(cpOut.c_str());

  for (const double figure : {amplify, soxAmplify, fade, soxFade, normalize, soxNormalize,
                              copyPaste, cp, deleteUndo, deleteUndoShort}) {
    if (figure < 0) {
      std::fprintf(stderr, "edit_bench: a run failed\n");
      return 1;
    }
  }
  std::printf("amplify_seconds: %.3f s\n", amplify);
  std::printf("sox_vol_seconds: %.3f s\n", soxAmplify);
  std::printf("amplify_vs_sox: %.3f\n", amplify / soxAmplify);
  std::printf("fade_seconds: %.3f s\n", fade);
  std::printf("sox_fade_seconds: %.3f s\n", soxFade);
  std::printf("fade_vs_sox: %.3f\n", fade / soxFade);
  std::printf("normalize_seconds: %.3f s\n", normalize);
  std::printf("sox_gain_seconds: %.3f s\n", soxNormalize);
  std::printf("normalize_vs_sox: %.3f\n", normalize / soxNormalize);
  std::printf("copy_paste_seconds: %.3f s\n", copyPaste);
  std::printf("cp_seconds: %.3f s\n", cp);
  std::printf("copy_paste_vs_cp: %.3f\n", copyPaste / cp);
  std::printf("delete_undo_us: %.2f us\n", deleteUndo);
  std::printf("delete_undo_10s_document_us: %.2f us\n", deleteUndoShort);
  return 0;
}
