#pragma once
// A document of generated peak tables (no audio) and a view laid out for a
// chosen number of columns, for the waveform view's tests.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>

#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "editor/view/waveform_view.h"

namespace tavrin::editor::testing {

using Rgb = std::tuple<int, int, int>;

inline Rgb PixelAt(const QImage& image, int x, int y) {
  const QColor color = image.pixelColor(x, y);
  return {color.red(), color.green(), color.blue()};
}

// Scheme 1 (blue grey, bevel step 6) and what derives from it.
inline constexpr Rgb kBase{120, 140, 180};
inline constexpr Rgb kUnselectedBackground{190, 210, 250};  // base + 70
inline constexpr Rgb kSelectedBackground{80, 80, 110};
inline constexpr Rgb kWave{0, 0, 150};
inline constexpr Rgb kSelectedWave{80, 200, 80};
inline constexpr Rgb kMeterBackground{70, 90, 130};  // base - 50

// Window sizes giving h = 450: client height 575, file tool bar 26, status
// bar 20, scroll bar 17.
inline constexpr int kClientHeight = 575;
inline constexpr int kToolBar = 26;
inline constexpr int kStatusBar = 20;
inline constexpr int kScrollBar = 17;
inline constexpr int kH = 450;
inline constexpr int kL = 30;

struct ViewRig {
  // `length` buffers of the take, all peaks 0; level 0 is one segment.
  explicit ViewRig(std::uint32_t length, int columns = 700) {
    State.Take.TakeLength = length;
    State.Take.Peaks.assign(std::size_t{length} + 1, BufferPeaks{});
    BuildLevelZero(Document, length, length, false);
    View.ZoomIndex = 1;
    View.SetColors(settings::ColorsForScheme(1));
    Layout(columns);
  }

  const ViewGeometry& Layout(int columns) {
    return View.Layout(columns + 95, kClientHeight, kToolBar, kStatusBar, kScrollBar);
  }

  void SetPeaks(std::uint32_t buffer, std::int16_t maxLeft, std::int16_t minLeft,
                std::int16_t maxRight, std::int16_t minRight) {
    State.Take.Peaks[buffer] = {maxLeft, minLeft, maxRight, minRight};
  }

  void Select(std::uint32_t first, std::uint32_t last) {
    Document.SelStart = first;
    Document.SelEnd = last;
  }
  // (SelStart, SelEnd), to check both in one expectation.
  std::pair<std::uint32_t, std::uint32_t> Selection() const {
    return {Document.SelStart, Document.SelEnd};
  }

  int Row() const { return View.Geometry().T + 10; }
  MouseResult Press(int x) { return View.MousePress({x, Row(), true, true}); }
  MouseResult Drag(int x) { return View.MouseMove({x, Row(), true, true}); }
  MouseResult Hover(int x) { return View.MouseMove({x, Row(), false, false}); }
  MouseResult Release(int x) { return View.MouseRelease({x, Row(), true, true}); }

  // The document is large (51 levels of 100 rows); keep it off the stack.
  std::unique_ptr<EditSession> DocumentStore = std::make_unique<EditSession>();
  EditSession& Document = *DocumentStore;
  capture::RecorderState State;
  WaveformView View{Document, State};
};

}  // namespace tavrin::editor::testing
