#pragma once
// Recording inputs of a wave-input device: which input lines exist, which one
// is switched on, and their level. Device numbers are those of WaveIn (0 is
// the default recording device). Called from the user-interface thread only.

#include <cstdint>
#include <optional>
#include <string>

namespace tavrin::platform {

// GetInput: the bit is set when the input is switched off; the low 16 bits
// hold the level 0..100.
inline constexpr std::uint32_t kInputOff = 0x10000;
// SetInput: switch the input on.
inline constexpr std::uint32_t kInputOn = 0x20000;
// SetInput: kInputLevel | level 0..100 sets the input's level.
inline constexpr std::uint32_t kInputLevel = 0x40000;
inline constexpr std::uint32_t kInputLevelMask = 0xFFFF;
// GetInput of an index the mixer does not have (also before Init). It has
// kInputOff set too, so a search for an input that is on must test for it.
inline constexpr std::uint32_t kInputMissing = 0xFFFFFFFF;
// Input index of the master control.
inline constexpr int kMasterInput = -1;

class InputMixer {
public:
  virtual ~InputMixer() = default;

  // Sets up the mixer of wave-input device `device` and makes it current.
  virtual bool Init(int device) = 0;
  // Makes another device current; false when it does not exist or the mixer
  // has not been set up.
  virtual bool SetDevice(int device) = 0;
  virtual void Free() = 0;
  virtual std::uint32_t GetInput(int input) = 0;
  virtual bool SetInput(int input, std::uint32_t setting) = 0;
  virtual std::optional<std::string> GetInputName(int input) = 0;
};

}  // namespace tavrin::platform
