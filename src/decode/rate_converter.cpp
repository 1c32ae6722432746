#include "decode/rate_converter.h"

namespace tavrin::decode {

namespace {

constexpr std::size_t kOutputFrames = 16384;

}  // namespace

RateConverter::RateConverter(double inputRate, double outputRate) : m_out(2 * kOutputFrames) {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  // One thread: the machine's other work (the window, the sound server) keeps its cores.
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t error = nullptr;
  m_soxr = soxr_create(inputRate, outputRate, 2, &error, &io, &quality, &runtime);
  if (error != nullptr || m_soxr == nullptr) m_error = error != nullptr ? error : "soxr_create";
}

RateConverter::~RateConverter() {
  if (m_soxr != nullptr) soxr_delete(m_soxr);
}

bool RateConverter::Process(const float* stereo, std::size_t frames, const Sink& sink) {
  if (m_soxr == nullptr) return false;
  while (frames > 0) {
    std::size_t used = 0;
    std::size_t made = 0;
    if (const soxr_error_t error =
            soxr_process(m_soxr, stereo, frames, &used, m_out.data(), kOutputFrames, &made);
        error != nullptr) {
      m_error = error;
      return false;
    }
    if (used == 0 && made == 0) {
      m_error = "libsoxr took no input";
      return false;
    }
    if (made > 0 && !sink(m_out.data(), made)) return false;
    stereo += 2 * used;
    frames -= used;
  }
  return true;
}

bool RateConverter::Finish(const Sink& sink) {
  if (m_soxr == nullptr) return false;
  for (;;) {
    std::size_t made = 0;
    // No input: libsoxr flushes the filter's tail, a part per call.
    if (const soxr_error_t error =
            soxr_process(m_soxr, nullptr, 0, nullptr, m_out.data(), kOutputFrames, &made);
        error != nullptr) {
      m_error = error;
      return false;
    }
    if (made == 0) return true;
    if (!sink(m_out.data(), made)) return false;
  }
}

}  // namespace tavrin::decode
