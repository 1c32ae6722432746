// One full redraw of the editor's waveform picture, 1920 columns wide, on a
// 10-hour document of 100 segments from the take and the work file: at zoom
// 512 (the whole document in view) and at zoom 1. Only generated peak tables
// are read, as the view never reads audio. Prints the slower of the two
// median redraws.
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_run.h"
#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "editor/view/waveform_view.h"

using namespace tavrin;

namespace {

constexpr std::uint32_t kLength = capture::kTenHoursBuffers;
constexpr int kColumns = 1920;
constexpr int kRounds = 31;

// Left and right follow sines of their own rates.
void FillPeaks(document::PeakTable& table, std::size_t entries, double leftRate, double rightRate) {
  table.resize(entries);
  for (std::size_t i = 1; i < entries; ++i) {
    const double left = 30000.0 * std::abs(std::sin(static_cast<double>(i) * leftRate));
    const double right = 30000.0 * std::abs(std::sin(static_cast<double>(i) * rightRate));
    table[i] = {static_cast<std::int16_t>(left), static_cast<std::int16_t>(-left * 0.9),
                static_cast<std::int16_t>(right), static_cast<std::int16_t>(-right * 0.9)};
  }
}

double MedianRedrawMs(editor::WaveformView& view) {
  std::vector<double> times;
  for (int round = 0; round <= kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    view.DrawWaveform();
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    if (round > 0) times.push_back(elapsed.count());  // the first warms the caches
  }
  return bench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  capture::RecorderState state;
  state.Take.TakeLength = kLength;
  FillPeaks(state.Take.Peaks, kLength + 1, 0.0013, 0.0007);
  auto document = std::make_unique<editor::EditSession>();
  FillPeaks(document->WorkPeaks, kLength + 1, 0.0021, 0.0017);
  // 100 rows of 3600 buffers, every other one from the work file.
  std::vector<editor::Segment> rows;
  constexpr std::uint32_t kRowBuffers = kLength / editor::kRowCount;
  for (std::uint32_t row = 0; row < editor::kRowCount; ++row) {
    rows.push_back({1 + row * kRowBuffers, kRowBuffers, 1 + row * kRowBuffers, row % 2 == 0});
  }
  SetLevelRows(*document, 0, rows);
  document->LevelLength[0] = kLength;
  document->SelStart = 1000;
  document->SelEnd = 200000;
  document->CursorPos = 500;

  editor::WaveformView view(*document, state);
  view.SetColors(settings::ColorsForScheme(1));
  view.Layout(kColumns + 95, 1000, 26, 20, 17);

  view.ZoomIndex = 10;
  view.ViewOffset = 0;
  const double coarse = MedianRedrawMs(view);
  view.ZoomIndex = 1;
  view.ViewOffset = 150000;
  document->SelEnd = 150900;
  const double fine = MedianRedrawMs(view);
  std::printf("waveform_redraw_ms: %.2f ms\n", std::max(coarse, fine));
  return 0;
}
