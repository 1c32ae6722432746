// The recorder window on simulated devices: buttons, timers, limits, slider,
// device changes, start-up, the Help menu and closing.
#include <QAccessible>
#include <QCheckBox>
#include <QDesktopServices>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QtTest/QtTest>
#include <fstream>

#include "drop_urls.h"
#include "editor/window/form_edit.h"
#include "fake_sound_opener.h"
#include "file_bytes.h"
#include "form_main_fixture.h"
#include "hand_off_sender.h"
#include "platform/input_mixer.h"
#include "recorder_ui/form_main_chart.h"
#include "recorder_ui/form_main_surface.h"
#include "recorder_ui/instance_link.h"

using tavrin::testing::MainWindowRig;
namespace fs = std::filesystem;

// Stands in for the desktop's browser: keeps the URLs it is asked to open.
class UrlCatcher : public QObject {
  Q_OBJECT
public slots:
  void Open(const QUrl& url) { Opened.append(url); }

public:
  QList<QUrl> Opened;
};

class FormMainTest : public QObject {
  Q_OBJECT
private slots:
  void recordStopAndEditSetTheirTextsAndState();
  void theEditorKeepsTheTakesWaveformWhileTheInputRunsOn();
  void timersStepTheDcHistoryMetersAndTimeScale();
  void levelChartSpansItsAxesAndMarksClipsAtTheTop();
  void lowDiskEndsTheTakeAndKeepsIt();
  void lengthLimitStopsTheTake();
  void theMachineStaysAwakeExactlyWhileATakeRecords();
  void aTimedTakeSavesTheTakeItReplacesAndThenItself();
  void theHangoverShowsAsRecordingAndOnlyTheSilencePastItAsPaused();
  void dcBoxEstimatesAndClearsTheOffset();
  void sliderSendsZeroAndNinetyNineAtItsEnds();
  void defaultDeviceChangeRestartsOnlyWhenNothingIsLost();
  void serverLossEndsTheTakeOnceAndMonitoringReturns();
  void lostAudioStaysInViewUntilTheNextRecord();
  void refusedDeviceIsReportedOnceAndRecordDoesNotStart();
  void closingWhileRecordingAsksFirst();
  void unwritableSettingsStillCloseAndSaySoOnce();
  void startUpCleansWorkFilesAndAppliesSettings();
  void startUpFailsWhenTheWorkFolderCannotBeMade();
  void aSecondProgramIsRefusedAndAnUnclosedOnesTakeIsKept();
  void helpOpensTheGuideOrSaysItIsMissing();
  void noDeviceAtStartUpOpensTheSoundSettings();
  void sourceMenuChoosesTheSourceAtOnceAndTheSettingsKeepIt();
  void aSecondSourceChosenIsRecordedBesideTheFirstUntilNoneTakesItAway();
  void colourSchemeFiveGivesBlackText();
  void theMenuADropAndASecondStartOpenAFileInTheEditor();
  void theTrayRecordsStopsAndHidesTheMinimisedWindow();
};

void FormMainTest::recordStopAndEditSetTheirTextsAndState() {
  MainWindowRig rig("record");
  auto& form = rig.CreateMonitoring();
  QVERIFY(rig.State.DeviceOpen);
  QCOMPARE(form.windowTitle(), QStringLiteral("Tavrin Recorder - Simulated Microphone"));
  QCOMPARE(form.StatusPanelText(0), QStringLiteral("Simulated Microphone"));

  form.BtnEditClick();
  QCOMPARE(rig.Messages.back(), QStringLiteral("No sound recorded."));

  form.BtnRecordClick();
  QVERIFY(rig.State.Recording);
  QVERIFY(form.StatusPanelText(1).startsWith(QStringLiteral("Start-")));
  rig.Run(31);
  QVERIFY(!form.RecordingModeEnabled());
  QCOMPARE(form.TimeLabelText(), QStringLiteral("00:00:03"));
  QVERIFY(form.StatusPanelText(2).startsWith(QStringLiteral("Current-")));
  // A screen reader hears what the meters show, and that a take records.
  QVERIFY(form.centralWidget()->accessibleDescription().endsWith(QStringLiteral("；正在录音")));
  form.BtnEditClick();
  QCOMPARE(rig.EditorShown, 0);  // not while recording

  form.BtnStopClick();
  QVERIFY(!rig.State.Recording);
  QVERIFY(rig.State.DeviceOpen);
  QCOMPARE(rig.State.Take.TakeLength, 31u);
  QVERIFY(form.StatusPanelText(2).startsWith(QStringLiteral("End - ")));
  QCOMPARE(form.accessibleDescription(), QStringLiteral("已停止，录音 00:00:03 未保存"));
  form.TimerStatusTimer();
  QVERIFY(form.RecordingModeEnabled());

  form.BtnEditClick();
  QCOMPARE(rig.EditorShown, 1);
  QVERIFY(!rig.DeviceOpenInEditor);  // the editor runs with the device closed
  QVERIFY(rig.State.DeviceOpen);
}

void FormMainTest::theEditorKeepsTheTakesWaveformWhileTheInputRunsOn() {
  MainWindowRig rig("editor-open");
  tavrin::recorder_ui::MainWindowServices services = rig.Services();
  services.ShowEditor = nullptr;  // the real, modal editor
  auto& form = rig.CreateMonitoring(services);
  rig.Record(40);
  form.BtnStopClick();
  std::vector<std::int16_t> peaks;  // the take's left maxima
  for (const auto& buffer : rig.State.Take.Peaks) peaks.push_back(buffer.MaxLeft);
  QVERIFY(peaks[20] != 0);
  // The source falls silent: monitoring between takes and under the editor
  // must not reach the take's peaks.
  rig.Device.SetSignal(
      [](std::uint64_t, std::int16_t& left, std::int16_t& right) { left = right = 0; });
  rig.Run(30);
  bool closedWhileOpen = false;
  bool sameColumns = false;
  QTimer::singleShot(0, [&] {
    auto* editor = form.findChild<tavrin::editor::TFormEdit*>();
    const QImage drawn = editor->View().WaveBitmap().copy();
    rig.Run(60);
    closedWhileOpen = !rig.State.DeviceOpen && !rig.Device.IsOpen();
    editor->FormResize();
    sameColumns = editor->View().WaveBitmap() == drawn;
    editor->close();
  });
  form.BtnEditClick();
  QVERIFY(closedWhileOpen);
  QVERIFY(sameColumns);
  for (std::size_t b = 0; b < peaks.size(); ++b)
    QCOMPARE(rig.State.Take.Peaks[b].MaxLeft, peaks[b]);
  QVERIFY(rig.State.DeviceOpen);  // open again once the editor has closed
}

void FormMainTest::timersStepTheDcHistoryMetersAndTimeScale() {
  MainWindowRig rig("timers");
  rig.Device.SetSignal([](std::uint64_t, std::int16_t& left, std::int16_t& right) {
    left = 700;
    right = 40;
  });
  auto& form = rig.CreateMonitoring();
  rig.Run(3);
  QCOMPARE(rig.State.DcHistorySlot, 3);
  QCOMPARE(rig.State.DcHistoryLeft[2], 700);
  QCOMPARE(form.LevelIcon(), 1);  // 700 / 2048 rounds to 0, the 600 rule makes it 1
  form.TimerRecTimer();           // no new buffer: the history still advances
  QCOMPARE(rig.State.DcHistorySlot, 4);
  form.TimerStatusTimer();
  QCOMPARE(rig.State.DcMeterRight, 40.0);

  rig.Record(4);
  rig.State.RecordedBuffers = 1620;  // 2.7 minutes: 90 % of the 3-minute scale
  form.TimerStatusTimer();
  QCOMPARE(rig.State.TimeScaleMinutes, 5);
}

void FormMainTest::levelChartSpansItsAxesAndMarksClipsAtTheTop() {
  using tavrin::recorder_ui::ChartSeries;
  ChartSeries left{{}, QColor(255, 255, 0)}, right{{}, QColor(235, 235, 235)}, clips{{}, Qt::red};
  tavrin::recorder_ui::LevelChartView chart(nullptr, left, right, clips);
  chart.resize(425, 75);
  chart.SetBackground(QColor(80, 100, 140));
  // Left: full scale at the newest slot falling to silence; right: silence; a clip at slot 9.
  for (int i = 1; i <= 425; ++i) {
    left.Points.append(QPoint(i, i == 1 ? 75 : 0));
    right.Points.append(QPoint(i, 0));
  }
  clips.Points.append(QPoint(10, 75));
  const QImage image = chart.grab().toImage();
  QCOMPARE(image.pixelColor(0, 0), left.Color);      // axis maximum: the top row
  QCOMPARE(image.pixelColor(424, 74), right.Color);  // silence: the bottom row, to the end
  QCOMPARE(image.pixelColor(200, 40), QColor(80, 100, 140));
  QCOMPARE(image.pixelColor(qRound(10 * 424 / 425.0), 1), QColor(Qt::red));
}

void FormMainTest::lowDiskEndsTheTakeAndKeepsIt() {
  MainWindowRig rig("disk");
  auto& form = rig.CreateMonitoring();
  form.BtnRecordClick();
  rig.FreeBytes = 100 * 176400;
  rig.Run(22);
  QVERIFY(rig.State.Recording);
  rig.FreeBytes = 100 * 176400 - 1;
  form.TimerStatusTimer();
  QVERIFY(!rig.State.Recording);
  QCOMPARE(rig.Messages.back(),
           QString::fromStdString("There is no space on drive " + rig.State.ProgramDrive));
  QCOMPARE(rig.State.Take.TakeLength, 22u);
  QCOMPARE(fs::file_size(rig.State.Take.RawPath), 22u * 17640);
}

void FormMainTest::lengthLimitStopsTheTake() {
  MainWindowRig rig("length");
  auto& form = rig.CreateMonitoring();
  rig.Record(2);
  rig.State.BufferSequence = 360000;
  form.TimerStatusTimer();
  QVERIFY(!rig.State.Recording);
  QCOMPARE(rig.Messages.back(), QStringLiteral("Recording was stopped"));
}

void FormMainTest::theMachineStaysAwakeExactlyWhileATakeRecords() {
  MainWindowRig rig("awake");
  auto& form = rig.CreateMonitoring();
  rig.Run(2);
  QVERIFY(!rig.Inhibitor.Held);

  form.BtnRecordClick();
  QVERIFY(rig.Inhibitor.Held);
  form.BtnStopClick();
  QVERIFY(!rig.Inhibitor.Held);

  // A take that ends on its own: the device refuses the ring mid-take.
  form.BtnRecordClick();
  QVERIFY(rig.Inhibitor.Held);
  rig.Device.FailCall(tavrin::platform::SimulatedWaveIn::Call::Start, tavrin::platform::kMmNoMem);
  rig.Run(21);
  QVERIFY(!rig.State.Recording);
  QVERIFY(!rig.Inhibitor.Held);
  QCOMPARE(rig.State.Take.TakeLength, 20u);

  // And one that is running when the window goes.
  form.TimerStatusTimer();  // the device check opens the device again
  form.BtnRecordClick();
  QVERIFY(rig.Inhibitor.Held);
  rig.Form.reset();
  QVERIFY(!rig.Inhibitor.Held);
  QCOMPARE(rig.Inhibitor.Changes, 6);
}

// An unattended Record never deletes audio: the take recorded by hand and
// never saved is saved first, then the timed take once it stops; the machine
// stays awake while the timer is armed.
void FormMainTest::aTimedTakeSavesTheTakeItReplacesAndThenItself() {
  MainWindowRig rig("timed");
  std::int64_t wall = 1'800'000'000;
  std::int64_t mono = 0;
  const fs::path out = rig.Root / "out";
  fs::create_directories(out);
  rig.Settings.OutputFolder = out.string();
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  tavrin::schedule::TimerPlan plan;
  plan.Armed = true;
  plan.StartSecond = tavrin::schedule::LocalSecondOf(wall + 10);
  plan.DurationSeconds = 3;
  tavrin::settings::StoreTimerPlan(rig.Settings, plan);
  auto services = rig.Services();
  services.Clocks = {[&] { return wall; }, [&] { return mono; }};
  auto& form = rig.CreateMonitoring(services);
  QVERIFY(rig.Inhibitor.Held);
  rig.Record(20);
  form.BtnStopClick();
  for (int buffer = 1; buffer <= 150; ++buffer) {  // 15 s of the clocks and the device
    mono += 100;
    if (buffer % 10 == 0) ++wall;
    rig.Device.Advance(4410);
    form.TimerRecTimer();
    if (buffer % 2 == 0) form.TimerStatusTimer();
  }
  std::vector<std::uintmax_t> sizes;
  for (const auto& entry : fs::directory_iterator(out)) sizes.push_back(entry.file_size());
  std::sort(sizes.begin(), sizes.end());
  QCOMPARE(sizes.size(), std::size_t{2});
  QCOMPARE(sizes[0], std::uintmax_t{44 + 20 * 17640});  // the take made by hand, whole
  QVERIFY(sizes[1] >= 44 + 28 * 17640 && sizes[1] <= 44 + 32 * 17640);
  QVERIFY(!rig.State.Recording);
  QVERIFY(!rig.Settings.TimerArmed);  // a one-off timer that has run
  QVERIFY(!rig.Inhibitor.Held);
  QCOMPARE(rig.Messages, std::vector<QString>{});
}

// The hangover's silence still goes into the take: it shows as recording,
// and only the silence past it as paused.
void FormMainTest::theHangoverShowsAsRecordingAndOnlyTheSilencePastItAsPaused() {
  MainWindowRig rig("hangover");
  bool loud = false;
  rig.Device.SetSignal([&](std::uint64_t, std::int16_t& left, std::int16_t& right) {
    left = right = loud ? 16000 : 0;
  });
  rig.Settings.OutputFolder = rig.Root.string();
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  rig.Settings.SoundActivated = true;
  rig.Settings.SoundHangoverMs = 1000;  // ten buffers
  auto& form = rig.CreateMonitoring();
  rig.Record(4);
  loud = true;
  rig.Run(4);
  loud = false;
  rig.Run(6);
  QCOMPARE(form.StatusPanelText(1), QStringLiteral("recording (sound)"));
  rig.Run(10);
  QCOMPARE(form.StatusPanelText(1), QStringLiteral("paused (silence)"));
  form.BtnStopClick();
}

void FormMainTest::dcBoxEstimatesAndClearsTheOffset() {
  MainWindowRig rig("dc");
  rig.Device.SetSignal([](std::uint64_t, std::int16_t& left, std::int16_t& right) {
    left = 300;
    right = -120;
  });
  auto& form = rig.CreateMonitoring();
  rig.Run(10);
  // A screen reader reads each channel of both meters: its level and its offset.
  const auto meters = form.findChildren<tavrin::recorder_ui::MeterReadout*>();
  QCOMPARE(meters.size(), 4);
  const auto value = [&meters](int i) {
    return QAccessible::queryAccessibleInterface(meters[i])
        ->valueInterface()
        ->currentValue()
        .toDouble();
  };
  QCOMPARE(qRound(value(0)), -41);     // 300 of 32768
  QCOMPARE(qRound(value(1)), -49);     // 120 of 32768
  QCOMPARE(qRound(value(2) * 10), 9);  // 0.9 % of full scale
  QCOMPARE(qRound(value(3) * 10), -4);
  auto* box = form.findChild<QCheckBox*>();
  QVERIFY(box);
  QTest::mouseClick(box, Qt::LeftButton);
  QCOMPARE(rig.State.DcOffsetLeft, 300);
  QCOMPARE(rig.State.DcOffsetRight, -120);
  rig.Run(2);
  QCOMPARE(rig.State.MeanLeft, 0.0);  // the offset is now taken out of every sample
  QTest::mouseClick(box, Qt::LeftButton);
  QCOMPARE(rig.State.DcOffsetLeft, 0);
  QCOMPARE(rig.State.DcOffsetRight, 0);
}

void FormMainTest::sliderSendsZeroAndNinetyNineAtItsEnds() {
  MainWindowRig rig("slider");
  auto& form = rig.CreateMonitoring();
  QCOMPARE(form.DeviceCheck().KnobLeft, 72);  // level 50
  using Kind = tavrin::platform::SimulatedInputMixer::CallKind;
  form.ImageVolMouseDown(true, 5);
  form.ImageVolMouseMove(5 - 300);
  QCOMPARE(form.DeviceCheck().KnobLeft, 18);
  QCOMPARE(rig.Mixer.CallsOf(Kind::SetInput).back().Setting, tavrin::platform::kInputLevel | 0u);
  form.ImageVolMouseMove(5 + 300);
  QCOMPARE(form.DeviceCheck().KnobLeft, 124);
  QCOMPARE(rig.Mixer.CallsOf(Kind::SetInput).back().Setting, tavrin::platform::kInputLevel | 99u);
  form.ImageVolMouseUp();
  const auto sent = rig.Mixer.CallsOf(Kind::SetInput).size();
  form.ImageVolMouseMove(40);
  QCOMPARE(rig.Mixer.CallsOf(Kind::SetInput).size(), sent);  // no drag, no change
  // By keyboard and by a screen reader, as by the mouse.
  auto* knob = form.findChild<tavrin::recorder_ui::KnobWidget*>();
  QVERIFY(knob && knob->focusPolicy() == Qt::StrongFocus);
  QTest::keyClick(knob, Qt::Key_Left);
  QCOMPARE(form.DeviceCheck().KnobLeft, 123);
  QCOMPARE(rig.Mixer.CallsOf(Kind::SetInput).back().Setting,
           tavrin::platform::kInputLevel | static_cast<unsigned>(form.VolumeLevel()));
  QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(knob)->valueInterface();
  QVERIFY(value);
  QCOMPARE(value->currentValue().toInt(), form.VolumeLevel());
  value->setCurrentValue(50);
  QCOMPARE(form.DeviceCheck().KnobLeft, 72);
}

void FormMainTest::defaultDeviceChangeRestartsOnlyWhenNothingIsLost() {
  MainWindowRig rig("restart");
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  auto& form = rig.CreateMonitoring();
  rig.Record(4);
  rig.Device.SetDevices({{"USB Headset"}});
  rig.Run(10);
  QCOMPARE(rig.Restarts, 0);
  QVERIFY(rig.State.Recording);
  form.BtnStopClick();
  QCOMPARE(rig.State.Take.TakeLength, 14u);

  // The take is not saved: the new device is followed in place, the take kept.
  const int opens = rig.Device.OpenCount();
  form.TimerStatusTimer();
  form.TimerStatusTimer();
  QCOMPARE(rig.Restarts, 0);
  QVERIFY(rig.Messages.empty());
  QVERIFY(rig.State.DeviceOpen);
  QCOMPARE(rig.Device.OpenCount(), opens + 1);
  QCOMPARE(form.windowTitle(), QStringLiteral("Tavrin Recorder - USB Headset"));
  QCOMPARE(fs::file_size(rig.State.Take.RawPath),
           std::uintmax_t{14} * tavrin::capture::kBufferBytes);

  // Saved, the take is safe: the next change restarts as the program always did.
  const fs::path target = rig.Root / "take.wav";
  rig.FileDialog = tavrin::testing::ChoosePath(target);
  form.menuSaveAsClick();
  QVERIFY(fs::exists(target));
  rig.Device.SetDevices({{"Line Card"}});
  form.TimerStatusTimer();
  QCOMPARE(rig.Restarts, 1);
  QCOMPARE(rig.Messages.back(),
           QStringLiteral("You must restart the program for the changes to take effect."));
}

void FormMainTest::serverLossEndsTheTakeOnceAndMonitoringReturns() {
  MainWindowRig rig("server-lost");
  auto& form = rig.CreateMonitoring();
  rig.Record(25);
  rig.Device.Break(tavrin::platform::kMmBackendBase + 7);
  rig.Device.SetListError(tavrin::platform::kMmBackendBase + 7);
  rig.Run(10);
  QVERIFY(!rig.State.Recording);
  QVERIFY(!rig.State.DeviceOpen);
  QCOMPARE(rig.State.Take.TakeLength, 25u);  // every buffer received is in the take
  QCOMPARE(fs::file_size(rig.State.Take.RawPath),
           std::uintmax_t{25} * tavrin::capture::kBufferBytes);
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  QVERIFY(rig.Messages[0].startsWith(QStringLiteral("The recording stopped")));
  QVERIFY(rig.Messages[0].contains(QStringLiteral("00:00:02")));
  // Not "no devices": the sound settings are not opened and the mixer is kept.
  QCOMPARE(rig.Panels.Opened, 0);
  QCOMPARE(form.StatusPanelText(0), QStringLiteral("Sound server not available"));
  QVERIFY(form.StatusPanelText(2).startsWith(QStringLiteral("End - ")));

  rig.Device.SetListError(tavrin::platform::kMmNoError);
  form.TimerStatusTimer();
  QVERIFY(rig.State.DeviceOpen);
  QCOMPARE(form.StatusPanelText(0), QStringLiteral("Simulated Microphone"));
  QCOMPARE(rig.Messages.size(), std::size_t{1});
}

void FormMainTest::lostAudioStaysInViewUntilTheNextRecord() {
  MainWindowRig rig("lost");
  auto& form = rig.CreateMonitoring();
  rig.Record(4);
  rig.Device.DropFrames(44100 * 5 + 4410 * 3);
  rig.Run(6);
  const QString lost = QStringLiteral("Lost 5.3 s | Simulated Microphone");
  QCOMPARE(form.StatusPanelText(0), lost);
  form.BtnStopClick();
  form.TimerStatusTimer();
  QCOMPARE(form.StatusPanelText(0), lost);
  QVERIFY(form.windowTitle().endsWith(QStringLiteral("- Simulated Microphone")));
  form.BtnRecordClick();
  QCOMPARE(form.StatusPanelText(0), QStringLiteral("Simulated Microphone"));
}

void FormMainTest::refusedDeviceIsReportedOnceAndRecordDoesNotStart() {
  MainWindowRig rig("refused");
  rig.Device.SetDevices({{"Old Card", 2047, 2}});
  auto& form = rig.Create();
  for (int i = 0; i < 10; ++i) form.TimerStatusTimer();
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  QVERIFY(rig.Messages[0].startsWith(QStringLiteral("The audio recording device:")));
  form.BtnRecordClick();
  QVERIFY(!rig.State.Recording);
}

void FormMainTest::closingWhileRecordingAsksFirst() {
  MainWindowRig rig("close");
  auto& form = rig.CreateMonitoring();
  rig.Record(4);
  rig.Answer = false;
  QVERIFY(!form.close());
  QCOMPARE(rig.Questions.back(), QStringLiteral("Are you sure you want to interrupt recording?"));
  QVERIFY(rig.State.Recording);
  rig.Run(4);
  QVERIFY(rig.State.Recording);

  // Stopped, the take never saved: Exit and Record ask first, and Cancel keeps it.
  form.BtnStopClick();
  rig.SaveAnswer = tavrin::base::SaveAnswer::Cancel;
  QVERIFY(!form.close());
  QCOMPARE(rig.Questions.back(),
           QStringLiteral("The take (00:00:01) has not been saved. Save it?"));
  form.BtnRecordClick();
  QVERIFY(!rig.State.Recording);
  QCOMPARE(rig.Questions.size(), std::size_t{3});
  QVERIFY(fs::exists(rig.State.Take.RawPath));

  rig.SaveAnswer = tavrin::base::SaveAnswer::Discard;
  QVERIFY(form.close());
  QVERIFY(!rig.State.Recording);
  QVERIFY(!fs::exists(rig.State.Take.RawPath));  // a discarded take does not outlive the program
  QVERIFY(fs::exists(rig.Root / "bin" / "tavrin-recorder.INI"));
}

void FormMainTest::unwritableSettingsStillCloseAndSaySoOnce() {
  MainWindowRig rig("settings");
  auto services = rig.Services();
  services.SettingsPath = "/etc/hostname/tavrin-recorder.INI";
  QVERIFY(rig.Create(services).close());
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  QVERIFY(rig.Messages[0].contains(QStringLiteral("not saved")));
  QVERIFY(rig.Messages[0].contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))));
}

void FormMainTest::startUpCleansWorkFilesAndAppliesSettings() {
  MainWindowRig rig("startup");
  fs::create_directories(rig.WorkFolder());
  for (const char* name : {"Tavrin.raw", "Edit.raw", "Clp.raw", "Tavrin.spv", "test"}) {
    std::ofstream(rig.WorkFolder() / name) << "x";
  }
  rig.Settings.RecordingModeIndex = 2;
  rig.Settings.OutputFolder.clear();
  auto& form = rig.Create();
  for (const char* name : {"Tavrin.raw", "Edit.raw", "Clp.raw"})
    QVERIFY2(!fs::exists(rig.WorkFolder() / name), name);
  for (const char* name : {"Tavrin.spv", "test"})
    QVERIFY2(fs::exists(rig.WorkFolder() / name), name);
  QCOMPARE(form.RecordingModeText(), QStringLiteral("Loop 5 min"));
  QVERIFY(rig.State.LoopMode);
  QCOMPARE(rig.State.LoopHalves, 150);
  QCOMPARE(rig.State.OutputFolder, tavrin::settings::HomeFolder());
  QVERIFY(!rig.State.DeviceOpen);  // the first status tick opens it
}

void FormMainTest::startUpFailsWhenTheWorkFolderCannotBeMade() {
  MainWindowRig rig("nofolder");
  // Files where both the folder beside the program and the per-user one should be.
  std::ofstream(rig.Root / "bin" / "Temp") << "a file where the folder should be";
  std::ofstream(rig.Root / "appdata" / "Tavrin Recorder") << "and here";
  try {
    rig.Create();
    QFAIL("start-up should fail");
  } catch (const std::runtime_error& error) {
    QCOMPARE(QString::fromStdString(error.what()),
             QString::fromStdString("Can not create " +
                                    (rig.Root / "appdata" / "Tavrin Recorder").string()));
  }
}

void FormMainTest::helpOpensTheGuideOrSaysItIsMissing() {
  MainWindowRig rig("help");
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
  auto& form = rig.Create();
  form.TavrinRecorderHelpClick();
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  QCOMPARE(rig.Messages[0],
           QStringLiteral("The help file %1 was not found.")
               .arg(QString::fromStdString((rig.Root / "bin" / "tavrin-recorder.html").string())));
  QVERIFY(catcher.Opened.isEmpty());

  // Installed: the guide lies in the package's data folder, not beside the program.
  fs::create_directories(rig.Root / "share" / "tavrin-recorder");
  std::ofstream(rig.Root / "share" / "tavrin-recorder" / "tavrin-recorder.html") << "<html>";
  form.TavrinRecorderHelpClick();
  QCOMPARE(rig.Messages.size(), std::size_t{1});
  QCOMPARE(catcher.Opened,
           QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(
               (rig.Root / "share" / "tavrin-recorder" / "tavrin-recorder.html").string()))});
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void FormMainTest::noDeviceAtStartUpOpensTheSoundSettings() {
  MainWindowRig rig("nodevice");
  rig.Device.SetDevices({});
  auto& form = rig.Create();
  QCOMPARE(rig.Messages.front(), QStringLiteral("Please, select and enable an audio source!"));
  QCOMPARE(rig.Panels.Opened, 1);
  form.TimerStatusTimer();
  QVERIFY(!rig.State.DeviceOpen);
  rig.Device.SetDevices({{"Late Microphone"}});
  form.TimerStatusTimer();
  QVERIFY(rig.State.DeviceOpen);  // picked up once present
  QCOMPARE(form.StatusPanelText(0), QStringLiteral("Late Microphone"));
}

void FormMainTest::sourceMenuChoosesTheSourceAtOnceAndTheSettingsKeepIt() {
  using Device = tavrin::platform::SimulatedWaveIn::Device;
  const Device mic{"Simulated Microphone"};
  const Device usb{"USB Mic", tavrin::platform::kWaveFormatAll, 2, "usb"};
  const Device monitor{"Monitor of Speakers", tavrin::platform::kWaveFormatAll, 2,
                       "speakers.monitor", "Speakers"};
  MainWindowRig rig("source");
  rig.Device.SetDevices({mic, usb, monitor});
  auto& form = rig.CreateMonitoring();
  const QString monitorEntry = QStringLiteral("Speakers 的声音 (monitor)");
  QCOMPARE(tavrin::testing::OpenSourceMenu(form),
           (QStringList{QStringLiteral("跟随系统默认"), QStringLiteral("Simulated Microphone"),
                        QStringLiteral("USB Mic"), monitorEntry, QString(),
                        QStringLiteral("声音设置...")}));
  QVERIFY(form.SourceMenu()->actions().front()->isChecked());
  QVERIFY(tavrin::testing::ChooseFromSourceMenu(form, monitorEntry));
  QCOMPARE(rig.Device.OpenSource(), std::string("speakers.monitor"));
  QCOMPARE(form.windowTitle(), QStringLiteral("Tavrin Recorder - Monitor of Speakers"));
  QVERIFY(tavrin::testing::FileText(rig.Root / "bin" / "tavrin-recorder.INI")
              .find("[Recording Source]\nName=speakers.monitor\n") != std::string::npos);
  tavrin::testing::OpenSourceMenu(form);
  QVERIFY(form.SourceMenu()->actions().at(3)->isChecked());

  // While a take records its source stays; the sound settings are at hand.
  form.BtnRecordClick();
  tavrin::testing::OpenSourceMenu(form);
  QVERIFY(!tavrin::testing::ChooseFromSourceMenu(form, QStringLiteral("USB Mic")));
  QVERIFY(tavrin::testing::ChooseFromSourceMenu(form, QStringLiteral("声音设置...")));
  QCOMPARE(rig.Panels.Opened, 1);
  QCOMPARE(rig.Device.OpenSource(), std::string("speakers.monitor"));
  form.BtnStopClick();

  // Unplugged between listing and choosing: the default, and a word why.
  tavrin::testing::OpenSourceMenu(form);
  rig.Device.SetDevices({mic, monitor});
  QVERIFY(tavrin::testing::ChooseFromSourceMenu(form, QStringLiteral("USB Mic")));
  QVERIFY(rig.State.DeviceOpen);
  QCOMPARE(rig.Device.OpenSource(), std::string("Simulated Microphone"));
  QCOMPARE(form.statusBar()->currentMessage(),
           QStringLiteral("USB Mic is not connected; recording from the default source"));
  QVERIFY(rig.Messages.empty());
}

// A microphone and the speakers' monitor, listed to both sources alike; the
// first source at 1000 (-30 dB), the second at -8000 (-12 dB).
void ListTwoSources(MainWindowRig& rig) {
  using Device = tavrin::platform::SimulatedWaveIn::Device;
  const std::vector<Device> devices{
      {"Simulated Microphone"},
      {"Monitor of Speakers", tavrin::platform::kWaveFormatAll, 2, "speakers.monitor", "Speakers"}};
  rig.Device.SetDevices(devices);
  rig.SecondDevice.SetDevices(devices);
  rig.Device.SetSignal([](std::uint64_t, std::int16_t& l, std::int16_t& r) { l = r = 1000; });
  rig.SecondDevice.SetSignal(
      [](std::uint64_t, std::int16_t& l, std::int16_t& r) { l = r = -8000; });
}

void FormMainTest::aSecondSourceChosenIsRecordedBesideTheFirstUntilNoneTakesItAway() {
  MainWindowRig rig("pair");
  ListTwoSources(rig);
  auto& form = rig.CreateMonitoring(rig.PairedServices());
  QVERIFY(!form.SourceLevelsShown());
  const auto choose = [&form](QStringList path) {
    tavrin::testing::OpenSourceMenu(form);
    path.prepend(QStringLiteral("同时录制第二个来源(&2)"));
    return tavrin::testing::ChooseFromSourceMenu(form, path);
  };
  QVERIFY(choose({QStringLiteral("Speakers 的声音 (monitor)")}));
  QVERIFY(rig.SecondDevice.IsOpen());  // at once, not at the next tick
  QCOMPARE(rig.SecondDevice.OpenSource(), std::string("speakers.monitor"));
  QVERIFY(choose({QStringLiteral("并排：第一个在左，第二个在右(&B)")}));
  QVERIFY(choose({QStringLiteral("第一个来源的电平(&F)"), QStringLiteral("-6 dB")}));
  rig.Run(4);
  QVERIFY(form.SourceLevelsShown());
  QCOMPARE(form.SourceLevelsText(), QStringLiteral("第一个 -30 dB | 第二个 -12 dB"));

  // While a take records its layout stays; the levels may change.
  rig.Record(20);
  QVERIFY(!choose({QStringLiteral("混合到两个声道(&M)")}));
  QVERIFY(choose({QStringLiteral("第二个来源的电平(&E)"), QStringLiteral("静音")}));
  rig.Run(20);
  form.BtnStopClick();
  const fs::path ini = rig.Root / "bin" / "tavrin-recorder.INI";
  QVERIFY(tavrin::testing::FileText(ini).find(
              "\nSecond=speakers.monitor\nPairing=1\nFirstLevel=-6\nSecondLevel=-60\n") !=
          std::string::npos);
  const std::vector<std::uint8_t> take = tavrin::testing::FileBytes(rig.State.Take.RawPath);
  QCOMPARE(take.size(), std::size_t{40 * 17640});
  const auto sample = [&take](std::size_t frame, std::size_t channel) {
    return static_cast<std::int16_t>(take[4 * frame + 2 * channel] |
                                     (take[4 * frame + 2 * channel + 1] << 8));
  };
  // The first at -6 dB on the left; the second on the right (past the
  // resampler's first response), silent once its level was.
  for (std::size_t frame = 0; frame < 40 * 4410; ++frame) QCOMPARE(sample(frame, 0), 501);
  for (std::size_t frame = 4410; frame < 19 * 4410; ++frame)
    QVERIFY(std::abs(sample(frame, 1) + 8000) <= 1);
  for (std::size_t frame = 30 * 4410; frame < 40 * 4410; ++frame) QCOMPARE(sample(frame, 1), 0);
  QCOMPARE(form.SourceLevelsText(), QStringLiteral("第一个 -30 dB | 第二个 -12 dB"));

  // The second goes away and comes back; the first falls silent.
  rig.SecondDevice.SetDevices({});
  rig.Device.SetSignal([](std::uint64_t, std::int16_t& l, std::int16_t& r) { l = r = 0; });
  rig.Run(2);
  QCOMPARE(form.SourceLevelsText(), QStringLiteral("第一个 -∞ dB | 第二个：无信号"));
  ListTwoSources(rig);
  rig.Run(25);
  QCOMPARE(form.SourceLevelsText(), QStringLiteral("第一个 -30 dB | 第二个 -12 dB"));

  QVERIFY(choose({QStringLiteral("无")}));
  QVERIFY(tavrin::testing::FileText(ini).find("\nSecond=\n") != std::string::npos);
  QVERIFY(!rig.SecondDevice.IsOpen());
  QVERIFY(rig.State.DeviceOpen);
  QVERIFY(!form.SourceLevelsShown());
}

void FormMainTest::colourSchemeFiveGivesBlackText() {
  MainWindowRig rig("colours");
  auto& form = rig.Create();
  QCOMPARE(form.Colors().TextColor, 0xF0F0F0u);
  form.ApplyColorScheme(5);
  QCOMPARE(form.Colors().TextColor, 0x000000u);
  form.ApplyColorScheme(42);  // a hand-edited number falls back to scheme 1
  QCOMPARE(form.Colors().BaseColor, tavrin::settings::Rgb(120, 140, 180));
}

void FormMainTest::aSecondProgramIsRefusedAndAnUnclosedOnesTakeIsKept() {
  MainWindowRig rig("second");
  rig.CreateMonitoring();
  rig.Record(45);  // two halves written
  const auto takeBytes = fs::file_size(rig.State.Take.RawPath);
  QCOMPARE(takeBytes, std::uintmax_t{40 * 17640});

  // A second start on the same work folder says so and touches nothing.
  tavrin::capture::RecorderState secondState;
  auto services = rig.Services();
  services.State = &secondState;
  QVERIFY_THROWS_EXCEPTION(tavrin::recorder_ui::AlreadyRunning,
                           tavrin::recorder_ui::TFormMain{services});
  QVERIFY(rig.State.Recording);
  QCOMPARE(fs::file_size(rig.State.Take.RawPath), takeBytes);

  // The program goes without closing its window (as in a crash): the next
  // start keeps the take as "test" and says so.
  rig.Form.reset();
  rig.Create();
  QVERIFY(!fs::exists(rig.WorkFolder() / "Tavrin.raw"));
  QVERIFY(fs::file_size(rig.WorkFolder() / "test") >= takeBytes);
  QVERIFY(!rig.Messages.empty());
  QVERIFY(rig.Messages.back().contains(QStringLiteral("Open the sound editor")));
  // A normal close leaves nothing for the next start to keep.
  QVERIFY(rig.Form->close());
  QVERIFY(!fs::exists(rig.WorkFolder() / "Tavrin.run"));
}

void FormMainTest::theMenuADropAndASecondStartOpenAFileInTheEditor() {
  MainWindowRig rig("open");
  auto services = rig.Services();
  services.ShowEditor = nullptr;  // the real, modal editor
  services.OpenSoundFile = tavrin::testing::FakeSoundOpener(12);
  auto& form = rig.CreateMonitoring(services);
  const fs::path take = rig.WorkFolder() / "Tavrin.raw";
  QCOMPARE(rig.State.Take.RawPath, take.string());
  QMenu* file = form.menuBar()->actions().front()->menu();
  QCOMPARE(file->actions().front()->text(), QStringLiteral("打开(&O)..."));

  // Each time the editor shows: what it shows, what the test does there, then it closes.
  QStringList shown;
  std::function<void(tavrin::editor::TFormEdit&)> whileOpen;
  bool inEditor = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* editor = form.findChild<tavrin::editor::TFormEdit*>();
    if (!editor->isVisible() || inEditor) return;
    shown << QStringLiteral("%1 %2 %3")
                 .arg(rig.Document.Length())
                 .arg(QString::fromStdString(fs::path(rig.State.Take.RawPath).filename()))
                 .arg(rig.State.DeviceOpen);
    inEditor = true;
    if (whileOpen) std::exchange(whileOpen, {})(*editor);
    inEditor = false;
    editor->close();
  });
  closer.start(5);
  const fs::path songPath = rig.Root / "song.ogg";
  const std::string song = songPath.string();
  rig.FileDialog = tavrin::testing::ChoosePath(songPath);
  form.menuFileClick();
  QVERIFY(form.OpenEnabled());
  form.menuOpenClick();
  QCOMPARE(shown, QStringList{"12 Open.raw 0"});
  QCOMPARE(rig.State.Take.RawPath, take.string());
  QVERIFY(!fs::exists(rig.WorkFolder() / "Open.raw"));
  QVERIFY(rig.State.DeviceOpen);

  const auto drop = [&] {
    return tavrin::testing::DropUrls(form, {QUrl::fromLocalFile(QString::fromStdString(song))});
  };
  QVERIFY(drop());
  QCOMPARE(shown.size(), 2);

  // A second start hands its file to the program that runs.
  using tavrin::recorder_ui::HandOffResult;
  tavrin::recorder_ui::OpenRequestServer server;
  server.OpenRequested = [&form](const std::string& path) { return form.AcceptOpenRequest(path); };
  const auto address = tavrin::recorder_ui::InstanceServerAddress(rig.State.WorkFolder, true);
  QString error;
  QVERIFY2(server.Listen(address, error), qPrintable(error));
  const auto handOver = [&address](const std::string& path) {
    return tavrin::testing::HandOverServed(address, path);
  };
  QCOMPARE(handOver(song).Result, HandOffResult::Opened);
  QTRY_COMPARE(shown.size(), 3);
  // With nobody listening the second start says the program runs, as before.
  const auto other =
      tavrin::recorder_ui::InstanceServerAddress((rig.Root / "other").string(), false);
  QVERIFY(address.Name != other.Name);
  QCOMPARE(tavrin::recorder_ui::SendOpenRequest(other, song, 200).Result, HandOffResult::NoProgram);

  // A file handed over while a save's dialog is up is refused with why, never
  // opened under it: the save writes the document it began with.
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  const fs::path copy = rig.Root / "copy.wav";
  HandOffResult duringSave;
  rig.FileDialog = [&](QFileDialog& dialog) {
    duringSave = handOver((rig.Root / "long.ogg").string());
    dialog.selectFile(QString::fromStdString(copy.string()));
    return true;
  };
  whileOpen = [](tavrin::editor::TFormEdit& editor) { editor.menuSaveAllClick(); };
  QVERIFY(drop());
  QCOMPARE(duringSave.Result, HandOffResult::Refused);
  QCOMPARE(duringSave.Text, "The sound editor is busy. Open " + (rig.Root / "long.ogg").string() +
                                " again once it is done.");
  QCOMPARE(shown.size(), 4);
  QCOMPARE(fs::file_size(copy), 44u + 12u * 17640u);

  // Nothing from outside nests a box in a modal window: each request is
  // answered at once, and only one file waits to open at a time.
  const std::size_t messages = rig.Messages.size();
  QDialog modal(&form);
  modal.setModal(true);
  modal.show();
  for (int i = 0; i < 5; ++i) QCOMPARE(handOver(song).Result, HandOffResult::Refused);
  modal.close();
  QCOMPARE(form.AcceptOpenRequest(song), std::string());
  QCOMPARE(form.AcceptOpenRequest(song),
           "Tavrin Recorder is busy. Open " + song + " again once it is done.");
  QTRY_COMPARE(shown.size(), 5);
  QCOMPARE(rig.Messages.size(), messages);

  // While a take records: not from the menu, no drop, and a request says why.
  rig.Record(3);
  form.menuFileClick();
  QVERIFY(!file->actions().front()->isEnabled());
  QVERIFY(!drop());
  form.OpenFileRequested(song);
  QCOMPARE(rig.Messages.back(),
           QString::fromStdString("Stop recording before opening " + song + "."));
  const HandOffResult whileRecording = handOver(song);
  QCOMPARE(whileRecording.Result, HandOffResult::Refused);
  QCOMPARE(whileRecording.Text, "Stop recording before opening " + song + ".");
  form.BtnStopClick();
  QCOMPARE(shown.size(), 5);
  QVERIFY(rig.State.Take.TakeLength >= 3u);
}

void FormMainTest::theTrayRecordsStopsAndHidesTheMinimisedWindow() {
  MainWindowRig rig("tray");
  rig.Settings.MinimizeToTray = true;
  auto& form = rig.CreateMonitoring();
  auto find = [](const QObject& owner, const QString& text) -> QAction* {
    for (QAction* action : owner.findChildren<QAction*>())
      if (action->text() == text) return action;
    return nullptr;
  };
  QAction* option = find(form, QStringLiteral("最小化到托盘(&M)"));
  QVERIFY(option && option->isChecked());
  // --show brings a minimised window up, with or without a tray.
  form.showMinimized();
  QVERIFY(QTest::qWaitFor([&form] { return form.isMinimized(); }));
  bool shown = false;
  form.RunCommand("show", {},
                  [&shown](const tavrin::session::Answer& answer) { shown = answer.Done; });
  QVERIFY(shown && form.isVisible() && !form.isMinimized());
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    // Nothing to bring a hidden window back from: no icon, and minimising only minimises.
    QVERIFY(!option->isEnabled());
    QVERIFY(!form.findChild<QSystemTrayIcon*>());
    form.showMinimized();
    QTest::qWait(20);
    QVERIFY(form.isVisible());
    QSKIP("the platform reports no system tray");
  }
  QVERIFY(option->isEnabled());
  auto* tray = form.findChild<QSystemTrayIcon*>();
  QVERIFY(tray && tray->isVisible());
  auto menu = [&](const char* text) { return find(*tray->contextMenu(), QString::fromUtf8(text)); };
  QVERIFY(menu("记录")->isEnabled() && !menu("停止")->isEnabled());
  menu("记录")->trigger();
  QVERIFY(rig.State.Recording);
  QVERIFY(!menu("记录")->isEnabled() && menu("停止")->isEnabled());
  rig.Run(20);
  QCOMPARE(tray->toolTip(), QString::fromStdString(form.Session().StatusLine()));
  QVERIFY(tray->toolTip().startsWith(QStringLiteral("recording 00:00:0")));

  // Minimised, the window goes to the tray and the icon follows the level.
  form.showMinimized();
  QTRY_VERIFY(!form.isVisible());
  QVERIFY(rig.State.Minimized);
  rig.Device.SetSignal(
      [](std::uint64_t, std::int16_t& left, std::int16_t& right) { left = right = 16000; });
  rig.Run(5);
  QCOMPARE(form.LevelIcon(), 8);
  QCOMPARE(tray->icon().cacheKey(), form.windowIcon().cacheKey());
  menu("停止")->trigger();
  QVERIFY(!rig.State.Recording);
  form.TimerStatusTimer();
  QVERIFY(tray->toolTip().startsWith(QStringLiteral("stopped, take 00:00:02")));
  menu("显示窗口(&S)")->trigger();
  QVERIFY(form.isVisible() && !form.isMinimized() && !rig.State.Minimized);
  form.showMinimized();
  QTRY_VERIFY(!form.isVisible());
  emit tray->activated(QSystemTrayIcon::Trigger);
  QVERIFY(form.isVisible() && !rig.State.Minimized);

  option->trigger();  // off: minimising only minimises, and the file keeps it
  QVERIFY(tavrin::testing::FileText(rig.Root / "bin" / "tavrin-recorder.INI")
              .find("[Window]\nMinimizeToTray=0\n") != std::string::npos);
  form.showMinimized();
  QTest::qWait(20);
  QVERIFY(form.isVisible());
  menu("显示窗口(&S)")->trigger();

  // Hidden in the tray, a message box over no window closing leaves the
  // program running; Exit asks today's question, then ends it.
  option->trigger();
  menu("记录")->trigger();
  form.showMinimized();
  QTRY_VERIFY(!form.isVisible());
  QTimer::singleShot(0, [] {
    QTimer::singleShot(50, [] { QApplication::activeModalWidget()->close(); });
    QMessageBox::information(nullptr, QString(), QStringLiteral("A word from the timer"));
  });
  QTimer::singleShot(500, [] { QCoreApplication::exit(1); });
  QCOMPARE(QCoreApplication::exec(), 1);
  rig.Answer = false;
  menu("退出(&X)")->trigger();
  QCOMPARE(rig.Questions.back(), QStringLiteral("Are you sure you want to interrupt recording?"));
  QVERIFY(rig.State.Recording && tray->isVisible());
  rig.Answer = true;
  QTimer::singleShot(0, [&] { menu("退出(&X)")->trigger(); });
  QTimer::singleShot(3000, [] { QCoreApplication::exit(1); });
  QCOMPARE(QCoreApplication::exec(), 0);
  QVERIFY(!rig.State.Recording && !tray->isVisible());
}

QTEST_MAIN(FormMainTest)
#include "form_main_test.moc"
