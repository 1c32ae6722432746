#include "platform/input_mixer_pulse.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/pulse_connection.h"

namespace tavrin::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Port {
  std::string Name;
  std::string Description;
};

struct SourceSnapshot {
  std::string Name;
  std::string Description;
  pa_cvolume Volume{};
  bool Muted = false;
  std::vector<Port> Ports;
  int ActivePort = -1;

  int InputCount() const { return Ports.empty() ? 1 : static_cast<int>(Ports.size()); }
};

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

SourceSnapshot Snapshot(const pa_source_info& info) {
  SourceSnapshot source;
  source.Name = Text(info.name);
  source.Description = Text(info.description);
  source.Volume = info.volume;
  source.Muted = info.mute != 0;
  for (std::uint32_t i = 0; info.ports != nullptr && i < info.n_ports; ++i) {
    const pa_source_port_info* port = info.ports[i];
    if (port == nullptr) break;
    source.Ports.push_back({Text(port->name), Text(port->description)});
    if (port == info.active_port) source.ActivePort = static_cast<int>(i);
  }
  return source;
}

// Volumes above normal still read as 100.
std::uint32_t LevelPercent(const pa_cvolume& volume) {
  const double percent = std::round(pa_cvolume_max(&volume) * 100.0 / PA_VOLUME_NORM);
  return static_cast<std::uint32_t>(std::min(percent, 100.0));
}

}  // namespace

struct PulseInputMixer::Impl {
  // One round trip to the server; the callbacks fill it on the main loop's
  // thread while the owner waits with the lock released.
  struct Request {
    bool Succeeded = false;
    std::vector<SourceSnapshot> Sources;
  };
  using Starter = std::function<pa_operation*(pa_context*, Request*)>;

  Impl(std::shared_ptr<PulseConnection> connection, std::chrono::milliseconds timeout)
      : Connection(std::move(connection)), Timeout(timeout) {}

  std::shared_ptr<PulseConnection> Connection;
  const Clock::duration Timeout;
  // After a failed or hung connection, calls fail at once until then.
  Clock::time_point NoConnectBefore{};
  bool Initialised = false;
  std::string SourceName;

  static void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* request = static_cast<Request*>(userdata);
    if (eol != 0) {
      request->Succeeded = eol > 0;
    } else if (info != nullptr) {
      request->Sources.push_back(Snapshot(*info));
    }
  }

  static void OnSuccess(pa_context*, int success, void* userdata) {
    static_cast<Request*>(userdata)->Succeeded = success != 0;
  }

  // The server died or stopped answering: start afresh, but not at once.
  void GiveUpForAWhile() {
    Connection->DropIfIdle();
    NoConnectBefore = Clock::now() + Timeout;
  }

  bool Connect() {
    if (Clock::now() < NoConnectBefore) return false;
    if (Connection->Connect() == kMmNoError) return true;
    GiveUpForAWhile();
    return false;
  }

  bool Run(Request& request, const Starter& start) {
    if (!Connect()) return false;
    bool finished = false;
    {
      PulseConnection::Guard lock(*Connection);
      finished = Connection->Complete(start(Connection->Context(), &request));
    }
    if (!finished) GiveUpForAWhile();
    return finished && request.Succeeded;
  }

  std::optional<std::vector<SourceSnapshot>> SourcesInDeviceOrder() {
    if (!Connect()) return std::nullopt;
    const std::optional<std::string> defaultSource = Connection->DefaultSourceName();
    if (!defaultSource) {
      GiveUpForAWhile();
      return std::nullopt;
    }
    Request list;
    if (!Run(list, [](pa_context* context, Request* request) {
          return pa_context_get_source_info_list(context, &Impl::OnSourceInfo, request);
        })) {
      return std::nullopt;
    }
    std::stable_partition(
        list.Sources.begin(), list.Sources.end(),
        [&](const SourceSnapshot& source) { return source.Name == *defaultSource; });
    return std::move(list.Sources);
  }

  std::optional<SourceSnapshot> CurrentSource() {
    if (!Initialised) return std::nullopt;
    Request request;
    if (!Run(request, [this](pa_context* context, Request* r) {
          return pa_context_get_source_info_by_name(context, SourceName.c_str(),
                                                    &Impl::OnSourceInfo, r);
        })) {
      return std::nullopt;
    }
    if (request.Sources.size() != 1) return std::nullopt;
    return std::move(request.Sources.front());
  }

  bool SelectDevice(int device) {
    const auto sources = SourcesInDeviceOrder();
    if (!sources || device < 0 || static_cast<std::size_t>(device) >= sources->size()) return false;
    SourceName = (*sources)[static_cast<std::size_t>(device)].Name;
    return true;
  }

  bool RunChange(const Starter& start) {
    Request request;
    return Run(request, start);
  }
};

PulseInputMixer::PulseInputMixer(std::string applicationName, std::chrono::milliseconds timeout)
    : PulseInputMixer(
          std::make_shared<PulseConnection>(
              std::move(applicationName),
              static_cast<pa_usec_t>(
                  std::chrono::duration_cast<std::chrono::microseconds>(timeout).count())),
          timeout) {}

PulseInputMixer::PulseInputMixer(std::shared_ptr<PulseConnection> connection,
                                 std::chrono::milliseconds timeout)
    : m_impl(std::make_unique<Impl>(std::move(connection), timeout)) {}

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
  m_impl->Connection->DropIfIdle();
}

std::uint32_t PulseInputMixer::GetInput(int input) {
  const auto source = m_impl->CurrentSource();
  if (!source || input < kMasterInput || input >= source->InputCount()) return kInputMissing;
  const std::uint32_t level = LevelPercent(source->Volume);
  const bool on =
      input == kMasterInput ? !source->Muted : source->Ports.empty() || input == source->ActivePort;
  return level | (on ? 0 : kInputOff);
}

bool PulseInputMixer::SetInput(int input, std::uint32_t setting) {
  const auto source = m_impl->CurrentSource();
  if (!source || input < kMasterInput || input >= source->InputCount()) return false;
  if ((setting & (kInputOn | kInputLevel)) == 0) return false;
  const char* name = source->Name.c_str();
  bool succeeded = true;
  if ((setting & kInputOn) != 0) {
    if (input == kMasterInput && source->Muted) {
      succeeded = m_impl->RunChange([name](pa_context* context, Impl::Request* r) {
        return pa_context_set_source_mute_by_name(context, name, 0, &Impl::OnSuccess, r);
      });
    } else if (input != kMasterInput && !source->Ports.empty() && input != source->ActivePort) {
      const char* port = source->Ports[static_cast<std::size_t>(input)].Name.c_str();
      succeeded = m_impl->RunChange([name, port](pa_context* context, Impl::Request* r) {
        return pa_context_set_source_port_by_name(context, name, port, &Impl::OnSuccess, r);
      });
    }
  }
  if (succeeded && (setting & kInputLevel) != 0) {
    if (!pa_channels_valid(source->Volume.channels)) return false;
    const std::uint32_t percent = std::min<std::uint32_t>(setting & kInputLevelMask, 100);
    pa_cvolume volume{};
    pa_cvolume_set(&volume, source->Volume.channels,
                   static_cast<pa_volume_t>(std::lround(percent * PA_VOLUME_NORM / 100.0)));
    succeeded = m_impl->RunChange([name, &volume](pa_context* context, Impl::Request* r) {
      return pa_context_set_source_volume_by_name(context, name, &volume, &Impl::OnSuccess, r);
    });
  }
  return succeeded;
}

std::optional<std::string> PulseInputMixer::GetInputName(int input) {
  const auto source = m_impl->CurrentSource();
  if (!source || input < kMasterInput || input >= source->InputCount()) return std::nullopt;
  if (input == kMasterInput || source->Ports.empty()) return source->Description;
  const Port& port = source->Ports[static_cast<std::size_t>(input)];
  return port.Description.empty() ? port.Name : port.Description;
}

}  // namespace tavrin::platform
