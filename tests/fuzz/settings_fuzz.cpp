// The settings loader on any file: no crash, the values the program relies on
// are always mended into range, and what it loaded survives a save into the
// same file (unknown sections and keys kept) and a second load unchanged.

#include <cstdint>

#include "base/recording_modes.h"
#include "fuzz_support.h"
#include "settings/color_schemes.h"
#include "settings/settings.h"

namespace {

using tavrin::settings::Settings;

bool SameSettings(const Settings& a, const Settings& b) {
  return a.SaveWav == b.SaveWav && a.SamplePerSecond == b.SamplePerSecond &&
         a.BitPerSample == b.BitPerSample && a.Channels == b.Channels && a.SaveMp3 == b.SaveMp3 &&
         a.BitRate == b.BitRate && a.Mode == b.Mode && a.VBR == b.VBR &&
         a.MinBitRate == b.MinBitRate && a.MaxBitRate == b.MaxBitRate &&
         a.VBRQuality == b.VBRQuality && a.Copyright == b.Copyright && a.Original == b.Original &&
         a.Private == b.Private && a.OutputFolder == b.OutputFolder &&
         a.RecordingModeIndex == b.RecordingModeIndex && a.WindowColor == b.WindowColor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tavrin::fuzz::Scratch().File("fuzz.INI");
  tavrin::fuzz::WriteFile(path, data, size);

  Settings loaded;
  tavrin::settings::LoadSettings(loaded, path);
  FUZZ_CHECK(loaded.RecordingModeIndex >= 0 &&
             loaded.RecordingModeIndex < tavrin::base::kRecordingModeCount);
  FUZZ_CHECK(tavrin::settings::ValidSchemeNumber(loaded.WindowColor) == loaded.WindowColor);
  FUZZ_CHECK(loaded.SaveWav != loaded.SaveMp3);

  // A file the INI layer cannot take is left alone and reported; otherwise
  // the saved file must read back as it was saved.
  if (tavrin::settings::SaveSettings(loaded, path) != 0) return 0;
  Settings reloaded;
  tavrin::settings::LoadSettings(reloaded, path);
  FUZZ_CHECK(SameSettings(loaded, reloaded));
  return 0;
}
