#pragma once
// Reading the answers of the Amplify and Insert Silence input boxes.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin::editor {

enum class AnswerAction {
  NoChange,  // nothing to do, and nothing to say
  Run,       // run the command with the value read
  Invalid,   // show Message; nothing changes
};

struct AmplifyAnswer {
  AnswerAction Action = AnswerAction::NoChange;
  double Factor = 1.0;  // AmplifyFactor: the percentage / 100
  std::string Message;
};

// Empty, "0" and "100" change nothing; any other whole number is used as it
// stands (a negative one inverts the waveform); anything else is reported.
AmplifyAnswer ParseAmplifyAnswer(std::string_view text);

// The percentage at which the selection's peak reaches full scale.
std::int32_t ClippingLevel(float selectionPeakFactor);

struct SilenceAnswer {
  AnswerAction Action = AnswerAction::NoChange;
  std::int32_t Buffers = 0;  // SilenceLength
  std::string Message;
};

// Seconds, taken to single precision, times 10, rounded to the nearest buffer
// with halves to even: 0.25 gives 2 buffers, 0.04 none. Negative, not finite,
// or longer than the ten hours a document may reach from `documentLength`
// buffers: reported.
SilenceAnswer ParseSilenceAnswer(std::string_view text, std::uint32_t documentLength);

}  // namespace tavrin::editor
