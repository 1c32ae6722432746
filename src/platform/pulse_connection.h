#pragma once
// One connection to a PulseAudio server (or PipeWire's PulseAudio server): a
// threaded main loop and its context, waiting on the server with a time
// limit, and the lists of sources and sinks in device order. Wave input, wave
// output and the input mixer all talk to the server through it, and may share
// one instance.
//
// Threading: the context and everything made on it are used on the owner's
// thread only with the main loop's lock held (Guard); their callbacks run on
// the main loop's thread, which holds the lock while they run.

#include <pulse/pulseaudio.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/wave_common.h"

namespace tavrin::platform {

// Longest wait for the server on the owner's thread, unless told otherwise.
inline constexpr pa_usec_t kServerTimeoutUsec = 5 * PA_USEC_PER_SEC;

inline MmResult BackendError(int paError) {
  return kMmBackendBase + static_cast<MmResult>(paError > 0 ? paError : PA_ERR_UNKNOWN);
}

// The text of a result: libpulse's for kMmBackendBase + code, else the common one.
std::string PulseErrorText(MmResult result);

// A source or a sink.
struct PulseDevice {
  std::string Name;
  std::string Description;
  std::uint32_t Channels = 0;
};

class PulseConnection {
public:
  explicit PulseConnection(std::string applicationName, pa_usec_t timeoutUsec = kServerTimeoutUsec);
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  // Holds the main loop's lock for a scope (the loop must have been started).
  class Guard {
  public:
    explicit Guard(PulseConnection& connection);
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

  private:
    pa_threaded_mainloop* m_mainloop;
  };

  // ---- lock not held ----

  // Starts the main loop if needed and connects (or reconnects) the context.
  MmResult Connect();
  // Sources or sinks, the server's default first, then the others in the
  // server's order; nothing when the server cannot be asked.
  std::optional<std::vector<PulseDevice>> ListSources();
  std::optional<std::vector<PulseDevice>> ListSinks();
  // The server's default source name; nothing when the server cannot be asked.
  std::optional<std::string> DefaultSourceName();

  // Drops the context unless a stream still uses it, so that the next call
  // connects afresh.
  void DropIfIdle();

  // ---- lock held ----

  MmResult ConnectLocked();
  pa_threaded_mainloop* Mainloop() const { return m_mainloop; }
  pa_context* Context() const { return m_context; }
  bool IsReady() const;
  // Waits for main-loop callbacks until done() holds, the context fails or
  // the time limit passes; returns done().
  template <typename Done>
  bool WaitFor(Done done);
  // Runs an operation to its end; false if it failed, was cancelled, the
  // context failed or the server took too long (the operation is cancelled).
  bool Complete(pa_operation* operation);
  MmResult LastError() const;
  void DropContext();
  // Streams made on the context: while one exists, a failed context is
  // reported instead of replaced, so the stream's owner sees the failure.
  void AddStream() { ++m_streams; }
  void RemoveStream() { --m_streams; }
  // Wakes the owner's wait; for callbacks of the connection's users.
  void Signal() { pa_threaded_mainloop_signal(m_mainloop, 0); }

private:
  struct Timeout {
    pa_threaded_mainloop* Mainloop;
    bool Expired = false;
  };
  static void OnContextState(pa_context*, void* userdata);
  static void OnOperationState(pa_operation*, void* userdata);
  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);
  std::optional<std::vector<PulseDevice>> List(bool sinks);

  const std::string m_applicationName;
  const pa_usec_t m_timeoutUsec;
  pa_threaded_mainloop* m_mainloop = nullptr;
  pa_context* m_context = nullptr;
  int m_streams = 0;
};

template <typename Done>
bool PulseConnection::WaitFor(Done done) {
  if (done()) return true;
  if (m_context == nullptr) return false;
  Timeout timeout{m_mainloop};
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_mainloop);
  pa_time_event* timer = pa_context_rttime_new(m_context, pa_rtclock_now() + m_timeoutUsec,
                                               &PulseConnection::OnTimeout, &timeout);
  while (!done() && !timeout.Expired && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
    pa_threaded_mainloop_wait(m_mainloop);
  }
  if (timer != nullptr) api->time_free(timer);
  return done();
}

}  // namespace tavrin::platform
