#pragma once
// A second start with a file hands the file to the program already running on
// the same work folder. The running program listens on a local socket that
// only its user can reach, named after the user and the work folder; the
// second start sends the file's absolute path as one line of UTF-8 and waits
// for the line "OK". User-interface thread only.

#include <QLocalServer>
#include <QString>
#include <functional>
#include <string>

namespace tavrin::recorder_ui {

// The socket's name: in $XDG_RUNTIME_DIR when there is one, else in the
// system's temporary folder with the user's id in the name.
QString InstanceServerName(const std::string& workFolder);

class OpenRequestServer {
public:
  OpenRequestServer();
  // Starts listening on `name`, replacing a socket an earlier run left.
  // False with the reason in `error`.
  bool Listen(const QString& name, QString& error);
  // Called, after the sender has its answer, with each path received.
  std::function<void(const std::string& path)> OpenRequested;

private:
  void Accept();
  QLocalServer m_server;
};

// Sends `path` to the program listening on `name`. False when none took it
// within `timeoutMs`.
bool SendOpenRequest(const QString& name, const std::string& path, int timeoutMs = 5000);

}  // namespace tavrin::recorder_ui
