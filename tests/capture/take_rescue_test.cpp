// A take outliving a program that never closed: the run marker tells such a
// run from a normal close, the take's peaks are on disk as its audio is, and
// start-up keeps the take as "test", oldest audio first.
#include "capture/take_rescue.h"
#include "capture/peak_file.h"
#include "capture/run_marker.h"
#include "capture_test_support.h"

namespace tavrin::capture::testing {
namespace {

namespace fs = std::filesystem;

struct Peaks {
  std::int16_t MaxLeft, MinLeft, MaxRight, MinRight;
  bool operator==(const Peaks&) const = default;
};

std::vector<Peaks> ReadPeaks(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<Peaks> peaks(fs::file_size(path) / 8);
  in.read(reinterpret_cast<char*>(peaks.data()), static_cast<std::streamsize>(peaks.size() * 8));
  return peaks;
}

class TakeLeftByACrash : public CaptureFixture {
protected:
  void SetUp() override {
    CaptureFixture::SetUp();
    Aim(State);
    int error = 0;
    TakeOrder none;
    ASSERT_EQ(ClaimRunMarker(State, none, error), MarkerClaim::Claimed);
  }
  void Aim(RecorderState& state) const {
    state.WorkFolder = Folder.string();
    state.Take.RawPath = (Folder / "Tavrin.raw").string();
    state.PeaksPath = (Folder / "Tavrin.spv").string();
    state.TakePeaksPath = (Folder / "Tavrin.raw.spv").string();
    state.MarkerPath = (Folder / "Tavrin.run").string();
  }
  // The program dies: its descriptors close, its files stay.
  void Crash() {
    State.Marker.Close();
    State.Take.RawStream.Close();
    State.TakePeaksStream.Close();
  }
  // The next start (`Next` unless told): claims the marker and keeps what it finds.
  RescuedTake NextStart(TakeOrder& order) { return NextStart(Next, order); }
  RescuedTake NextStart(RecorderState& next, TakeOrder& order) const {
    next.AllocateCaptureMemory();
    Aim(next);
    int error = 0;
    EXPECT_EQ(ClaimRunMarker(next, order, error), MarkerClaim::LeftByOpenRun);
    return RescueLeftTake(next, order);
  }
  Peaks TablePeaks(std::uint32_t buffer) const {
    return {State.Take.Peaks[buffer].MaxLeft, State.Take.Peaks[buffer].MinLeft,
            State.Take.Peaks[buffer].MaxRight, State.Take.Peaks[buffer].MinRight};
  }
  RecorderState Next;
};

TEST_F(TakeLeftByACrash, LoopTakeInALaterPassComesBackOldestFirstWithItsPeaks) {
  ApplyLoopMode(State, 1);  // 3 minutes: 1800 buffers
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t first = Device.FramesProduced();
  for (int half = 0; half < 97; ++half) RunAndPoll(kFramesPerHalf);  // 7 halves into pass two
  // Peaks on disk while recording: every buffer written has them, in place.
  const std::vector<Peaks> onDisk = ReadPeaks(State.TakePeaksPath);
  ASSERT_EQ(onDisk.size(), 1800u);
  for (std::uint32_t k = 1; k <= 1800; ++k) ASSERT_EQ(onDisk[k - 1], TablePeaks(k)) << k;
  Crash();

  TakeOrder order;
  const RescuedTake kept = NextStart(order);
  EXPECT_TRUE(order.LoopMode && order.LoopWrapped);
  EXPECT_EQ(order.LastWritten, 140u);
  EXPECT_EQ(kept.KeptAs, (Folder / "test").string());
  EXPECT_FALSE(fs::exists(State.Take.RawPath));
  const std::uint64_t loopFrames = 1800ull * kFramesPerBuffer;
  const std::uint64_t end = first + 97 * kFramesPerHalf;
  State.Take.RawPath = kept.KeptAs;
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(end - loopFrames, loopFrames)), -1);
  const std::vector<Peaks> keptPeaks = ReadPeaks(Folder / "Tavrin.spv");
  ASSERT_EQ(keptPeaks.size(), 1800u);
  for (std::uint32_t k = 1; k <= 1800; ++k) {
    ASSERT_EQ(keptPeaks[k - 1], TablePeaks((k - 1 + 140) % 1800 + 1)) << k;
  }
}

TEST_F(TakeLeftByACrash, ContinuousTakeIsKeptAsTestAndALaterOneBesideIt) {
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t first = Device.FramesProduced();
  for (int half = 0; half < 3; ++half) RunAndPoll(kFramesPerHalf);
  Device.Advance(kFramesPerBuffer * 5);  // received, but no half of it written: not kept
  Crash();
  TakeOrder order;
  const RescuedTake kept = NextStart(order);
  EXPECT_FALSE(order.LoopMode);
  ASSERT_EQ(kept.KeptAs, (Folder / "test").string());
  EXPECT_NE(kept.Message.find("Open the sound editor"), std::string::npos);
  State.Take.RawPath = kept.KeptAs;
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(first, 3 * kFramesPerHalf)), -1);
  EXPECT_TRUE(ReadPeakFile(Next.Take.Peaks, Next.PeaksPath, 60));
  EXPECT_EQ(Next.Take.Peaks[60].MaxLeft, State.Take.Peaks[60].MaxLeft);

  // A second crash while that take still waits: the new one goes beside it.
  const auto testBytes = fs::file_size(kept.KeptAs);
  std::ofstream(Next.Take.RawPath, std::ios::binary) << std::string(kBufferBytes * 2, 'x');
  Next.Marker.Close();
  RecorderState third;
  TakeOrder secondOrder;
  const RescuedTake beside = NextStart(third, secondOrder);
  EXPECT_NE(beside.KeptAs, kept.KeptAs);
  EXPECT_EQ(fs::file_size(beside.KeptAs), 2u * kBufferBytes);
  EXPECT_NE(beside.Message.find(beside.KeptAs), std::string::npos);
  EXPECT_EQ(fs::file_size(kept.KeptAs), testBytes);
}

TEST_F(TakeLeftByACrash, SecondProgramIsRefusedAndANormalCloseLeavesNothingToKeep) {
  RecorderState second;
  Aim(second);
  TakeOrder order;
  int error = 0;
  EXPECT_EQ(ClaimRunMarker(second, order, error), MarkerClaim::HeldElsewhere);
  EXPECT_FALSE(second.Marker.IsOpen());
  ReleaseRunMarker(State);
  EXPECT_FALSE(fs::exists(State.MarkerPath));
  EXPECT_EQ(ClaimRunMarker(second, order, error), MarkerClaim::Claimed);
  // Nothing written by a take (or a damaged marker) reads as a take in file order.
  TakeOrder parsed{true, true, 7};
  EXPECT_FALSE(ParseTakeOrder("take loop=1 wrapped=2 last=5", parsed));
  EXPECT_FALSE(ParseTakeOrder("take loop=1 wrapped=1 last=", parsed));
  EXPECT_TRUE(ParseTakeOrder(FormatTakeOrder({true, false, 4294967295u}), parsed));
  EXPECT_EQ(parsed.LastWritten, 4294967295u);
}

}  // namespace
}  // namespace tavrin::capture::testing
