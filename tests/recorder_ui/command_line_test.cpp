// What the program takes from its command line: one file, its name as bytes,
// "--" before a name that starts with "-", and a clear word for the rest.
#include "recorder_ui/command_line.h"

#include <gtest/gtest.h>

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

// The desktop starts the program it names, minimised, whatever its path holds.
TEST(Autostart, WritesAnEntryThatStartsTheProgramMinimisedAndRemovesIt) {
  const testing::ScratchFolder scratch("autostart");
  const std::string config = scratch.Path().string() + "/config";
  ASSERT_EQ(SetAutostart(config, "/opt/my $apps/tavrin \"x\"", true), 0);
  ASSERT_TRUE(AutostartEntryExists(config));
  const std::vector<std::uint8_t> bytes = testing::FileBytes(AutostartEntryPath(config));
  const std::string entry(bytes.begin(), bytes.end());
  EXPECT_NE(entry.find("\nExec=\"/opt/my \\$apps/tavrin \\\"x\\\"\" --minimized\n"),
            std::string::npos)
      << entry;
  EXPECT_EQ(SetAutostart(config, "/bin/a\nHidden=true", true), EINVAL);
  ASSERT_EQ(SetAutostart(config, "/bin/tavrin-recorder", false), 0);
  EXPECT_FALSE(AutostartEntryExists(config));
}

}  // namespace
}  // namespace tavrin::recorder_ui
