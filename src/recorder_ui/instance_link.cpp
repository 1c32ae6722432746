#include "recorder_ui/instance_link.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace tavrin::recorder_ui {

namespace {

const QByteArray kOpenVerb = QByteArrayLiteral("open");
const QByteArray kSaveVerb = QByteArrayLiteral("save");
const QByteArray kRefusedVerb = QByteArrayLiteral("refused ");
const QByteArray kOkAnswer = QByteArrayLiteral("ok\n");
const QByteArray kOkVerb = QByteArrayLiteral("ok ");
// Commands without an argument.
const std::array<QByteArray, 5> kBareCommands{
    QByteArrayLiteral("record"), QByteArrayLiteral("stop"), QByteArrayLiteral("toggle"),
    QByteArrayLiteral("status"), QByteArrayLiteral("show")};
// A request line: the verb, every byte of the longest path percent-encoded, the newline.
constexpr qint64 kLongestRequest = 5 + 3 * static_cast<qint64>(kLongestHandedPath) + 1;
// An answer: a refusal names the path, so it may be as long as a request and some.
constexpr std::size_t kLongestAnswer = 2 * kLongestRequest;
constexpr int kClientPatienceMs = 5000;
// Senders served at once; more are let go at once, so a flood costs nothing.
// Commands wait their turn on their connection (behind a save, say): room for
// a few dozen started together.
constexpr int kMostConnections = 32;

// The user id at the other end of a connected local socket, or -1.
long PeerUser(int fd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return -1;
  return static_cast<long>(credentials.uid);
}

// Why the entry at the socket's name is not the user's own socket, or empty
// when it is; a missing one sets `missing` (and is no problem).
std::string SocketProblem(const QByteArray& name, bool& missing) {
  struct stat entry {};
  missing = ::lstat(name.constData(), &entry) != 0;
  if (missing || (S_ISSOCK(entry.st_mode) && entry.st_uid == ::getuid())) return {};
  return name.toStdString() + " is not a socket of this user's";
}

QByteArray Encoded(const QByteArray& bytes) {
  return bytes.toPercentEncoding("/");
}

}  // namespace

std::string PrivateFolderProblem(const std::string& folder) {
  struct stat entry {};
  if (::lstat(folder.c_str(), &entry) != 0) return folder + ": " + std::strerror(errno);
  if (!S_ISDIR(entry.st_mode)) return folder + " is not a folder";
  if (entry.st_uid != ::getuid()) return folder + " belongs to another user";
  if ((entry.st_mode & (S_IRWXG | S_IRWXO)) != 0) return folder + " is open to other users";
  return {};
}

InstanceAddress InstanceServerAddress(const std::string& workFolder, bool makeFolder) {
  std::error_code ignored;
  const std::string canonical = std::filesystem::weakly_canonical(workFolder, ignored).string();
  const QByteArray hash = QCryptographicHash::hash(
                              QByteArray::fromStdString(canonical.empty() ? workFolder : canonical),
                              QCryptographicHash::Sha256)
                              .toHex()
                              .left(16);
  InstanceAddress address;
  std::string folder = qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString();
  // A runtime folder that is not the user's own private one is passed over.
  if (folder.empty() || !PrivateFolderProblem(folder).empty()) {
    folder = QDir::tempPath().toStdString() + "/tavrin-recorder-" + std::to_string(::getuid());
    if (makeFolder && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      address.Problem = folder + " could not be made (" + std::strerror(errno) + ")";
    }
    // Missing is fine for a sender: then no program runs. A link is not missing.
    std::error_code code;
    if (address.Problem.empty() &&
        (makeFolder || std::filesystem::exists(std::filesystem::symlink_status(folder, code)))) {
      address.Problem = PrivateFolderProblem(folder);
    }
  }
  address.Name = QString::fromStdString(folder) + QStringLiteral("/tavrin-recorder-") +
                 QString::fromLatin1(hash);
  if (address.Problem.empty() && QFile::encodeName(address.Name).size() >=
                                     static_cast<qsizetype>(sizeof(sockaddr_un::sun_path))) {
    address.Problem = address.Name.toStdString() + " is too long for a socket's name";
  }
  return address;
}

OpenRequestServer::OpenRequestServer() {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { Accept(); });
}

bool OpenRequestServer::Listen(const InstanceAddress& address, QString& error) {
  if (!address.Problem.empty()) {
    error = QString::fromStdString(address.Problem);
    return false;
  }
  // The folder is the user's own and the run marker ours: a socket of the
  // user's there is an earlier run's. Anything else is left alone.
  bool missing = false;
  if (const std::string problem = SocketProblem(QFile::encodeName(address.Name), missing);
      !problem.empty()) {
    error = QString::fromStdString(problem);
    return false;
  }
  QLocalServer::removeServer(address.Name);
  if (m_server.listen(address.Name)) return true;
  error = address.Name + QStringLiteral(": ") + m_server.errorString();
  return false;
}

void OpenRequestServer::Accept() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (m_connections >= kMostConnections ||
        PeerUser(static_cast<int>(socket->socketDescriptor())) != static_cast<long>(::getuid())) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    ++m_connections;
    QObject::connect(socket, &QObject::destroyed, &m_server, [this] { --m_connections; });
    // A sender that says nothing is let go.
    auto* patience = new QTimer(socket);
    patience->setSingleShot(true);
    QObject::connect(patience, &QTimer::timeout, socket, [socket] { socket->abort(); });
    patience->start(kClientPatienceMs);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, patience] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= kLongestRequest) socket->abort();
        return;
      }
      // readLine reads one byte less than it is given; a line cut short has no newline.
      QByteArray line = socket->readLine(kLongestRequest + 1);
      if (!line.endsWith('\n')) {
        socket->abort();
        return;
      }
      line.chop(1);
      const qsizetype space = line.indexOf(' ');
      const QByteArray verb = space < 0 ? line : line.left(space);
      const bool bare =
          std::find(kBareCommands.begin(), kBareCommands.end(), verb) != kBareCommands.end();
      const bool withPath = verb == kOpenVerb || verb == kSaveVerb;
      if ((bare && space >= 0) || (withPath && space < 0) || (!bare && !withPath)) {
        socket->abort();
        return;
      }
      // One request a connection: whatever follows it is not read.
      QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
      patience->stop();
      // The answer may come once a command is done; the sender may be gone by then.
      const RequestReply reply = [socket =
                                      QPointer<QLocalSocket>(socket)](const RequestAnswer& answer) {
        if (!socket) return;
        const QByteArray text = Encoded(QByteArray::fromStdString(answer.Text));
        socket->write(!answer.Taken    ? kRefusedVerb + text + '\n'
                      : text.isEmpty() ? kOkAnswer
                                       : kOkVerb + text + '\n');
        socket->flush();
        socket->disconnectFromServer();
      };
      const QByteArray path =
          withPath ? QByteArray::fromPercentEncoding(line.mid(space + 1)) : QByteArray();
      if (withPath && (path.isEmpty() || path.front() != '/' || path.contains('\0'))) {
        reply({false, std::string("The running Tavrin Recorder was not given a full path to ") +
                          (verb == kOpenVerb ? "open." : "save to.")});
      } else if (static_cast<std::size_t>(path.size()) > kLongestHandedPath) {
        reply({false, "The path is longer than " + std::to_string(kLongestHandedPath) + " bytes."});
      } else if (verb == kOpenVerb) {
        const std::string refusal =
            OpenRequested ? OpenRequested(path.toStdString()) : std::string();
        reply({refusal.empty(), refusal});
      } else if (CommandRequested) {
        CommandRequested(verb.toStdString(), path.toStdString(), reply);
      } else {
        reply({false, "The running Tavrin Recorder takes no commands."});
      }
    });
  }
}

namespace {

// The descriptor closed whatever way the sender leaves.
struct Descriptor {
  int Fd = -1;
  ~Descriptor() {
    if (Fd >= 0) ::close(Fd);
  }
};

// Waits for `events` on `fd` until `deadline`; false when the time ran out.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const auto left = static_cast<int>(deadline.remainingTime());
    if (left <= 0) return false;
    const int ready = ::poll(&entry, 1, left);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

HandOffResult SendOpenRequest(const InstanceAddress& address, const std::string& path,
                              int timeoutMs) {
  return SendCommand(address, kOpenVerb.toStdString(), path, timeoutMs);
}

HandOffResult SendCommand(const InstanceAddress& address, const std::string& verb,
                          const std::string& argument, int timeoutMs) {
  if (!address.Problem.empty()) return {HandOffResult::Unsafe, address.Problem};
  const QByteArray name = QFile::encodeName(address.Name);
  bool missing = false;
  if (std::string problem = SocketProblem(name, missing); !problem.empty()) {
    return {HandOffResult::Unsafe, std::move(problem)};
  }
  if (missing) return {HandOffResult::NoProgram, {}};
  sockaddr_un socketAddress{};
  socketAddress.sun_family = AF_UNIX;
  std::memcpy(socketAddress.sun_path, name.constData(),
              std::min(sizeof socketAddress.sun_path - 1, static_cast<std::size_t>(name.size())));
  Descriptor socket{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
  if (socket.Fd < 0) return {HandOffResult::NoAnswer, std::strerror(errno)};
  const QDeadlineTimer deadline(timeoutMs);
  // A full backlog (a program that hangs) answers EAGAIN: tried again until the deadline.
  while (::connect(socket.Fd, reinterpret_cast<const sockaddr*>(&socketAddress),
                   sizeof socketAddress) != 0) {
    if (errno == ECONNREFUSED || errno == ENOENT) return {HandOffResult::NoProgram, {}};
    if (errno != EAGAIN && errno != EINTR) return {HandOffResult::NoAnswer, std::strerror(errno)};
    if (deadline.hasExpired()) return {HandOffResult::NoAnswer, {}};
    ::poll(nullptr, 0, 20);
  }
  if (PeerUser(socket.Fd) != static_cast<long>(::getuid())) {
    return {HandOffResult::Unsafe, name.toStdString() + " is served by another user"};
  }
  QByteArray request = QByteArray::fromStdString(verb);
  if (!argument.empty()) request += ' ' + Encoded(QByteArray::fromStdString(argument));
  request += '\n';
  for (qsizetype sent = 0; sent < request.size();) {
    if (!WaitFor(socket.Fd, POLLOUT, deadline)) return {HandOffResult::NoAnswer, {}};
    const ssize_t written = ::send(socket.Fd, request.constData() + sent,
                                   static_cast<std::size_t>(request.size() - sent), MSG_NOSIGNAL);
    if (written < 0 && errno != EAGAIN && errno != EINTR) return {HandOffResult::NoAnswer, {}};
    if (written > 0) sent += written;
  }
  QByteArray answer;
  while (!answer.contains('\n')) {
    if (static_cast<std::size_t>(answer.size()) > kLongestAnswer ||
        !WaitFor(socket.Fd, POLLIN, deadline)) {
      return {HandOffResult::NoAnswer, {}};
    }
    char bytes[4096];
    const ssize_t got = ::recv(socket.Fd, bytes, sizeof bytes, 0);
    if (got == 0) return {HandOffResult::NoAnswer, {}};
    if (got < 0 && errno != EAGAIN && errno != EINTR) return {HandOffResult::NoAnswer, {}};
    if (got > 0) answer.append(bytes, got);
  }
  answer.truncate(answer.indexOf('\n') + 1);
  if (answer == kOkAnswer) return {HandOffResult::Opened, {}};
  if (answer.startsWith(kOkVerb)) {
    answer.chop(1);
    return {HandOffResult::Opened,
            QByteArray::fromPercentEncoding(answer.mid(kOkVerb.size())).toStdString()};
  }
  if (answer.startsWith(kRefusedVerb)) {
    answer.chop(1);
    return {HandOffResult::Refused,
            QByteArray::fromPercentEncoding(answer.mid(kRefusedVerb.size())).toStdString()};
  }
  return {HandOffResult::NoAnswer, {}};
}

}  // namespace tavrin::recorder_ui
