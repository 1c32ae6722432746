// PulseWaveIn's side of the server: the mainloop and its context, waiting on
// the server with a time limit, and the list of sources.

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/wave_in_pulse_impl.h"

namespace tavrin::platform {

namespace {

struct Listing {
  std::string DefaultSource;
  std::vector<Source> Sources;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
  if (info != nullptr && info->default_source_name != nullptr) {
    static_cast<Listing*>(userdata)->DefaultSource = info->default_source_name;
  }
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  if (eol != 0 || info == nullptr) {
    return;
  }
  Source source;
  source.Name = info->name != nullptr ? info->name : "";
  source.Description = info->description != nullptr && info->description[0] != '\0'
                           ? info->description
                           : source.Name;
  source.Channels = info->channel_map.channels;
  static_cast<Listing*>(userdata)->Sources.push_back(std::move(source));
}

}  // namespace

void PulseWaveIn::Impl::OnContextState(pa_context*, void* userdata) {
  pa_threaded_mainloop_signal(static_cast<Impl*>(userdata)->Mainloop, 0);
}

void PulseWaveIn::Impl::OnOperationState(pa_operation*, void* userdata) {
  pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

void PulseWaveIn::Impl::OnTimeout(pa_mainloop_api*, pa_time_event*, const timeval*,
                                  void* userdata) {
  auto* timeout = static_cast<Timeout*>(userdata);
  timeout->Expired = true;
  pa_threaded_mainloop_signal(timeout->Mainloop, 0);
}

bool PulseWaveIn::Impl::Complete(pa_operation* operation) {
  if (operation == nullptr) {
    return false;
  }
  pa_operation_set_state_callback(operation, &Impl::OnOperationState, Mainloop);
  const bool finished =
      WaitFor([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
  if (!finished) {
    pa_operation_cancel(operation);
  }
  pa_operation_set_state_callback(operation, nullptr, nullptr);
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}

void PulseWaveIn::Impl::DropContext() {
  if (Context != nullptr) {
    pa_context_set_state_callback(Context, nullptr, nullptr);
    pa_context_disconnect(Context);
    pa_context_unref(Context);
    Context = nullptr;
  }
}

MmResult PulseWaveIn::Impl::EnsureContext() {
  if (Mainloop == nullptr) {
    Mainloop = pa_threaded_mainloop_new();
    if (Mainloop == nullptr) {
      return kMmNoMem;
    }
    pa_threaded_mainloop_set_name(Mainloop, "tavrin-pulse");
    if (pa_threaded_mainloop_start(Mainloop) < 0) {
      pa_threaded_mainloop_free(Mainloop);
      Mainloop = nullptr;
      return kMmError;
    }
  }
  pa_threaded_mainloop_lock(Mainloop);
  const MmResult result = ConnectLocked();
  pa_threaded_mainloop_unlock(Mainloop);
  return result;
}

MmResult PulseWaveIn::Impl::ConnectLocked() {
  if (Context != nullptr) {
    const pa_context_state_t state = pa_context_get_state(Context);
    if (state == PA_CONTEXT_READY) {
      return kMmNoError;
    }
    if (PA_CONTEXT_IS_GOOD(state) || Stream != nullptr) {
      // Still connecting after an earlier timeout, or an open stream still
      // belongs to this context: report its error instead of replacing it.
      return BackendError(pa_context_errno(Context));
    }
    DropContext();
  }
  Context = pa_context_new(pa_threaded_mainloop_get_api(Mainloop), ApplicationName.c_str());
  if (Context == nullptr) {
    return kMmNoMem;
  }
  pa_context_set_state_callback(Context, &Impl::OnContextState, this);
  if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    const MmResult error = BackendError(pa_context_errno(Context));
    DropContext();
    return error;
  }
  const bool settled = WaitFor([&] {
    const pa_context_state_t state = pa_context_get_state(Context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (!settled) {
    DropContext();
    return BackendError(PA_ERR_TIMEOUT);
  }
  if (pa_context_get_state(Context) != PA_CONTEXT_READY) {
    const MmResult error = BackendError(pa_context_errno(Context));
    DropContext();
    return error;
  }
  return kMmNoError;
}

void PulseWaveIn::Impl::Enumerate() {
  Devices.clear();
  Enumerated = true;
  if (EnsureContext() != kMmNoError) {
    return;
  }
  Listing listing;
  pa_threaded_mainloop_lock(Mainloop);
  const bool ok = Complete(pa_context_get_server_info(Context, &OnServerInfo, &listing)) &&
                  Complete(pa_context_get_source_info_list(Context, &OnSourceInfo, &listing));
  pa_threaded_mainloop_unlock(Mainloop);
  if (!ok) {
    return;
  }
  auto isDefault = [&](const Source& s) { return s.Name == listing.DefaultSource; };
  auto defaultSource = std::find_if(listing.Sources.begin(), listing.Sources.end(), isDefault);
  if (defaultSource == listing.Sources.end()) {
    // No default (or it vanished between the two queries): the server
    // would pick one itself; the first source stands for it.
    defaultSource = listing.Sources.begin();
  }
  if (defaultSource == listing.Sources.end()) {
    return;
  }
  Devices.push_back(*defaultSource);
  for (auto it = listing.Sources.begin(); it != listing.Sources.end(); ++it) {
    if (it != defaultSource) {
      Devices.push_back(std::move(*it));
    }
  }
}

}  // namespace tavrin::platform
