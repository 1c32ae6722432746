#pragma once
// The loop every block-wise writer runs: each document block of the save's
// range read through the edit list into the transfer memory, handed to the
// writer, then progress reported and pending messages let run, so that the
// progress dialog repaints and its Cancel reaches the loop.
// User-interface thread only.

#include <cstdint>
#include <functional>

#include "export/save_job.h"

namespace tavrin::exporter {

struct BlockLoopOutcome {
  bool Cancelled = false;  // SaveActive was cleared: stopped after the block in hand
  int Error = 0;           // errno of a read, or what the writer's step returned
};

// Calls `consume` with blocks Job.SaveFirst..Job.SaveLast of the document's
// CurrentLevel in order (17640 bytes of 16-bit stereo each) and the frames of
// each that are sound (4410 but for the take's part-filled last buffer, whose
// padding is never saved); `consume` returns 0 or an errno that ends the
// loop. The block is handed over before messages run, so nothing they start
// can touch the read buffer first.
// OperationProgress = (i - SaveFirst) x 100 / (SaveLast - SaveFirst), 0 for one block.
using BlockConsumer = std::function<int(const std::uint8_t* block, std::uint32_t frames)>;
BlockLoopOutcome ForEachBlock(ExportContext& context, const BlockConsumer& consume);

}  // namespace tavrin::exporter
