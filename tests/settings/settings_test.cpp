#include "settings/settings.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "case_scratch.h"
#include "file_bytes.h"
#include "scoped_env.h"
#include "settings/color_schemes.h"
#include "small_file_system.h"

namespace tavrin::settings {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
protected:
  void Write(const std::string& text) const { std::ofstream(Path, std::ios::binary) << text; }
  std::string Read(const std::string& path = {}) const {
    return tavrin::testing::FileText(path.empty() ? Path : path);
  }
  Settings Load() const {
    Settings settings;
    LoadSettings(settings, Path);
    return settings;
  }

  tavrin::testing::ScratchFolder Scratch{"settings-" + tavrin::testing::CaseName()};
  fs::path Root = Scratch.Path();
  std::string Path = (Root / "tavrin-recorder.INI").string();
  tavrin::testing::ScopedEnv Home{"HOME", "/home/tester"};
};

TEST_F(SettingsFile, FirstStartWithoutAFileGivesEveryDefault) {
  Settings s{true, 11025, 8, 1, false, 320, 3, true, 64, 128, 8, true, true, true, "/x", 7, 5};
  s.RecordingSource = "usb-mic";
  s.MinimizeToTray = true;
  LoadSettings(s, Path);

  EXPECT_FALSE(s.SaveWav);
  EXPECT_EQ(s.SamplePerSecond, 44100);
  EXPECT_EQ(s.BitPerSample, 16);
  EXPECT_EQ(s.Channels, 2);
  EXPECT_TRUE(s.SaveMp3);
  EXPECT_EQ(s.BitRate, 128);
  EXPECT_EQ(s.Mode, 0);
  EXPECT_FALSE(s.VBR);
  EXPECT_EQ(s.MinBitRate, 32);
  EXPECT_EQ(s.MaxBitRate, 320);
  EXPECT_EQ(s.VBRQuality, 0);
  EXPECT_FALSE(s.Copyright);
  EXPECT_FALSE(s.Original);
  EXPECT_FALSE(s.Private);
  EXPECT_EQ(s.OutputFolder, "/home/tester");
  EXPECT_EQ(s.RecordingModeIndex, 0);
  EXPECT_EQ(s.WindowColor, 1);
  EXPECT_EQ(s.RecordingSource, "") << "the system's default";
  EXPECT_FALSE(s.MinimizeToTray);
  EXPECT_FALSE(fs::exists(Path)) << "loading never creates the file";
}

TEST_F(SettingsFile, WithoutHomeTheAccountsHomeFolderIsUsed) {
  ::setenv("HOME", "", 1);
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(HomeFolder(), account->pw_dir);
}

TEST_F(SettingsFile, NumbersReadLikeAPrivateProfileInteger) {
  Write(
      "[Save Format]\n"
      "Wav=2\n"
      "MP3=-0\n"
      "BitRate=abc\n"
      "SamplePerSecond=22050Hz\n"
      "Mode= 3\n"
      "MinBitRate=-64\n"
      "MaxBitRate=\n"
      "VBRQuality=99999999999\n"
      "VBR=1yes\n"
      "Copyright=0\n"
      "Original=maybe\n");
  const Settings s = Load();
  EXPECT_TRUE(s.SaveWav) << "any non-zero value is true";
  EXPECT_FALSE(s.SaveMp3);
  EXPECT_EQ(s.BitRate, 128) << "not a number: the default";
  EXPECT_EQ(s.SamplePerSecond, 22050) << "leading digits count";
  EXPECT_EQ(s.Mode, 3) << "leading blanks are skipped";
  EXPECT_EQ(s.MinBitRate, -64) << "a sign is read";
  EXPECT_EQ(s.MaxBitRate, 320) << "empty: the default";
  EXPECT_EQ(s.VBRQuality, 0) << "beyond 32 bits: the default, not a wrapped value";
  EXPECT_TRUE(s.VBR);
  EXPECT_FALSE(s.Copyright);
  EXPECT_FALSE(s.Original) << "not a number: the default";
}

TEST_F(SettingsFile, UnsignedFieldsKeepTheirDefaultWhenTheNumberDoesNotFit) {
  Write("[Save Format]\nBitPerSample=65544\nChannels=-1\n");
  Settings s = Load();
  EXPECT_EQ(s.BitPerSample, 16) << "65544 would wrap to 8";
  EXPECT_EQ(s.Channels, 2) << "-1 would wrap to 65535";

  Write("[Save Format]\nBitPerSample=18446744073709551624\n");
  EXPECT_EQ(Load().BitPerSample, 16) << "2^64 + 8 would wrap to 8";

  Write("[Save Format]\nBitPerSample=65535\nChannels=1\n");
  s = Load();
  EXPECT_EQ(s.BitPerSample, 65535);
  EXPECT_EQ(s.Channels, 1);
}

TEST_F(SettingsFile, OutputFolderEmptyStaysEmptyAndMissingIsHome) {
  Write("[Output Folder]\nName=\n");
  EXPECT_EQ(Load().OutputFolder, "");
  Write("[Output Folder]\nOther=/x\n");
  EXPECT_EQ(Load().OutputFolder, "/home/tester");
  Write("[Output Folder]\nName=/home/tester/录音 2024\n");
  EXPECT_EQ(Load().OutputFolder, "/home/tester/录音 2024");
}

TEST_F(SettingsFile, SectionsAndKeysMatchWhateverTheirCase) {
  Write("[save format]\nwav=1\nmp3=0\n[WINDOW COLORS]\ncolor=4\n");
  Settings s = Load();
  EXPECT_TRUE(s.SaveWav);
  EXPECT_FALSE(s.SaveMp3);
  EXPECT_EQ(s.WindowColor, 4);

  s.SaveWav = false;
  s.SaveMp3 = true;
  ASSERT_EQ(SaveSettings(s, Path), 0);
  const std::string text = Read();
  EXPECT_NE(text.find("[save format]\nwav=0\nmp3=1\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("[Save Format]"), std::string::npos) << "no second section: " << text;
  EXPECT_EQ(text.find("Wav="), std::string::npos) << "no second key: " << text;
  EXPECT_EQ(text.find("Color="), std::string::npos) << text;
}

TEST_F(SettingsFile, UnusableSchemeAndRecordingModeAreMended) {
  const struct {
    const char* Color;
    const char* Index;
    int WindowColor;
    int RecordingModeIndex;
  } cases[] = {{"0", "-1", 1, 0},
               {"6", "8", 1, 0},
               {"-3", "1000", 1, 0},
               {"5", "7", 5, 7},
               {"1", "0", 1, 0}};
  for (const auto& c : cases) {
    Write(std::string("[Recording Mode]\nIndex=") + c.Index +
          "\n[Window Colors]\nColor=" + c.Color + "\n");
    const Settings s = Load();
    EXPECT_EQ(s.WindowColor, c.WindowColor) << "Color=" << c.Color;
    EXPECT_EQ(s.RecordingModeIndex, c.RecordingModeIndex) << "Index=" << c.Index;
  }  // A pairing or a level the menu does not offer reads as the nearest it does.
  Write("[Recording Source]\nPairing=7\nFirstLevel=-500\nSecondLevel=40\n");
  const Settings paired = Load();
  EXPECT_EQ(paired.SourcePairing, 0);
  EXPECT_EQ(paired.FirstSourceLevelDb, kSourceLevelOff);
  EXPECT_EQ(paired.SecondSourceLevelDb, kSourceLevelMax);
}

TEST_F(SettingsFile, AnAmbiguousExportFormatBecomesMp3) {
  const struct {
    const char* Text;
    bool SaveWav;
    bool SaveMp3;
  } cases[] = {{"Wav=1\nMP3=1\n", false, true},
               {"Wav=0\nMP3=0\n", false, true},
               {"Wav=1\n", false, true},  // MP3 missing reads true: ambiguous as well
               {"Wav=1\nMP3=0\n", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    Write(std::string("[Save Format]\n") + c.Text);
    const Settings s = Load();
    EXPECT_EQ(s.SaveWav, c.SaveWav);
    EXPECT_EQ(s.SaveMp3, c.SaveMp3);
  }
}

TEST_F(SettingsFile, FlacAndOpusAreChosenAndReadBackBesideTheOlderKeys) {
  // A file from before FLAC and Opus chooses what it chose.
  Write("[Save Format]\nWav=1\nMP3=0\nBitRate=192\n");
  Settings s = Load();
  EXPECT_EQ(ChosenFormat(s), SaveFormat::Wav);
  EXPECT_EQ(s.BitRate, 192);
  EXPECT_EQ(s.FlacCompression, 5);
  EXPECT_EQ(s.OpusBitRate, 96);

  Settings chosen{.FlacSamplePerSecond = 22050,
                  .FlacBitPerSample = 8,
                  .FlacChannels = 1,
                  .FlacCompression = 0,
                  .OpusBitRate = 24,
                  .OpusChannels = 1};
  for (const SaveFormat format : {SaveFormat::Flac, SaveFormat::Opus, SaveFormat::Mp3}) {
    ChooseFormat(chosen, format);
    ASSERT_EQ(SaveSettings(chosen, Path), 0);
    EXPECT_EQ(Load(), chosen) << static_cast<int>(format);
  }

  // Not exactly one format: MP3, as between WAV and MP3 alone.
  Write("[Save Format]\nWav=0\nMP3=0\nFlac=1\nOpus=1\n");
  EXPECT_EQ(ChosenFormat(Load()), SaveFormat::Mp3);
  Write("[Save Format]\nFlac=1\n");  // MP3 missing reads true
  EXPECT_EQ(ChosenFormat(Load()), SaveFormat::Mp3);
  Write("[Save Format]\nMP3=0\nOpus=7\n");
  s = Load();
  EXPECT_TRUE(s.SaveOpus && !s.SaveWav && !s.SaveMp3 && !s.SaveFlac);
}

TEST_F(SettingsFile, ExportOptionsOutsideTheirListsOrOrderFallBackToTheDefaults) {
  for (const char* text :
       {"[FLAC]\nSamplePerSecond=48000\nBitPerSample=24\nChannels=3\nCompression=9\n"
        "[Opus]\nBitRate=100\nChannels=0\n",
        "[FLAC]\nCompression=-1\n[Opus]\nBitRate=abc\n",
        "[Save Format]\nMinBitRate=320\nMaxBitRate=32\n"}) {
    Write(text);
    EXPECT_EQ(Load(), Settings{}) << text;
  }
  Write("[FLAC]\nCompression=8\n[Opus]\nBitRate=256\n");  // the ends of the ranges
  EXPECT_EQ(Load(), (Settings{.FlacCompression = 8, .OpusBitRate = 256}));
  Write("[Save Format]\nMinBitRate=128\nMaxBitRate=128\n");  // one rate for every frame
  EXPECT_EQ(Load(), (Settings{.MinBitRate = 128, .MaxBitRate = 128}));
}

TEST_F(SettingsFile, SavingCreatesTheFileWithEveryKeyInOrder) {
  Settings s;
  s.SaveWav = true;
  s.SaveMp3 = false;
  s.SamplePerSecond = 22050;
  s.BitPerSample = 8;
  s.Channels = 1;
  s.BitRate = 192;
  s.Mode = 1;
  s.VBR = true;
  s.MinBitRate = 64;
  s.MaxBitRate = 256;
  s.VBRQuality = 4;
  s.Copyright = true;
  s.OutputFolder = "/home/tester/Music";
  s.RecordingModeIndex = 3;
  s.WindowColor = 2;
  s.RecordingSource = "alsa_output.pci.analog-stereo.monitor";
  s.MinimizeToTray = true;
  ASSERT_EQ(SaveSettings(s, Path), 0);
  EXPECT_EQ(Read(),
            "[Save Format]\n"
            "Wav=1\n"
            "SamplePerSecond=22050\n"
            "BitPerSample=8\n"
            "Channels=1\n"
            "MP3=0\n"
            "BitRate=192\n"
            "Mode=1\n"
            "VBR=1\n"
            "MinBitRate=64\n"
            "MaxBitRate=256\n"
            "VBRQuality=4\n"
            "Copyright=1\n"
            "Original=0\n"
            "Private=0\n"
            "Flac=0\n"
            "Opus=0\n"
            "\n"
            "\n"
            "[Output Folder]\n"
            "Name=/home/tester/Music\n"
            "\n"
            "\n"
            "[Recording Mode]\n"
            "Index=3\n"
            "\n"
            "\n"
            "[Window Colors]\n"
            "Color=2\n"
            "\n"
            "\n"
            "[FLAC]\n"
            "SamplePerSecond=44100\n"
            "BitPerSample=16\n"
            "Channels=2\n"
            "Compression=5\n"
            "\n"
            "\n"
            "[Opus]\n"
            "BitRate=96\n"
            "Channels=2\n"
            "\n"
            "\n"
            "[Recording Source]\n"
            "Name=alsa_output.pci.analog-stereo.monitor\n"
            "Second=\n"
            "Pairing=0\n"
            "FirstLevel=0\n"
            "SecondLevel=0\n"
            "\n"
            "\n"
            "[Timer]\n"
            "Armed=0\n"
            "Start=25200\n"
            "Stop=1\n"
            "Duration=3600\n"
            "StopAt=28800\n"
            "Daily=0\n"
            "LastRunDay=-1\n"
            "\n"
            "\n"
            "[Sound Activation]\n"
            "On=0\n"
            "Threshold=-40\n"
            "PreRollMs=2000\n"
            "HangoverMs=3000\n"
            "Silence=0\n"
            "\n"
            "\n"
            "[Window]\n"
            "MinimizeToTray=1\n");

  EXPECT_EQ(Load().OutputFolder, "/home/tester/Music");
  EXPECT_TRUE(Load().MinimizeToTray);
  EXPECT_EQ(Load().RecordingSource, "alsa_output.pci.analog-stereo.monitor");
}

// A timer or trigger that the dialog would refuse reads as off, with its defaults.
TEST_F(SettingsFile, BrokenTimerAndSoundActivationValuesReadAsOff) {
  const struct {
    const char* Text;
    bool TimerArmed;
    bool SoundOn;
  } cases[] = {
      {"[Timer]\nArmed=1\nStart=3600\nStop=2\nStopAt=7200\n[Sound Activation]\nOn=1\n", true, true},
      {"[Timer]\nArmed=1\nStart=3600\nStop=2\nStopAt=3600\n", false, false},  // stop = start
      {"[Timer]\nArmed=1\nStop=1\nDuration=0\n", false, false},
      {"[Timer]\nArmed=1\nStop=1\nDuration=36001\n", false, false},
      {"[Timer]\nArmed=1\nStop=7\n", false, false},
      {"[Timer]\nArmed=1\nStart=86400\n", false, false},
      {"[Sound Activation]\nOn=1\nThreshold=-61\n", false, false},
      {"[Sound Activation]\nOn=1\nHangoverMs=100\n", false, false},
      {"[Sound Activation]\nOn=1\nSilence=2\n", false, false},
      // Not read as a number: the default (07:00, -40 dBFS) must not stand in.
      {"[Timer]\nArmed=1\nStart=abc\n", false, false},
      {"[Timer]\nArmed=1\nStart=12345678901234567890123\n", false, false},
      {"[Timer]\nArmed=1\nStop=2\nStopAt=4294974496\n", false, false},  // 7200 + 2^32
      {"[Sound Activation]\nOn=1\nThreshold=loud\n", false, false},
      {"[Timer]\nArmed=1\nLastRunDay=x\n[Sound Activation]\nOn=1\n", true, true},
  };
  for (const auto& c : cases) {
    Write(c.Text);
    const Settings s = Load();
    EXPECT_EQ(s.TimerArmed, c.TimerArmed) << c.Text;
    EXPECT_EQ(s.SoundActivated, c.SoundOn) << c.Text;
  }
}

TEST_F(SettingsFile, SavingKeepsForeignSectionsAndKeys) {
  Write(
      "; written by hand\n"
      "[Window Colors]\n"
      "Color=3\n"
      "Gradient=yes\n"
      "[Plugins]\n"
      "Path=/opt/x\n");
  Settings s;
  s.WindowColor = 4;
  ASSERT_EQ(SaveSettings(s, Path), 0);
  const std::string text = Read();
  for (const char* line :
       {"[Save Format]\n", "[Output Folder]\n", "[Recording Mode]\n", "[Window Colors]\n",
        "Color=4\n", "Gradient=yes\n", "[Plugins]\n", "Path=/opt/x\n", "; written by hand\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " missing from\n" << text;
  }
  EXPECT_EQ(text.find("Color=3"), std::string::npos) << text;
  EXPECT_LT(text.find("[Window Colors]"), text.find("[Plugins]")) << "sections stay in place";
}

TEST_F(SettingsFile, AFolderNameWithALineBreakCannotInjectKeys) {
  Settings s;
  s.OutputFolder = "/home/tester/a\n[Window Colors]\nColor=9";
  s.WindowColor = 2;
  s.RecordingSource = "alsa_output.pci.analog-stereo.monitor";
  s.MinimizeToTray = true;
  ASSERT_EQ(SaveSettings(s, Path), 0);
  const Settings back = Load();
  EXPECT_EQ(back.OutputFolder, "") << "start-up replaces it with the home folder";
  EXPECT_EQ(back.WindowColor, 2);
}

TEST_F(SettingsFile, AnUnwritablePathReportsTheErrorAndWritesNothing) {
  std::ofstream(Root / "plain") << "x";
  EXPECT_EQ(SaveSettings(Settings{}, (Root / "plain" / "x.INI").string()), ENOTDIR);
  EXPECT_EQ(SaveSettings(Settings{}, (Root / "missing" / "x.INI").string()), ENOENT);
  EXPECT_FALSE(fs::exists(Root / "missing"));
  EXPECT_NE(SaveSettings(Settings{}, Root.string()), 0) << "a folder is not a settings file";
}

TEST_F(SettingsFile, AFullDiskLeavesTheOldFileWholeAndSaysSo) {
  const testing::SmallFileSystem disk(Root / "disk", 64);
  if (!disk.Mounted()) GTEST_SKIP() << "no small file system can be mounted here";
  const std::string path = (disk.Path() / "tavrin-recorder.INI").string();
  Settings s;
  s.OutputFolder = "/music/takes";
  ASSERT_EQ(SaveSettings(s, path), 0);
  const std::string before = Read(path);
  ASSERT_EQ(disk.Fill(), ENOSPC);

  s.OutputFolder = "/music/" + std::string(6000, 'x');
  s.WindowColor = 4;
  EXPECT_EQ(SaveSettings(s, path), ENOSPC);
  EXPECT_EQ(Read(path), before);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(disk.Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"filler", "tavrin-recorder.INI"}))
      << "no half-written file is left beside it";
}

TEST_F(SettingsFile, TheReplacedFileKeepsItsPermissionsAndItsLink) {
  Write("[Mine]\nKey=1\n");
  fs::permissions(Path, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = Root / "link.INI";
  fs::create_symlink(Path, link);
  Settings s;
  s.WindowColor = 3;
  ASSERT_EQ(SaveSettings(s, link.string()), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Load().WindowColor, 3) << "written through the link";
  EXPECT_NE(Read().find("[Mine]\nKey=1\n"), std::string::npos);
  EXPECT_EQ(fs::status(Path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(SettingsFilePath, ReplacesOrAppendsTheExtension) {
  EXPECT_EQ(SettingsFilePath("/opt/tavrin/tavrin-recorder"), "/opt/tavrin/tavrin-recorder.INI");
  EXPECT_EQ(SettingsFilePath("/opt/tavrin/Recorder.exe"), "/opt/tavrin/Recorder.INI");
  EXPECT_EQ(SettingsFilePath("/opt/tavrin/rec.v2.bin"), "/opt/tavrin/rec.v2.INI");
  EXPECT_EQ(SettingsFilePath("/opt/tavrin-1.0/recorder"), "/opt/tavrin-1.0/recorder.INI");
  EXPECT_EQ(SettingsFilePath("/home/u/.recorder"), "/home/u/.recorder.INI");
  EXPECT_EQ(SettingsFilePath("recorder.sh"), "recorder.INI");
}

TEST(ColorSchemes, OnlySilverIsLightEnoughForDarkText) {
  for (int scheme = 1; scheme <= 4; ++scheme) {
    const WindowColors colors = ColorsForScheme(scheme);
    EXPECT_EQ(colors.TextColor, 0xF0F0F0u) << scheme;
    EXPECT_EQ(colors.GridColor, 0xC0C0C0u) << scheme;
    EXPECT_EQ(colors.Series1Color, 0x00FFFFu) << "yellow, scheme " << scheme;
    EXPECT_EQ(colors.Series2Color, 0xEBEBEBu) << scheme;
  }
  const WindowColors silver = ColorsForScheme(5);
  EXPECT_EQ(silver.BaseColor, 0xB4AAAAu);
  EXPECT_EQ(silver.TextColor, 0x000000u);
  EXPECT_EQ(silver.GridColor, 0x503030u);
  EXPECT_EQ(silver.Series1Color, 0x000096u) << "dark red";
  EXPECT_EQ(silver.Series2Color, 0x960000u) << "dark blue";
}

TEST(ColorSchemes, UnknownSchemeNumbersMeanSchemeOne) {
  EXPECT_EQ(ColorsForScheme(0).BaseColor, 0xB48C78u);
  EXPECT_EQ(ColorsForScheme(6).BaseColor, 0xB48C78u);
  EXPECT_EQ(ColorsForScheme(-1).BaseColor, 0xB48C78u);
}

TEST(ColorSchemes, BevelRingsDarkenByTheStepAndWrapInEightBits) {
  const WindowColors blueGrey = ColorsForScheme(1);  // 120, 140, 180
  EXPECT_EQ(BevelRing(blueGrey, 14), blueGrey.BaseColor);
  EXPECT_EQ(BevelRing(blueGrey, 1), 0x663E2Au) << "42, 62, 102";
  EXPECT_EQ(BevelRing(blueGrey, 13), 0xAE8672u) << "114, 134, 174";

  WindowColors dark = blueGrey;
  dark.BaseColor = 0x641E0A;  // 10, 30, 100
  EXPECT_EQ(BevelRing(dark, 1), 0x16D0BCu) << "10-78 and 30-78 wrap to 188 and 208";
  EXPECT_EQ(Shift(0x000000, -1), 0xFFFFFFu);
  EXPECT_EQ(Shift(0xFFFFFF, 1), 0x000000u);
  EXPECT_EQ(Shift(0x1E1E1E, -30), 0x000000u);
}

}  // namespace
}  // namespace tavrin::settings
