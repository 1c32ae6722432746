// The real recorder window on a private PulseAudio daemon (or PipeWire) playing
// a 1 kHz tone: Record, about 3 s, Stop; the raw take must hold the tone.
#include <QFileDialog>
#include <QProcess>
#include <QtTest/QtTest>
#include <cmath>
#include <filesystem>

#include "../e2e/tone_check.h"
#include "pulse_window_rig.h"

namespace fs = std::filesystem;
using namespace tavrin;

namespace {

// A value from sox's "stat" report, e.g. "RMS     amplitude:     0.353".
double SoxValue(const QString& report, const QString& label) {
  for (const QString& line : report.split(QLatin1Char('\n'))) {
    if (line.startsWith(label)) return line.mid(label.size()).trimmed().toDouble();
  }
  return -1;
}

}  // namespace

class FormMainPulseTest : public QObject {
  Q_OBJECT
private slots:
  void recordsTheToneThroughTheRealWindow();
};

void FormMainPulseTest::recordsTheToneThroughTheRealWindow() {
  testing::PulseWindowRig rig("gui-pulse");
  const fs::path& root = rig.Root;
  capture::RecorderState& state = rig.State;
  settings::Settings& stored = rig.Settings;
  recorder_ui::MainWindowServices services = rig.Services();
  fs::path target;
  services.ExecFileDialog = [&target](QFileDialog& dialog) {
    dialog.selectFile(QString::fromStdString(target.string()));
    return true;
  };
  services.EncoderLibraries = {TAVRIN_ENCODER_LIBRARY};
  recorder_ui::TFormMain& form = rig.Create(services);
  QTRY_VERIFY_WITH_TIMEOUT(state.DeviceOpen, 5000);
  QTRY_VERIFY_WITH_TIMEOUT(form.windowTitle().startsWith(QStringLiteral("Tavrin Recorder - ")),
                           2000);
  QCOMPARE(form.windowTitle(),
           QStringLiteral("Tavrin Recorder - ") + QString::fromStdString(state.DeviceName));
  QVERIFY(!state.DeviceName.empty());

  form.BtnRecordClick();
  QVERIFY(state.Recording);
  // Three seconds of audio, however late a busy machine lets it arrive.
  QElapsedTimer ran;
  ran.start();
  QTRY_VERIFY_WITH_TIMEOUT(state.Take.LastBufferIndex >= 30, 20000);
  form.BtnStopClick();
  QVERIFY(!state.Recording);
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
  // Never more audio than the time the take ran, give or take the buffer in flight.
  QVERIFY(state.Take.TakeLength >= 30 && state.Take.TakeLength <= ran.elapsed() / 100 + 2);
  QCOMPARE(state.LostFrames, std::uint64_t{0});

  const testing::StereoSamples take = testing::ReadRawTake(state.Take.RawPath);
  QCOMPARE(take.Left.size(), std::size_t{state.Take.TakeLength} * capture::kFramesPerBuffer);
  for (const auto* channel : {&take.Left, &take.Right}) {
    const testing::ToneMeasure tone = testing::MeasureTone(*channel, capture::kFramesPerBuffer);
    QVERIFY2(tone.Start < capture::kFramesPerBuffer, "the tone starts in the first buffer");
    QVERIFY2(std::abs(tone.LevelDb) < 0.5, "the tone's level");
    QVERIFY2(tone.WorstResidual < testing::kToneResidualLimit, "the tone is broken somewhere");
  }

  // Save the take as WAV and as MP3 through the window's own save flow.
  stored.SaveWav = true;
  stored.SaveMp3 = false;
  for (const char* name : {"tone.wav", "tone.mp3"}) {
    target = root / name;
    if (target.extension() == ".mp3") {
      stored.SaveWav = false;
      stored.SaveMp3 = true;
    }
    form.menuSaveAsClick();
    QVERIFY2(fs::exists(target), name);
  }
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
  QVERIFY(form.close());
  // Independent readers find the tone in both files: sox reads the WAV, lame decodes the MP3.
  const QString wav = QString::fromStdString((root / "tone.wav").string());
  const QString decoded = QString::fromStdString((root / "tone-decoded.wav").string());
  QProcess lame;
  lame.start(QStringLiteral("lame"),
             {QStringLiteral("--quiet"), QStringLiteral("--decode"),
              QString::fromStdString((root / "tone.mp3").string()), decoded});
  QVERIFY(lame.waitForFinished(60000));
  QCOMPARE(lame.exitCode(), 0);
  for (const QString& file : {wav, decoded}) {
    QProcess sox;
    // One channel: sox measures the frequency over consecutive samples.
    sox.start(QStringLiteral("sox"), {file, QStringLiteral("-n"), QStringLiteral("remix"),
                                      QStringLiteral("1"), QStringLiteral("stat")});
    QVERIFY(sox.waitForFinished(60000));
    const QString report = QString::fromLocal8Bit(sox.readAllStandardError());
    const double rms = SoxValue(report, QStringLiteral("RMS     amplitude:"));
    const double frequency = SoxValue(report, QStringLiteral("Rough   frequency:"));
    QVERIFY2(std::abs(20 * std::log10(rms / 0.3536)) < 0.6,
             qPrintable(file + QLatin1Char(' ') + report));
    QVERIFY2(std::abs(frequency - 1000) < 20, qPrintable(file + QLatin1Char(' ') + report));
  }
}

QTEST_MAIN(FormMainPulseTest)
#include "form_main_pulse_test.moc"
