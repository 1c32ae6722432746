#pragma once
// Fade In, Fade Out, Amplify and Normalize: each selected buffer is read
// through the edit list, scaled frame by frame, appended to Edit.raw with its
// peaks, and a new level points the selection at the processed copy.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "editor/edit_context.h"

namespace tavrin::editor {

// The sample rule: s x gain in floating point, rounded to the nearest integer
// with halves to even, kept as its low 16 bits (out-of-range results wrap).
std::int16_t ScaleSample(std::int16_t sample, double gain);
// The same over interleaved stereo frames of 16-bit little-endian samples
// (raw buffer bytes), both channels of frame i by gains[i].
void ScaleFrames(const std::uint8_t* in, std::uint8_t* out, std::size_t frames,
                 const double* gains);
void ScaleFrames(const std::uint8_t* in, std::uint8_t* out, std::size_t frames, double gain);

// 32767 / the largest absolute peak of SelStart..SelEnd, from the peak tables
// (a peak of 0 counts as 1, one of 32768 as 32767); also stored in the document.
float SelectionPeakFactor(EditSession& document, const capture::RecorderState& state);

// kind "FadeIn", "FadeOut", "Amplify" or "Normalize", any case. Needs a
// selection; the fades take FadeGain and FadeStep, Amplify AmplifyFactor as
// they were set before.
EditResult Process(EditContext& context, std::string_view kind);

// The commands: set the parameters, then Process.
EditResult FadeIn(EditContext& context);
EditResult FadeOut(EditContext& context);
EditResult Normalize(EditContext& context);
EditResult Amplify(EditContext& context, double factor);

}  // namespace tavrin::editor
