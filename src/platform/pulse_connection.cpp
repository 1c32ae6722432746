// The shared PulseAudio connection: main loop, context, bounded waits, and the
// lists of sources and sinks.

#include "platform/pulse_connection.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace tavrin::platform {

namespace {

struct Listing {
  std::string DefaultSource;
  std::string DefaultSink;
  std::vector<PulseDevice> Devices;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
  auto* listing = static_cast<Listing*>(userdata);
  if (info != nullptr && info->default_source_name != nullptr) {
    listing->DefaultSource = info->default_source_name;
  }
  if (info != nullptr && info->default_sink_name != nullptr) {
    listing->DefaultSink = info->default_sink_name;
  }
}

PulseDevice Describe(const char* name, const char* description, std::uint32_t channels) {
  PulseDevice device;
  device.Name = name != nullptr ? name : "";
  device.Description = description != nullptr && description[0] != '\0' ? description : device.Name;
  device.Channels = channels;
  return device;
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  if (eol != 0 || info == nullptr) return;
  static_cast<Listing*>(userdata)->Devices.push_back(
      Describe(info->name, info->description, info->channel_map.channels));
}

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  if (eol != 0 || info == nullptr) return;
  static_cast<Listing*>(userdata)->Devices.push_back(
      Describe(info->name, info->description, info->channel_map.channels));
}

}  // namespace

std::string PulseErrorText(MmResult result) {
  if (result >= kMmBackendBase) {
    const MmResult code = result - kMmBackendBase;
    const char* text = code <= INT_MAX ? pa_strerror(static_cast<int>(code)) : nullptr;
    if (text != nullptr) return text;
    return "Unknown sound server error " + std::to_string(code) + ".";
  }
  return CommonErrorText(result);
}

PulseConnection::PulseConnection(std::string applicationName, pa_usec_t timeoutUsec)
    : m_applicationName(std::move(applicationName)), m_timeoutUsec(timeoutUsec) {}

PulseConnection::~PulseConnection() {
  if (m_mainloop == nullptr) return;
  pa_threaded_mainloop_lock(m_mainloop);
  DropContext();
  pa_threaded_mainloop_unlock(m_mainloop);
  pa_threaded_mainloop_stop(m_mainloop);
  pa_threaded_mainloop_free(m_mainloop);
}

PulseConnection::Guard::Guard(PulseConnection& connection) : m_mainloop(connection.m_mainloop) {
  pa_threaded_mainloop_lock(m_mainloop);
}

PulseConnection::Guard::~Guard() {
  pa_threaded_mainloop_unlock(m_mainloop);
}

void PulseConnection::OnContextState(pa_context*, void* userdata) {
  pa_threaded_mainloop_signal(static_cast<PulseConnection*>(userdata)->m_mainloop, 0);
}

void PulseConnection::OnOperationState(pa_operation*, void* userdata) {
  pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

void PulseConnection::OnTimeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
  auto* timeout = static_cast<Timeout*>(userdata);
  timeout->Expired = true;
  pa_threaded_mainloop_signal(timeout->Mainloop, 0);
}

bool PulseConnection::IsReady() const {
  return m_context != nullptr && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseConnection::Complete(pa_operation* operation) {
  if (operation == nullptr) return false;
  pa_operation_set_state_callback(operation, &PulseConnection::OnOperationState, m_mainloop);
  const bool finished =
      WaitFor([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
  if (!finished) pa_operation_cancel(operation);
  pa_operation_set_state_callback(operation, nullptr, nullptr);
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}

MmResult PulseConnection::LastError() const {
  return BackendError(m_context != nullptr ? pa_context_errno(m_context) : PA_ERR_UNKNOWN);
}

void PulseConnection::DropContext() {
  if (m_context == nullptr) return;
  pa_context_set_state_callback(m_context, nullptr, nullptr);
  pa_context_disconnect(m_context);
  pa_context_unref(m_context);
  m_context = nullptr;
}

void PulseConnection::DropIfIdle() {
  if (m_mainloop == nullptr) return;
  Guard lock(*this);
  if (m_streams == 0) DropContext();
}

MmResult PulseConnection::Connect() {
  if (m_mainloop == nullptr) {
    m_mainloop = pa_threaded_mainloop_new();
    if (m_mainloop == nullptr) return kMmNoMem;
    pa_threaded_mainloop_set_name(m_mainloop, "tavrin-pulse");
    if (pa_threaded_mainloop_start(m_mainloop) < 0) {
      pa_threaded_mainloop_free(m_mainloop);
      m_mainloop = nullptr;
      return kMmError;
    }
  }
  Guard lock(*this);
  return ConnectLocked();
}

MmResult PulseConnection::ConnectLocked() {
  if (m_context != nullptr) {
    const pa_context_state_t state = pa_context_get_state(m_context);
    if (state == PA_CONTEXT_READY) return kMmNoError;
    if (PA_CONTEXT_IS_GOOD(state) || m_streams > 0) {
      // Still connecting after an earlier timeout, or a stream still belongs
      // to this context: report its error instead of replacing it.
      return LastError();
    }
    DropContext();
  }
  m_context = pa_context_new(pa_threaded_mainloop_get_api(m_mainloop), m_applicationName.c_str());
  if (m_context == nullptr) return kMmNoMem;
  pa_context_set_state_callback(m_context, &PulseConnection::OnContextState, this);
  if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    const MmResult error = LastError();
    DropContext();
    return error;
  }
  const bool settled = WaitFor([&] {
    const pa_context_state_t state = pa_context_get_state(m_context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (!settled) {
    DropContext();
    return BackendError(PA_ERR_TIMEOUT);
  }
  if (pa_context_get_state(m_context) != PA_CONTEXT_READY) {
    const MmResult error = LastError();
    DropContext();
    return error;
  }
  return kMmNoError;
}

std::optional<std::vector<PulseDevice>> PulseConnection::List(bool sinks) {
  if (Connect() != kMmNoError) return std::nullopt;
  Listing listing;
  bool ok = false;
  {
    Guard lock(*this);
    ok = Complete(pa_context_get_server_info(m_context, &OnServerInfo, &listing)) &&
         Complete(sinks ? pa_context_get_sink_info_list(m_context, &OnSinkInfo, &listing)
                        : pa_context_get_source_info_list(m_context, &OnSourceInfo, &listing));
  }
  if (!ok) return std::nullopt;
  const std::string& defaultName = sinks ? listing.DefaultSink : listing.DefaultSource;
  // Without a default (or when it vanished between the two questions) the
  // server would pick one itself; the first device stands for it.
  std::stable_partition(listing.Devices.begin(), listing.Devices.end(),
                        [&](const PulseDevice& device) { return device.Name == defaultName; });
  return std::move(listing.Devices);
}

std::optional<std::vector<PulseDevice>> PulseConnection::ListSources() {
  return List(false);
}

std::optional<std::vector<PulseDevice>> PulseConnection::ListSinks() {
  return List(true);
}

std::optional<std::string> PulseConnection::DefaultSourceName() {
  if (Connect() != kMmNoError) return std::nullopt;
  Listing listing;
  Guard lock(*this);
  if (!Complete(pa_context_get_server_info(m_context, &OnServerInfo, &listing))) {
    return std::nullopt;
  }
  return listing.DefaultSource;
}

}  // namespace tavrin::platform
