// The desktop's sound panels, with ordinary programs standing in for them.
#include "platform/sound_panels_desktop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tavrin::platform {
namespace {

bool EndsWithin(DesktopSoundPanels& panels, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (!panels.IsOpen()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(DesktopSoundPanels, WithoutAnyPanelSaysWhatToInstall) {
  DesktopSoundPanels panels({{"tavrin-no-such-panel", {}}, {"tavrin-nor-this-one", {"sound"}}});
  std::string error;
  EXPECT_FALSE(panels.OpenRecordingSettings(error));
  EXPECT_EQ(error, "No sound settings program was found. Please install pavucontrol.");
  EXPECT_FALSE(panels.IsOpen());
}

TEST(DesktopSoundPanels, StartsTheFirstPanelFoundOnceAndSeesItEnd) {
  const std::filesystem::path log = std::filesystem::temp_directory_path() /
                                    ("tavrin-panel-" + std::to_string(::getpid()) + ".log");
  std::filesystem::remove(log);
  DesktopSoundPanels panels({{"tavrin-no-such-panel", {}},
                             {"sh", {"-c", "echo started >> \"$0\"; sleep 0.4", log.string()}}});
  std::string error;
  ASSERT_TRUE(panels.OpenRecordingSettings(error));
  EXPECT_TRUE(panels.IsOpen());
  // Asked again while it runs: the running panel stays the only one.
  ASSERT_TRUE(panels.OpenRecordingSettings(error));
  EXPECT_TRUE(EndsWithin(panels, std::chrono::seconds(10)));

  std::ifstream in(log);
  std::string line;
  int starts = 0;
  while (std::getline(in, line)) starts += line == "started" ? 1 : 0;
  EXPECT_EQ(starts, 1);
  std::filesystem::remove(log);
}

TEST(DesktopSoundPanels, PlaybackSettingsHaveTheirOwnPanelsAndShareTheOneChild) {
  DesktopSoundPanels panels(std::vector<PanelCommand>{{"tavrin-no-such-panel", {}}});
  panels.SetPlaybackCandidates({{"tavrin-nor-this-one", {}}, {"sh", {"-c", "sleep 0.3"}}});
  std::string error;
  ASSERT_TRUE(panels.OpenPlaybackSettings(error));
  EXPECT_TRUE(panels.IsOpen());
  // While it runs, asking for the recording page starts nothing else.
  EXPECT_TRUE(panels.OpenRecordingSettings(error));
  EXPECT_TRUE(EndsWithin(panels, std::chrono::seconds(10)));
  EXPECT_FALSE(panels.OpenRecordingSettings(error));
  EXPECT_EQ(error, kNoSoundPanelMessage);
}

}  // namespace
}  // namespace tavrin::platform
