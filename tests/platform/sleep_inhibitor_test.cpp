// The sleep lock against a private bus: a stand-in login manager hands out one
// end of a pipe as the lock, so the test sees the lock end when its last copy
// is closed, exactly as the real service does.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <memory>

#include "platform/sleep_inhibitor_logind.h"

namespace tavrin::platform {

class FakeLoginManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
  ~FakeLoginManager() override {
    for (const int fd : ReadEnds) ::close(fd);
  }
  QStringList Calls;    // "what|mode" of each Inhibit
  QList<int> ReadEnds;  // the far end of each lock handed out

  // The lock handed out `index` is still held by someone.
  bool LockHeld(int index) const {
    pollfd poll{ReadEnds.at(index), POLLIN, 0};
    return ::poll(&poll, 1, 0) == 0;
  }

public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode) {
    Q_UNUSED(who);
    Q_UNUSED(why);
    Calls << what + QLatin1Char('|') + mode;
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) return {};
    ReadEnds << ends[0];
    QDBusUnixFileDescriptor lock(ends[1]);  // a copy travels with the reply
    ::close(ends[1]);
    return lock;
  }
};

class SleepInhibitorTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
      QSKIP("dbus-daemon is not installed");
    }
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    QVERIFY(m_daemon.waitForStarted());
    QTRY_VERIFY(m_daemon.canReadLine());
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
  }
  void cleanupTestCase() {
    if (m_daemon.state() == QProcess::NotRunning) return;
    m_daemon.terminate();
    QVERIFY(m_daemon.waitForFinished());
  }

  void init() {
    m_manager = std::make_unique<FakeLoginManager>();
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("login1"));
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/login1"), m_manager.get(),
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.login1")));
  }
  void cleanup() {
    QDBusConnection bus(QStringLiteral("login1"));
    bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("login1"));
    m_manager.reset();
  }

  void HoldsOneBlockLockForTheTakeAndEndsItAtStop() {
    LogindSleepInhibitor inhibitor(m_address);
    inhibitor.SetRecording(true);
    QTRY_VERIFY(inhibitor.Held());
    QCOMPARE(m_manager->Calls, QStringList{QStringLiteral("sleep:idle|block")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_manager->LockHeld(0));  // still held once the reply's copy has gone

    inhibitor.SetRecording(true);  // every timer tick says so again
    QCoreApplication::processEvents();
    QCOMPARE(m_manager->Calls.size(), 1);

    inhibitor.SetRecording(false);
    QVERIFY(!inhibitor.Held());
    QTRY_VERIFY(!m_manager->LockHeld(0));

    // The next take takes a new lock, and leaving the program ends it too.
    {
      LogindSleepInhibitor next(m_address);
      next.SetRecording(true);
      QTRY_VERIFY(next.Held());
    }
    QCOMPARE(m_manager->Calls.size(), 2);
    QTRY_VERIFY(!m_manager->LockHeld(1));
  }

  void ATakeThatEndsBeforeTheAnswerKeepsNoLock() {
    LogindSleepInhibitor inhibitor(m_address);
    inhibitor.SetRecording(true);
    inhibitor.SetRecording(false);
    QTRY_COMPARE(m_manager->Calls.size(), 1);
    QTRY_VERIFY(!m_manager->LockHeld(0));
    QVERIFY(!inhibitor.Held());

    // Stopped and started again before the answer: the one answer serves the new take.
    inhibitor.SetRecording(true);
    inhibitor.SetRecording(false);
    inhibitor.SetRecording(true);
    QTRY_VERIFY(inhibitor.Held());
    QCOMPARE(m_manager->Calls.size(), 2);
  }

  void WithoutTheServiceOrABusRecordingGoesOnQuietly() {
    cleanup();  // the bus has no login manager now
    {
      LogindSleepInhibitor inhibitor(m_address);
      inhibitor.SetRecording(true);
      QTest::qWait(200);  // the error answer, if any, arrives and changes nothing
      QVERIFY(!inhibitor.Held());
      inhibitor.SetRecording(false);
    }
    LogindSleepInhibitor nowhere(QStringLiteral("unix:path=/nonexistent/bus"));
    nowhere.SetRecording(true);
    nowhere.SetRecording(false);
    QVERIFY(!nowhere.Held());
    init();
  }

private:
  QProcess m_daemon;
  QString m_address;
  std::unique_ptr<FakeLoginManager> m_manager;
};

}  // namespace tavrin::platform

QTEST_GUILESS_MAIN(tavrin::platform::SleepInhibitorTest)
#include "sleep_inhibitor_test.moc"
