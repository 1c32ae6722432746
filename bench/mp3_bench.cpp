// CBR 128 kbps and VBR (quality 0, 32 to 320 kbps) stereo exports of the
// 10-minute benchmark take through the MP3 writer on every usable core and the
// encoder library beside this program, against the lame command-line encoder
// on the same raw file with the same quality; best of 3. Then a sweep saved
// the same way and decoded by lame: how far the coding error at the worst
// join rises above the file's median.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "bench_take.h"
#include "export/mp3_pieces.h"
#include "export/mp3_writer.h"
#include "export/save_threads.h"

using namespace tavrin;

namespace {

constexpr int kRounds = 3;
constexpr std::uint32_t kSweepBuffers = 600;  // one minute
constexpr std::size_t kBlockFrames = 1152;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string ProgramFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// A save of a whole raw file as the program makes it.
struct Saver {
  settings::Settings Settings;
  std::unique_ptr<document::EditDocument> Document = std::make_unique<document::EditDocument>();
  capture::RecorderState State;
  exporter::SaveJob Job;
  bool Failed = false;

  bool Open(const std::string& take, std::uint32_t buffers) {
    document::SetLevelRows(*Document, 0, {{1, buffers, 1, true}});
    Document->CurrentLevel = 0;
    Job.SaveFirst = 1;
    Job.SaveLast = buffers;
    return State.Take.RawStream.OpenExisting(take) == 0;
  }
  bool Save(const std::string& path) {
    Job.OutputPath = path;
    Job.SaveActive = true;
    exporter::ExportContext context{
        Settings, *Document, State, Job, {[this](const std::string& text) {
          std::fprintf(stderr, "mp3_bench: %s\n", text.c_str());
          Failed = true;
        }}};
    return exporter::WriteMp3(context, {ProgramFolder() + "/lame_enc.so"}) ==
           exporter::WriteResult::Written;
  }
};

// Best of kRounds of our save and of `lame` with `options`, as ours / theirs.
double Compare(Saver& saver, const std::string& folder, const std::string& take,
               const std::string& options, double& ours, double& lame) {
  ours = lame = 1e9;
  const std::string command = "lame --quiet -r -s 44.1 -m s " + options + " " + take + " " +
                              folder + "/lame.mp3 2>/dev/null";
  for (int round = 0; round < kRounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    if (!saver.Save(folder + "/ours.mp3")) return -1;
    ours = std::min(ours, Seconds(start));
    start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "mp3_bench: lame failed\n");
      return -1;
    }
    lame = std::min(lame, Seconds(start));
  }
  return ours / lame;
}

// An exponential sweep from 50 Hz to 12 kHz at half of full scale on both
// channels, written to `path`; its samples, or none when it cannot be written.
std::vector<std::int16_t> WriteSweep(const std::string& path, std::int64_t frames) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
  const double seconds = static_cast<double>(frames) / 44100.0;
  const double rise = std::log(12000.0 / 50.0);
  for (std::size_t n = 0; n < static_cast<std::size_t>(frames); ++n) {
    const double t = static_cast<double>(n) / 44100.0;
    const double phase =
        2 * std::numbers::pi * 50.0 * seconds / rise * (std::exp(t / seconds * rise) - 1);
    samples[n * 2] = samples[n * 2 + 1] =
        static_cast<std::int16_t>(std::lround(16384 * std::sin(phase)));
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * 2));
  return out ? samples : std::vector<std::int16_t>{};
}

// The 16-bit samples of a WAV file written by lame --decode.
std::vector<std::int16_t> WavSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    std::uint32_t size = 0;
    std::memcpy(&size, &bytes[at + 4], 4);
    if (std::memcmp(&bytes[at], "data", 4) == 0) {
      std::vector<std::int16_t> samples(std::min<std::size_t>(size, bytes.size() - at - 8) / 2);
      std::memcpy(samples.data(), &bytes[at + 8], samples.size() * 2);
      return samples;
    }
    at += 8 + size;
  }
  return {};
}

// dB of the error energy in each 1152-frame block of `decoded` against `source`.
std::vector<double> BlockErrorsDb(const std::vector<std::int16_t>& decoded,
                                  const std::vector<std::int16_t>& source) {
  std::vector<double> errors;
  const std::size_t samples = std::min(decoded.size(), source.size());
  for (std::size_t first = 0; first + 2 * kBlockFrames <= samples; first += 2 * kBlockFrames) {
    double energy = 1e-3;
    for (std::size_t i = first; i < first + 2 * kBlockFrames; ++i) {
      energy += std::pow(decoded[i] - source[i], 2.0);
    }
    errors.push_back(10 * std::log10(energy));
  }
  return errors;
}

// The largest error at a join above the file's median, in dB; NAN on failure.
double JoinErrorDb(Saver& saver, const std::string& folder, unsigned threads) {
  const std::string take = folder + "/sweep.raw";
  const std::int64_t frames = std::int64_t{kSweepBuffers} * 4410;
  const std::vector<std::int16_t> source = WriteSweep(take, frames);
  if (source.empty() || !saver.Open(take, kSweepBuffers) || !saver.Save(folder + "/sweep.mp3") ||
      std::system(
          ("lame --quiet --decode " + folder + "/sweep.mp3 " + folder + "/sweep.wav").c_str()) !=
          0) {
    return NAN;
  }
  const std::vector<double> errors = BlockErrorsDb(WavSamples(folder + "/sweep.wav"), source);
  if (errors.size() < 8) return NAN;
  // The first and last blocks hold the encoder's start and end.
  std::vector<double> sorted(errors.begin() + 2, errors.end() - 2);
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                   sorted.end());
  const double median = sorted[sorted.size() / 2];
  // A join's frames reach 576 frames before it and after it: the two blocks before it and its own.
  const auto pieceBlocks =
      static_cast<std::size_t>(exporter::Mp3PieceFrames(frames, threads)) / kBlockFrames;
  double worst = threads > 1 ? -1e9 : 0.0;
  for (std::size_t join = pieceBlocks; threads > 1 && join < errors.size(); join += pieceBlocks) {
    for (std::size_t block = join - 2; block <= join; ++block) {
      worst = std::max(worst, errors[block] - median);
    }
  }
  return worst;
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

  Saver saver;
  saver.Settings.SaveMp3 = true;
  saver.Settings.BitRate = 128;
  saver.Settings.Mode = 0;
  if (!saver.Open(takePath, bench::kBenchTakeBuffers)) return 1;
  const unsigned threads =
      exporter::SaveThreads(std::uint64_t{bench::kBenchTakeBuffers} * 4410, saver.Job.Threads);
  double ours = 0;
  double lame = 0;
  saver.Settings.VBR = false;
  const double cbr = Compare(saver, folder, takePath, "-b 128 -q 2", ours, lame);
  const double cbrOurs = ours;
  const double cbrLame = lame;
  saver.Settings.VBR = true;
  saver.Settings.VBRQuality = 0;
  saver.Settings.MinBitRate = 32;
  saver.Settings.MaxBitRate = 320;
  const double vbr = Compare(saver, folder, takePath, "-V 0 -b 32 -B 320 -q 2", ours, lame);
  saver.Settings.VBR = false;
  Saver sweepSaver;
  sweepSaver.Settings = saver.Settings;
  const double joinDb = JoinErrorDb(sweepSaver, folder, threads);
  std::filesystem::remove_all(folder);
  if (cbr < 0 || vbr < 0 || std::isnan(joinDb) || saver.Failed || sweepSaver.Failed) return 1;
  std::printf("mp3_export_threads: %u\n", threads);
  std::printf("mp3_export_vs_lame: %.3f\n", cbr);
  std::printf("mp3_export_seconds: %.2f s\n", cbrOurs);
  std::printf("lame_seconds: %.2f s\n", cbrLame);
  std::printf("mp3_vbr_export_vs_lame: %.3f\n", vbr);
  std::printf("mp3_vbr_export_seconds: %.2f s\n", ours);
  std::printf("lame_vbr_seconds: %.2f s\n", lame);
  std::printf("mp3_join_error_db: %.2f dB\n", joinDb);
  return 0;
}
