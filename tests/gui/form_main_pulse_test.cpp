// The real recorder window on a private PulseAudio daemon (or PipeWire) playing
// a 1 kHz tone: Record, about 3 s, Stop; the raw take must hold the tone, and
// so must the take saved as WAV, MP3, FLAC and Opus.
#include <QProcess>
#include <QtTest/QtTest>
#include <cmath>
#include <filesystem>

#include "../e2e/tone_check.h"
#include "pulse_window_rig.h"

namespace fs = std::filesystem;
using namespace tavrin;
using testing::FileText;

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
  services.ExecFileDialog = testing::ChoosePath(target);
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

  // Save the take in every format through the window's own save flow.
  const std::pair<const char*, settings::SaveFormat> saves[] = {
      {"tone.wav", settings::SaveFormat::Wav},
      {"tone.mp3", settings::SaveFormat::Mp3},
      {"tone.flac", settings::SaveFormat::Flac},
      {"tone.opus", settings::SaveFormat::Opus}};
  for (const auto& [name, format] : saves) {
    target = root / name;
    settings::ChooseFormat(stored, format);
    form.menuSaveAsClick();
    QVERIFY2(fs::exists(target), name);
  }
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
  QVERIFY(form.close());
  // Independent readers find the tone in every file: lame, flac (which checks the
  // MD5 as it decodes) and opusdec decode to WAV files, and sox reads those.
  const auto at = [&root](const char* name) {
    return QString::fromStdString((root / name).string());
  };
  QCOMPARE(QProcess::execute(QStringLiteral("lame"),
                             {QStringLiteral("--quiet"), QStringLiteral("--decode"), at("tone.mp3"),
                              at("mp3.wav")}),
           0);
  QCOMPARE(QProcess::execute(QStringLiteral("flac"),
                             {QStringLiteral("--silent"), QStringLiteral("--decode"),
                              QStringLiteral("-o"), at("flac.wav"), at("tone.flac")}),
           0);
  QCOMPARE(QProcess::execute(QStringLiteral("opusdec"),
                             {QStringLiteral("--quiet"), QStringLiteral("--rate"),
                              QStringLiteral("44100"), at("tone.opus"), at("opus.wav")}),
           0);
  // Lossless: the FLAC holds exactly the WAV's samples.
  const std::string wav = FileText(at("tone.wav").toStdString());
  QCOMPARE(wav.size(), 44 + std::size_t{state.Take.TakeLength} * 17640);
  QVERIFY(FileText(at("flac.wav").toStdString()).ends_with(wav.substr(44)));
  for (const QString& file : {at("tone.wav"), at("mp3.wav"), at("flac.wav"), at("opus.wav")}) {
    // One channel: sox measures the frequency over consecutive samples.
    const QString report = testing::SoxStat(file, {QStringLiteral("remix"), QStringLiteral("1")});
    QVERIFY2(!report.isEmpty(), qPrintable(file));
    const double rms = testing::SoxValue(report, QStringLiteral("RMS     amplitude:"));
    const double frequency = testing::SoxValue(report, QStringLiteral("Rough   frequency:"));
    QVERIFY2(std::abs(20 * std::log10(rms / 0.3536)) < 0.6,
             qPrintable(file + QLatin1Char(' ') + report));
    QVERIFY2(std::abs(frequency - 1000) < 20, qPrintable(file + QLatin1Char(' ') + report));
  }
}

QTEST_MAIN(FormMainPulseTest)
#include "form_main_pulse_test.moc"
