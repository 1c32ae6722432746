// The shared PulseAudio connection: main loop, context, bounded waits, and the
// view of sources and sinks that the server's change events keep current.

#include "platform/pulse_connection.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace tavrin::platform {

namespace {

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

PulseDevice Describe(const pa_source_info& info) {
  PulseDevice source;
  source.Index = info.index;
  source.Name = Text(info.name);
  source.Description =
      info.description != nullptr && info.description[0] != '\0' ? info.description : source.Name;
  source.Channels = info.channel_map.channels;
  source.Volume = info.volume;
  source.Muted = info.mute != 0;
  source.Monitor = info.monitor_of_sink != PA_INVALID_INDEX;
  source.MonitorOf = Text(info.monitor_of_sink_name);  // a name until the refresh ends
  for (std::uint32_t i = 0; info.ports != nullptr && i < info.n_ports; ++i) {
    const pa_source_port_info* port = info.ports[i];
    if (port == nullptr) break;
    source.Ports.push_back({Text(port->name), Text(port->description)});
    if (port == info.active_port) source.ActivePort = static_cast<int>(i);
  }
  return source;
}

// `first` first; without it (or when it vanished between the answers) the
// server would pick a default itself, and the first device stands for it.
void PutFirst(std::vector<PulseDevice>& devices, const std::string& first) {
  std::stable_partition(devices.begin(), devices.end(),
                        [&](const PulseDevice& device) { return device.Name == first; });
}

bool Lists(const std::vector<PulseDevice>& devices, const std::string& name) {
  return std::any_of(devices.begin(), devices.end(),
                     [&](const PulseDevice& device) { return device.Name == name; });
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

void PulseConnection::OnContextState(pa_context* context, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) {
    self->m_everReady = true;
    pa_context_set_subscribe_callback(context, &PulseConnection::OnEvent, self);
    // Sinks too: a monitor is named after the sink it records.
    const auto mask = static_cast<pa_subscription_mask_t>(
        PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
    Send(pa_context_subscribe(context, mask, nullptr, nullptr));
    self->Refresh();
  } else if (!PA_CONTEXT_IS_GOOD(state)) {
    self->m_view = View{};
    self->m_refreshing = false;
    self->m_refreshAgain = false;
    self->m_refreshStale = false;
  }
  self->Signal();
}

void PulseConnection::OnEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t,
                              void* userdata) {
  static_cast<PulseConnection*>(userdata)->Refresh();
}

void PulseConnection::Refresh() {
  if (m_refreshing) {
    m_refreshAgain = true;
    return;
  }
  m_pending = View{};
  m_pendingSinks.clear();
  // Answered in the order asked: the source list ends the refresh.
  m_refreshing = Send(pa_context_get_server_info(m_context, &OnServerInfo, this)) &&
                 Send(pa_context_get_sink_info_list(m_context, &OnSinkInfo, this)) &&
                 Send(pa_context_get_source_info_list(m_context, &OnSourceInfo, this));
}

void PulseConnection::OnServerInfo(pa_context* context, const pa_server_info* info,
                                   void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (context != self->m_context || info == nullptr) return;
  self->m_pending.DefaultSource = Text(info->default_source_name);
}

void PulseConnection::OnSinkInfo(pa_context* context, const pa_sink_info* info, int eol,
                                 void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (context != self->m_context || eol != 0 || info == nullptr) return;
  const std::string name = Text(info->name);
  const bool described = info->description != nullptr && info->description[0] != '\0';
  self->m_pendingSinks.push_back({name, described ? info->description : name});
}

void PulseConnection::OnSourceInfo(pa_context* context, const pa_source_info* info, int eol,
                                   void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (context != self->m_context) return;
  if (eol == 0) {
    if (info != nullptr) self->m_pending.Sources.push_back(Describe(*info));
    return;
  }
  // A failed list (the server is going away) keeps what was known before.
  if (eol > 0 && !self->m_refreshStale) {
    View& view = self->m_pending;
    for (PulseDevice& source : view.Sources) {
      for (const SinkName& sink : self->m_pendingSinks) {
        if (source.Monitor && sink.Name == source.MonitorOf) source.MonitorOf = sink.Description;
      }
    }
    view.Known = true;
    self->m_view = std::move(view);
  }
  self->m_refreshing = false;
  self->m_refreshStale = false;
  if (self->m_refreshAgain) {
    self->m_refreshAgain = false;
    self->Refresh();
  }
  self->Signal();
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

bool PulseConnection::Complete(pa_operation* operation, pa_usec_t limitUsec) {
  if (operation == nullptr) return false;
  pa_operation_set_state_callback(operation, &PulseConnection::OnOperationState, m_mainloop);
  const bool finished =
      WaitFor([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; }, limitUsec);
  if (!finished) pa_operation_cancel(operation);
  pa_operation_set_state_callback(operation, nullptr, nullptr);
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}

bool PulseConnection::Send(pa_operation* operation) {
  if (operation == nullptr) return false;
  pa_operation_unref(operation);
  return true;
}

void PulseConnection::Cancel(pa_operation*& operation) {
  if (operation == nullptr) return;
  if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
  pa_operation_unref(operation);
  operation = nullptr;
}

MmResult PulseConnection::LastError() const {
  return BackendError(m_context != nullptr ? pa_context_errno(m_context) : PA_ERR_UNKNOWN);
}

MmResult PulseConnection::StreamError() const {
  const int code = m_context != nullptr ? pa_context_errno(m_context) : 0;
  return BackendError(code != PA_OK ? code : PA_ERR_CONNECTIONTERMINATED);
}

MmResult PulseConnection::StreamFailure(pa_stream* stream) const {
  return PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) ? kMmNoError : StreamError();
}

bool PulseConnection::WaitForStream(pa_stream* stream, pa_usec_t limitUsec) {
  return WaitFor([stream] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; }, limitUsec);
}

void PulseConnection::OnStreamState(pa_stream*, void* connection) {
  static_cast<PulseConnection*>(connection)->Signal();
}

void PulseConnection::DropContext() {
  if (m_context == nullptr) return;
  pa_context_set_state_callback(m_context, nullptr, nullptr);
  pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
  pa_context_disconnect(m_context);
  pa_context_unref(m_context);
  m_context = nullptr;
  m_view = View{};
  m_refreshing = false;
  m_refreshAgain = false;
}

MmResult PulseConnection::EnsureContextLocked() {
  if (m_context != nullptr) {
    const pa_context_state_t state = pa_context_get_state(m_context);
    // Ready, or still connecting: a server that hangs keeps it waiting, and
    // it carries on by itself once the server answers.
    if (PA_CONTEXT_IS_GOOD(state)) return kMmNoError;
    // A stream still belongs to the failed context: its owner must see the
    // failure and close it first.
    if (m_streams > 0) return LastError();
    DropContext();
  }
  m_context = pa_context_new(pa_threaded_mainloop_get_api(m_mainloop), m_applicationName.c_str());
  if (m_context == nullptr) return kMmNoMem;
  m_contextWaited = false;
  pa_context_set_state_callback(m_context, &PulseConnection::OnContextState, this);
  if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    const MmResult error = LastError();
    DropContext();
    return error;
  }
  return kMmNoError;
}

MmResult PulseConnection::StartMainloop() {
  if (m_mainloop != nullptr) return kMmNoError;
  m_mainloop = pa_threaded_mainloop_new();
  if (m_mainloop == nullptr) return kMmNoMem;
  pa_threaded_mainloop_set_name(m_mainloop, "tavrin-pulse");
  if (pa_threaded_mainloop_start(m_mainloop) < 0) {
    pa_threaded_mainloop_free(m_mainloop);
    m_mainloop = nullptr;
    return kMmError;
  }
  return kMmNoError;
}

MmResult PulseConnection::Connect() {
  if (const MmResult result = StartMainloop(); result != kMmNoError) return result;
  Guard lock(*this);
  if (const MmResult result = EnsureContextLocked(); result != kMmNoError) return result;
  if (!m_contextWaited) {
    m_contextWaited = true;
    WaitFor([&] { return m_view.Known; });
  }
  if (IsReady()) return kMmNoError;
  return PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) ? BackendError(PA_ERR_TIMEOUT)
                                                             : LastError();
}

std::optional<std::vector<PulseDevice>> PulseConnection::ListSources(MmResult* error) {
  MmResult result = StartMainloop();
  if (result == kMmNoError) {
    Guard lock(*this);
    result = EnsureContextLocked();
    if (result == kMmNoError && !m_view.Known && !m_contextWaited) {
      m_contextWaited = true;
      WaitFor([&] { return m_view.Known; });
    }
    if (result == kMmNoError && m_view.Known) {
      std::vector<PulseDevice> sources = m_view.Sources;
      const bool selected = !m_selectedSource.empty() && Lists(sources, m_selectedSource);
      PutFirst(sources, selected ? m_selectedSource : m_view.DefaultSource);
      return sources;
    }
    if (result == kMmNoError) {
      result = PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) ? BackendError(PA_ERR_TIMEOUT)
                                                                   : LastError();
    }
  }
  if (error != nullptr) *error = result;
  return std::nullopt;
}

}  // namespace tavrin::platform
