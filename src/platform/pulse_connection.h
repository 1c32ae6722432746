#pragma once
// One connection to a PulseAudio server (or PipeWire's PulseAudio server): a
// threaded main loop and its context, bounded waits on the server, and a view
// of its sources kept current by the server's change events. Wave
// input, wave output and the input mixer all talk to the server through it,
// and may share one instance.
//
// Threading: the context and everything made on it are used on the owner's
// thread only with the main loop's lock held (Guard); their callbacks run on
// the main loop's thread, which holds the lock while they run. The view is
// written by those callbacks only (they copy what the server says) and read
// by the owner under the lock, so reading it never waits for the server.

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/wave_common.h"

namespace tavrin::platform {

// Longest wait for the server before it has once answered (start-up).
inline constexpr pa_usec_t kServerTimeoutUsec = 5 * PA_USEC_PER_SEC;
// Longest wait once it has: the owner's thread (the window's) must not stall
// on a server that hangs.
inline constexpr pa_usec_t kShortWaitUsec = 40 * PA_USEC_PER_MSEC;

inline MmResult BackendError(int paError) {
  return kMmBackendBase + static_cast<MmResult>(paError > 0 ? paError : PA_ERR_UNKNOWN);
}

// The text of a result: libpulse's for kMmBackendBase + code, else the common one.
std::string PulseErrorText(MmResult result);

struct PulsePort {
  std::string Name;
  std::string Description;
};

// A source or a sink; volume, mute, ports and the monitored sink are filled
// for sources only.
struct PulseDevice {
  std::uint32_t Index = PA_INVALID_INDEX;  // the server's; its list is in this order
  std::string Name;
  std::string Description;
  bool Monitor = false;
  std::string MonitorOf;  // the monitored sink's description
  std::uint32_t Channels = 0;
  pa_cvolume Volume{};
  bool Muted = false;
  std::vector<PulsePort> Ports;
  int ActivePort = -1;
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
  // Each new context is waited for once, until the server has sent its device
  // lists: up to the time limit until the server has once answered, then
  // kShortWaitUsec; a server that hangs while being connected to costs no
  // further waits.
  MmResult Connect();
  // Sources, the selected one first while listed, else the server's default,
  // then the others in the server's order, as the server last told them;
  // nothing while the server cannot be asked (gone, hung since connecting, or
  // not answered yet), and then the reason in `error` when given.
  std::optional<std::vector<PulseDevice>> ListSources(MmResult* error = nullptr);
  // The source that every user of this connection takes for device 0 while
  // it is listed; empty for the server's default. Owner's thread only.
  void SelectSource(std::string name) { m_selectedSource = std::move(name); }
  const std::string& SelectedSource() const { return m_selectedSource; }

  // ---- lock held ----

  pa_threaded_mainloop* Mainloop() const { return m_mainloop; }
  pa_context* Context() const { return m_context; }
  bool IsReady() const;
  // The longest wait for the owner's thread now (see Connect).
  pa_usec_t WaitLimit() const { return m_everReady ? kShortWaitUsec : m_timeoutUsec; }
  // Waits for main-loop callbacks until done() holds, the context fails or
  // `limitUsec` passes; returns done().
  template <typename Done>
  bool WaitFor(Done done, pa_usec_t limitUsec);
  template <typename Done>
  bool WaitFor(Done done) {
    return WaitFor(done, WaitLimit());
  }
  // Runs an operation to its end; false if it failed, was cancelled, the
  // context failed or the server took too long (the operation is cancelled).
  bool Complete(pa_operation* operation, pa_usec_t limitUsec);
  bool Complete(pa_operation* operation) { return Complete(operation, WaitLimit()); }
  // Starts an operation whose answer nobody waits for; false if it could not be sent.
  static bool Send(pa_operation* operation);
  // Lets go of an operation kept for its callback: cancelled if still running,
  // so the callback never runs after this (its user may be gone); null after.
  static void Cancel(pa_operation*& operation);
  MmResult LastError() const;
  // Why a stream made on the context failed: the context's error, else the connection's end.
  MmResult StreamError() const;
  // kMmNoError while `stream` is usable, else StreamError.
  MmResult StreamFailure(pa_stream* stream) const;
  // Waits while `stream` is being created; false if it still is after `limitUsec`.
  bool WaitForStream(pa_stream* stream, pa_usec_t limitUsec);
  // Streams made on the context: while one exists, a failed context is
  // reported instead of replaced, so the stream's owner sees the failure.
  void AddStream() { ++m_streams; }
  void RemoveStream() { --m_streams; }
  // Makes a change this side has just made to a source show in the view at
  // once, before the server's change event refreshes it. A refresh already in
  // flight was answered before the change, so its answer is dropped and the
  // view asked for again.
  template <typename Edit>
  void EditSource(const std::string& name, Edit edit) {
    for (PulseDevice& source : m_view.Sources) {
      if (source.Name == name) edit(source);
    }
    if (m_refreshing) m_refreshStale = m_refreshAgain = true;
  }
  // Wakes the owner's wait; for callbacks of the connection's users.
  void Signal() { pa_threaded_mainloop_signal(m_mainloop, 0); }
  // A stream's state callback, with the connection as its user data.
  static void OnStreamState(pa_stream*, void* connection);

private:
  struct Timeout {
    pa_threaded_mainloop* Mainloop;
    bool Expired = false;
  };
  struct View {
    bool Known = false;
    std::string DefaultSource;
    std::vector<PulseDevice> Sources;  // in the server's order
  };
  struct SinkName {
    std::string Name;
    std::string Description;
  };
  static void OnContextState(pa_context*, void* userdata);
  static void OnOperationState(pa_operation*, void* userdata);
  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);
  static void OnEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata);
  static void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata);
  static void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata);
  static void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata);

  MmResult StartMainloop();
  // Lock held: a fresh context unless the current one is usable or still in use.
  MmResult EnsureContextLocked();
  void DropContext();
  // Main-loop thread: asks the server for its default source and its sources.
  void Refresh();

  const std::string m_applicationName;
  const pa_usec_t m_timeoutUsec;
  std::string m_selectedSource;
  pa_threaded_mainloop* m_mainloop = nullptr;
  pa_context* m_context = nullptr;
  int m_streams = 0;
  bool m_everReady = false;
  bool m_contextWaited = false;  // the current context had its one wait

  // Guarded by the lock; filled on the main loop's thread.
  View m_view;
  View m_pending;                        // the answers of the refresh in flight
  std::vector<SinkName> m_pendingSinks;  // to name what each monitor records
  bool m_refreshing = false;
  bool m_refreshAgain = false;
  bool m_refreshStale = false;  // the refresh in flight is older than a change made here
};

template <typename Done>
bool PulseConnection::WaitFor(Done done, pa_usec_t limitUsec) {
  if (done()) return true;
  if (m_context == nullptr) return false;
  Timeout timeout{m_mainloop};
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_mainloop);
  pa_time_event* timer = pa_context_rttime_new(m_context, pa_rtclock_now() + limitUsec,
                                               &PulseConnection::OnTimeout, &timeout);
  while (!done() && !timeout.Expired && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
    pa_threaded_mainloop_wait(m_mainloop);
  }
  if (timer != nullptr) api->time_free(timer);
  return done();
}

}  // namespace tavrin::platform
