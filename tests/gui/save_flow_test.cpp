// The recorder's save flow on simulated devices: the type list, the type
// change that reopens the dialog, Cancel or Escape during writing, and a
// wrapped loop take saved as WAV, byte for byte.
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest/QtTest>

#include "export/form_progress.h"
#include "export/save_flow.h"
#include "file_bytes.h"
#include "form_main_fixture.h"
#include "settings/form_save_settings.h"

using tavrin::testing::MainWindowRig;
namespace fs = std::filesystem;

class SaveFlowTest : public QObject {
  Q_OBJECT
private slots:
  void typeListDescribesTheExportFormat();
  void typeChangeReopensTheDialogWithTheNewFirstEntry();
  void cancelInTheProgressDialogRemovesTheFile();
  void wrappedLoopTakeIsSavedOldestFirstByteForByte();
  void saveAsIsOffWhileRecordingAndForOneBuffer();
  void wavOfFourGigabytesIsRefused();
  void typedExtensionChoosesTheFormatOfThatSave();
};

void SaveFlowTest::typeListDescribesTheExportFormat() {
  tavrin::settings::Settings settings;
  // The first type offered and the suffix a bare name gets.
  const auto offered = [&settings] {
    const auto filter = tavrin::exporter::BuildSaveFilter(settings);
    return filter.Types.front() + QLatin1Char(' ') + filter.DefaultSuffix;
  };
  QCOMPARE(offered(), QStringLiteral("128 kbps stereo (*.mp3) mp3"));
  QCOMPARE(tavrin::exporter::BuildSaveFilter(settings).Types.back(),
           QStringLiteral("Click here to change save settings"));
  settings.VBR = true;
  settings.Mode = 1;
  QCOMPARE(offered(), QStringLiteral("VBR 32-320 kbps joint stereo (*.mp3) mp3"));
  tavrin::settings::ChooseFormat(settings, tavrin::settings::SaveFormat::Wav);
  QCOMPARE(offered(), QStringLiteral("44100Hz 16bit stereo (*.wav) wav"));
  settings.Channels = 1;
  settings.SamplePerSecond = 11025;
  settings.BitPerSample = 8;
  QCOMPARE(offered(), QStringLiteral("11025Hz 8bit mono (*.wav) wav"));
  tavrin::settings::ChooseFormat(settings, tavrin::settings::SaveFormat::Flac);
  QCOMPARE(tavrin::exporter::BuildSaveFilter(settings).Types,
           QStringList({QStringLiteral("44100Hz 16bit stereo level 5 (*.flac)"),
                        QStringLiteral("Click here to change save settings")}));
  QCOMPARE(offered(), QStringLiteral("44100Hz 16bit stereo level 5 (*.flac) flac"));
  tavrin::settings::ChooseFormat(settings, tavrin::settings::SaveFormat::Opus);
  settings.OpusChannels = 1;
  QCOMPARE(offered(), QStringLiteral("96 kbps mono (*.opus) opus"));
}

void SaveFlowTest::typeChangeReopensTheDialogWithTheNewFirstEntry() {
  MainWindowRig rig("typechange");
  auto& form = rig.CreateMonitoring();
  rig.Record(20);
  form.BtnStopClick();

  QStringList firstEntries;
  // Waits for the save-format dialog however long a loaded machine takes to show it.
  QTimer answerSettings;
  answerSettings.setInterval(10);
  QObject::connect(&answerSettings, &QTimer::timeout, [&answerSettings] {
    auto* settingsDialog =
        qobject_cast<tavrin::settings::TFormSaveSettings*>(QApplication::activeModalWidget());
    if (!settingsDialog) return;
    answerSettings.stop();
    settingsDialog->findChild<QTabWidget*>(QStringLiteral("PControlFormat"))->setCurrentIndex(0);
    settingsDialog->findChild<QPushButton*>(QStringLiteral("BitBtnOK"))->click();
  });
  rig.FileDialog = [&](QFileDialog& dialog) {
    firstEntries << dialog.nameFilters().front();
    if (firstEntries.size() > 1) return false;
    // The user picks the second type; in the save-format dialog, the WAV page, then OK.
    QTimer::singleShot(0, &dialog,
                       [&dialog] { emit dialog.filterSelected(dialog.nameFilters().back()); });
    answerSettings.start();
    return dialog.exec() == QDialog::Accepted;
  };
  form.menuSaveAsClick();
  QCOMPARE(firstEntries.size(), 1);
  QVERIFY(rig.State.SaveRequested);
  QVERIFY(rig.Settings.SaveWav);
  form.TimerStatusTimer();  // the next status tick starts the save again
  QCOMPARE(firstEntries, QStringList({QStringLiteral("128 kbps stereo (*.mp3)"),
                                      QStringLiteral("44100Hz 16bit stereo (*.wav)")}));
  QVERIFY(!rig.State.SaveRequested);
}

void SaveFlowTest::cancelInTheProgressDialogRemovesTheFile() {
  MainWindowRig rig("cancel");
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  auto& form = rig.CreateMonitoring();
  rig.Record(60);
  form.BtnStopClick();
  const fs::path target = rig.Root / "out" / "take.wav";
  fs::create_directories(target.parent_path());
  QString caption;
  rig.FileDialog = [&](QFileDialog& dialog) {
    dialog.selectFile(QString::fromStdString(target.string()));
    QTimer::singleShot(0, [&] {
      caption = form.Progress().windowTitle();
      form.Progress().findChild<QPushButton*>(QStringLiteral("BtnCancel"))->click();
    });
    return true;
  };
  form.menuSaveAsClick();
  QCOMPARE(caption, QStringLiteral("Saving...take.wav"));
  QVERIFY(!fs::exists(target));
  QVERIFY(!form.Saver().Job().SaveActive);
  QCOMPARE(rig.State.OutputFolder, target.parent_path().string());
  QVERIFY(form.Progress().isHidden());

  // Enter is not Cancel, not even on the button: the save runs to its end.
  auto* cancel = form.Progress().findChild<QPushButton*>(QStringLiteral("BtnCancel"));
  QTimer::singleShot(0, [cancel] { QTest::keyClick(cancel, Qt::Key_Return); });
  QVERIFY(form.Saver().SaveTakeTo(target.string()));
  QVERIFY(fs::remove(target));

  // Escape cancels as the button does.
  QTimer::singleShot(0, [&] { QTest::keyClick(&form.Progress(), Qt::Key_Escape); });
  QVERIFY(!form.Saver().SaveTakeTo(target.string()));
  QVERIFY(!fs::exists(target));
  QVERIFY(!form.Saver().Job().SaveActive);
}

void SaveFlowTest::wrappedLoopTakeIsSavedOldestFirstByteForByte() {
  MainWindowRig rig("loopsave");
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  rig.Settings.RecordingModeIndex = 1;  // Loop 3 min
  auto& form = rig.CreateMonitoring();
  form.BtnRecordClick();
  const std::uint64_t first = rig.Device.FramesProduced();
  const int buffers = 1800 + 735;  // past the wrap, stopped inside the second pass
  rig.Run(buffers);
  form.BtnStopClick();
  QVERIFY(rig.State.LoopWrapped);
  QCOMPARE(rig.State.Take.TakeLength, 1800u);

  const fs::path target = rig.Root / "loop.wav";
  rig.FileDialog = tavrin::testing::ChoosePath(target);
  form.menuSaveAsClick();
  QVERIFY2(rig.Messages.empty(), rig.Messages.empty() ? "" : qPrintable(rig.Messages.front()));
  const std::vector<std::uint8_t> bytes = tavrin::testing::FileBytes(target);
  QCOMPARE(bytes.size(), std::size_t{44} + 1800u * 17640u);
  // The device's index pattern: left = bits 0..15 of the frame index, right = bits 16..31.
  const std::uint64_t end = first + std::uint64_t{buffers} * 4410;
  const std::uint64_t start = end - 1800u * 4410u;
  for (std::uint64_t i = 0; i < 1800u * 4410u; ++i) {
    const std::uint64_t index = start + i;
    const std::uint8_t* frame = bytes.data() + 44 + 4 * i;
    if (frame[0] != (index & 0xFF) || frame[1] != ((index >> 8) & 0xFF) ||
        frame[2] != ((index >> 16) & 0xFF) || frame[3] != ((index >> 24) & 0xFF)) {
      QFAIL(qPrintable(QStringLiteral("frame %1 differs").arg(i)));
    }
  }
}

void SaveFlowTest::saveAsIsOffWhileRecordingAndForOneBuffer() {
  MainWindowRig rig("saveas");
  auto& form = rig.CreateMonitoring();
  rig.Record(1);
  form.menuFileClick();
  QVERIFY(!form.SaveAsEnabled());
  form.BtnStopClick();
  QCOMPARE(rig.State.Take.TakeLength, 1u);
  form.menuFileClick();
  QVERIFY(!form.SaveAsEnabled());
  rig.Record(2);
  form.BtnStopClick();
  form.menuFileClick();
  QVERIFY(form.SaveAsEnabled());
}

void SaveFlowTest::wavOfFourGigabytesIsRefused() {
  MainWindowRig rig("fourgb");
  tavrin::settings::ChooseFormat(rig.Settings, tavrin::settings::SaveFormat::Wav);
  auto& form = rig.Create();
  // A sparse take just long enough that its WAV would pass 4 GB.
  QCOMPARE(rig.State.Take.RawStream.Create(rig.State.Take.RawPath), 0);
  QCOMPARE(rig.State.Take.RawStream.Truncate(std::int64_t{243500} * 17640), 0);
  const fs::path target = rig.Root / "huge.wav";
  rig.FileDialog = tavrin::testing::ChoosePath(target);
  form.menuSaveAsClick();
  QCOMPARE(rig.Messages.back(), QStringLiteral("File size is more 4GB!"));
  QVERIFY(!fs::exists(target));
  QVERIFY(!form.Saver().Saving());

  // FLAC and Opus have no such limit: the file dialog opens (and is cancelled here).
  for (const auto format :
       {tavrin::settings::SaveFormat::Flac, tavrin::settings::SaveFormat::Opus}) {
    tavrin::settings::ChooseFormat(rig.Settings, format);
    rig.Messages.clear();
    bool asked = false;
    rig.FileDialog = [&](QFileDialog&) { return !(asked = true); };
    form.menuSaveAsClick();
    QVERIFY(asked);
    QVERIFY(rig.Messages.empty());
  }
}

// The content always matches the name typed: with MP3 chosen, another format's
// extension saves that format, this once; any other name gets ".mp3", and the
// overwrite prompt asks about the name written.
void SaveFlowTest::typedExtensionChoosesTheFormatOfThatSave() {
  MainWindowRig rig("typedname");
  auto services = rig.Services();
  services.EncoderLibraries = {TAVRIN_ENCODER_LIBRARY};
  auto& form = rig.CreateMonitoring(services);
  rig.Record(20);
  form.BtnStopClick();
  rig.Settings.OutputFolder = rig.Root.string();
  QString typed, prompt;
  rig.FileDialog = [&typed](QFileDialog& dialog) {
    QTimer::singleShot(0, &dialog, [&] {
      // Typed into the name field, which has the focus as it has for the user.
      // Not every platform activates it; the field is given the focus below either way.
      static_cast<void>(QTest::qWaitFor([&dialog] { return dialog.isActiveWindow(); }));
      auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      name->setFocus();
      QTest::keyClicks(name, typed);
      QTest::keyClick(name, Qt::Key_Return);
      if (dialog.isVisible()) dialog.reject();
    });
    return dialog.exec() == QDialog::Accepted;
  };
  QTimer answerNo;
  QObject::connect(&answerNo, &QTimer::timeout, [&prompt] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      prompt = box->text();
      box->button(QMessageBox::No)->click();
    }
  });
  answerNo.start(10);
  const struct {
    const char *Typed, *Written, *Start;
  } rows[] = {{"a.wav", "a.wav", "RIFF"},   {"b.FLAC", "b.FLAC", "fLaC"},
              {"c.Opus", "c.Opus", "OggS"}, {"d.mp3", "d.mp3", "\xFF\xFB"},
              {"f", "f.mp3", "\xFF\xFB"},   {"e.txt", "e.txt.mp3", "\xFF\xFB"}};
  for (const auto& row : rows) {
    typed = QString::fromLatin1(row.Typed);
    form.menuSaveAsClick();
    QVERIFY2(tavrin::testing::FileText(rig.Root / row.Written).starts_with(row.Start), row.Typed);
  }
  QVERIFY(rig.Settings.SaveMp3 && rig.Messages.empty() && prompt.isEmpty());
  form.menuSaveAsClick();  // "e.txt" again
  QVERIFY2(prompt.startsWith(QStringLiteral("e.txt.mp3 ")), qPrintable(prompt));
}

QTEST_MAIN(SaveFlowTest)
#include "save_flow_test.moc"
