// FLAC and Opus export of the 10-minute bench take against the reference
// command-line encoders on the same audio as a WAV file, same run: our FLAC
// save at level 5 (on every usable core, and on one thread) against `flac -5`,
// our Opus save at 96 kbps against `opusenc --bitrate 96`, and the FLAC file's
// size over the WAV file's. Best of 3 after one warm-up run each; outputs
// removed and dirty pages flushed before every run, outside the timing.
// Usage: flac_opus_bench <scratch folder>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench_export.h"
#include "export/flac_writer.h"
#include "export/opus_writer.h"
#include "export/save_threads.h"
#include "export/wav_writer.h"

int main(int argc, char** argv) {
  using namespace tavrin;
  using bench::BestOfThree;
  if (argc != 2) {
    std::fprintf(stderr, "usage: flac_opus_bench <scratch folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string wav = folder + "/in.wav";
  const std::string ours = folder + "/ours";
  const std::string theirs = folder + "/theirs";
  bench::ExportRig rig("flac_opus_bench");
  if (!rig.Open(folder)) return 1;
  settings::Settings& settings = rig.Settings;

  // The reference encoders read the same audio as a WAV file (44100 Hz, 16 bit, stereo).
  if (!rig.Save(wav, exporter::WriteWav)) return 1;
  settings.FlacCompression = 5;
  settings.OpusBitRate = 96;
  const unsigned flacThreads = exporter::SaveThreads(
      std::uint64_t{bench::kBenchTakeBuffers} * capture::kFramesPerBuffer, rig.Job.Threads);
  const double flacOurs = BestOfThree(ours, [&] { return rig.Save(ours, exporter::WriteFlac); });
  const std::int64_t flacBytes = bench::FileBytes(ours);
  rig.Job.Threads = 1;
  const double flacOneThread =
      BestOfThree(ours, [&] { return rig.Save(ours, exporter::WriteFlac); });
  rig.Job.Threads = 0;
  const double flacTheirs = BestOfThree(theirs, [&] {
    return bench::RunProgram({"flac", "-5", "-s", "-f", "-o", theirs, wav});
  });
  const double opusOurs = BestOfThree(ours, [&] { return rig.Save(ours, exporter::WriteOpus); });
  const double opusTheirs = BestOfThree(theirs, [&] {
    return bench::RunProgram({"opusenc", "--quiet", "--bitrate", "96", wav, theirs});
  });
  const std::int64_t wavBytes = bench::FileBytes(wav);
  for (const std::string& path : {folder + "/in.raw", wav, ours, theirs}) ::unlink(path.c_str());
  if (flacOurs < 0 || flacOneThread < 0 || flacTheirs < 0 || opusOurs < 0 || opusTheirs < 0 ||
      flacBytes <= 0) {
    std::fprintf(stderr, "flac_opus_bench: a run failed\n");
    return 1;
  }
  std::printf("flac_export_threads: %u\n", flacThreads);
  std::printf("flac_export_seconds: %.3f s\n", flacOurs);
  std::printf("flac_export_one_thread_seconds: %.3f s\n", flacOneThread);
  std::printf("flac_command_seconds: %.3f s\n", flacTheirs);
  std::printf("flac_export_vs_flac: %.3f\n", flacOurs / flacTheirs);
  std::printf("flac_size_vs_wav: %.3f\n",
              static_cast<double>(flacBytes) / static_cast<double>(wavBytes));
  std::printf("opus_export_seconds: %.3f s\n", opusOurs);
  std::printf("opusenc_seconds: %.3f s\n", opusTheirs);
  std::printf("opus_export_vs_opusenc: %.3f\n", opusOurs / opusTheirs);
  return 0;
}
