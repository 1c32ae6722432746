#include "export/block_loop.h"

#include <vector>

#include "capture/recorder_state.h"
#include "document/edit_document.h"

namespace tavrin::exporter {

BlockLoopOutcome ForEachBlock(ExportContext& context, const BlockConsumer& consume) {
  SaveJob& job = context.Job;
  std::vector<std::uint8_t>& transfer = context.State.TransferMemory;
  if (transfer.size() < capture::kBufferBytes) transfer.resize(capture::kBufferBytes);
  std::uint8_t* readBuffer = transfer.data();

  const std::uint64_t first = job.SaveFirst;
  const std::uint64_t last = job.SaveLast;
  const double span = last > first ? static_cast<double>(last - first) : 0.0;
  BlockLoopOutcome outcome;
  for (std::uint64_t i = first; i <= last && !outcome.Cancelled; ++i) {
    const auto position = static_cast<std::uint32_t>(i);
    outcome.Error =
        document::ReadBuffer(context.Document, context.State.Take, position, readBuffer);
    if (outcome.Error == 0) {
      outcome.Error = consume(
          readBuffer, document::BufferFrames(context.Document, context.State.Take, position));
    }
    if (outcome.Error != 0) return outcome;
    job.OperationProgress =
        span > 0 ? static_cast<float>(static_cast<double>(i - first) * 100.0 / span) : 0.0f;
    context.User.Pump();
    outcome.Cancelled = !job.SaveActive;
  }
  return outcome;
}

}  // namespace tavrin::exporter
