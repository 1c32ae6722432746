#pragma once
// Everything the recorder window draws: meters, chart contents, frames,
// time bar and level icons.

#include "drawing/raster.h"
#include "recorder_ui/drawing/frames.h"
#include "recorder_ui/drawing/layout.h"
#include "recorder_ui/drawing/level_history.h"
#include "recorder_ui/drawing/level_icons.h"
#include "recorder_ui/drawing/meters.h"
#include "recorder_ui/drawing/time_bar.h"
