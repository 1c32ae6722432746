#include "recorder_ui/autostart.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "base/file.h"

namespace tavrin::recorder_ui {

namespace {

// A desktop entry's Exec field: the program's path quoted, with the
// characters that quoting still gives a meaning escaped. The Exec value is
// itself a string value, whose reader takes one level of backslashes off
// first, so every backslash of the quoted argument is written twice.
std::string QuotedForExec(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
    if (c == '\\') quoted += "\\\\\\";
    if (c == '%') quoted += '%';
    if (c == '\t') {
      quoted += "\\t";
      continue;
    }
    quoted += c;
  }
  return quoted + "\"";
}

// A string value holds no control character but the tab (written as \t):
// a line break would end the Exec line and add keys of its own.
bool FitsAnEntry(const std::string& path) {
  return std::none_of(path.begin(), path.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7f;
  });
}

}  // namespace

std::string AutostartEntryPath(const std::string& configHome) {
  return configHome + "/autostart/tavrin-recorder.desktop";
}

bool AutostartEntryExists(const std::string& configHome) {
  std::error_code code;
  return !configHome.empty() && std::filesystem::exists(AutostartEntryPath(configHome), code);
}

int SetAutostart(const std::string& configHome, const std::string& programPath, bool on) {
  if (configHome.empty()) return ENOENT;
  const std::string path = AutostartEntryPath(configHome);
  std::error_code code;
  if (!on) {
    std::filesystem::remove(path, code);
    return code.value();
  }
  if (!FitsAnEntry(programPath)) return EINVAL;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), code);
  if (code) return code.value();
  const std::string entry =
      "[Desktop Entry]\nType=Application\nName=Tavrin Recorder\n"
      "Comment=Starts Tavrin Recorder minimised, for its recording timer\n"
      "Exec=" +
      QuotedForExec(programPath) + " " + kMinimizedOption +
      "\nIcon=tavrin-recorder\nTerminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  base::ReplacingFile file;
  int error = file.Create(path);
  if (error == 0) error = file.Append(entry.data(), entry.size());
  if (error == 0) error = file.Finish();
  if (error != 0) file.Remove();
  return error;
}

}  // namespace tavrin::recorder_ui
