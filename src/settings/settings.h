#pragma once
// The user's lasting choices and the INI file beside the program that keeps
// them. Plain C++: no Qt here.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "schedule/sound_trigger.h"
#include "schedule/timer_schedule.h"

namespace tavrin::settings {

// $HOME, else the home folder of the user's account entry.
std::string HomeFolder();

// The Opus bit rates offered, in kbps.
inline constexpr std::array<int, 10> kOpusBitRates{16, 24, 32, 48, 64, 96, 128, 160, 192, 256};
inline constexpr std::int32_t kDefaultOpusBitRate = 96;
inline constexpr std::int32_t kDefaultFlacCompression = 5;
inline constexpr std::int32_t kMaxFlacCompression = 8;

struct Settings {
  bool SaveWav = false;
  std::int32_t SamplePerSecond = 44100;  // Hz
  std::uint16_t BitPerSample = 16;
  std::uint16_t Channels = 2;
  bool SaveMp3 = true;
  std::int32_t BitRate = 128;  // kbps
  std::int32_t Mode = 0;       // the encoder's channel mode: 0 stereo, 1 joint stereo, 3 mono
  bool VBR = false;
  std::int32_t MinBitRate = 32;   // kbps
  std::int32_t MaxBitRate = 320;  // kbps
  std::int32_t VBRQuality = 0;    // 0 better .. 8 faster
  bool Copyright = false;
  bool Original = false;
  bool Private = false;
  std::string OutputFolder = HomeFolder();
  std::int32_t RecordingModeIndex = 0;  // 0 continuous, 1..7 loop modes
  std::int32_t WindowColor = 1;         // colour scheme 1..5
  // FLAC and Opus, kept after the fields above so that every older record
  // initialised in order still means what it did.
  bool SaveFlac = false;
  std::int32_t FlacSamplePerSecond = 44100;                // Hz: 44100, 22050 or 11025
  std::uint16_t FlacBitPerSample = 16;                     // 16 or 8
  std::uint16_t FlacChannels = 2;                          // 2 or 1
  std::int32_t FlacCompression = kDefaultFlacCompression;  // 0 fastest .. 8 smallest
  bool SaveOpus = false;
  std::int32_t OpusBitRate = kDefaultOpusBitRate;  // kbps, one of kOpusBitRates
  std::uint16_t OpusChannels = 2;                  // 2 or 1
  // The sound server's stable name of the source to record from; empty (and
  // in a file written before the choice existed): the system's default.
  std::string RecordingSource{};
  // A second source recorded with the first (its stable name; empty: none),
  // how the two share the take (0 mixed, 1 side by side: the first left, the
  // second right) and each one's level in dB (kSourceLevelOff and below: silent).
  std::string SecondSource{};
  std::int32_t SourcePairing = 0;
  std::int32_t FirstSourceLevelDb = 0;
  std::int32_t SecondSourceLevelDb = 0;
  // The recording timer and sound activation, each in a section of its own;
  // a file without them reads as both off.
  bool TimerArmed = false;
  std::int32_t TimerStart = 7 * 60 * 60;  // seconds after local midnight
  std::int32_t TimerStop = 1;             // 0 by hand, 1 after the duration, 2 at a time
  std::int32_t TimerDuration = 60 * 60;   // seconds
  std::int32_t TimerStopAt = 8 * 60 * 60;
  bool TimerDaily = false;
  std::int32_t TimerLastRunDay = -1;  // local day (since 1970-01-01) of the last timed take
  bool SoundActivated = false;
  std::int32_t SoundThreshold = schedule::kDefaultThresholdDb;  // dBFS
  std::int32_t SoundPreRollMs = 2000;
  std::int32_t SoundHangoverMs = 3000;
  std::int32_t SoundSilence = 0;  // 0 pause, 1 a file per sound
  // Minimising the window hides it into the system tray (where there is one).
  bool MinimizeToTray = false;

  friend bool operator==(const Settings&, const Settings&) = default;
};

// A source's level in the pair: from silent (this and below) to +6 dB.
inline constexpr std::int32_t kSourceLevelOff = -60;
inline constexpr std::int32_t kSourceLevelMax = 6;

// In the order of the save-format dialog's pages.
enum class SaveFormat { Wav, Mp3, Flac, Opus };

// The format the flags choose; MP3 unless exactly one flag is set (LoadSettings
// mends the flags to that).
SaveFormat ChosenFormat(const Settings& settings);
// Sets exactly the flag of `format`.
void ChooseFormat(Settings& settings, SaveFormat format);
// A saved file's extension for `format` ("wav", "mp3", "flac", "opus"), and the
// format a file name's extension names (any case), if it is one of them.
const char* FormatExtension(SaveFormat format);
std::optional<SaveFormat> FormatOfPath(const std::string& path);

// Why an MP3 VBR lowest and highest bit rate (kbps) cannot be used together, or empty.
std::string VbrBoundsProblem(std::int32_t minBitRate, std::int32_t maxBitRate);

// The timer and the sound trigger as the settings hold them, and back.
schedule::TimerPlan TimerPlanOf(const Settings& settings);
void StoreTimerPlan(Settings& settings, const schedule::TimerPlan& plan);
schedule::TriggerSettings TriggerOf(const Settings& settings);
void StoreTrigger(Settings& settings, const schedule::TriggerSettings& trigger);

// The executable's path with its extension replaced by ".INI" (appended when
// the file name has none).
std::string SettingsFilePath(const std::string& executablePath);

// Fills every field from the file at `path`; a missing file, section or key or
// an unreadable number gives the field's default. Values the program cannot
// use are mended (scheme 1, continuous mode, MP3 when not exactly one format
// is chosen, the default for a FLAC or Opus option outside its list, both VBR
// bounds at their defaults when the lowest is above the highest, a timer or
// sound activation that could not be armed off with its defaults).
void LoadSettings(Settings& settings, const std::string& path);

// Writes every field, keeping the sections and keys of the file that it does
// not know. Returns 0, or the errno of the failure (EIO when none is known).
int SaveSettings(const Settings& settings, const std::string& path);

}  // namespace tavrin::settings
