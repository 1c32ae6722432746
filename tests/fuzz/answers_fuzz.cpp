// The Amplify and Insert Silence answers on any text: a result is either no
// change, a value the command can run with, or a message; never a crash.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "capture/recorder_state.h"
#include "editor/answers.h"
#include "fuzz_support.h"

using tavrin::editor::AnswerAction;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // The first four bytes are the document's length in buffers, the rest the answer.
  const std::uint32_t documentLength = tavrin::fuzz::Le32(data);
  const std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);

  const auto amplify = tavrin::editor::ParseAmplifyAnswer(text);
  FUZZ_CHECK((amplify.Action == AnswerAction::Invalid) == !amplify.Message.empty());
  if (amplify.Action == AnswerAction::Run) {
    // A whole percentage other than 0 and 100.
    const double percent = std::nearbyint(amplify.Factor * 100.0);
    FUZZ_CHECK(std::isfinite(percent) && amplify.Factor == percent / 100.0);
    FUZZ_CHECK(percent != 0.0 && percent != 100.0 && std::fabs(percent) <= 2147483648.0);
  } else {
    FUZZ_CHECK(amplify.Factor == 1.0);
  }

  const auto silence = tavrin::editor::ParseSilenceAnswer(text, documentLength);
  FUZZ_CHECK((silence.Action == AnswerAction::Invalid) == !silence.Message.empty());
  if (silence.Action == AnswerAction::Run) {
    // Never past ten hours of document.
    const std::uint32_t room = tavrin::capture::kTenHoursBuffers -
                               std::min(documentLength, tavrin::capture::kTenHoursBuffers);
    FUZZ_CHECK(silence.Buffers > 0 && static_cast<std::uint32_t>(silence.Buffers) <= room);
  } else {
    FUZZ_CHECK(silence.Buffers == 0);
  }
  return 0;
}
