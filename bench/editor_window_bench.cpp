// The editor window on a 10-hour take (a sparse file with generated peak
// tables: nothing here reads audio): from the Edit command to the editor's
// first paint, and a Delete with the redraw and paint that follow it, in a window
// 1920 pixels wide. Medians of several runs, offscreen.
#include <QApplication>
#include <QPaintEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench_run.h"
#include "editor/window/edit_surface.h"
#include "editor/window/form_edit.h"
#include "export/form_progress.h"

using namespace tavrin;

namespace {

constexpr int kRounds = 9;

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("tavrin-editor-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);

  capture::RecorderState state;
  state.AllocateCaptureMemory();
  state.EditPath = (folder / "Edit.raw").string();
  state.ClipPath = (folder / "Clp.raw").string();
  const std::uint32_t length = capture::kTenHoursBuffers;
  if (state.Take.RawStream.Create((folder / "Tavrin.raw").string()) != 0 ||
      state.Take.RawStream.Truncate(std::int64_t{length} * capture::kBufferBytes) != 0) {
    std::fprintf(stderr, "editor_window_bench: cannot make the sparse take\n");
    return 1;
  }
  for (std::uint32_t b = 1; b < state.Take.Peaks.size(); ++b) {
    const auto level = static_cast<std::int16_t>(30000 * std::abs(std::sin(b * 0.0013)));
    state.Take.Peaks[b].MaxLeft = state.Take.Peaks[b].MaxRight = level;
    state.Take.Peaks[b].MinLeft = state.Take.Peaks[b].MinRight = static_cast<std::int16_t>(-level);
  }
  auto document = std::make_unique<editor::EditSession>();
  settings::Settings settings;
  exporter::TFormProgress progress;
  editor::EditorWindowServices services;
  services.State = &state;
  services.Document = document.get();
  services.Settings = &settings;
  services.Progress = &progress;
  services.User.ShowMessage = [](const std::string& text) {
    std::fprintf(stderr, "editor_window_bench: %s\n", text.c_str());
  };
  services.User.ProcessMessages = [] { QCoreApplication::processEvents(); };
  services.StartTimers = false;
  editor::TFormEdit form(services);
  form.resize(1920, 1000);
  PaintCounter counter;
  form.Surface().installEventFilter(&counter);

  std::vector<double> opens;
  std::vector<double> deletes;
  for (int round = 0; round <= kRounds; ++round) {
    state.Take.TakeLength = state.Take.FinishedRecordedBuffers = length;
    counter.Paints = 0;
    const auto start = std::chrono::steady_clock::now();
    form.show();
    form.FormShow();
    while (counter.Paints == 0) app.processEvents();
    if (round > 0) opens.push_back(Milliseconds(start));

    document->SelStart = length / 3;
    document->SelEnd = length / 3 + 600;
    counter.Paints = 0;
    const auto cut = std::chrono::steady_clock::now();
    form.menuDeleteClick();
    while (counter.Paints == 0) app.processEvents();
    if (round > 0) deletes.push_back(Milliseconds(cut));
    if (document->Length() != length - 601) {
      std::fprintf(stderr, "editor_window_bench: the Delete did not happen\n");
      return 1;
    }
    form.FormClose();
  }
  state.Take.RawStream.Close();
  std::filesystem::remove_all(folder);
  std::printf("editor_open_ms: %.1f ms\n", bench::Median(opens));
  std::printf("delete_redraw_ms: %.1f ms\n", bench::Median(deletes));
  return 0;
}
