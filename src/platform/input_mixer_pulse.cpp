#include "platform/input_mixer_pulse.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "platform/pulse_connection.h"

namespace tavrin::platform {

namespace {

int InputCount(const PulseDevice& source) {
  return source.Ports.empty() ? 1 : static_cast<int>(source.Ports.size());
}

bool HasInput(const PulseDevice& source, int input) {
  return input >= kMasterInput && input < InputCount(source);
}

// Volumes above normal still read as 100.
std::uint32_t LevelPercent(const pa_cvolume& volume) {
  const double percent = std::round(pa_cvolume_max(&volume) * 100.0 / PA_VOLUME_NORM);
  return static_cast<std::uint32_t>(std::min(percent, 100.0));
}

}  // namespace

struct PulseInputMixer::Impl {
  explicit Impl(std::shared_ptr<PulseConnection> connection) : Connection(std::move(connection)) {}

  std::shared_ptr<PulseConnection> Connection;
  bool Initialised = false;
  std::string SourceName;

  std::optional<PulseDevice> CurrentSource() {
    if (!Initialised) return std::nullopt;
    const auto sources = Connection->ListSources();
    if (!sources) return std::nullopt;
    for (const PulseDevice& source : *sources) {
      if (source.Name == SourceName) return source;
    }
    return std::nullopt;
  }

  bool SelectDevice(int device) {
    const auto sources = Connection->ListSources();
    if (!sources || device < 0 || static_cast<std::size_t>(device) >= sources->size()) return false;
    SourceName = (*sources)[static_cast<std::size_t>(device)].Name;
    return true;
  }

  // Sends a change without waiting for the server, and shows it in the view
  // at once; the server's change event then brings what it really did.
  template <typename Start, typename Edit>
  bool Change(Start start, Edit edit) {
    if (Connection->Connect() != kMmNoError) return false;
    PulseConnection::Guard lock(*Connection);
    if (!PulseConnection::Send(start(Connection->Context()))) return false;
    Connection->EditSource(SourceName, edit);
    return true;
  }
};

PulseInputMixer::PulseInputMixer(std::string applicationName)
    : PulseInputMixer(std::make_shared<PulseConnection>(std::move(applicationName))) {}

PulseInputMixer::PulseInputMixer(std::shared_ptr<PulseConnection> connection)
    : m_impl(std::make_unique<Impl>(std::move(connection))) {}

PulseInputMixer::~PulseInputMixer() = default;

bool PulseInputMixer::Init(int device) {
  m_impl->Initialised = m_impl->SelectDevice(device);
  if (!m_impl->Initialised) m_impl->SourceName.clear();
  return m_impl->Initialised;
}

bool PulseInputMixer::SetDevice(int device) {
  return m_impl->Initialised && m_impl->SelectDevice(device);
}

void PulseInputMixer::Free() {
  m_impl->Initialised = false;
  m_impl->SourceName.clear();
}

std::uint32_t PulseInputMixer::GetInput(int input) {
  const auto source = m_impl->CurrentSource();
  if (!source || !HasInput(*source, input)) return kInputMissing;
  const std::uint32_t level = LevelPercent(source->Volume);
  const bool on =
      input == kMasterInput ? !source->Muted : source->Ports.empty() || input == source->ActivePort;
  return level | (on ? 0 : kInputOff);
}

bool PulseInputMixer::SetInput(int input, std::uint32_t setting) {
  const auto source = m_impl->CurrentSource();
  if (!source || !HasInput(*source, input)) return false;
  if ((setting & (kInputOn | kInputLevel)) == 0) return false;
  const char* name = source->Name.c_str();
  bool succeeded = true;
  if ((setting & kInputOn) != 0) {
    if (input == kMasterInput && source->Muted) {
      succeeded = m_impl->Change(
          [name](pa_context* context) {
            return pa_context_set_source_mute_by_name(context, name, 0, nullptr, nullptr);
          },
          [](PulseDevice& changed) { changed.Muted = false; });
    } else if (input != kMasterInput && !source->Ports.empty() && input != source->ActivePort) {
      const char* port = source->Ports[static_cast<std::size_t>(input)].Name.c_str();
      succeeded = m_impl->Change(
          [name, port](pa_context* context) {
            return pa_context_set_source_port_by_name(context, name, port, nullptr, nullptr);
          },
          [input](PulseDevice& changed) { changed.ActivePort = input; });
    }
  }
  if (succeeded && (setting & kInputLevel) != 0) {
    if (!pa_channels_valid(source->Volume.channels)) return false;
    const std::uint32_t percent = std::min<std::uint32_t>(setting & kInputLevelMask, 100);
    pa_cvolume volume{};
    pa_cvolume_set(&volume, source->Volume.channels,
                   static_cast<pa_volume_t>(std::lround(percent * PA_VOLUME_NORM / 100.0)));
    succeeded = m_impl->Change(
        [name, &volume](pa_context* context) {
          return pa_context_set_source_volume_by_name(context, name, &volume, nullptr, nullptr);
        },
        [&volume](PulseDevice& changed) { changed.Volume = volume; });
  }
  return succeeded;
}

std::optional<std::string> PulseInputMixer::GetInputName(int input) {
  const auto source = m_impl->CurrentSource();
  if (!source || !HasInput(*source, input)) return std::nullopt;
  if (input == kMasterInput || source->Ports.empty()) return source->Description;
  const PulsePort& port = source->Ports[static_cast<std::size_t>(input)];
  return port.Description.empty() ? port.Name : port.Description;
}

}  // namespace tavrin::platform
