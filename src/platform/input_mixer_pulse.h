#pragma once
// Input mixer of a PulseAudio source. The inputs are the source's ports (a
// source without ports has one input, named by its description); the input
// that is on is the active port; every input's level is the source volume as
// 0..100 % of normal; input -1, the master, is the source itself (off when
// muted). Devices are numbered like PulseWaveIn: 0 is the server's default
// source, then the other sources in the server's order.
//
// Reads come from the connection's view of the sources, which the server's
// change events keep current, and changes are sent without waiting for the
// server's answer (SetInput is true once sent), so a server that hangs never
// holds the caller. While the server cannot be asked every input is missing.

#include <memory>
#include <string>

#include "platform/input_mixer.h"

namespace tavrin::platform {

class PulseConnection;

class PulseInputMixer final : public InputMixer {
public:
  explicit PulseInputMixer(std::string applicationName = "Tavrin Recorder");
  // On a connection shared with the program's other PulseAudio users.
  explicit PulseInputMixer(std::shared_ptr<PulseConnection> connection);
  ~PulseInputMixer() override;
  PulseInputMixer(const PulseInputMixer&) = delete;
  PulseInputMixer& operator=(const PulseInputMixer&) = delete;

  bool Init(int device) override;
  bool SetDevice(int device) override;
  void Free() override;
  std::uint32_t GetInput(int input) override;
  bool SetInput(int input, std::uint32_t setting) override;
  std::optional<std::string> GetInputName(int input) override;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace tavrin::platform
