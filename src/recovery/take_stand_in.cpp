#include "recovery/take_stand_in.h"

#include <utility>

namespace tavrin::recovery {

void TakeStandIn::PutIn(capture::RecorderState& state, document::Take take) {
  if (!m_standingIn) m_recorderTake = std::move(state.Take);
  state.Take = std::move(take);
  m_standingIn = true;
}

void TakeStandIn::RestoreRecorderTake(capture::RecorderState& state) {
  if (!m_standingIn) return;
  state.Take = std::move(m_recorderTake);
  m_recorderTake = {};
  m_standingIn = false;
}

}  // namespace tavrin::recovery
