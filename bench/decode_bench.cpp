// Opening a sound file (decode, convert, write the work file, measure the
// peaks) against the reference command-line decoders on the same file, same
// run, all made from the 10-minute bench take: our FLAC save against
// `flac -d`, our 128 kbps MP3 save against `lame --decode`, and a 48 kHz WAV
// made by sox against sox's own conversion to 44100 Hz, and an AAC M4A made
// by the ffmpeg command line against `ffmpeg -i in.m4a -ar 44100 out.wav`
// (the second decoder, through FFmpeg's libraries, whose module is loaded by
// the first file that needs it: that loading, timed as the first opening of a
// 1 s M4A less its later ones, is added to the M4A's time). Best of 3 after one warm-up run each;
// outputs removed and dirty pages flushed outside the timing.
// Usage: decode_bench <scratch folder>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_export.h"
#include "decode/decode_to_take.h"
#include "export/flac_writer.h"
#include "export/mp3_writer.h"
#include "export/wav_writer.h"

namespace {

using namespace tavrin;

exporter::WriteResult WriteMp3Beside(exporter::ExportContext& context) {
  const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  return exporter::WriteMp3(context, {(folder / "lame_enc.so").string()});
}

// One opening of `path` into the work file `work`; the take is let go.
bool OpenOnce(const std::string& path, const std::string& work) {
  document::Take take;
  decode::OpenJob job;
  decode::OpenReport report;
  std::string message;
  const bool opened = decode::DecodeToTake(path, work, job, {}, take, report, message) ==
                      decode::OpenResult::Opened;
  if (!opened) std::fprintf(stderr, "decode_bench: %s\n", message.c_str());
  return opened;
}

// Best of 3 openings of `path` into a work file in `folder`.
double TimeOpening(const std::string& path, const std::string& folder) {
  const std::string work = folder + "/open.raw";
  return bench::BestOfThree(work, [&] { return OpenOnce(path, work); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_bench <scratch folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string wav = folder + "/in.wav";
  const std::string wav48 = folder + "/in48.wav";
  const std::string flac = folder + "/in.flac";
  const std::string mp3 = folder + "/in.mp3";
  const std::string m4a = folder + "/in.m4a";
  const std::string first = folder + "/first.m4a";
  const std::string theirs = folder + "/theirs.wav";
  bench::ExportRig rig("decode_bench");
  if (!rig.Open(folder)) return 1;
  rig.Settings.FlacCompression = 5;
  rig.Settings.BitRate = 128;
  rig.Settings.VBR = false;
  if (!rig.Save(wav, exporter::WriteWav) || !rig.Save(flac, exporter::WriteFlac) ||
      !rig.Save(mp3, WriteMp3Beside) || !bench::RunProgram({"sox", wav, "-r", "48000", wav48}) ||
      !bench::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", wav, "-c:a", "aac",
                          "-b:a", "128k", m4a}) ||
      !bench::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-t", "1", "-i", wav, "-c:a",
                          "aac", first})) {
    std::fprintf(stderr, "decode_bench: the files to open could not be made\n");
    return 1;
  }
  const double flacOurs = TimeOpening(flac, folder);
  const double flacTheirs = bench::BestOfThree(theirs, [&] {
    return bench::RunProgram({"flac", "-d", "-s", "-f", "-o", theirs, flac});
  });
  const double mp3Ours = TimeOpening(mp3, folder);
  const double mp3Theirs = bench::BestOfThree(theirs, [&] {
    return bench::RunProgram({"lame", "--quiet", "--decode", mp3, theirs});
  });
  const double wavOurs = TimeOpening(wav48, folder);
  const double wavTheirs = bench::BestOfThree(theirs, [&] {
    return bench::RunProgram({"sox", wav48, "-r", "44100", theirs});
  });
  // Nothing before has needed FFmpeg: this opening loads its module.
  const auto loadStart = std::chrono::steady_clock::now();
  const bool loaded = OpenOnce(first, folder + "/open.raw");
  const double firstOpen =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
  const double moduleLoad = loaded ? firstOpen - TimeOpening(first, folder) : -1.0;
  const double m4aOurs = loaded ? TimeOpening(m4a, folder) + moduleLoad : -1.0;
  const double m4aTheirs = bench::BestOfThree(theirs, [&] {
    return bench::RunProgram(
        {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", m4a, "-ar", "44100", theirs});
  });
  for (const std::string& path :
       {folder + "/in.raw", folder + "/open.raw", wav, wav48, flac, mp3, m4a, first, theirs}) {
    ::unlink(path.c_str());
  }
  if (flacOurs < 0 || flacTheirs < 0 || mp3Ours < 0 || mp3Theirs < 0 || wavOurs < 0 ||
      wavTheirs < 0 || m4aOurs < 0 || m4aTheirs < 0) {
    std::fprintf(stderr, "decode_bench: a run failed\n");
    return 1;
  }
  std::printf("open_flac_seconds: %.3f s\n", flacOurs);
  std::printf("flac_decode_seconds: %.3f s\n", flacTheirs);
  std::printf("open_flac_vs_flac_decode: %.3f\n", flacOurs / flacTheirs);
  std::printf("open_mp3_seconds: %.3f s\n", mp3Ours);
  std::printf("lame_decode_seconds: %.3f s\n", mp3Theirs);
  std::printf("open_mp3_vs_lame_decode: %.3f\n", mp3Ours / mp3Theirs);
  std::printf("open_48k_wav_seconds: %.3f s\n", wavOurs);
  std::printf("sox_rate_seconds: %.3f s\n", wavTheirs);
  std::printf("open_48k_wav_vs_sox: %.3f\n", wavOurs / wavTheirs);
  std::printf("ffmpeg_module_load_seconds: %.3f s\n", moduleLoad);
  std::printf("open_m4a_seconds: %.3f s\n", m4aOurs);
  std::printf("ffmpeg_decode_seconds: %.3f s\n", m4aTheirs);
  std::printf("open_m4a_vs_ffmpeg: %.3f\n", m4aOurs / m4aTheirs);
  return 0;
}
