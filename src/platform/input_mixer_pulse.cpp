#include "platform/input_mixer_pulse.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

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
  // One round trip to the server. The callbacks fill it on libpulse's thread;
  // it is the caller's again once Finished is seen or the operation is cancelled.
  struct Request {
    Impl* Owner = nullptr;
    bool Finished = false;  // guarded by Owner->WaitMutex, like Succeeded
    bool Succeeded = false;
    std::string DefaultSource;
    std::vector<SourceSnapshot> Sources;
  };
  using Starter = std::function<pa_operation*(pa_context*, Request*)>;

  Impl(std::string applicationName, std::chrono::milliseconds timeout)
      : ApplicationName(std::move(applicationName)), Timeout(timeout) {}
  ~Impl() { StopMainloop(); }

  const std::string ApplicationName;
  const Clock::duration Timeout;
  pa_threaded_mainloop* Mainloop = nullptr;
  pa_context* Context = nullptr;
  // Lock order: the main loop's lock, then WaitMutex; never the other way.
  std::mutex WaitMutex;
  std::condition_variable WaitDone;
  pa_context_state_t ContextState = PA_CONTEXT_UNCONNECTED;  // guarded by WaitMutex
  // After a failed or hung connection, calls fail at once until then.
  Clock::time_point NoConnectBefore{};
  bool Initialised = false;
  std::string SourceName;

  Clock::time_point Deadline() const { return Clock::now() + Timeout; }

  static void Finish(Request* request, bool succeeded) {
    std::lock_guard lock(request->Owner->WaitMutex);
    request->Finished = true;
    request->Succeeded = succeeded;
    request->Owner->WaitDone.notify_all();
  }

  static void OnContextState(pa_context* context, void* userdata) {
    auto* impl = static_cast<Impl*>(userdata);
    std::lock_guard lock(impl->WaitMutex);
    impl->ContextState = pa_context_get_state(context);
    impl->WaitDone.notify_all();
  }

  static void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* request = static_cast<Request*>(userdata);
    if (info != nullptr) request->DefaultSource = Text(info->default_source_name);
    Finish(request, info != nullptr);
  }

  static void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* request = static_cast<Request*>(userdata);
    if (eol != 0) {
      Finish(request, eol > 0);
    } else if (info != nullptr) {
      request->Sources.push_back(Snapshot(*info));
    }
  }

  static void OnSuccess(pa_context*, int success, void* userdata) {
    Finish(static_cast<Request*>(userdata), success != 0);
  }

  void DropContext() {
    if (Context == nullptr) return;
    pa_threaded_mainloop_lock(Mainloop);
    pa_context_set_state_callback(Context, nullptr, nullptr);
    pa_context_disconnect(Context);
    pa_context_unref(Context);
    pa_threaded_mainloop_unlock(Mainloop);
    Context = nullptr;
    std::lock_guard lock(WaitMutex);
    ContextState = PA_CONTEXT_UNCONNECTED;
  }

  void StopMainloop() {
    DropContext();
    if (Mainloop == nullptr) return;
    pa_threaded_mainloop_stop(Mainloop);
    pa_threaded_mainloop_free(Mainloop);
    Mainloop = nullptr;
  }

  bool Connect(Clock::time_point deadline) {
    if (Context != nullptr) {
      std::unique_lock lock(WaitMutex);
      if (ContextState == PA_CONTEXT_READY) return true;
      lock.unlock();
      DropContext();
    }
    if (Clock::now() < NoConnectBefore) return false;
    if (Mainloop == nullptr) {
      Mainloop = pa_threaded_mainloop_new();
      if (Mainloop == nullptr) return false;
      if (pa_threaded_mainloop_start(Mainloop) < 0) {
        pa_threaded_mainloop_free(Mainloop);
        Mainloop = nullptr;
        return false;
      }
    }
    int result = -1;
    pa_threaded_mainloop_lock(Mainloop);
    Context = pa_context_new(pa_threaded_mainloop_get_api(Mainloop), ApplicationName.c_str());
    if (Context != nullptr) {
      {
        std::lock_guard lock(WaitMutex);
        ContextState = PA_CONTEXT_CONNECTING;
      }
      pa_context_set_state_callback(Context, &Impl::OnContextState, this);
      result = pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    }
    pa_threaded_mainloop_unlock(Mainloop);
    bool ready = false;
    if (result >= 0) {
      std::unique_lock lock(WaitMutex);
      WaitDone.wait_until(lock, deadline, [this] {
        return ContextState == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(ContextState);
      });
      ready = ContextState == PA_CONTEXT_READY;
    }
    if (!ready) {
      DropContext();
      NoConnectBefore = Clock::now() + Timeout;
    }
    return ready;
  }

  bool Run(Request& request, Clock::time_point deadline, const Starter& start) {
    if (!Connect(deadline)) return false;
    request.Owner = this;
    pa_threaded_mainloop_lock(Mainloop);
    pa_operation* operation = start(Context, &request);
    pa_threaded_mainloop_unlock(Mainloop);
    if (operation == nullptr) return false;
    {
      std::unique_lock lock(WaitMutex);
      WaitDone.wait_until(lock, deadline, [this, &request] {
        return request.Finished || !PA_CONTEXT_IS_GOOD(ContextState);
      });
    }
    // With the loop locked no callback is running, and after the cancel none will.
    pa_threaded_mainloop_lock(Mainloop);
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(Mainloop);
    bool finished = false;
    bool succeeded = false;
    {
      std::lock_guard lock(WaitMutex);
      finished = request.Finished;
      succeeded = request.Succeeded;
    }
    if (!finished) {
      // The server died or stopped answering: start afresh, but not at once.
      DropContext();
      NoConnectBefore = Clock::now() + Timeout;
    }
    return finished && succeeded;
  }

  std::optional<std::vector<SourceSnapshot>> SourcesInDeviceOrder(Clock::time_point deadline) {
    Request server;
    if (!Run(server, deadline, [](pa_context* context, Request* request) {
          return pa_context_get_server_info(context, &Impl::OnServerInfo, request);
        })) {
      return std::nullopt;
    }
    Request list;
    if (!Run(list, deadline, [](pa_context* context, Request* request) {
          return pa_context_get_source_info_list(context, &Impl::OnSourceInfo, request);
        })) {
      return std::nullopt;
    }
    std::stable_partition(
        list.Sources.begin(), list.Sources.end(),
        [&server](const SourceSnapshot& source) { return source.Name == server.DefaultSource; });
    return std::move(list.Sources);
  }

  std::optional<SourceSnapshot> CurrentSource(Clock::time_point deadline) {
    if (!Initialised) return std::nullopt;
    Request request;
    if (!Run(request, deadline, [this](pa_context* context, Request* r) {
          return pa_context_get_source_info_by_name(context, SourceName.c_str(),
                                                    &Impl::OnSourceInfo, r);
        })) {
      return std::nullopt;
    }
    if (request.Sources.size() != 1) return std::nullopt;
    return std::move(request.Sources.front());
  }

  bool SelectDevice(int device) {
    const auto sources = SourcesInDeviceOrder(Deadline());
    if (!sources || device < 0 || static_cast<std::size_t>(device) >= sources->size()) return false;
    SourceName = (*sources)[static_cast<std::size_t>(device)].Name;
    return true;
  }

  bool RunChange(Clock::time_point deadline, const Starter& start) {
    Request request;
    return Run(request, deadline, start);
  }
};

PulseInputMixer::PulseInputMixer(std::string applicationName, std::chrono::milliseconds timeout)
    : m_impl(std::make_unique<Impl>(std::move(applicationName), timeout)) {}

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
  m_impl->StopMainloop();
}

std::uint32_t PulseInputMixer::GetInput(int input) {
  const auto source = m_impl->CurrentSource(m_impl->Deadline());
  if (!source || input < kMasterInput || input >= source->InputCount()) return kInputMissing;
  const std::uint32_t level = LevelPercent(source->Volume);
  const bool on =
      input == kMasterInput ? !source->Muted : source->Ports.empty() || input == source->ActivePort;
  return level | (on ? 0 : kInputOff);
}

bool PulseInputMixer::SetInput(int input, std::uint32_t setting) {
  const Clock::time_point deadline = m_impl->Deadline();
  const auto source = m_impl->CurrentSource(deadline);
  if (!source || input < kMasterInput || input >= source->InputCount()) return false;
  if ((setting & (kInputOn | kInputLevel)) == 0) return false;
  const char* name = source->Name.c_str();
  bool succeeded = true;
  if ((setting & kInputOn) != 0) {
    if (input == kMasterInput && source->Muted) {
      succeeded = m_impl->RunChange(deadline, [name](pa_context* context, Impl::Request* r) {
        return pa_context_set_source_mute_by_name(context, name, 0, &Impl::OnSuccess, r);
      });
    } else if (input != kMasterInput && !source->Ports.empty() && input != source->ActivePort) {
      const char* port = source->Ports[static_cast<std::size_t>(input)].Name.c_str();
      succeeded = m_impl->RunChange(deadline, [name, port](pa_context* context, Impl::Request* r) {
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
    succeeded = m_impl->RunChange(deadline, [name, &volume](pa_context* context, Impl::Request* r) {
      return pa_context_set_source_volume_by_name(context, name, &volume, &Impl::OnSuccess, r);
    });
  }
  return succeeded;
}

std::optional<std::string> PulseInputMixer::GetInputName(int input) {
  const auto source = m_impl->CurrentSource(m_impl->Deadline());
  if (!source || input < kMasterInput || input >= source->InputCount()) return std::nullopt;
  if (input == kMasterInput || source->Ports.empty()) return source->Description;
  const Port& port = source->Ports[static_cast<std::size_t>(input)];
  return port.Description.empty() ? port.Name : port.Description;
}

}  // namespace tavrin::platform
