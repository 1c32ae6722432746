#pragma once
// Starting with the desktop: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/tavrin-recorder.desktop, else ~/.config/...)
// that starts the program minimised, so a daily timer survives a reboot.

#include <string>

namespace tavrin::recorder_ui {

inline constexpr const char* kMinimizedOption = "--minimized";

// The entry's path below `configHome`.
std::string AutostartEntryPath(const std::string& configHome);
bool AutostartEntryExists(const std::string& configHome);
// Writes the entry for `programPath` (on) or removes it (off). Returns 0 or errno.
int SetAutostart(const std::string& configHome, const std::string& programPath, bool on);

}  // namespace tavrin::recorder_ui
