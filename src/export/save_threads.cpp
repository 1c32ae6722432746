#include "export/save_threads.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace tavrin::exporter {

unsigned UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(std::thread::hardware_concurrency(), 1u);
}

unsigned SaveThreads(std::uint64_t frames, unsigned wanted) {
  if (wanted == 0) wanted = UsableCores();
  const std::uint64_t pieces = std::max<std::uint64_t>(frames / kLeastFramesPerThread, 1);
  return static_cast<unsigned>(
      std::clamp<std::uint64_t>(std::min<std::uint64_t>(wanted, pieces), 1, kMostSaveThreads));
}

}  // namespace tavrin::exporter
