// recovery_bench <scratch folder>: loading a 1-hour "test" without a peak file
// (every buffer measured, the peak file written) against cat of the same file
// to /dev/null, in the same run.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench_run.h"
#include "bench_take.h"
#include "recovery/test_take.h"

using namespace tavrin;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: recovery_bench <scratch folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string test = folder + "/test";
  constexpr std::uint32_t kHourBuffers = 36000;
  if (!bench::MakeBenchTake(test, kHourBuffers)) {
    std::fprintf(stderr, "recovery_bench: cannot write %s\n", test.c_str());
    return 1;
  }
  capture::RecorderState state;
  state.AllocateCaptureMemory();
  state.WorkFolder = folder;
  state.Take.RawPath = folder + "/Tavrin.raw";
  state.PeaksPath = folder + "/Tavrin.spv";
  float progress = 0;
  std::string error;
  const double rebuild = bench::BestOf(
      3, [&] { ::unlink(state.PeaksPath.c_str()); },
      [&] {
        recovery::TestTakeLoader loader;
        const bool loaded = loader.LoadTestTake(state, progress, {}, error);
        loader.RestoreRecorderTake(state);
        return loaded;
      });
  const double cat = bench::BestOf(3, {}, [&] {
    return bench::RunProgram({"sh", "-c", "cat \"$0\" >/dev/null", test});
  });
  ::unlink(state.PeaksPath.c_str());
  ::unlink(test.c_str());
  if (rebuild < 0 || cat < 0) {
    std::fprintf(stderr, "recovery_bench: a run failed %s\n", error.c_str());
    return 1;
  }
  std::printf("peak_rebuild_seconds: %.3f s\n", rebuild);
  std::printf("cat_seconds: %.3f s\n", cat);
  std::printf("peak_rebuild_vs_cat: %.3f\n", rebuild / cat);
  return 0;
}
