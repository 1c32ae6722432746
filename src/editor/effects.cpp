#include "editor/effects.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/samples.h"
#include "document/chunked_io.h"
#include "editor/levels.h"

namespace tavrin::editor {

namespace {

enum class Kind { FadeIn, FadeOut, Amplify, Normalize, Unknown };

Kind KindOf(std::string_view text) {
  auto is = [&](std::string_view name) {
    return text.size() == name.size() && ::strncasecmp(text.data(), name.data(), name.size()) == 0;
  };
  if (is("FADEIN")) return Kind::FadeIn;
  if (is("FADEOUT")) return Kind::FadeOut;
  if (is("AMPLIFY")) return Kind::Amplify;
  if (is("NORMALIZE")) return Kind::Normalize;
  return Kind::Unknown;
}

// Adding and taking away 1.5 x 2^52 leaves x rounded to an integer in the
// current rounding mode (to nearest, halves to even) for |x| < 2^51, and
// unlike nearbyint() the compiler can do it a vector at a time.
constexpr double kRoundingMagic = 6755399441055744.0;
// Below this gain every product of a 16-bit sample fits in 32 bits.
constexpr double kFastGainLimit = 65536.0;

inline std::int16_t ScaleFast(std::int16_t sample, double gain) {
  const double rounded = (static_cast<double>(sample) * gain + kRoundingMagic) - kRoundingMagic;
  return base::Low16(static_cast<std::int32_t>(rounded));
}

// Sample i of raw buffer bytes; the compiler makes these plain 16-bit moves.
inline std::int16_t Load(const std::uint8_t* bytes, std::size_t i) {
  std::int16_t sample;
  std::memcpy(&sample, bytes + 2 * i, sizeof sample);
  return sample;
}

inline void Store(std::uint8_t* bytes, std::size_t i, std::int16_t sample) {
  std::memcpy(bytes + 2 * i, &sample, sizeof sample);
}

bool FastGains(const double* gains, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!(std::fabs(gains[i]) < kFastGainLimit)) return false;
  }
  return true;
}

// Scales one buffer's frames; a fade carries FadeGain on from frame to frame.
void ScaleBuffer(EditSession& document, Kind kind, const std::uint8_t* in, std::uint8_t* out) {
  if (kind == Kind::FadeIn || kind == Kind::FadeOut) {
    double gains[capture::kFramesPerBuffer];
    const double step = kind == Kind::FadeIn ? document.FadeStep : -document.FadeStep;
    double gain = document.FadeGain;
    for (double& frameGain : gains) {
      gain += step;
      frameGain = gain;
    }
    document.FadeGain = gain;
    ScaleFrames(in, out, capture::kFramesPerBuffer, gains);
    return;
  }
  const double gain = kind == Kind::Amplify ? document.AmplifyFactor
                                            : static_cast<double>(document.SelectionPeakFactor);
  ScaleFrames(in, out, capture::kFramesPerBuffer, gain);
}

}  // namespace

std::int16_t ScaleSample(std::int16_t sample, double gain) {
  const double rounded = std::nearbyint(static_cast<double>(sample) * gain);
  if (std::fabs(rounded) < 2147483648.0) return base::Low16(static_cast<std::int32_t>(rounded));
  if (!std::isfinite(rounded)) return 0;
  // fmod is exact, so the low 16 bits of any integer-valued double survive.
  double low = std::fmod(rounded, 65536.0);
  if (low < 0) low += 65536.0;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low));
}

void ScaleFrames(const std::uint8_t* in, std::uint8_t* out, std::size_t frames,
                 const double* gains) {
  if (!FastGains(gains, frames)) {
    for (std::size_t i = 0; i < 2 * frames; ++i)
      Store(out, i, ScaleSample(Load(in, i), gains[i / 2]));
    return;
  }
  for (std::size_t i = 0; i < frames; ++i) {
    Store(out, 2 * i, ScaleFast(Load(in, 2 * i), gains[i]));
    Store(out, 2 * i + 1, ScaleFast(Load(in, 2 * i + 1), gains[i]));
  }
}

void ScaleFrames(const std::uint8_t* in, std::uint8_t* out, std::size_t frames, double gain) {
  if (!(std::fabs(gain) < kFastGainLimit)) {
    for (std::size_t i = 0; i < 2 * frames; ++i) Store(out, i, ScaleSample(Load(in, i), gain));
    return;
  }
  for (std::size_t i = 0; i < 2 * frames; ++i) Store(out, i, ScaleFast(Load(in, i), gain));
}

float SelectionPeakFactor(EditSession& document, const capture::RecorderState& state) {
  BufferPeaks selection = document::kStartPeaks;
  // Positions that no row holds lie past the end and would only repeat the
  // peaks before them, so the runs are all there is to scan.
  for (const DocumentRun& run : DocumentRuns(document, document.SelStart, document.SelEnd)) {
    for (std::uint32_t i = 0; i < run.Buffers; ++i) {
      selection.Include(RunPeaks(document, state.Take, run, i));
    }
  }
  std::int32_t peak = 0;
  for (const std::int32_t value :
       {std::int32_t{selection.MaxLeft}, std::int32_t{selection.MaxRight},
        std::abs(std::int32_t{selection.MinLeft}), std::abs(std::int32_t{selection.MinRight})}) {
    peak = std::max(peak, value);
  }
  if (peak >= 32768) peak = 32767;
  if (peak == 0) peak = 1;
  document.SelectionPeakFactor = 32767.0f / static_cast<float>(peak);
  return document.SelectionPeakFactor;
}

EditResult Process(EditContext& context, std::string_view kindText) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  const Kind kind = KindOf(kindText);
  if (kind == Kind::Unknown || document.SelStart >= document.SelEnd) return EditResult::Unchanged;
  BusyScope busy(document, true);
  const std::uint32_t first = document.SelStart;
  const std::uint32_t last = document.SelEnd;
  WorkFileAppend append(document);
  const std::uint32_t workStart = append.Start();

  // The selected part of each row points at its processed copy, appended in document order.
  std::vector<Segment> rows;
  std::uint32_t processed = 0;
  for (const RowPiece& piece : CutRows(document, first, last)) {
    if (!piece.Inside) {
      rows.push_back(piece.Row);
      continue;
    }
    rows.push_back({piece.Row.Start, piece.Row.Length, workStart + 1 + processed, false});
    processed += piece.Row.Length;
  }
  rows = Tidy(std::move(rows));
  if (!FitsInALevel(context, rows)) return EditResult::Refused;

  GrowWorkPeaks(document, std::size_t{last - first} + workStart + 3);
  if (kind == Kind::Normalize) SelectionPeakFactor(document, context.State);

  DocumentReader reader(context.Document, context.State.Take, first, last);
  ChunkWriter writer(document.EditStream, append.StartByte());
  const std::uint8_t* buffer = nullptr;
  std::uint32_t position = 0;
  std::uint32_t written = 0;
  bool writing = true;
  while (writing && reader.Next(buffer, position)) {
    ScaleBuffer(document, kind, buffer, writer.Slot());
    StoreWorkPeaks(document, workStart + ++written,
                   document::MeasurePeaks(writer.Slot(), capture::kFramesPerBuffer));
    writing = writer.Add();
    document.OperationProgress = static_cast<float>(static_cast<double>(position - first) * 100.0 /
                                                    static_cast<double>(last - first));
    context.User.Pump();
  }
  const int error = reader.Error() != 0 ? reader.Error() : writer.Commit() ? 0 : writer.Error();
  if (error != 0) {
    append.Rollback();
    return Fail(context, error);
  }
  CommitLevel(context, rows, {first, last, first, last});
  return EditResult::Done;
}

namespace {

// A linear ramp over every frame of the selection, from `startGain`.
EditResult Fade(EditContext& context, std::string_view kind, double startGain) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  document.FadeStep = 1.0 / (static_cast<double>(document.SelEnd - document.SelStart + 1) *
                             capture::kFramesPerBuffer);
  document.FadeGain = startGain;
  return Process(context, kind);
}

}  // namespace

EditResult FadeIn(EditContext& context) {
  return Fade(context, "FadeIn", 0.0);
}

EditResult FadeOut(EditContext& context) {
  return Fade(context, "FadeOut", 1.0);
}

EditResult Normalize(EditContext& context) {
  return Process(context, "Normalize");
}

EditResult Amplify(EditContext& context, double factor) {
  if (context.Document.EditBusy) return EditResult::Busy;
  context.Document.AmplifyFactor = factor;
  return Process(context, "Amplify");
}

}  // namespace tavrin::editor
