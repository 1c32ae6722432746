#include "recorder_ui/command_line.h"

#include <filesystem>

namespace tavrin::recorder_ui {

CommandLine ReadCommandLine(const std::vector<std::string>& arguments,
                            const std::string& currentFolder) {
  CommandLine line;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument == "--minimized") {
      line.Minimized = true;
    } else if (!optionsEnded && !argument.empty() && argument.front() == '-') {
      line.Error = "Unknown option " + argument +
                   ". To open a file whose name starts with -, put -- before it.";
      return line;
    } else if (argument.empty()) {
      line.Error = "An empty file name was given.";
      return line;
    } else {
      files.push_back(argument);
    }
  }
  if (files.empty()) return line;
  // Not made canonical: the file is opened by the path the user gave, links and all.
  const std::filesystem::path first(files.front());
  line.OpenPath = first.is_absolute() ? first.string() : (currentFolder + "/" + first.string());
  if (files.size() > 1) {
    line.Warning = "Tavrin Recorder opens one file at a time: " + files[1] +
                   (files.size() > 2 ? " and the others were" : " was") + " not opened.";
  }
  return line;
}

}  // namespace tavrin::recorder_ui
