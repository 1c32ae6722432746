#pragma once
// The process id of the private PulseAudio daemon that PULSE_SERVER points
// at, from the peer credentials of its socket; 0 when it cannot be found.

#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tavrin::testing {

inline pid_t PulseDaemonPid() {
  const char* server = std::getenv("PULSE_SERVER");
  if (server == nullptr || std::strncmp(server, "unix:", 5) != 0) return 0;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, server + 5, sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  pid_t pid = 0;
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0) {
    pid = credentials.pid;
  }
  ::close(fd);
  return pid;
}

// Continues a stopped process when the scope ends, however a test leaves it.
struct ContinueAtExit {
  pid_t Pid;
  ~ContinueAtExit() { ::kill(Pid, SIGCONT); }
};

}  // namespace tavrin::testing
