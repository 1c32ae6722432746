#pragma once
// Running the reference programs (sox, cp) and timing rounds, shared by the
// benchmarks that compare against them.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace tavrin::bench {

// The middle value (the upper one of an even count).
inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs a program found on PATH; true when it exits with status 0.
inline bool RunProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Seconds of the fastest of `rounds` timed runs after one warm-up run, or a
// negative value when a run failed. `prepare` runs before each, untimed; dirty
// pages are flushed after it so that no run pays for the one before.
inline double BestOf(int rounds, const std::function<void()>& prepare,
                     const std::function<bool()>& run) {
  double best = 1e30;
  for (int round = 0; round <= rounds; ++round) {
    if (prepare) prepare();
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return -1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (round > 0) best = std::min(best, elapsed.count());
  }
  return best;
}

}  // namespace tavrin::bench
