#include "document/take.h"

namespace tavrin::document {

std::vector<TakeRun> TakeRuns(std::uint32_t length, std::uint32_t recorded, bool loopWrapped) {
  // After a wrap the oldest audio starts just after the last buffer written;
  // stopped right at the wrap, the second run is empty.
  if (loopWrapped && recorded < length) {
    return {TakeRun{recorded + 1, length - recorded}, TakeRun{1, recorded}};
  }
  return {TakeRun{1, length}};
}

}  // namespace tavrin::document
