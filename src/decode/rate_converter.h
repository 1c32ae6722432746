#pragma once
// Interleaved stereo float at any rate to the take's 44100 Hz through libsoxr
// at its high quality, streamed: what goes in is handed on as soon as the
// filter lets it out, and Finish() drains the filter's tail.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <soxr.h>

namespace tavrin::decode {

class RateConverter {
public:
  // Receives converted stereo frames; returns false to stop the conversion.
  using Sink = std::function<bool(const float* stereo, std::size_t frames)>;

  RateConverter(double inputRate, double outputRate);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  // Empty when libsoxr could not be set up, else its error text.
  const std::string& Error() const { return m_error; }

  // Feeds `frames` stereo frames; false when the sink stopped or libsoxr failed.
  bool Process(const float* stereo, std::size_t frames, const Sink& sink);
  // Drains what the filter still holds after the last input.
  bool Finish(const Sink& sink);

private:
  soxr_t m_soxr = nullptr;
  std::string m_error;
  std::vector<float> m_out;
};

}  // namespace tavrin::decode
