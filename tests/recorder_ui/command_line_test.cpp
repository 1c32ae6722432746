// What the program takes from its command line: one file, its name as bytes,
// "--" before a name that starts with "-", and a clear word for the rest.
#include "recorder_ui/command_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "file_bytes.h"
#include "recorder_ui/autostart.h"
#include "scratch_folder.h"

namespace tavrin::recorder_ui {
namespace {

TEST(CommandLine, TakesOneFileAndSaysWhatItDoesNotTake) {
  struct Row {
    std::vector<std::string> arguments;
    std::string openPath, error, warning;
  };
  const std::string unknown = ". To open a file whose name starts with -, put -- before it.";
  const std::vector<Row> rows = {
      {{}, "", "", ""},
      {{"take.wav "}, "/home/u/take.wav ", "", ""},
      {{"/music/lat\xe9n.wav"}, "/music/lat\xe9n.wav", "", ""},
      {{"two\nlines.wav"}, "/home/u/two\nlines.wav", "", ""},
      {{"-dash.wav"}, "", "Unknown option -dash.wav" + unknown, ""},
      {{"--", "-dash.wav"}, "/home/u/-dash.wav", "", ""},
      {{"--", "--"}, "/home/u/--", "", ""},
      {{""}, "", "An empty file name was given.", ""},
      {{"a.wav", "b.wav"},
       "/home/u/a.wav",
       "",
       "Tavrin Recorder opens one file at a time: b.wav was not opened."},
  };
  for (const Row& row : rows) {
    const CommandLine line = ReadCommandLine(row.arguments, "/home/u");
    EXPECT_EQ(line.OpenPath, row.openPath) << ::testing::PrintToString(row.arguments);
    EXPECT_EQ(line.Error, row.error) << ::testing::PrintToString(row.arguments);
    EXPECT_EQ(line.Warning, row.warning) << ::testing::PrintToString(row.arguments);
  }
  const CommandLine minimized = ReadCommandLine({"--minimized", "a.wav"}, "/home/u");
  EXPECT_TRUE(minimized.Minimized);
  EXPECT_EQ(minimized.OpenPath, "/home/u/a.wav");
}

// The desktop starts the program it names, minimised, whatever its path holds:
// the entry is valid, and the desktop's own reader (GLib, through gio) starts
// exactly that program. (Not with a % in it: GLib looks for the program before
// it reads %% as %.)
TEST(Autostart, WritesAnEntryThatStartsTheProgramMinimisedAndRemovesIt) {
  const testing::ScratchFolder scratch("autostart");
  const std::string config = scratch.Path().string() + "/config";
  const std::string said = scratch.Path().string() + "/said";
  const std::filesystem::path folder = scratch.Path() / "my $apps `x` \"y\" a\\b\tc";
  const std::string program = (folder / "rec").string();
  std::filesystem::create_directories(folder);
  std::ofstream(program) << "#!/bin/sh\nprintf '%s|%s' \"$0\" \"$1\" >'" << said << ".part' && mv '"
                         << said << ".part' '" << said << "'\n";
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  ASSERT_EQ(SetAutostart(config, program, true), 0);
  const std::string quoted = "'" + AutostartEntryPath(config) + "'";
  EXPECT_EQ(std::system(("desktop-file-validate " + quoted).c_str()), 0);
  ASSERT_EQ(std::system(("DBUS_SESSION_BUS_ADDRESS=disabled: gio launch " + quoted).c_str()), 0);
  for (int i = 0; i < 100 && !std::filesystem::exists(said); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::vector<std::uint8_t> started = testing::FileBytes(said);
  EXPECT_EQ(std::string(started.begin(), started.end()), program + "|--minimized");
  EXPECT_EQ(SetAutostart(config, "/bin/a\nHidden=true", true), EINVAL);
  EXPECT_EQ(SetAutostart(config, "/bin/a\x1b", true), EINVAL);
  ASSERT_EQ(SetAutostart(config, "/bin/tavrin-recorder", false), 0);
  EXPECT_FALSE(AutostartEntryExists(config));
}

}  // namespace
}  // namespace tavrin::recorder_ui
