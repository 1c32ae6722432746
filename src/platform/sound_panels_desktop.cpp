#include "platform/sound_panels_desktop.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace tavrin::platform {

std::vector<PanelCommand> DefaultPanelCommands() {
  return {
      {"pavucontrol", {"--tab=4"}},
      {"gnome-control-center", {"sound"}},
      {"systemsettings", {"kcm_pulseaudio"}},
  };
}

std::vector<PanelCommand> PlaybackPanelCommands() {
  return {
      {"pavucontrol", {"--tab=1"}},
      {"gnome-control-center", {"sound"}},
      {"systemsettings", {"kcm_pulseaudio"}},
  };
}

namespace {

// Full path of an executable `program` in PATH, or empty.
std::string FindInPath(const std::string& program) {
  if (program.empty()) return {};
  auto isExecutableFile = [](const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
  };
  if (program.find('/') != std::string::npos) {
    return isExecutableFile(program) ? program : std::string{};
  }
  const char* pathVariable = std::getenv("PATH");
  std::string_view rest = pathVariable != nullptr ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const std::size_t colon = rest.find(':');
    std::string candidate(rest.substr(0, colon));
    // An empty PATH entry means the current folder.
    if (candidate.empty()) candidate.push_back('.');
    candidate.push_back('/');
    candidate.append(program);
    if (isExecutableFile(candidate)) return candidate;
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace

DesktopSoundPanels::DesktopSoundPanels(std::vector<PanelCommand> candidates)
    : m_candidates(std::move(candidates)) {}

bool DesktopSoundPanels::OpenRecordingSettings(std::string& error) {
  return Start(m_candidates, error);
}

bool DesktopSoundPanels::OpenPlaybackSettings(std::string& error) {
  return Start(m_playbackCandidates, error);
}

bool DesktopSoundPanels::Start(const std::vector<PanelCommand>& candidates, std::string& error) {
  // One panel at a time: the running one is where the user already is.
  if (IsOpen()) return true;
  for (const PanelCommand& command : candidates) {
    const std::string path = FindInPath(command.Program);
    if (path.empty()) continue;
    std::vector<std::string> words{command.Program};
    words.insert(words.end(), command.Arguments.begin(), command.Arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
      m_child = child;
      return true;
    }
  }
  error = kNoSoundPanelMessage;
  return false;
}

bool DesktopSoundPanels::IsOpen() {
  if (m_child == 0) return false;
  int status = 0;
  pid_t result = 0;
  do {
    result = ::waitpid(m_child, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result == 0) return true;
  // Ended (now reaped), or reaped by someone else.
  m_child = 0;
  return false;
}

}  // namespace tavrin::platform
