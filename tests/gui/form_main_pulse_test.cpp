// The real recorder window on a private PulseAudio daemon playing a 1 kHz
// tone: Record, about 3 s, Stop; the raw take must hold the tone.
#include <QtTest/QtTest>
#include <filesystem>

#include "../e2e/tone_check.h"
#include "capture/recorder_state.h"
#include "platform/input_mixer_pulse.h"
#include "platform/sound_panels_desktop.h"
#include "platform/wave_in_pulse.h"
#include "recorder_ui/form_main.h"
#include "settings/settings.h"

namespace fs = std::filesystem;
using namespace tavrin;

class FormMainPulseTest : public QObject {
  Q_OBJECT
private slots:
  void recordsTheToneThroughTheRealWindow();
};

void FormMainPulseTest::recordsTheToneThroughTheRealWindow() {
  const fs::path root = fs::temp_directory_path() / "tavrin-gui-pulse";
  fs::remove_all(root);
  fs::create_directories(root / "bin");
  capture::RecorderState state;
  settings::Settings stored;
  platform::PulseWaveIn waveIn;
  platform::PulseInputMixer mixer;
  platform::DesktopSoundPanels panels;
  QStringList messages;
  recorder_ui::MainWindowServices services;
  services.State = &state;
  services.Settings = &stored;
  services.SettingsPath = (root / "bin" / "tavrin-recorder.INI").string();
  services.WaveIn = &waveIn;
  services.Mixer = &mixer;
  services.Panels = &panels;
  services.ProgramPath = (root / "bin" / "tavrin-recorder").string();
  services.ShowMessage = [&messages](const QString& text) { messages << text; };
  services.Confirm = [](const QString&) { return true; };
  {
    recorder_ui::TFormMain form(services);
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(state.DeviceOpen, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(form.windowTitle().startsWith(QStringLiteral("Tavrin Recorder - ")),
                             2000);
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Tavrin Recorder - ") + QString::fromStdString(state.DeviceName));
    QVERIFY(!state.DeviceName.empty());

    form.BtnRecordClick();
    QVERIFY(state.Recording);
    QTest::qWait(3000);
    form.BtnStopClick();
    QVERIFY(!state.Recording);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
    QVERIFY(state.TakeLength >= 27 && state.TakeLength <= 32);
    QCOMPARE(state.LostFrames, std::uint64_t{0});

    const testing::StereoSamples take = testing::ReadRawTake(state.RawPath);
    QCOMPARE(take.Left.size(), std::size_t{state.TakeLength} * capture::kFramesPerBuffer);
    for (const auto* channel : {&take.Left, &take.Right}) {
      QVERIFY2(std::abs(testing::ToneLevelDb(*channel)) < 0.5, "the tone's level");
      QVERIFY2(testing::WorstToneResidual(*channel) < 40.0, "the tone is broken somewhere");
    }
    QVERIFY(form.close());
  }
  fs::remove_all(root);
}

QTEST_MAIN(FormMainPulseTest)
#include "form_main_pulse_test.moc"
