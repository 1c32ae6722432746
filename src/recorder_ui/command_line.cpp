#include "recorder_ui/command_line.h"

namespace tavrin::recorder_ui {

CommandLine ReadCommandLine(const std::vector<std::string>& arguments,
                            const std::string& currentFolder) {
  CommandLine line;
  std::vector<std::string> files;
  bool optionsEnded = false;
  const auto absolute = [&](const std::string& name) {
    // Not made canonical: the file is used by the path the user gave, links and all.
    return name.front() == '/' ? name : currentFolder + "/" + name;
  };
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    const bool command = argument == "--record" || argument == "--stop" || argument == "--toggle" ||
                         argument == "--status" || argument == "--save" || argument == "--show";
    if (!optionsEnded && command) {
      if (!line.Command.empty()) {
        line.Error =
            "Give one command at a time: " + line.Command + " and " + argument.substr(2) + ".";
        return line;
      }
      line.Command = argument.substr(2);
      if (line.Command == "save") {
        if (at + 1 == arguments.size() || arguments[at + 1].empty()) {
          line.Error = "--save needs the path of the file to save the take to.";
          return line;
        }
        line.CommandPath = absolute(arguments[++at]);
      }
    } else if (!optionsEnded && argument == "--") {
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
  if (!line.Command.empty()) {
    line.Error = "--" + line.Command + " takes no file to open.";
    return line;
  }
  line.OpenPath = absolute(files.front());
  if (files.size() > 1) {
    line.Warning = "Tavrin Recorder opens one file at a time: " + files[1] +
                   (files.size() > 2 ? " and the others were" : " was") + " not opened.";
  }
  return line;
}

}  // namespace tavrin::recorder_ui
