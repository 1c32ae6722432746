#include "settings/settings.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
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

// Where the text goes: through a symbolic link to the file it names, so that
// the replacement does not turn the link into a plain file.
std::string ReplacedPath(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) return path;
  const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
  return error ? path : target.string();
}

// Replaces the file with `text` as one step: the text is written to a new file
// beside it, flushed to the disk, and renamed over the old one, so a crash or a
// full disk leaves either the old file or the new one, never a cut one.
// Returns 0, or the errno of the failure; the old file is then untouched.
int WriteWholeFile(const std::string& path, const std::string& text) {
  const std::string target = ReplacedPath(path);
  const std::string temporary = target + "." + std::to_string(::getpid()) + ".new";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left by an earlier process of the same id that did not finish.
    ::unlink(temporary.c_str());
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) return errno;
  int error = base::WriteAll(fd, text.data(), text.size());
  // The file keeps the permissions it was given.
  struct stat old {};
  if (error == 0 && ::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
    error = errno;
  }
  // A full disk may only show when the data leaves the cache.
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  // The rename itself reaches the disk with the folder; failing that is not a
  // lost file (it stays old or new), so it is not reported.
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    static_cast<void>(::fsync(dir));
    static_cast<void>(::close(dir));
  }
  return 0;
}

void SetNumber(CSimpleIniA& ini, const char* section, const char* key, std::int64_t value) {
  ini.SetValue(section, key, std::to_string(value).c_str());
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
  s.SaveWav = read.Boolean(kSaveFormat, "Wav", defaults.SaveWav);
  s.SamplePerSecond = read.Integer(kSaveFormat, "SamplePerSecond", defaults.SamplePerSecond);
  s.BitPerSample = read.Integer(kSaveFormat, "BitPerSample", defaults.BitPerSample);
  s.Channels = read.Integer(kSaveFormat, "Channels", defaults.Channels);
  s.SaveMp3 = read.Boolean(kSaveFormat, "MP3", defaults.SaveMp3);
  s.BitRate = read.Integer(kSaveFormat, "BitRate", defaults.BitRate);
  s.Mode = read.Integer(kSaveFormat, "Mode", defaults.Mode);
  s.VBR = read.Boolean(kSaveFormat, "VBR", defaults.VBR);
  s.MinBitRate = read.Integer(kSaveFormat, "MinBitRate", defaults.MinBitRate);
  s.MaxBitRate = read.Integer(kSaveFormat, "MaxBitRate", defaults.MaxBitRate);
  s.VBRQuality = read.Integer(kSaveFormat, "VBRQuality", defaults.VBRQuality);
  s.Copyright = read.Boolean(kSaveFormat, "Copyright", defaults.Copyright);
  s.Original = read.Boolean(kSaveFormat, "Original", defaults.Original);
  s.Private = read.Boolean(kSaveFormat, "Private", defaults.Private);
  // Present but empty stays empty: start-up replaces it with the home folder.
  s.OutputFolder = read.Text(kOutputFolder, "Name").value_or(defaults.OutputFolder);
  s.RecordingModeIndex = read.Integer(kRecordingMode, "Index", defaults.RecordingModeIndex);
  s.WindowColor = read.Integer(kWindowColors, "Color", defaults.WindowColor);
  // A file written before FLAC and Opus existed has neither key: both read false.
  s.SaveFlac = read.Boolean(kSaveFormat, "Flac", defaults.SaveFlac);
  s.SaveOpus = read.Boolean(kSaveFormat, "Opus", defaults.SaveOpus);
  s.FlacSamplePerSecond = read.Integer(kFlac, "SamplePerSecond", defaults.FlacSamplePerSecond);
  s.FlacBitPerSample = read.Integer(kFlac, "BitPerSample", defaults.FlacBitPerSample);
  s.FlacChannels = read.Integer(kFlac, "Channels", defaults.FlacChannels);
  s.FlacCompression = read.Integer(kFlac, "Compression", defaults.FlacCompression);
  s.OpusBitRate = read.Integer(kOpus, "BitRate", defaults.OpusBitRate);
  s.OpusChannels = read.Integer(kOpus, "Channels", defaults.OpusChannels);

  if (s.RecordingModeIndex < 0 || s.RecordingModeIndex >= base::kRecordingModeCount) {
    s.RecordingModeIndex = defaults.RecordingModeIndex;
  }
  s.WindowColor = ValidSchemeNumber(s.WindowColor);
  ChooseFormat(s, ChosenFormat(s));
  MendFlacAndOpus(s);
}

int SaveSettings(const Settings& settings, const std::string& path) {
  std::string text;
  // A file that exists but cannot be read is left alone: rewriting it would
  // drop the keys we do not know.
  if (const int error = ReadWholeFile(path, text); error != 0 && error != ENOENT) return error;

  CSimpleIniA ini;
  ini.SetSpaces(false);
  if (const SI_Error rc = ini.LoadData(text); rc < 0) return rc == SI_NOMEM ? ENOMEM : EIO;

  const Settings& s = settings;
  SetNumber(ini, kSaveFormat, "Wav", s.SaveWav);
  SetNumber(ini, kSaveFormat, "SamplePerSecond", s.SamplePerSecond);
  SetNumber(ini, kSaveFormat, "BitPerSample", s.BitPerSample);
  SetNumber(ini, kSaveFormat, "Channels", s.Channels);
  SetNumber(ini, kSaveFormat, "MP3", s.SaveMp3);
  SetNumber(ini, kSaveFormat, "BitRate", s.BitRate);
  SetNumber(ini, kSaveFormat, "Mode", s.Mode);
  SetNumber(ini, kSaveFormat, "VBR", s.VBR);
  SetNumber(ini, kSaveFormat, "MinBitRate", s.MinBitRate);
  SetNumber(ini, kSaveFormat, "MaxBitRate", s.MaxBitRate);
  SetNumber(ini, kSaveFormat, "VBRQuality", s.VBRQuality);
  SetNumber(ini, kSaveFormat, "Copyright", s.Copyright);
  SetNumber(ini, kSaveFormat, "Original", s.Original);
  SetNumber(ini, kSaveFormat, "Private", s.Private);
  SetNumber(ini, kSaveFormat, "Flac", s.SaveFlac);
  SetNumber(ini, kSaveFormat, "Opus", s.SaveOpus);
  // A line break would end the line early and inject keys; such a folder is
  // not kept, and start-up falls back to the home folder.
  const bool oneLine = s.OutputFolder.find_first_of("\r\n") == std::string::npos;
  ini.SetValue(kOutputFolder, "Name", oneLine ? s.OutputFolder.c_str() : "");
  SetNumber(ini, kRecordingMode, "Index", s.RecordingModeIndex);
  SetNumber(ini, kWindowColors, "Color", s.WindowColor);
  SetNumber(ini, kFlac, "SamplePerSecond", s.FlacSamplePerSecond);
  SetNumber(ini, kFlac, "BitPerSample", s.FlacBitPerSample);
  SetNumber(ini, kFlac, "Channels", s.FlacChannels);
  SetNumber(ini, kFlac, "Compression", s.FlacCompression);
  SetNumber(ini, kOpus, "BitRate", s.OpusBitRate);
  SetNumber(ini, kOpus, "Channels", s.OpusChannels);

  std::string output;
  if (const SI_Error rc = ini.Save(output); rc < 0) return rc == SI_NOMEM ? ENOMEM : EIO;
  return WriteWholeFile(path, output);
}

}  // namespace tavrin::settings
