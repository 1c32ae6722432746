#include "editor/answers.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "capture/recorder_state.h"
#include "editor/clipboard.h"

namespace tavrin::editor {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A leading "+" is allowed, as people type it; from_chars takes only "-".
std::string_view WithoutPlus(std::string_view text) {
  return !text.empty() && text.front() == '+' ? text.substr(1) : text;
}

// "'<text>' is not a valid <kind> value", the number conversion's own words.
std::string NotValid(std::string_view text, std::string_view kind) {
  std::string message = "'";
  message.append(text).append("' is not a valid ").append(kind).append(" value");
  return message;
}

// The answer refused, with the message that says why.
template <typename Answer>
Answer Invalid(Answer answer, std::string message) {
  answer.Action = AnswerAction::Invalid;
  answer.Message = std::move(message);
  return answer;
}

}  // namespace

AmplifyAnswer ParseAmplifyAnswer(std::string_view raw) {
  AmplifyAnswer answer;
  const std::string_view text = Trimmed(raw);
  if (text.empty()) return answer;
  const std::string_view digits = WithoutPlus(text);
  std::int32_t percent = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), percent);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      (digits.size() != text.size() && digits.front() == '-')) {
    return Invalid(answer, NotValid(raw, "integer"));
  }
  if (percent == 0 || percent == 100) return answer;
  answer.Action = AnswerAction::Run;
  answer.Factor = percent / 100.0;
  return answer;
}

std::int32_t ClippingLevel(float selectionPeakFactor) {
  return static_cast<std::int32_t>(
      std::nearbyint(static_cast<double>(selectionPeakFactor) * 100.0));
}

SilenceAnswer ParseSilenceAnswer(std::string_view raw, std::uint32_t documentLength) {
  SilenceAnswer answer;
  const std::string_view text = Trimmed(raw);
  if (text.empty()) return answer;
  const std::string_view number = WithoutPlus(text);
  double seconds = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), seconds);
  const bool whole = !number.empty() && error == std::errc() &&
                     end == number.data() + number.size() &&
                     !(number.size() != text.size() && number.front() == '-');
  // Single precision, as the length has always been read.
  const double single = static_cast<double>(static_cast<float>(seconds));
  if (!whole || !std::isfinite(single)) return Invalid(answer, NotValid(raw, "floating point"));
  if (single < 0) return Invalid(answer, "The length of silence can not be negative.");
  const double buffers = std::nearbyint(single * 10.0);
  const std::uint32_t room =
      capture::kTenHoursBuffers - std::min(documentLength, capture::kTenHoursBuffers);
  if (buffers > room) return Invalid(answer, kTooLongMessage);
  answer.Buffers = static_cast<std::int32_t>(buffers);
  if (answer.Buffers != 0) answer.Action = AnswerAction::Run;
  return answer;
}

}  // namespace tavrin::editor
