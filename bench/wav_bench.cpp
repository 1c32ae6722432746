// WAV export of the 10-minute bench take against sox on the same input, same
// run: 44100 Hz 16-bit stereo (a copy behind a header) and 22050 Hz 8-bit mono
// (sample picking). Best of 3 after one warm-up run each; the output file is
// removed and dirty pages flushed before every run, outside the timing.
// Usage: wav_bench <scratch folder>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_export.h"
#include "export/wav_writer.h"

namespace {

using namespace tavrin;
using bench::BestOfThree;
using bench::FileBytes;

bool RunSox(std::vector<std::string> args) {
  args.insert(args.begin(), {"sox", "-V1"});  // failures only: no clipping warnings
  return bench::RunProgram(std::move(args));
}

struct Comparison {
  double Ours;
  double Sox;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wav_bench <scratch folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string take = folder + "/in.raw";
  const std::string ours = folder + "/ours.wav";
  const std::string theirs = folder + "/sox.wav";
  bench::ExportRig rig("wav_bench");
  if (!rig.Open(folder)) return 1;
  settings::Settings& settings = rig.Settings;

  auto compare = [&](std::int32_t rate, std::uint16_t bits, std::uint16_t channels,
                     std::int64_t dataBytes, const std::vector<std::string>& soxArgs) {
    settings.SamplePerSecond = rate;
    settings.BitPerSample = bits;
    settings.Channels = channels;
    Comparison result{};
    result.Ours = BestOfThree(ours, [&] {
      return rig.Save(ours, exporter::WriteWav) && FileBytes(ours) == dataBytes + 44;
    });
    result.Sox =
        BestOfThree(theirs, [&] { return RunSox(soxArgs) && FileBytes(theirs) == dataBytes + 44; });
    return result;
  };

  const std::int64_t buffers = bench::kBenchTakeBuffers;
  const std::vector<std::string> rawIn = {"-t", "raw", "-r", "44100", "-e", "signed",
                                          "-b", "16",  "-c", "2",     take};
  std::vector<std::string> soxCopy = rawIn;
  soxCopy.push_back(theirs);
  std::vector<std::string> soxPick = rawIn;
  soxPick.insert(soxPick.begin(), "-D");
  for (const char* arg : {"-r", "22050", "-b", "8"}) soxPick.push_back(arg);
  soxPick.push_back(theirs);
  for (const char* arg : {"remix", "1", "downsample", "2"}) soxPick.push_back(arg);

  const Comparison copy = compare(44100, 16, 2, buffers * 17640, soxCopy);
  const Comparison pick = compare(22050, 8, 1, buffers * 2205, soxPick);
  ::unlink(ours.c_str());
  ::unlink(theirs.c_str());
  if (copy.Ours < 0 || copy.Sox < 0 || pick.Ours < 0 || pick.Sox < 0) {
    std::fprintf(stderr, "wav_bench: a run failed or wrote a file of the wrong size\n");
    return 1;
  }
  std::printf("wav_export_seconds: %.3f s\n", copy.Ours);
  std::printf("sox_wav_seconds: %.3f s\n", copy.Sox);
  std::printf("wav_export_vs_sox: %.3f\n", copy.Ours / copy.Sox);
  std::printf("wav8_export_seconds: %.3f s\n", pick.Ours);
  std::printf("sox_wav8_seconds: %.3f s\n", pick.Sox);
  std::printf("wav8_export_vs_sox: %.3f\n", pick.Ours / pick.Sox);
  return 0;
}
