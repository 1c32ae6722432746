#include "platform/input_mixer_simulated.h"

#include <algorithm>
#include <iterator>

namespace tavrin::platform {

SimulatedInputMixer::SimulatedInputMixer()
    : m_inputs{Input{"Microphone", true, 50}}, m_master{Input{"Master", true, 100}} {}

std::vector<SimulatedInputMixer::Call> SimulatedInputMixer::CallsOf(CallKind kind) const {
  std::vector<Call> calls;
  std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(calls),
               [kind](const Call& call) { return call.Kind == kind; });
  return calls;
}

bool SimulatedInputMixer::Init(int device) {
  m_calls.push_back({CallKind::Init, device});
  if (m_initFails || device < 0 || device >= m_deviceCount) return false;
  m_initialised = true;
  m_device = device;
  return true;
}

bool SimulatedInputMixer::SetDevice(int device) {
  m_calls.push_back({CallKind::SetDevice, device});
  if (!m_initialised || device < 0 || device >= m_deviceCount) return false;
  m_device = device;
  return true;
}

void SimulatedInputMixer::Free() {
  m_calls.push_back({CallKind::Free, 0});
  m_initialised = false;
  m_device = -1;
}

SimulatedInputMixer::Input* SimulatedInputMixer::Find(int input) {
  if (!m_initialised) return nullptr;
  if (input == kMasterInput) return &m_master;
  if (input < 0 || static_cast<std::size_t>(input) >= m_inputs.size()) return nullptr;
  return &m_inputs[static_cast<std::size_t>(input)];
}

std::uint32_t SimulatedInputMixer::GetInput(int input) {
  m_calls.push_back({CallKind::GetInput, input});
  const Input* found = Find(input);
  if (found == nullptr) return kInputMissing;
  return std::min<std::uint32_t>(found->Level, 100) | (found->On ? 0 : kInputOff);
}

bool SimulatedInputMixer::SetInput(int input, std::uint32_t setting) {
  m_calls.push_back({CallKind::SetInput, input, setting});
  Input* found = Find(input);
  if (found == nullptr || (setting & (kInputOn | kInputLevel)) == 0) return false;
  if ((setting & kInputOn) != 0) {
    if (m_exclusive && input != kMasterInput) {
      for (Input& other : m_inputs) other.On = false;
    }
    found->On = true;
  }
  if ((setting & kInputLevel) != 0)
    found->Level = std::min<std::uint32_t>(setting & kInputLevelMask, 100);
  return true;
}

std::optional<std::string> SimulatedInputMixer::GetInputName(int input) {
  m_calls.push_back({CallKind::GetInputName, input});
  const Input* found = Find(input);
  if (found == nullptr) return std::nullopt;
  return found->Name;
}

}  // namespace tavrin::platform
