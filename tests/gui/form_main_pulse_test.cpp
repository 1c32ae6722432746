// The real recorder window on a private PulseAudio daemon (or PipeWire) playing
// a 1 kHz tone: Record, about 3 s, Stop; the raw take must hold the tone, and
// so must the take saved as WAV, MP3, FLAC and Opus. Then a second output
// playing 440 Hz, chosen in the source menu: its own tone is recorded, the
// choice outlives a restart, and (on PulseAudio's daemon) the output unplugged
// and plugged in again while monitoring and while recording.
#include <QProcess>
#include <QStatusBar>
#include <QtTest/QtTest>
#include <cmath>
#include <filesystem>

#include "../e2e/command_output.h"
#include "../e2e/tone_check.h"
#include "pulse_window_rig.h"

namespace fs = std::filesystem;
using namespace tavrin;
using testing::FileText;

class FormMainPulseTest : public QObject {
  Q_OBJECT
private slots:
  void recordsTheToneThroughTheRealWindow();
  void chosenOutputIsRecordedFollowedAndRemembered();
};

namespace {

// pactl's answer, or empty when it failed.
std::string Pactl(const std::string& arguments) {
  return testing::CommandOutput("pactl " + arguments + " 2>/dev/null");
}

// A second null sink, "Tavrin Second Sink", with a 440 Hz tone playing into it;
// its module's id.
std::string LoadSecondSink() {
  // The quotes reach the module's own parser, which keeps the spaces.
  std::string id = Pactl(
      "load-module module-null-sink sink_name=tavrin_b "
      "\"sink_properties=\\\"device.description='Tavrin Second Sink'\\\"\"" +
      std::string(testing::OnPipeWire() ? "" : " norewinds=1"));
  if (!testing::OnPipeWire()) Pactl("load-module module-sine sink=tavrin_b frequency=440");
  return id.substr(0, id.find('\n'));
}

// The tone's frequency from its rising zero crossings, after the first buffer.
double ToneFrequency(const std::vector<double>& samples) {
  int rising = 0;
  for (std::size_t i = capture::kFramesPerBuffer + 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) ++rising;
  }
  return rising * double{capture::kSampleRate} /
         static_cast<double>(samples.size() - capture::kFramesPerBuffer);
}

}  // namespace

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

void FormMainPulseTest::chosenOutputIsRecordedFollowedAndRemembered() {
  if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) QSKIP("checked on the offscreen runs");
  const std::string sinkModule = LoadSecondSink();
  QVERIFY(!sinkModule.empty());
  // PipeWire has no tone module: a client plays it, at the graph's rate.
  QProcess tone;
  QProcess player;
  if (testing::OnPipeWire()) {
    tone.setStandardOutputProcess(&player);
    tone.start(QStringLiteral("sox"), QStringLiteral("-q -n -r 48000 -c 2 -b 16 -e signed -t raw "
                                                     "- synth 120 sine 440 vol 0.5")
                                          .split(QLatin1Char(' ')));
    player.start(QStringLiteral("pacat"),
                 QStringLiteral("--playback -d tavrin_b --format=s16le --rate=48000 --channels=2")
                     .split(QLatin1Char(' ')));
    QVERIFY(tone.waitForStarted() && player.waitForStarted());
  } else {
    QVERIFY(!Pactl("load-module module-null-source source_name=tavrin_mic description=Tavrin_Mic")
                 .empty());
  }
  const QString second = QStringLiteral("Tavrin Second Sink 的声音 (monitor)");
  testing::PulseWindowRig rig("gui-pulse-source");
  recorder_ui::TFormMain& form = rig.Create();
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.DeviceOpen, 5000);
  const QStringList entries = testing::OpenSourceMenu(form);
  if (testing::OnPipeWire()) {
    QVERIFY2(entries.contains(second), qPrintable(entries.join(QLatin1Char('|'))));
  } else {
    QCOMPARE(entries, (QStringList{QStringLiteral("跟随系统默认"), QStringLiteral("Tavrin_Mic"),
                                   QStringLiteral("Tavrin Null Sink 的声音 (monitor)"), second,
                                   QString(), QStringLiteral("声音设置...")}));
  }
  QVERIFY(testing::ChooseFromSourceMenu(form, second));
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.DeviceOpen, 5000);
  QVERIFY2(form.windowTitle().endsWith(QStringLiteral("Tavrin Second Sink")),
           qPrintable(form.windowTitle()));

  // Its own tone, not the default output's 1 kHz.
  form.BtnRecordClick();
  QTRY_VERIFY_WITH_TIMEOUT(rig.State.Take.LastBufferIndex >= 15, 20000);
  form.BtnStopClick();
  const double frequency = ToneFrequency(testing::ReadRawTake(rig.State.Take.RawPath).Left);
  QVERIFY2(std::abs(frequency - 440) < 10, qPrintable(QString::number(frequency)));

  // The knob sets the chosen source's volume: from its left stop 53 pixels on is 50 %.
  form.ImageVolMouseDown(true, 0);
  form.ImageVolMouseMove(-200);
  form.ImageVolMouseMove(53);
  form.ImageVolMouseUp();
  QTRY_VERIFY2_WITH_TIMEOUT(
      Pactl("get-source-volume tavrin_b.monitor").find(" 50% ") != std::string::npos,
      Pactl("get-source-volume tavrin_b.monitor").c_str(), 3000);
  QVERIFY(Pactl("get-source-volume tavrin_null.monitor").find(" 50% ") == std::string::npos);
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));

  // Started again on the same settings file: the same source.
  QVERIFY(form.close());
  rig.Form.reset();
  testing::PulseWindowRig again("gui-pulse-source-again");
  fs::copy_file(rig.Root / "bin" / "tavrin-recorder.INI",
                again.Root / "bin" / "tavrin-recorder.INI");
  settings::LoadSettings(again.Settings, (again.Root / "bin" / "tavrin-recorder.INI").string());
  recorder_ui::TFormMain& restarted = again.Create();
  QTRY_VERIFY_WITH_TIMEOUT(again.State.DeviceOpen, 5000);
  QTRY_VERIFY_WITH_TIMEOUT(restarted.windowTitle().endsWith(QStringLiteral("Tavrin Second Sink")),
                           2000);
  if (testing::OnPipeWire()) return;

  // Unplugged while monitoring: the default with a word why; back by itself.
  QCOMPARE(std::system(("pactl unload-module " + sinkModule).c_str()), 0);
  QTRY_COMPARE_WITH_TIMEOUT(
      restarted.statusBar()->currentMessage(),
      second + QStringLiteral(" is not connected; recording from the default source"), 3000);
  QTRY_VERIFY_WITH_TIMEOUT(again.State.DeviceOpen, 3000);
  QVERIFY(restarted.windowTitle().endsWith(QStringLiteral("Tavrin Null Sink")));
  const std::string reloaded = LoadSecondSink();
  QTRY_VERIFY_WITH_TIMEOUT(restarted.windowTitle().endsWith(QStringLiteral("Tavrin Second Sink")),
                           3000);
  QVERIFY(again.State.DeviceOpen);

  // Unplugged while recording: the take ends, kept, and the user is told.
  restarted.BtnRecordClick();
  QTRY_VERIFY_WITH_TIMEOUT(again.State.Take.LastBufferIndex >= 10, 20000);
  QCOMPARE(std::system(("pactl unload-module " + reloaded).c_str()), 0);
  QTRY_VERIFY_WITH_TIMEOUT(!again.State.Recording, 3000);
  QCOMPARE(again.Messages.size(), std::size_t{1});
  QVERIFY2(again.Messages.front().startsWith(QStringLiteral("The recording stopped")),
           qPrintable(again.MessageText()));
  QVERIFY(again.State.Take.TakeLength >= 10);
  QCOMPARE(fs::file_size(again.State.Take.RawPath),
           std::uintmax_t{again.State.Take.TakeLength} * capture::kBufferBytes);
  QTRY_VERIFY_WITH_TIMEOUT(again.State.DeviceOpen, 3000);
}

QTEST_MAIN(FormMainPulseTest)
#include "form_main_pulse_test.moc"
