#pragma once
// A second start with a file hands the file to the program already running on
// the same work folder, over a local socket in a folder that only the user can
// reach ($XDG_RUNTIME_DIR, else a 0700 folder of the user's own in the
// temporary folder). A folder or socket that another user owns or can open is
// never used. Both ends check that the other is the same user.
//
// One request line: "open " + the path's bytes percent-encoded + "\n" (any
// byte of a file name travels exactly), or a command: "record", "stop",
// "toggle", "status" alone, or "save " + a path as for open. One answer
// line: "ok\n" or "ok " + a text percent-encoded + "\n", or "refused " + the
// running program's reason percent-encoded + "\n". Lines, waits and
// connections are bounded. User-interface thread only.

#include <QLocalServer>
#include <QString>
#include <functional>
#include <string>

namespace tavrin::recorder_ui {

// The longest path a request carries, in bytes (the system's own limit).
inline constexpr std::size_t kLongestHandedPath = 4096;

struct InstanceAddress {
  QString Name;         // the socket's full path
  std::string Problem;  // why the hand-off cannot be used safely; empty = it can
};

// The socket for `workFolder`, in $XDG_RUNTIME_DIR when that is the user's own
// private folder, else in "<temp>/tavrin-recorder-<uid>" (made 0700 when
// `makeFolder` and missing).
InstanceAddress InstanceServerAddress(const std::string& workFolder, bool makeFolder);

// Whether `folder` is a real folder (not a link) owned by this user that no
// one else may enter. Empty = it is; else why not.
std::string PrivateFolderProblem(const std::string& folder);

// What the running program answers to a request.
struct RequestAnswer {
  bool Taken = true;
  std::string Text;  // for a command: what it did (a status line, a path); else the refusal
};
using RequestReply = std::function<void(const RequestAnswer&)>;

class OpenRequestServer {
public:
  OpenRequestServer();
  // Starts listening at `address`, replacing a socket an earlier run left in
  // the private folder. False with the reason in `error`.
  bool Listen(const InstanceAddress& address, QString& error);
  // Called with each path received; answers empty when the program takes it
  // (it opens once the sender has its answer), else the reason it cannot now.
  std::function<std::string(const std::string& path)> OpenRequested;
  // Called with each command ("record", "stop", "toggle", "status", or "save"
  // with its path); `reply` answers the sender, now or once the command is
  // done. Without it every command is refused.
  std::function<void(const std::string& verb, const std::string& argument, RequestReply reply)>
      CommandRequested;

private:
  void Accept();
  QLocalServer m_server;
  int m_connections = 0;
};

struct HandOffResult {
  enum Outcome {
    Opened,     // the running program took the file
    Refused,    // it answered why it cannot now (Text)
    NoProgram,  // nothing listens: no program runs on this work folder
    NoAnswer,   // something listens but gave no valid answer in time
    Unsafe,     // the folder or the socket is not the user's own (Text)
  };
  Outcome Result = NoProgram;
  std::string Text;  // Opened: what a command did; Refused: why; Unsafe: what
};

// Sends `path` (absolute) to the program listening at `address`, waiting at
// most `timeoutMs` in all.
HandOffResult SendOpenRequest(const InstanceAddress& address, const std::string& path,
                              int timeoutMs = 5000);
// Sends a command (see above) with its argument (a save's absolute path, else
// empty); Opened means the program did it.
HandOffResult SendCommand(const InstanceAddress& address, const std::string& verb,
                          const std::string& argument, int timeoutMs = 5000);

}  // namespace tavrin::recorder_ui
