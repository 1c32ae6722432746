#pragma once
// Simulated input mixer for tests: a programmable list of inputs, a log of
// every call made, and an Init that can be told to fail.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/input_mixer.h"

namespace tavrin::platform {

class SimulatedInputMixer final : public InputMixer {
public:
  struct Input {
    std::optional<std::string> Name;
    bool On = true;
    std::uint32_t Level = 0;  // 0..100
  };

  enum class CallKind { Init, SetDevice, Free, GetInput, SetInput, GetInputName };
  struct Call {
    CallKind Kind;
    int Argument = 0;           // device or input index
    std::uint32_t Setting = 0;  // SetInput only
    bool operator==(const Call&) const = default;
  };

  SimulatedInputMixer();

  // Inputs 0..n-1 of every device.
  void SetInputs(std::vector<Input> inputs) { m_inputs = std::move(inputs); }
  void SetInitFails(bool fails) { m_initFails = fails; }
  void SetDeviceCount(int count) { m_deviceCount = count; }
  // Switching an input on switches the others off, like a recording multiplexer.
  void SetExclusive(bool exclusive) { m_exclusive = exclusive; }

  const std::vector<Input>& Inputs() const { return m_inputs; }
  const Input& Master() const { return m_master; }
  bool IsInitialised() const { return m_initialised; }
  int CurrentDevice() const { return m_device; }
  const std::vector<Call>& Calls() const { return m_calls; }
  std::vector<Call> CallsOf(CallKind kind) const;
  void ClearCalls() { m_calls.clear(); }

  bool Init(int device) override;
  bool SetDevice(int device) override;
  void Free() override;
  std::uint32_t GetInput(int input) override;
  bool SetInput(int input, std::uint32_t setting) override;
  std::optional<std::string> GetInputName(int input) override;

private:
  Input* Find(int input);

  std::vector<Input> m_inputs;
  Input m_master;
  bool m_initFails = false;
  int m_deviceCount = 1;
  bool m_exclusive = false;
  bool m_initialised = false;
  int m_device = -1;
  std::vector<Call> m_calls;
};

}  // namespace tavrin::platform
