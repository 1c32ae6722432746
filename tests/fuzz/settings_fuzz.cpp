// The settings loader on any file: no crash, the values the program relies on
// are always mended into range, and what it loaded survives a save into the
// same file (unknown sections and keys kept) and a second load unchanged.

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "base/recording_modes.h"
#include "fuzz_support.h"
#include "settings/color_schemes.h"
#include "settings/settings.h"

namespace {

using tavrin::settings::Settings;

bool InList(int value, std::initializer_list<int> list) {
  return std::find(list.begin(), list.end(), value) != list.end();
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
  FUZZ_CHECK(loaded.SaveWav + loaded.SaveMp3 + loaded.SaveFlac + loaded.SaveOpus == 1);
  FUZZ_CHECK(InList(loaded.FlacSamplePerSecond, {44100, 22050, 11025}) &&
             InList(loaded.FlacBitPerSample, {16, 8}) && InList(loaded.FlacChannels, {2, 1}) &&
             loaded.FlacCompression >= 0 && loaded.FlacCompression <= 8 &&
             InList(loaded.OpusChannels, {2, 1}));
  const auto& rates = tavrin::settings::kOpusBitRates;
  FUZZ_CHECK(std::find(rates.begin(), rates.end(), loaded.OpusBitRate) != rates.end());

  // A file the INI layer cannot take is left alone and reported; otherwise
  // the saved file must read back as it was saved.
  if (tavrin::settings::SaveSettings(loaded, path) != 0) return 0;
  Settings reloaded;
  tavrin::settings::LoadSettings(reloaded, path);
  FUZZ_CHECK(loaded == reloaded);
  return 0;
}
