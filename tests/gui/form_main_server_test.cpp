// The real recorder window on a private PulseAudio daemon when the server or
// the program stalls or the server goes away: the window keeps ticking, lost
// audio is reported and adds up, a take ends with its audio kept, and
// monitoring comes back with the server.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QtTest/QtTest>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "../e2e/pulse_daemon_pid.h"
#include "pulse_window_rig.h"

using namespace tavrin;
using testing::PulseWindowRig;
namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

class FormMainServerTest : public QObject {
  Q_OBJECT
private slots:
  void stoppedServerNeverStallsTheWindowAndTheTakeGoesOn();
  void stalledProgramReportsTheAudioTheServerDropped();
  // Last: it ends the daemon and starts another.
  void serverGoneEndsTheTakeOnceAndMonitoringReturnsWithIt();
};

void FormMainServerTest::stoppedServerNeverStallsTheWindowAndTheTakeGoesOn() {
  const pid_t daemon = testing::PulseDaemonPid();
  QVERIFY(daemon > 0);
  PulseWindowRig rig("server-stop");
  auto& form = rig.Create();
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.DeviceOpen, 5000);
  form.BtnRecordClick();
  QVERIFY(rig.State.Recording);
  QTest::qWait(1000);

  const qint64 stoppedAt = rig.Clock.elapsed();
  QCOMPARE(::kill(daemon, SIGSTOP), 0);
  {
    const testing::ContinueAtExit resume{daemon};
    QTest::qWait(5000);
  }
  const std::uint32_t buffersAtResume = rig.State.RecordedBuffers;
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.RecordedBuffers > buffersAtResume + 10, 5000);
  QVERIFY2(rig.LongestTickGapMs(stoppedAt) < 300,
           qPrintable(QStringLiteral("longest gap %1 ms").arg(rig.LongestTickGapMs(stoppedAt))));
  QVERIFY(rig.State.Recording);
  form.BtnStopClick();
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
}

void FormMainServerTest::stalledProgramReportsTheAudioTheServerDropped() {
  PulseWindowRig rig("program-stop");
  auto& form = rig.Create();
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.DeviceOpen, 5000);
  form.BtnRecordClick();
  const Clock::time_point started = Clock::now();
  QTest::qWait(1000);

  // A helper stops this whole process for 8 s, as heavy swapping would.
  const pid_t parent = ::getpid();
  const pid_t helper = ::fork();
  if (helper == 0) {
    ::kill(parent, SIGSTOP);
    const timespec pause{8, 0};
    ::nanosleep(&pause, nullptr);
    ::kill(parent, SIGCONT);
    ::_exit(0);
  }
  QVERIFY(helper > 0);
  // Done once reaped here, or by Qt's own child handler first (ECHILD).
  QTRY_VERIFY_WITH_TIMEOUT(::waitpid(helper, nullptr, WNOHANG) != 0, 30000);
  QTest::qWait(2000);
  const double ran = std::chrono::duration<double>(Clock::now() - started).count();
  form.BtnStopClick();

  const double kept = rig.State.Take.TakeLength / 10.0;
  const double lost = static_cast<double>(rig.State.LostFrames) / capture::kSampleRate;
  qInfo("kept %.2f s + lost %.2f s, ran %.2f s", kept, lost, ran);
  QVERIFY2(lost > 1.0, qPrintable(QStringLiteral("lost %1 s").arg(lost)));
  QVERIFY2(
      std::abs(kept + lost - ran) < 0.2,
      qPrintable(QStringLiteral("kept %1 s + lost %2 s, ran %3 s").arg(kept).arg(lost).arg(ran)));
  QVERIFY2(form.StatusPanelText(0).startsWith(QStringLiteral("Lost %1 s").arg(lost, 0, 'f', 1)),
           qPrintable(form.StatusPanelText(0)));
  QTest::qWait(500);  // a few status ticks later it is still there
  QVERIFY(form.StatusPanelText(0).startsWith(QStringLiteral("Lost ")));
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
}

void FormMainServerTest::serverGoneEndsTheTakeOnceAndMonitoringReturnsWithIt() {
  PulseWindowRig rig("server-gone");
  auto& form = rig.Create();
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.DeviceOpen, 5000);
  form.BtnRecordClick();
  QTest::qWait(1500);
  QCOMPARE(std::system("pactl exit"), 0);
  QTRY_VERIFY_WITH_TIMEOUT(!rig.State.Recording, 3000);
  QTest::qWait(1000);
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  QVERIFY2(rig.Messages.front().startsWith(QStringLiteral("The recording stopped")),
           qPrintable(rig.MessageText()));
  QVERIFY(rig.State.Take.TakeLength >= 12);
  QCOMPARE(fs::file_size(rig.State.Take.RawPath),
           std::uintmax_t{rig.State.Take.TakeLength} * capture::kBufferBytes);
  QCOMPARE(form.StatusPanelText(0), QStringLiteral("Sound server not available"));

  // The same daemon again, on the same socket, ended with this process.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  QProcess server;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("HOME"), runtime + QStringLiteral("/home"));
  server.setProcessEnvironment(environment);
  // As tests/e2e/pulse-daemon.sh starts it.
  server.start(QStringLiteral("setpriv"),
               QStringLiteral("--pdeathsig TERM -- pulseaudio -n --system=no --daemonize=no "
                              "--exit-idle-time=-1 --use-pid-file=no --realtime=no "
                              "--high-priority=no --disallow-exit=no -F")
                       .split(QLatin1Char(' '))
                   << runtime + QStringLiteral("/daemon.pa"));
  QVERIFY(server.waitForStarted());
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.DeviceOpen, 5000);
  const std::uint32_t buffers = rig.State.Take.LastBufferIndex;
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.Take.LastBufferIndex > buffers + 5, 3000);
  QVERIFY(!form.StatusPanelText(0).startsWith(QStringLiteral("Sound server")));
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  rig.Form.reset();
  server.terminate();
  QVERIFY(server.waitForFinished(5000));
}

QTEST_MAIN(FormMainServerTest)
#include "form_main_server_test.moc"
