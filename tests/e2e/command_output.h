#pragma once
// What a shell command prints, for end-to-end tests that ask pactl.

#include <array>
#include <cstdio>
#include <string>

namespace tavrin::testing {

inline std::string CommandOutput(const std::string& command) {
  std::string text;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) text += chunk.data();
  ::pclose(pipe);
  return text;
}

}  // namespace tavrin::testing
