#pragma once
// What the program was started with, once Qt has taken its own options: at
// most one sound file to open, or one command for the program already running
// (--record, --stop, --toggle, --status, --save PATH). A file's name is bytes, kept as given (it
// need not be UTF-8); "--" ends the options, so a name may start with "-".

#include <string>
#include <vector>

namespace tavrin::recorder_ui {

struct CommandLine {
  std::string OpenPath;    // absolute, or empty
  std::string Error;       // an argument the program does not take; nothing is opened
  std::string Warning;     // said, and the program goes on (a second file, ignored)
  bool Minimized = false;  // --minimized: start minimised (the desktop's autostart)
  // A command for the running program: "record", "stop", "toggle", "status"
  // or "save" (with CommandPath, absolute); empty for none.
  std::string Command;
  std::string CommandPath;
};

// `arguments` without the program's own name; relative paths are taken from `currentFolder`.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments,
                            const std::string& currentFolder);

}  // namespace tavrin::recorder_ui
