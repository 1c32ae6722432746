#include "platform/sleep_inhibitor_logind.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

namespace tavrin::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kConnectionName = QStringLiteral("tavrin-sleep-inhibitor");

QDBusConnection Bus(const QString& address) {
  if (address.isEmpty()) return QDBusConnection::systemBus();
  return QDBusConnection::connectToBus(address, kConnectionName);
}

}  // namespace

LogindSleepInhibitor::LogindSleepInhibitor(QString busAddress, QObject* parent)
    : QObject(parent), m_busAddress(std::move(busAddress)) {}

LogindSleepInhibitor::~LogindSleepInhibitor() {
  Release();
  if (!m_busAddress.isEmpty()) QDBusConnection::disconnectFromBus(kConnectionName);
}

void LogindSleepInhibitor::SetRecording(bool recording) {
  if (recording == m_wanted) return;
  m_wanted = recording;
  if (!recording) {
    Release();
  } else if (!m_pending) {
    // A call still on its way is kept or dropped by m_wanted when it answers.
    Request();
  }
}

void LogindSleepInhibitor::Request() {
  const QDBusConnection bus = Bus(m_busAddress);
  if (!bus.isConnected()) return;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep:idle") << QStringLiteral("Tavrin Recorder")
       << QStringLiteral("A take is being recorded") << QStringLiteral("block");
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  m_pending = true;
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            m_pending = false;
            const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
            if (reply.isError() || !reply.value().isValid()) return;
            // Our own copy: the reply's copy goes with the watcher. A take that
            // ended while the call was on its way takes none.
            if (m_wanted && m_lockFd < 0) {
              m_lockFd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
            }
          });
}

void LogindSleepInhibitor::Release() {
  if (m_lockFd < 0) return;
  // Closing the last copy of the descriptor is what ends the lock.
  static_cast<void>(::close(m_lockFd));
  m_lockFd = -1;
}

}  // namespace tavrin::platform
