#include "recorder_ui/instance_link.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>
#include <filesystem>

namespace tavrin::recorder_ui {

namespace {

// A path longer than the system's limit is no path: the line is refused.
constexpr qint64 kLongestLine = 4096 + 1;
constexpr int kClientPatienceMs = 5000;
const QByteArray kAnswer = QByteArrayLiteral("OK\n");

}  // namespace

QString InstanceServerName(const std::string& workFolder) {
  std::error_code ignored;
  const std::string folder = std::filesystem::weakly_canonical(workFolder, ignored).string();
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(folder.empty() ? workFolder : folder),
                               QCryptographicHash::Sha256)
          .toHex()
          .left(16);
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
    return runtime + QStringLiteral("/tavrin-recorder-") + QString::fromLatin1(hash);
  }
  return QDir::tempPath() + QStringLiteral("/tavrin-recorder-%1-").arg(::getuid()) +
         QString::fromLatin1(hash);
}

OpenRequestServer::OpenRequestServer() {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { Accept(); });
}

bool OpenRequestServer::Listen(const QString& name, QString& error) {
  // The run marker is ours: a socket of that name is an earlier run's.
  QLocalServer::removeServer(name);
  if (m_server.listen(name)) return true;
  error = m_server.errorString();
  return false;
}

void OpenRequestServer::Accept() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A sender that says nothing is let go.
    QTimer::singleShot(kClientPatienceMs, socket, [socket] { socket->abort(); });
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestLine) socket->abort();
        return;
      }
      const QByteArray line = socket->readLine(kLongestLine).trimmed();
      const std::string path = QString::fromUtf8(line).toStdString();
      if (path.empty() || path.front() != '/' || line.size() >= kLongestLine) {
        socket->abort();
        return;
      }
      socket->write(kAnswer);
      socket->flush();
      socket->disconnectFromServer();
      // The editor runs modally: it opens once this handler has returned.
      QTimer::singleShot(0, &m_server, [this, path] {
        if (OpenRequested) OpenRequested(path);
      });
    });
  }
}

bool SendOpenRequest(const QString& name, const std::string& path, int timeoutMs) {
  // One line carries one path.
  if (path.find('\n') != std::string::npos) return false;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(timeoutMs)) return false;
  const QByteArray line = QByteArray::fromStdString(path) + '\n';
  if (socket.write(line) != line.size() || !socket.waitForBytesWritten(timeoutMs)) return false;
  QByteArray answer;
  while (!answer.endsWith('\n') && socket.waitForReadyRead(timeoutMs)) {
    answer += socket.readAll();
  }
  answer += socket.readAll();  // what came with the server's goodbye
  return answer == kAnswer;
}

}  // namespace tavrin::recorder_ui
