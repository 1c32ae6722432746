#include "settings/settings.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "base/file.h"
#include "base/recording_modes.h"
#include "settings/color_schemes.h"

namespace tavrin::settings {

namespace {

constexpr const char* kSaveFormat = "Save Format";
constexpr const char* kOutputFolder = "Output Folder";
constexpr const char* kRecordingMode = "Recording Mode";
constexpr const char* kWindowColors = "Window Colors";
constexpr const char* kFlac = "FLAC";
constexpr const char* kOpus = "Opus";
constexpr const char* kRecordingSource = "Recording Source";
constexpr const char* kTimer = "Timer";
constexpr const char* kSoundActivation = "Sound Activation";
constexpr const char* kWindow = "Window";

// A key of the file and the field it keeps.
struct Key {
  const char* Section;
  const char* Name;
  std::variant<bool Settings::*, std::int32_t Settings::*, std::uint16_t Settings::*,
               std::string Settings::*>
      Field;
};

// Every key, in the order a new file lists them.
const Key kKeys[] = {
    {kSaveFormat, "Wav", &Settings::SaveWav},
    {kSaveFormat, "SamplePerSecond", &Settings::SamplePerSecond},
    {kSaveFormat, "BitPerSample", &Settings::BitPerSample},
    {kSaveFormat, "Channels", &Settings::Channels},
    {kSaveFormat, "MP3", &Settings::SaveMp3},
    {kSaveFormat, "BitRate", &Settings::BitRate},
    {kSaveFormat, "Mode", &Settings::Mode},
    {kSaveFormat, "VBR", &Settings::VBR},
    {kSaveFormat, "MinBitRate", &Settings::MinBitRate},
    {kSaveFormat, "MaxBitRate", &Settings::MaxBitRate},
    {kSaveFormat, "VBRQuality", &Settings::VBRQuality},
    {kSaveFormat, "Copyright", &Settings::Copyright},
    {kSaveFormat, "Original", &Settings::Original},
    {kSaveFormat, "Private", &Settings::Private},
    // A file written before FLAC and Opus existed has neither key: both read false.
    {kSaveFormat, "Flac", &Settings::SaveFlac},
    {kSaveFormat, "Opus", &Settings::SaveOpus},
    {kOutputFolder, "Name", &Settings::OutputFolder},
    {kRecordingMode, "Index", &Settings::RecordingModeIndex},
    {kWindowColors, "Color", &Settings::WindowColor},
    {kFlac, "SamplePerSecond", &Settings::FlacSamplePerSecond},
    {kFlac, "BitPerSample", &Settings::FlacBitPerSample},
    {kFlac, "Channels", &Settings::FlacChannels},
    {kFlac, "Compression", &Settings::FlacCompression},
    {kOpus, "BitRate", &Settings::OpusBitRate},
    {kOpus, "Channels", &Settings::OpusChannels},
    {kRecordingSource, "Name", &Settings::RecordingSource},
    {kRecordingSource, "Second", &Settings::SecondSource},
    {kRecordingSource, "Pairing", &Settings::SourcePairing},
    {kRecordingSource, "FirstLevel", &Settings::FirstSourceLevelDb},
    {kRecordingSource, "SecondLevel", &Settings::SecondSourceLevelDb},
    {kTimer, "Armed", &Settings::TimerArmed},
    {kTimer, "Start", &Settings::TimerStart},
    {kTimer, "Stop", &Settings::TimerStop},
    {kTimer, "Duration", &Settings::TimerDuration},
    {kTimer, "StopAt", &Settings::TimerStopAt},
    {kTimer, "Daily", &Settings::TimerDaily},
    {kTimer, "LastRunDay", &Settings::TimerLastRunDay},
    {kSoundActivation, "On", &Settings::SoundActivated},
    {kSoundActivation, "Threshold", &Settings::SoundThreshold},
    {kSoundActivation, "PreRollMs", &Settings::SoundPreRollMs},
    {kSoundActivation, "HangoverMs", &Settings::SoundHangoverMs},
    {kSoundActivation, "Silence", &Settings::SoundSilence},
    {kWindow, "MinimizeToTray", &Settings::MinimizeToTray},
};

// Optional blanks and sign, then the leading decimal digits ("12abc" is 12),
// as a private-profile integer read takes them. No digit, or more than fits in
// 64 bits: not a number.
std::optional<std::int64_t> LeadingInteger(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
  std::uint64_t magnitude = 0;
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;  // |INT64_MIN|
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    const auto digit = static_cast<std::uint64_t>(text[at] - '0');
    if (magnitude > (kLimit - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

class IniReader {
public:
  explicit IniReader(const CSimpleIniA& ini) : m_ini(ini) {}

  template <typename Int>
  Int Integer(const char* section, const char* key, Int fallback) const {
    const std::optional<std::int64_t> number = Number(section, key);
    // A number that does not fit the field keeps the default rather than wrapping.
    if (!number || *number < std::numeric_limits<Int>::min() ||
        *number > std::numeric_limits<Int>::max()) {
      return fallback;
    }
    return static_cast<Int>(*number);
  }

  // A value that is there but is no number `Value` holds (an integer field)
  // or no number at all (a flag): reading it gives the default instead.
  template <typename Value>
  bool Unreadable(const char* section, const char* key) const {
    if (m_ini.GetValue(section, key, nullptr) == nullptr) return false;
    const std::optional<std::int64_t> number = Number(section, key);
    if (!number) return true;
    if constexpr (std::is_same_v<Value, bool>) {
      return false;
    } else {
      return *number < std::numeric_limits<Value>::min() ||
             *number > std::numeric_limits<Value>::max();
    }
  }

  bool Boolean(const char* section, const char* key, bool fallback) const {
    const std::optional<std::int64_t> number = Number(section, key);
    return number ? *number != 0 : fallback;
  }

  std::optional<std::string> Text(const char* section, const char* key) const {
    const char* value = m_ini.GetValue(section, key, nullptr);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }

private:
  std::optional<std::int64_t> Number(const char* section, const char* key) const {
    const char* value = m_ini.GetValue(section, key, nullptr);
    return value == nullptr ? std::nullopt : LeadingInteger(value);
  }

  const CSimpleIniA& m_ini;
};

// The whole file into `text`; 0, or the errno of the failure.
int ReadWholeFile(const std::string& path, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  char chunk[4096];
  for (;;) {
    const ssize_t count = ::read(fd, chunk, sizeof chunk);
    if (count > 0) {
      text.append(chunk, static_cast<std::size_t>(count));
    } else if (count == 0) {
      break;
    } else if (errno != EINTR) {
      error = errno;
      break;
    }
  }
  ::close(fd);
  return error;
}

// Replaces the file with `text` as one step (see base::ReplacingFile).
// Returns 0, or the errno of the failure; the old file is then untouched.
int WriteWholeFile(const std::string& path, const std::string& text) {
  base::ReplacingFile file;
  int error = file.Create(path);
  if (error == 0) error = file.Append(text.data(), text.size());
  return error != 0 ? error : file.Finish();
}

template <typename Int, typename List>
Int OneOf(Int value, const List& allowed, Int fallback) {
  for (const std::int32_t item : allowed) {
    if (item == value) return value;
  }
  return fallback;
}

// The FLAC and Opus options were never written outside their lists, so a value
// outside them is a hand edit or a damaged file: the default stands in.
// A timer or trigger that could not be armed from the dialog reads as off,
// with every value of its section back to the default. So does one with a
// value that could not be read: its default would arm a plan nobody chose.
void MendTimerAndTrigger(Settings& s, bool timerUnreadable, bool triggerUnreadable) {
  const Settings defaults;
  if (timerUnreadable || s.TimerStop < 0 || s.TimerStop > 2 ||
      !schedule::PlanProblem(TimerPlanOf(s)).empty()) {
    StoreTimerPlan(s, TimerPlanOf(defaults));
    s.TimerArmed = false;
  }
  if (triggerUnreadable || s.SoundSilence < 0 || s.SoundSilence > 1 ||
      !schedule::TriggerProblem(TriggerOf(s)).empty()) {
    StoreTrigger(s, TriggerOf(defaults));
  }
}

void MendFlacAndOpus(Settings& s) {
  const Settings defaults;
  s.FlacSamplePerSecond =
      OneOf(s.FlacSamplePerSecond, std::array{44100, 22050, 11025}, defaults.FlacSamplePerSecond);
  s.FlacBitPerSample = OneOf(s.FlacBitPerSample, std::array{16, 8}, defaults.FlacBitPerSample);
  s.FlacChannels = OneOf(s.FlacChannels, std::array{2, 1}, defaults.FlacChannels);
  if (s.FlacCompression < 0 || s.FlacCompression > kMaxFlacCompression) {
    s.FlacCompression = defaults.FlacCompression;
  }
  s.OpusBitRate = OneOf(s.OpusBitRate, kOpusBitRates, defaults.OpusBitRate);
  s.OpusChannels = OneOf(s.OpusChannels, std::array{2, 1}, defaults.OpusChannels);
}

}  // namespace

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return found->pw_dir;
  }
  return "/";
}

SaveFormat ChosenFormat(const Settings& settings) {
  const int chosen = settings.SaveWav + settings.SaveMp3 + settings.SaveFlac + settings.SaveOpus;
  if (chosen != 1 || settings.SaveMp3) return SaveFormat::Mp3;
  if (settings.SaveWav) return SaveFormat::Wav;
  return settings.SaveFlac ? SaveFormat::Flac : SaveFormat::Opus;
}

void ChooseFormat(Settings& settings, SaveFormat format) {
  settings.SaveWav = format == SaveFormat::Wav;
  settings.SaveMp3 = format == SaveFormat::Mp3;
  settings.SaveFlac = format == SaveFormat::Flac;
  settings.SaveOpus = format == SaveFormat::Opus;
}

std::string SettingsFilePath(const std::string& executablePath) {
  const std::size_t slash = executablePath.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = executablePath.find_last_of('.');
  // A leading dot names a hidden file; it does not start an extension.
  if (dot != std::string::npos && dot > nameStart) return executablePath.substr(0, dot) + ".INI";
  return executablePath + ".INI";
}

void LoadSettings(Settings& settings, const std::string& path) {
  CSimpleIniA ini;
  std::string text;
  if (ReadWholeFile(path, text) == 0) ini.LoadData(text);

  const IniReader read(ini);
  const Settings defaults;
  Settings& s = settings;
  bool timerUnreadable = false, triggerUnreadable = false;
  for (const Key& key : kKeys) {
    std::visit(
        [&](auto field) {
          using Value = std::remove_reference_t<decltype(s.*field)>;
          if constexpr (!std::is_same_v<Value, std::string>) {
            // LastRunDay is the program's own note, not a choice of the dialog.
            if (key.Section == kTimer && std::string_view(key.Name) != "LastRunDay")
              timerUnreadable |= read.Unreadable<Value>(key.Section, key.Name);
            if (key.Section == kSoundActivation)
              triggerUnreadable |= read.Unreadable<Value>(key.Section, key.Name);
          }
          if constexpr (std::is_same_v<Value, std::string>) {
            // Present but empty stays empty: start-up replaces it with the home folder.
            s.*field = read.Text(key.Section, key.Name).value_or(defaults.*field);
          } else if constexpr (std::is_same_v<Value, bool>) {
            s.*field = read.Boolean(key.Section, key.Name, defaults.*field);
          } else {
            s.*field = read.Integer(key.Section, key.Name, defaults.*field);
          }
        },
        key.Field);
  }

  if (s.RecordingModeIndex < 0 || s.RecordingModeIndex >= base::kRecordingModeCount) {
    s.RecordingModeIndex = defaults.RecordingModeIndex;
  }
  s.WindowColor = ValidSchemeNumber(s.WindowColor);
  if (s.SourcePairing < 0 || s.SourcePairing > 1) s.SourcePairing = defaults.SourcePairing;
  for (std::int32_t* level : {&s.FirstSourceLevelDb, &s.SecondSourceLevelDb})
    *level = std::clamp(*level, kSourceLevelOff, kSourceLevelMax);
  ChooseFormat(s, ChosenFormat(s));
  MendFlacAndOpus(s);
  // Reversed bounds would have the encoder write every frame at the lower one.
  if (!VbrBoundsProblem(s.MinBitRate, s.MaxBitRate).empty()) {
    s.MinBitRate = defaults.MinBitRate;
    s.MaxBitRate = defaults.MaxBitRate;
  }
  MendTimerAndTrigger(s, timerUnreadable, triggerUnreadable);
}

const char* FormatExtension(SaveFormat format) {
  switch (format) {
  case SaveFormat::Wav: return "wav";
  case SaveFormat::Mp3: return "mp3";
  case SaveFormat::Flac: return "flac";
  case SaveFormat::Opus: return "opus";
  }
  return "mp3";
}

std::optional<SaveFormat> FormatOfPath(const std::string& path) {
  const std::size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const SaveFormat format :
       {SaveFormat::Wav, SaveFormat::Mp3, SaveFormat::Flac, SaveFormat::Opus}) {
    if (extension == FormatExtension(format)) return format;
  }
  return std::nullopt;
}

std::string VbrBoundsProblem(std::int32_t minBitRate, std::int32_t maxBitRate) {
  if (minBitRate > maxBitRate) return "The lowest VBR bit rate must not be above the highest.";
  return {};
}

schedule::TimerPlan TimerPlanOf(const Settings& settings) {
  schedule::TimerPlan plan;
  plan.Armed = settings.TimerArmed;
  plan.StartSecond = settings.TimerStart;
  plan.Stop = static_cast<schedule::StopKind>(settings.TimerStop);
  plan.DurationSeconds = settings.TimerDuration;
  plan.StopSecond = settings.TimerStopAt;
  plan.Daily = settings.TimerDaily;
  return plan;
}

void StoreTimerPlan(Settings& settings, const schedule::TimerPlan& plan) {
  settings.TimerArmed = plan.Armed;
  settings.TimerStart = plan.StartSecond;
  settings.TimerStop = static_cast<std::int32_t>(plan.Stop);
  settings.TimerDuration = plan.DurationSeconds;
  settings.TimerStopAt = plan.StopSecond;
  settings.TimerDaily = plan.Daily;
}

schedule::TriggerSettings TriggerOf(const Settings& settings) {
  schedule::TriggerSettings trigger;
  trigger.Enabled = settings.SoundActivated;
  trigger.ThresholdDb = settings.SoundThreshold;
  trigger.PreRollSeconds = settings.SoundPreRollMs / 1000.0;
  trigger.HangoverSeconds = settings.SoundHangoverMs / 1000.0;
  trigger.Silence =
      settings.SoundSilence == 1 ? schedule::SilenceAction::Split : schedule::SilenceAction::Pause;
  return trigger;
}

void StoreTrigger(Settings& settings, const schedule::TriggerSettings& trigger) {
  settings.SoundActivated = trigger.Enabled;
  settings.SoundThreshold = trigger.ThresholdDb;
  settings.SoundPreRollMs = static_cast<std::int32_t>(std::lround(trigger.PreRollSeconds * 1000));
  settings.SoundHangoverMs = static_cast<std::int32_t>(std::lround(trigger.HangoverSeconds * 1000));
  settings.SoundSilence = static_cast<std::int32_t>(trigger.Silence);
}

int SaveSettings(const Settings& settings, const std::string& path) {
  std::string text;
  // A file that exists but cannot be read is left alone: rewriting it would
  // drop the keys we do not know.
  if (const int error = ReadWholeFile(path, text); error != 0 && error != ENOENT) return error;

  CSimpleIniA ini;
  ini.SetSpaces(false);
  if (const SI_Error rc = ini.LoadData(text); rc < 0) return rc == SI_NOMEM ? ENOMEM : EIO;

  for (const Key& key : kKeys) {
    std::visit(
        [&](auto field) {
          const auto& value = settings.*field;
          if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string>) {
            // A line break would end the line early and inject keys; such a
            // folder is not kept, and start-up falls back to the home folder.
            const bool oneLine = value.find_first_of("\r\n") == std::string::npos;
            ini.SetValue(key.Section, key.Name, oneLine ? value.c_str() : "");
          } else {
            ini.SetValue(key.Section, key.Name, std::to_string(value).c_str());
          }
        },
        key.Field);
  }

  std::string output;
  if (const SI_Error rc = ini.Save(output); rc < 0) return rc == SI_NOMEM ? ENOMEM : EIO;
  return WriteWholeFile(path, output);
}

}  // namespace tavrin::settings
