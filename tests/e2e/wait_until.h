#pragma once
// Waiting on what a sound server does: poll a condition until it holds or a
// generous limit passes, so a busy machine makes a test slower, not red.

#include <chrono>
#include <functional>
#include <thread>

namespace tavrin::testing {

// True as soon as `condition` holds; false when it still does not after `limit`.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace tavrin::testing
