// The recorder and its editor on a private PulseAudio daemon playing a 1 kHz
// tone: record about 3 s, Edit, Delete the first second, Fade Out the last,
// Play all to the end on the null sink, save all as WAV, FLAC and Opus; sox
// reads the WAV, flac and opusdec decode the others; every format, a phone's
// M4A and a browser's WebM among them, opens again by menu, drop and command line.
#include <QProcess>
#include <QtTest/QtTest>
#include <cmath>
#include <filesystem>

#include "decode/decode_to_take.h"
#include "drop_urls.h"
#include "editor/window/form_edit.h"
#include "export/save_flow.h"
#include "file_bytes.h"
#include "pulse_window_rig.h"

namespace fs = std::filesystem;
using namespace tavrin;
using testing::SoxRms;

class EditorPulseTest : public QObject {
  Q_OBJECT
private slots:
  void recordEditPlayAndSave();
};

void EditorPulseTest::recordEditPlayAndSave() {
  testing::PulseWindowRig rig("editor-pulse");
  capture::RecorderState& state = rig.State;
  editor::EditSession& document = rig.Document;
  settings::ChooseFormat(rig.Settings, settings::SaveFormat::Wav);
  fs::path target = rig.Root / "edited.wav";
  recorder_ui::MainWindowServices services = rig.Services();
  services.ExecFileDialog = testing::ChoosePath(target);
  services.OpenSoundFile = decode::DecodeToTake;
  services.EncoderLibraries = {TAVRIN_ENCODER_LIBRARY};
  recorder_ui::TFormMain& form = rig.Create(services);
  QTRY_VERIFY_WITH_TIMEOUT(state.DeviceOpen, 5000);
  form.BtnRecordClick();
  // Three seconds of audio, however late a busy machine lets it arrive.
  QTRY_VERIFY_WITH_TIMEOUT(state.Take.LastBufferIndex >= 30, 20000);
  form.BtnStopClick();
  const std::uint32_t recorded = state.Take.TakeLength;
  QVERIFY(recorded >= 30);
  const document::PeakTable peaks = state.Take.Peaks;

  bool edited = false;
  QTimer::singleShot(0, [&] {
    auto* editor = form.findChild<editor::TFormEdit*>();
    QVERIFY(editor && editor->isVisible());
    document.SelStart = 1;
    document.SelEnd = 10;
    editor->menuDeleteClick();
    QCOMPARE(document.Length(), recorded - 10);
    document.SelStart = document.Length() - 9;
    document.SelEnd = document.Length();
    editor->menuFadeOutClick();
    editor->SBtnPlayAllClick();
    QVERIFY(editor->Playback().Playing);
    // The server plays the document to its end; the done marks say so.
    QTRY_VERIFY_WITH_TIMEOUT(!editor->Playback().Playing, 10000);
    QCOMPARE(editor->Playback().PlayedBlock, document.Length());
    QVERIFY(!state.DeviceOpen);  // seconds of status ticks under the editor left it closed
    editor->menuSaveAllClick();
    for (const auto& [format, name] : {std::pair{settings::SaveFormat::Flac, "edited.flac"},
                                       std::pair{settings::SaveFormat::Opus, "edited.opus"},
                                       std::pair{settings::SaveFormat::Mp3, "edited.mp3"}}) {
      settings::ChooseFormat(rig.Settings, format);
      target = rig.Root / name;
      editor->menuSaveAllClick();
    }
    target = rig.Root / "edited.wav";
    edited = true;
    editor->close();
  });
  form.BtnEditClick();
  QVERIFY(edited);
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
  QCOMPARE(state.Take.TakeLength, recorded);  // the recorder's take is whole again
  // And so are its peaks: the live input never reached them.
  for (std::uint32_t b = 1; b <= recorded; ++b)
    QCOMPARE(state.Take.Peaks[b].MaxLeft, peaks[b].MaxLeft);

  // The saved files open again through the real decoder: the FLAC dropped on
  // the recorder window, then the WAV handed over as from the command line;
  // the opened file plays on the server and saves again, and closing the
  // editor gives the recorder's take back.
  const std::string takePath = state.Take.RawPath;
  bool reopened = false;
  std::function<void()> whenOpen = [&] {
    auto* editor = form.findChild<editor::TFormEdit*>();
    if (!editor || !editor->isVisible() || state.Take.RawPath == takePath) {
      QTimer::singleShot(10, whenOpen);  // still decoding
      return;
    }
    QCOMPARE(document.Length(), recorded - 10);
    editor->SBtnPlayAllClick();
    QTRY_VERIFY_WITH_TIMEOUT(!editor->Playback().Playing, 10000);
    QCOMPARE(editor->Playback().PlayedBlock, document.Length());
    settings::ChooseFormat(rig.Settings, settings::SaveFormat::Wav);
    target = rig.Root / "reopened.wav";
    editor->menuSaveAllClick();
    // Every format by each way in: the editor's own File > Open (its dialog
    // answered), a drop on the editor, and the path handed over as from the
    // command line. MP3, Vorbis and a phone's or browser's AAC and Opus may
    // come back with their encoder's padding, less than a buffer more.
    for (const char* way : {"menu", "drop", "command line"}) {
      for (const std::string name : {"edited.wav", "edited.mp3", "edited.ogg", "edited.opus",
                                     "edited.flac", "memo.m4a", "browser.webm"}) {
        const std::string path = (rig.Root / name).string();
        target = path;
        if (way == std::string("menu")) editor->menuOpenClick();
        if (way == std::string("drop"))
          QVERIFY(testing::DropUrls(*editor, {QUrl::fromLocalFile(QString::fromStdString(path))}));
        if (way == std::string("command line")) form.OpenFileRequested(path);
        QTRY_COMPARE(editor->Saver().OpenedPath, path);
        const bool padded = name != "edited.wav" && name != "edited.flac" && name != "edited.opus";
        QVERIFY2(
            document.Length() == recorded - 10 || (padded && document.Length() == recorded - 9),
            qPrintable(QStringLiteral("%1 by %2: %3 buffers, not %4")
                           .arg(QString::fromStdString(name), QString::fromLatin1(way))
                           .arg(document.Length())
                           .arg(recorded - 10)));
      }
    }
    QVERIFY(state.Take.RawPath != takePath);
    const std::uint32_t opened = document.Length();  // an opened file edits as a take does
    document.SelStart = 1;
    document.SelEnd = 5;
    editor->menuDeleteClick();
    QCOMPARE(document.Length(), opened - 5);
    target = rig.Root / "edited.wav";
    reopened = true;
    editor->close();
  };
  // Ogg Vorbis, which none of our writers makes, encoded by sox from the WAV;
  // a phone's voice memo and a browser's recording by the ffmpeg command line.
  const QString editedWav = QString::fromStdString(target.string());
  QCOMPARE(
      QProcess::execute(QStringLiteral("sox"),
                        {editedWav, QString::fromStdString((rig.Root / "edited.ogg").string())}),
      0);
  for (const auto& [codec, name] : {std::pair{"aac", "memo.m4a"}, {"libopus", "browser.webm"}}) {
    const QStringList arguments{QStringLiteral("-nostdin"),
                                QStringLiteral("-v"),
                                QStringLiteral("error"),
                                QStringLiteral("-i"),
                                editedWav,
                                QStringLiteral("-c:a"),
                                QString::fromLatin1(codec),
                                QString::fromStdString((rig.Root / name).string())};
    QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), arguments), 0);
  }
  QTimer::singleShot(0, whenOpen);
  QVERIFY(testing::DropUrls(
      form, {QUrl::fromLocalFile(QString::fromStdString((rig.Root / "edited.flac").string()))}));
  QTRY_VERIFY_WITH_TIMEOUT(reopened, 30000);
  QVERIFY2(rig.Messages.empty(), qPrintable(rig.MessageText()));
  QCOMPARE(state.Take.RawPath, takePath);
  QCOMPARE(state.Take.TakeLength, recorded);
  QVERIFY(form.close());

  const QString wav = QString::fromStdString(target.string());
  QCOMPARE(fs::file_size(target), 44 + std::uintmax_t{recorded - 10} * 17640);
  const double body =
      SoxRms(wav, {QStringLiteral("trim"), QStringLiteral("0.2"), QStringLiteral("0.5")});
  const double end = SoxRms(wav, {QStringLiteral("trim"), QStringLiteral("-0.05")});
  QVERIFY2(std::abs(20 * std::log10(body / 0.3536)) < 0.6, qPrintable(QString::number(body)));
  QVERIFY2(end < body / 10, qPrintable(QStringLiteral("the end does not fade: %1").arg(end)));

  // The same document as FLAC (sample for sample the WAV, MD5 checked) and as Opus.
  const QString flacWav = QString::fromStdString((rig.Root / "flac.wav").string());
  const QString opusWav = QString::fromStdString((rig.Root / "opus.wav").string());
  QCOMPARE(QProcess::execute(
               QStringLiteral("flac"),
               {QStringLiteral("--silent"), QStringLiteral("--decode"), QStringLiteral("-o"),
                flacWav, QString::fromStdString((rig.Root / "edited.flac").string())}),
           0);
  const std::string wavBytes = testing::FileText(target);
  QVERIFY(!wavBytes.empty());
  QVERIFY(testing::FileText(flacWav.toStdString()).ends_with(wavBytes.substr(44)));
  // Through our FLAC and back, bit for bit.
  QVERIFY(testing::FileText(rig.Root / "reopened.wav") == wavBytes);
  QCOMPARE(QProcess::execute(
               QStringLiteral("opusdec"),
               {QStringLiteral("--quiet"), QStringLiteral("--rate"), QStringLiteral("44100"),
                QString::fromStdString((rig.Root / "edited.opus").string()), opusWav}),
           0);
  const double opusBody =
      SoxRms(opusWav, {QStringLiteral("trim"), QStringLiteral("0.2"), QStringLiteral("0.5")});
  QVERIFY2(std::abs(20 * std::log10(opusBody / body)) < 0.5, qPrintable(QString::number(opusBody)));
}

QTEST_MAIN(EditorPulseTest)
#include "editor_pulse_test.moc"
