// CBR 128 kbps stereo export of the 10-minute benchmark take through the MP3
// writer and the encoder library beside this program, against the lame
// command-line encoder on the same raw file with the same quality; best of 3.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_take.h"
#include "export/mp3_writer.h"

using namespace tavrin;

namespace {

constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string ProgramFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

}  // namespace

int main() {
  char pattern[] = "/tmp/tavrin-mp3-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string folder = pattern;
  const std::string takePath = folder + "/take.raw";
  if (!bench::MakeBenchTake(takePath)) {
    std::fprintf(stderr, "mp3_bench: cannot write %s\n", takePath.c_str());
    return 1;
  }

  settings::Settings settings;
  settings.SaveMp3 = true;
  settings.BitRate = 128;
  settings.Mode = 0;
  settings.VBR = false;
  auto document = std::make_unique<tavrin::document::EditDocument>();
  tavrin::document::SetLevelRows(*document, 0, {{1, bench::kBenchTakeBuffers, 1, true}});
  document->CurrentLevel = 0;
  capture::RecorderState state;
  if (state.Take.RawStream.OpenExisting(takePath) != 0) return 1;
  exporter::SaveJob job;
  job.SaveFirst = 1;
  job.SaveLast = bench::kBenchTakeBuffers;
  job.OutputPath = folder + "/ours.mp3";
  bool failed = false;
  exporter::ExportContext context{
      settings, *document, state, job, {[&failed](const std::string& text) {
        std::fprintf(stderr, "mp3_bench: %s\n", text.c_str());
        failed = true;
      }}};
  const std::vector<std::string> candidates = {ProgramFolder() + "/lame_enc.so"};

  double ours = 1e9;
  double lame = 1e9;
  const std::string command = "lame --quiet -r -s 44.1 -m s -b 128 -q 2 " + takePath + " " +
                              folder + "/lame.mp3 2>/dev/null";
  for (int round = 0; round < kRounds && !failed; ++round) {
    job.SaveActive = true;
    auto start = std::chrono::steady_clock::now();
    if (exporter::WriteMp3(context, candidates) != exporter::WriteResult::Written) failed = true;
    ours = std::min(ours, Seconds(start));

    start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "mp3_bench: lame failed\n");
      failed = true;
    }
    lame = std::min(lame, Seconds(start));
  }
  std::filesystem::remove_all(folder);
  if (failed) return 1;
  std::printf("mp3_export_vs_lame: %.3f\n", ours / lame);
  std::printf("mp3_export_seconds: %.2f s\n", ours);
  std::printf("lame_seconds: %.2f s\n", lame);
  return 0;
}
