// The desktop's sound panels, with ordinary programs standing in for them.
#include "platform/sound_panels_desktop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "../e2e/wait_until.h"
#include "file_bytes.h"
#include "scratch_folder.h"

namespace tavrin::platform {
namespace {

bool EndsWithin(DesktopSoundPanels& panels, std::chrono::seconds limit) {
  return tavrin::testing::WaitUntil([&] { return !panels.IsOpen(); }, limit);
}

// A panel that runs until the test creates `stop`, so that it cannot end
// before the test has looked at it, however slow the machine.
std::vector<std::string> PanelUntil(const std::filesystem::path& stop, const std::string& log) {
  return {"-c", "echo started >> \"$0\"; while [ ! -e \"$1\" ]; do sleep 0.02; done", log,
          stop.string()};
}

void Touch(const std::filesystem::path& path) {
  std::ofstream{path};
}

TEST(DesktopSoundPanels, WithoutAnyPanelSaysWhatToInstall) {
  DesktopSoundPanels panels({{"tavrin-no-such-panel", {}}, {"tavrin-nor-this-one", {"sound"}}});
  std::string error;
  EXPECT_FALSE(panels.OpenRecordingSettings(error));
  EXPECT_EQ(error, "No sound settings program was found. Please install pavucontrol.");
  EXPECT_FALSE(panels.IsOpen());
}

TEST(DesktopSoundPanels, StartsTheFirstPanelFoundOnceAndSeesItEnd) {
  const tavrin::testing::ScratchFolder scratch("panel-first");
  const std::filesystem::path& folder = scratch.Path();
  const std::filesystem::path log = folder / "started.log";
  DesktopSoundPanels panels(
      {{"tavrin-no-such-panel", {}}, {"sh", PanelUntil(folder / "stop", log.string())}});
  std::string error;
  ASSERT_TRUE(panels.OpenRecordingSettings(error));
  EXPECT_TRUE(panels.IsOpen());
  // Asked again while it runs: the running panel stays the only one.
  ASSERT_TRUE(panels.OpenRecordingSettings(error));
  Touch(folder / "stop");
  EXPECT_TRUE(EndsWithin(panels, std::chrono::seconds(10)));
  EXPECT_EQ(tavrin::testing::FileText(log), "started\n") << "started once";
}

TEST(DesktopSoundPanels, PlaybackSettingsHaveTheirOwnPanelsAndShareTheOneChild) {
  const tavrin::testing::ScratchFolder scratch("panel-shared");
  const std::filesystem::path& folder = scratch.Path();
  DesktopSoundPanels panels(std::vector<PanelCommand>{{"tavrin-no-such-panel", {}}});
  panels.SetPlaybackCandidates({{"tavrin-nor-this-one", {}},
                                {"sh", PanelUntil(folder / "stop", (folder / "log").string())}});
  std::string error;
  ASSERT_TRUE(panels.OpenPlaybackSettings(error));
  EXPECT_TRUE(panels.IsOpen());
  // While it runs, asking for the recording page starts nothing else.
  EXPECT_TRUE(panels.OpenRecordingSettings(error));
  Touch(folder / "stop");
  EXPECT_TRUE(EndsWithin(panels, std::chrono::seconds(10)));
  EXPECT_FALSE(panels.OpenRecordingSettings(error));
  EXPECT_EQ(error, kNoSoundPanelMessage);
}

}  // namespace
}  // namespace tavrin::platform
