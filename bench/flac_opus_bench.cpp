// FLAC and Opus export of the 10-minute bench take against the reference
// command-line encoders on the same audio as a WAV file, same run: our FLAC
// save at level 5 against `flac -5`, our Opus save at 96 kbps against
// `opusenc --bitrate 96`, and the FLAC file's size over the WAV file's. Best of
// 3 after one warm-up run each; outputs removed and dirty pages flushed before
// every run, outside the timing.
// Usage: flac_opus_bench <scratch folder>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_run.h"
#include "bench_take.h"
#include "editor/edit_document.h"
#include "export/flac_writer.h"
#include "export/opus_writer.h"
#include "export/wav_writer.h"

namespace {

using namespace tavrin;

std::int64_t FileBytes(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

double BestOfThree(const std::string& output, const std::function<bool()>& run) {
  return bench::BestOf(
      3, [&] { ::unlink(output.c_str()); }, run);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: flac_opus_bench <scratch folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string take = folder + "/in.raw";
  const std::string wav = folder + "/in.wav";
  const std::string ours = folder + "/ours";
  const std::string theirs = folder + "/theirs";
  if (!bench::MakeBenchTake(take)) {
    std::fprintf(stderr, "flac_opus_bench: cannot write %s\n", take.c_str());
    return 1;
  }

  capture::RecorderState state;
  state.AllocateCaptureMemory();
  if (state.RawStream.OpenExisting(take) != 0) return 1;
  state.TakeLength = bench::kBenchTakeBuffers;
  editor::EditDocument document;
  editor::BuildLevelZero(document, state);
  settings::Settings settings;
  exporter::SaveJob job;
  job.SaveFirst = 1;
  job.SaveLast = bench::kBenchTakeBuffers;
  exporter::ExportContext context{
      settings,
      document,
      state,
      job,
      [] {},
      [](const std::string& text) { std::fprintf(stderr, "flac_opus_bench: %s\n", text.c_str()); }};
  const auto save = [&](const std::string& path, auto writer) {
    job.OutputPath = path;
    job.SaveActive = true;
    return writer(context) == exporter::WriteResult::Written;
  };

  // The reference encoders read the same audio as a WAV file (44100 Hz, 16 bit, stereo).
  if (!save(wav, exporter::WriteWav)) return 1;
  settings.FlacCompression = 5;
  settings.OpusBitRate = 96;
  const double flacOurs = BestOfThree(ours, [&] { return save(ours, exporter::WriteFlac); });
  const std::int64_t flacBytes = FileBytes(ours);
  const double flacTheirs = BestOfThree(theirs, [&] {
    return bench::RunProgram({"flac", "-5", "-s", "-f", "-o", theirs, wav});
  });
  const double opusOurs = BestOfThree(ours, [&] { return save(ours, exporter::WriteOpus); });
  const double opusTheirs = BestOfThree(theirs, [&] {
    return bench::RunProgram({"opusenc", "--quiet", "--bitrate", "96", wav, theirs});
  });
  const std::int64_t wavBytes = FileBytes(wav);
  for (const std::string& path : {take, wav, ours, theirs}) ::unlink(path.c_str());
  if (flacOurs < 0 || flacTheirs < 0 || opusOurs < 0 || opusTheirs < 0 || flacBytes <= 0) {
    std::fprintf(stderr, "flac_opus_bench: a run failed\n");
    return 1;
  }
  std::printf("flac_export_seconds: %.3f s\n", flacOurs);
  std::printf("flac_command_seconds: %.3f s\n", flacTheirs);
  std::printf("flac_export_vs_flac: %.3f\n", flacOurs / flacTheirs);
  std::printf("flac_size_vs_wav: %.3f\n",
              static_cast<double>(flacBytes) / static_cast<double>(wavBytes));
  std::printf("opus_export_seconds: %.3f s\n", opusOurs);
  std::printf("opusenc_seconds: %.3f s\n", opusTheirs);
  std::printf("opus_export_vs_opusenc: %.3f\n", opusOurs / opusTheirs);
  return 0;
}
