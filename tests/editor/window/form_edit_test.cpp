// The editor window offscreen on a generated take: status texts, commands and
// shortcuts, the input boxes, saving the selection, and closing.
#include <QAccessible>
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolBar>
#include <QtTest/QtTest>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "drop_urls.h"
#include "editor/window/edit_surface.h"
#include "editor/window/form_edit.h"
#include "editor/window/volume_slider.h"
#include "export/form_progress.h"
#include "fake_sound_opener.h"
#include "file_bytes.h"
#include "platform/wave_out_simulated.h"
#include "recovery/window/form_info.h"
#include "scratch_folder.h"
#include "small_file_system.h"

using namespace tavrin;
namespace fs = std::filesystem;
using tavrin::testing::FileBytes;

namespace {

constexpr std::size_t kBufferBytes = 17640;

struct EditorWindowRig;
using PrepareRig = std::function<void(EditorWindowRig&, editor::EditorWindowServices&)>;

struct EditorWindowRig {
  explicit EditorWindowRig(std::uint32_t buffers, const PrepareRig& prepare = {}) {
    State.AllocateCaptureMemory();
    State.EditPath = (Root / "Edit.raw").string();
    State.ClipPath = (Root / "Clp.raw").string();
    State.OutputFolder = Root.string();
    Take.resize(buffers * kBufferBytes);
    for (std::size_t i = 0; i < Take.size(); ++i)
      Take[i] = static_cast<std::uint8_t>(i * 7 + i / 4410);
    State.Take.RawStream.Create((Root / "Tavrin.raw").string());
    State.Take.RawStream.Write(Take.data(), Take.size());
    State.Take.TakeLength = State.Take.FinishedRecordedBuffers = buffers;
    settings::ChooseFormat(Settings, settings::SaveFormat::Wav);
    editor::EditorWindowServices services;
    services.State = &State;
    services.Document = &Document;
    services.Settings = &Settings;
    services.Progress = &Progress;
    services.User.ShowMessage = [this](const std::string& text) {
      Messages << QString::fromStdString(text);
      MessageOverProgress = MessageOverProgress || Progress.isVisible();
    };
    services.User.ProcessMessages = [] { QCoreApplication::processEvents(); };
    services.ExecFileDialog = [this](QFileDialog& dialog) {
      const std::string& chosen =
          dialog.acceptMode() == QFileDialog::AcceptOpen ? OpenPath : SavePath;
      DialogStart = dialog.directory().absoluteFilePath(dialog.selectedFiles().value(0));
      if (chosen.empty()) return false;
      dialog.selectFile(QString::fromStdString(chosen));
      return true;
    };
    services.User.Confirm = [this](const std::string& text) {
      Questions << QString::fromStdString(text);
      return Yes;
    };
    services.User.AskSave = [this](const std::string& text) {
      Questions << QString::fromStdString(text);
      return SaveAnswer;
    };
    services.InputBox = [this](const QString& caption, const QString& prompt, const QString&) {
      Prompts << caption + "|" + prompt;
      return Answer;
    };
    services.WaveOut = &Device;
    services.StartTimers = false;
    if (prepare) prepare(*this, services);
    Form = std::make_unique<editor::TFormEdit>(std::move(services));
    Form->show();
    Form->FormShow();
  }
  ~EditorWindowRig() {
    Form.reset();
    State.Take.RawStream.Close();
  }

  void Select(std::uint32_t first, std::uint32_t last) {
    Document.SelStart = first;
    Document.SelEnd = last;
  }

  testing::ScratchFolder Scratch{"editwin"};
  const fs::path& Root = Scratch.Path();
  platform::SimulatedWaveOut Device;
  capture::RecorderState State;
  editor::EditSession Document;
  settings::Settings Settings;
  exporter::TFormProgress Progress;
  std::vector<std::uint8_t> Take;
  QStringList Messages;
  base::SaveAnswer SaveAnswer = base::SaveAnswer::Discard;
  bool MessageOverProgress = false;  // a message was shown with the progress dialog still up
  QStringList Prompts;
  QString Answer;
  std::string SavePath;
  std::string OpenPath;
  QString DialogStart;  // the file the last file dialog showed first
  QStringList Questions;
  bool Yes = true;
  std::unique_ptr<editor::TFormEdit> Form;
};

// Presses the left button at column `from` of the waveform, drags to `to` and lets go.
void DragOverTheWaveform(EditorWindowRig& rig, int from, int to) {
  QWidget& surface = rig.Form->Surface();
  const editor::ViewGeometry& g = rig.Form->View().Geometry();
  const int y = (g.T + g.B) / 2;
  QTest::mousePress(&surface, Qt::LeftButton, Qt::NoModifier, QPoint(from, y));
  QTest::mouseMove(&surface, QPoint(to, y));
  QTest::mouseRelease(&surface, Qt::LeftButton, Qt::NoModifier, QPoint(to, y));
}

using KeyPresses = std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>;

// Presses keys on the waveform with the editor the active window, as its shortcuts need.
void Press(EditorWindowRig& rig, const KeyPresses& keys) {
  if (!rig.Form->isActiveWindow()) {
    rig.Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.Form.get()));
  }
  for (const auto& [key, modifiers] : keys) QTest::keyClick(&rig.Form->Surface(), key, modifiers);
}

// Play all is a push button held down while the whole document plays.
bool PlayAllDown(EditorWindowRig& rig) {
  QWidget* button = rig.Form->findChild<QToolBar*>("CoolBarPlay")
                        ->widgetForAction(rig.Form->Action("SBtnPlayAll"));
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
  return accessible->role() == QAccessible::PushButton && accessible->state().pressed;
}

// A work folder holding "test": 10 buffers and a partial one.
void OfferTest(EditorWindowRig& rig) {
  rig.State.WorkFolder = rig.Root.string();
  rig.State.PeaksPath = (rig.Root / "Tavrin.spv").string();
  rig.State.Take.RawPath = (rig.Root / "Tavrin.raw").string();
  std::ofstream(rig.Root / "test", std::ios::binary)
      << std::string(10 * kBufferBytes + 100, '\x05');
}

// An editor on a 25-buffer take with known peaks, in a work folder that also
// holds a waiting "test", opening files through the fake decoder.
void OfferFiles(EditorWindowRig& rig, editor::EditorWindowServices& services) {
  rig.State.WorkFolder = rig.Root.string();
  rig.State.Take.RawPath = (rig.Root / "Tavrin.raw").string();
  for (std::uint32_t b = 1; b <= 25; ++b) {
    rig.State.Take.Peaks[b] = {static_cast<std::int16_t>(b), -1, 2, -2};
  }
  services.OpenSoundFile = testing::FakeSoundOpener(12);
  services.ExecRecoveryDialog = [](recovery::TFormInfo&) { QFAIL("test offered"); };
}

void ExpectRecorderTakeBack(EditorWindowRig& rig) {
  QCOMPARE(rig.State.Take.RawPath, (rig.Root / "Tavrin.raw").string());
  QCOMPARE(rig.State.Take.TakeLength, 25u);
  for (std::uint32_t b = 1; b <= 25; ++b)
    QCOMPARE(rig.State.Take.Peaks[b].MaxLeft, std::int16_t(b));
  std::vector<std::uint8_t> bytes(rig.Take.size());
  QCOMPARE(rig.State.Take.RawStream.ReadAt(0, bytes.data(), bytes.size()), 0);
  QVERIFY(bytes == rig.Take);
  QCOMPARE(rig.State.Take.RawStream.Size(), static_cast<std::int64_t>(rig.Take.size()));
}

}  // namespace

class FormEditTest : public QObject {
  Q_OBJECT
private slots:
  void statusBarShowsTheSelection();
  void selectAllThenDeleteEmptiesTheDocument();
  void aShortcutDuringAnEffectDoesNothing();
  void inputBoxesAskAndReportBadAnswers();
  void saveSelectionWritesExactlyTheSelectedBuffers();
  void closingKeepsTheTakeAndRemovesTheWorkFiles();
  void theMouseSelectsOnTheWaveformAndTheZoomButtonsZoom();
  void theViewStaysLiveWhenTheDocumentShrinksUnderIt();
  void theKeysMoveTheCursorAndSelectFromItsAnchor();
  void theViewFollowsTheCursorAndZoomsAroundIt();
  void theEditorFitsAScreenOfHalfItsSize();
  void playAllPlaysTheEditedDocumentAndTheHandleSetsTheVolume();
  void loadingTestEditsItAndClosingGivesTheTakeBack();
  void ignoreAndLoopModeKeepTheTake();
  void anOpenedFileStandsInAndClosingGivesTheTakeBack();
  void aFailedOrCancelledOpenChangesNothing();
  void savingOverTheOpenedFileKeepsItWhenTheWriterFails();
};

void FormEditTest::statusBarShowsTheSelection() {
  EditorWindowRig rig(700);
  QCOMPARE(rig.Form->StatusPanelText(1), QStringLiteral("End - "));
  QCOMPARE(rig.Form->StatusPanelText(2), QStringLiteral("Length - "));
  rig.Select(1, 600);
  rig.Form->TimerPlayTimer();
  QCOMPARE(rig.Form->StatusPanelText(0), QStringLiteral("Start - 00:00:00.0"));
  QCOMPARE(rig.Form->StatusPanelText(1), QStringLiteral("End - 00:01:00.0"));
  QCOMPARE(rig.Form->StatusPanelText(2), QStringLiteral("Length - 00:01:00.0"));
}

void FormEditTest::selectAllThenDeleteEmptiesTheDocument() {
  EditorWindowRig rig(30);
  QCOMPARE(rig.Form->Action("menuDelete")->shortcut(), QKeySequence(Qt::Key_Delete));
  QCOMPARE(rig.Form->Action("menuSelectAll")->shortcut(), QKeySequence("Ctrl+A"));
  rig.Form->Action("menuDelete")->trigger();
  QCOMPARE(rig.Document.Length(), 30u);  // nothing selected: nothing deleted
  rig.Form->Action("menuSelectAll")->trigger();
  rig.Form->Action("menuDelete")->trigger();
  QCOMPARE(rig.Document.Length(), 0u);
  rig.Form->Action("SBtnUndo")->trigger();
  QCOMPARE(rig.Document.Length(), 30u);
}

void FormEditTest::aShortcutDuringAnEffectDoesNothing() {
  QStringList outside;  // help, About and the folder, asked for from outside the editor
  EditorWindowRig rig(40, [&outside](EditorWindowRig&, editor::EditorWindowServices& services) {
    services.ShowHelp = [&outside] { outside << "help"; };
    services.ShowAbout = [&outside](QWidget*) { outside << "about"; };
    services.OpenFolder = [&outside](const QString&) { outside << "folder"; };
  });
  rig.Select(1, 40);
  bool barShown = false;
  QTimer during;
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (!rig.Document.ProgressShown) return;  // the effect has not started yet
    during.stop();
    barShown = rig.Form->ProgressBarVisible();
    for (const char* name : {"menuDelete", "menuUndo", "menuSaveSettings", "menuExplorer",
                             "menuTavrinHelp", "menuAbout", "menuPlayBack"}) {
      rig.Form->Action(QString::fromLatin1(name))->trigger();
    }
  });
  during.start(0);
  rig.Form->Action("menuFadeOut")->trigger();
  QVERIFY(barShown);
  QVERIFY(!rig.Form->ProgressBarVisible());
  QCOMPARE(rig.Document.CurrentLevel, 1);  // the fade alone
  QCOMPARE(rig.Document.Length(), 40u);
  QVERIFY(outside.isEmpty());
  rig.Form->Action("menuAbout")->trigger();
  QCOMPARE(outside, QStringList{"about"});
}

void FormEditTest::inputBoxesAskAndReportBadAnswers() {
  EditorWindowRig rig(20);
  rig.Select(2, 5);
  rig.Answer = QStringLiteral("abc");
  rig.Form->menuAmplifyClick();
  QVERIFY(rig.Prompts.front().startsWith(
      QStringLiteral("Amplify|Input Amplification Factor (1-1000%)\nOriginal Level - 100%\n"
                     "Sound Clipping Level - ")));
  QCOMPARE(rig.Messages, QStringList{QStringLiteral("'abc' is not a valid integer value")});
  QCOMPARE(rig.Document.CurrentLevel, 0);
  rig.Answer = QStringLiteral("100");
  rig.Form->menuAmplifyClick();
  QCOMPARE(rig.Document.CurrentLevel, 0);  // no level for 100 %
  rig.Answer = QStringLiteral("0.25");
  rig.Form->menuSilenceClick();
  QCOMPARE(rig.Prompts.back(), QStringLiteral("Insert Silence|Insert Silence in seconds:"));
  QCOMPARE(rig.Document.Length(), 22u);
}

void FormEditTest::saveSelectionWritesExactlyTheSelectedBuffers() {
  EditorWindowRig rig(20);
  rig.SavePath = (rig.Root / "part.wav").string();
  rig.Form->menuSaveSelectionClick();
  QCOMPARE(rig.Messages, QStringList{QStringLiteral("Please Select Waveform!")});
  QVERIFY(!fs::exists(rig.SavePath));
  rig.Select(4, 9);
  rig.Form->menuSaveSelectionClick();
  const auto bytes = FileBytes(rig.SavePath);
  QCOMPARE(bytes.size(), 44 + 6 * kBufferBytes);
  QVERIFY(std::equal(bytes.begin() + 44, bytes.end(), rig.Take.begin() + 3 * kBufferBytes));
  QVERIFY(!rig.Document.EditBusy);
}

void FormEditTest::closingKeepsTheTakeAndRemovesTheWorkFiles() {
  EditorWindowRig rig(25);
  rig.Select(1, 10);
  rig.Form->menuCutClick();
  QCOMPARE(rig.Document.Length(), 15u);
  QVERIFY(fs::exists(rig.State.EditPath));
  rig.Form->close();
  QVERIFY(!fs::exists(rig.State.EditPath));
  QVERIFY(!fs::exists(rig.State.ClipPath));
  QCOMPARE(rig.Document.Length(), 25u);
  QCOMPARE(rig.State.Take.RawStream.Size(), static_cast<std::int64_t>(rig.Take.size()));
}

void FormEditTest::theMouseSelectsOnTheWaveformAndTheZoomButtonsZoom() {
  EditorWindowRig rig(400);
  QWidget& surface = rig.Form->Surface();
  const editor::ViewGeometry& g = rig.Form->View().Geometry();
  QCOMPARE(rig.Form->View().ZoomIndex, 1);  // 400 buffers fit the view at one per column
  const int y = (g.T + g.B) / 2;
  DragOverTheWaveform(rig, g.L + 10, g.L + 50);
  QCOMPARE(rig.Document.SelStart, 10u);
  QCOMPARE(rig.Document.SelEnd, 50u);
  QCOMPARE(rig.Form->StatusPanelText(1), QStringLiteral("End - 00:00:05.0"));
  QTest::mouseClick(&surface, Qt::LeftButton, Qt::NoModifier, QPoint(g.L + 30, y));
  QCOMPARE(rig.Document.SelStart, rig.Document.SelEnd);
  QCOMPARE(rig.Document.CursorPos, 30u);

  rig.Form->BtnIncClick();
  QCOMPARE(rig.Form->View().ZoomIndex, 1);  // already the finest
  rig.Form->BtnDecClick();
  QCOMPARE(rig.Form->View().ZoomIndex, 1);  // the view already reaches the end
}

void FormEditTest::theViewStaysLiveWhenTheDocumentShrinksUnderIt() {
  EditorWindowRig rig(30);
  rig.Answer = QStringLiteral("900");
  rig.Form->menuSilenceClick();
  QCOMPARE(rig.Document.Length(), 9030u);
  QScrollBar& bar = *rig.Form->Surface().ScrollBar;
  const int page = bar.pageStep();
  bar.setValue(bar.maximum());
  QVERIFY(rig.Form->View().ViewOffset > 8000u);
  // A click in the trough moves by the large step, 10 units at one buffer per column.
  QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(30, bar.height() / 2));
  QCOMPARE(bar.value(), bar.maximum() - 10);
  QCOMPARE(bar.pageStep(), page);  // the thumb keeps its length

  rig.Form->Action("SBtnUndo")->trigger();
  QCOMPARE(rig.Document.Length(), 30u);
  QCOMPARE(rig.Form->View().ViewOffset, 0u);
  const editor::ViewGeometry& g = rig.Form->View().Geometry();
  const QImage& drawn = rig.Form->View().WaveBitmap();
  QVERIFY(drawn.pixel(10, g.h / 4) != drawn.pixel(100, g.h / 4));  // the take's columns
  DragOverTheWaveform(rig, g.L + 1, g.L + 5);
  QCOMPARE(rig.Document.SelStart, 1u);
  QCOMPARE(rig.Document.SelEnd, 5u);
}

void FormEditTest::playAllPlaysTheEditedDocumentAndTheHandleSetsTheVolume() {
  EditorWindowRig rig(30);
  rig.Select(1, 10);
  rig.Form->menuDeleteClick();
  QAction* playAll = rig.Form->Action("SBtnPlayAll");
  playAll->trigger();
  QVERIFY(rig.Form->Playback().Playing);
  QVERIFY(PlayAllDown(rig));  // pressed while it plays
  for (int tick = 0; tick < 40 && rig.Form->Playback().Playing; ++tick) {
    rig.Device.Advance(4410);
    rig.Form->TimerPlayTimer();
  }
  QVERIFY(!rig.Form->Playback().Playing);
  QVERIFY(!PlayAllDown(rig));  // released at the end
  const std::vector<char>& played = rig.Device.Played();
  QCOMPARE(played.size(), 20 * kBufferBytes);  // the 20 buffers left, in order
  QVERIFY(std::memcmp(played.data(), rig.Take.data() + 10 * kBufferBytes, played.size()) == 0);

  playAll->trigger();
  playAll->trigger();  // a second press releases it and stops
  QVERIFY(!rig.Form->Playback().Playing);
  QVERIFY(!PlayAllDown(rig));
  // The Play menu's items do what the buttons do.
  rig.Form->Action("menuPlayAll")->trigger();
  QVERIFY(rig.Form->Playback().Playing && PlayAllDown(rig));
  rig.Form->Action("menuStop")->trigger();
  QVERIFY(!rig.Form->Playback().Playing && !PlayAllDown(rig));
  // Space plays from the cursor and stops; Shift+Space plays the selection.
  Press(rig, {{Qt::Key_Home, Qt::NoModifier},
              {Qt::Key_Right, Qt::ControlModifier},
              {Qt::Key_Space, Qt::NoModifier}});
  QVERIFY(rig.Form->Playback().Playing && !PlayAllDown(rig));
  QCOMPARE(rig.Form->Playback().PlayFirst, 11u);
  Press(rig, {{Qt::Key_Space, Qt::NoModifier}});
  QVERIFY(!rig.Form->Playback().Playing);
  rig.Select(3, 6);
  Press(rig, {{Qt::Key_Space, Qt::ShiftModifier}});
  QVERIFY(rig.Form->Playback().PlayFirst == 3 && rig.Form->Playback().PlayLast == 6);
  // Insert Silence stops playback before its box opens, whatever the answer.
  for (const QString& answer : {QStringLiteral("0"), QStringLiteral("x"), QStringLiteral("1")}) {
    playAll->trigger();
    rig.Answer = answer;
    rig.Form->menuSilenceClick();
    QVERIFY(!rig.Form->Playback().Playing);
    QVERIFY(!PlayAllDown(rig));
  }

  editor::VolumeSlider& volume = rig.Form->Volume();
  const int start = volume.HandleLeft();
  volume.ImageHandleMouseDown(start + 3, true);
  volume.ImageHandleMouseMove(
      start + 3 - start + editor::VolumeSlider::kTrackWidth - editor::VolumeSlider::kHandleWidth,
      true);
  std::uint32_t word = 0;
  rig.Device.GetVolume(word);
  QCOMPARE(word, 0xFFFFFFFFu);  // the right end: both channels at 65535
  volume.ImageHandleMouseDown(volume.HandleLeft(), true);
  volume.ImageHandleMouseMove(0, true);
  rig.Device.GetVolume(word);
  QCOMPARE(word, 0u);
  // The arrow keys move it a pixel's worth, 65535 / 94 rounded.
  QTest::keyClick(&volume, Qt::Key_Right);
  rig.Device.GetVolume(word);
  QCOMPARE(word, 697u * 65537u);
  QCOMPARE(volume.accessibleDescription(), QStringLiteral("1%"));
}

void FormEditTest::loadingTestEditsItAndClosingGivesTheTakeBack() {
  QStringList seen;
  EditorWindowRig rig(25, [&seen](EditorWindowRig& r, editor::EditorWindowServices& services) {
    OfferTest(r);
    services.ExecRecoveryDialog = [&seen, &r](recovery::TFormInfo& info) {
      seen << info.windowTitle() << (info.ProgressBar1->isVisibleTo(&info) ? "bar" : "no bar");
      info.BtnLoad->click();  // no peak file: measured, with the bar
      seen << (info.ProgressBar1->isVisibleTo(&info) ? "bar" : "no bar")
           << info.LabProgress->text();
      r.Document.OperationProgress = 45.3f;
      info.Timer1Timer();
      seen << info.LabProgress->text() << QString::number(info.ProgressBar1->value());
    };
  });
  QCOMPARE(seen, QStringList({"Tavrin Recorder", "no bar", "bar", "Loading...100.0%",
                              "Loading...45.3%", "45"}));
  QCOMPARE(rig.Document.LevelLength[0], 10u);
  QCOMPARE(fs::file_size(rig.Root / "Tavrin.spv"), std::uintmax_t{10 * 8});
  rig.Select(1, 4);
  rig.Form->menuDeleteClick();
  QCOMPARE(rig.Document.Length(), 6u);
  rig.Form->close();
  // The recorder's take is its own again, whole; "test" stays for the next opening.
  QCOMPARE(rig.State.Take.TakeLength, 25u);
  QCOMPARE(rig.State.Take.RawPath, (rig.Root / "Tavrin.raw").string());
  QCOMPARE(rig.State.Take.RawStream.Size(), static_cast<std::int64_t>(rig.Take.size()));
  QVERIFY(fs::exists(rig.Root / "test"));
  QVERIFY(rig.Messages.isEmpty());
}

void FormEditTest::ignoreAndLoopModeKeepTheTake() {
  int shown = 0;
  {
    EditorWindowRig rig(25, [&shown](EditorWindowRig& r, editor::EditorWindowServices& services) {
      OfferTest(r);
      services.ExecRecoveryDialog = [&shown](recovery::TFormInfo& info) {
        ++shown;
        info.BtnDiscard->click();
      };
    });
    QCOMPARE(shown, 1);
    QCOMPARE(rig.Document.LevelLength[0], 25u);
    QCOMPARE(rig.State.Take.RawPath, (rig.Root / "Tavrin.raw").string());
    QVERIFY(!fs::exists(rig.Root / "Tavrin.spv"));
  }
  EditorWindowRig loop(25, [&shown](EditorWindowRig& r, editor::EditorWindowServices& services) {
    OfferTest(r);
    r.State.LoopMode = true;
    services.ExecRecoveryDialog = [&shown](recovery::TFormInfo&) { ++shown; };
  });
  QCOMPARE(shown, 1);
  QCOMPARE(loop.Document.LevelLength[0], 25u);
}

void FormEditTest::anOpenedFileStandsInAndClosingGivesTheTakeBack() {
  EditorWindowRig rig(25, OfferFiles);
  std::ofstream(rig.Root / "test", std::ios::binary) << std::string(kBufferBytes, '\x07');
  const fs::path song = rig.Root / "in" / "song.flac";
  fs::create_directories(song.parent_path());
  std::ofstream(song) << "sound";
  QCOMPARE(rig.Form->Action("menuOpen"), rig.Form->findChild<QMenu*>("menuFile")->actions()[0]);
  QCOMPARE(rig.Form->Action("menuOpen")->text(), QStringLiteral("打开(&O)..."));

  // An edit first: the question comes, and No keeps the edit.
  rig.Select(1, 5);
  rig.Form->menuCutClick();
  rig.OpenPath = song.string();
  rig.Yes = false;
  rig.Form->menuOpenClick();
  QCOMPARE(rig.Questions, QStringList{QStringLiteral(
                              "The edits will be lost. Are you sure you want to open another "
                              "file?")});
  QCOMPARE(rig.Document.Length(), 20u);

  rig.Yes = true;
  rig.Form->menuOpenClick();
  QCOMPARE(rig.Document.Length(), 12u);
  QCOMPARE(rig.Document.CurrentLevel, 0);
  QCOMPARE(rig.State.Take.RawPath, (rig.Root / "Open.raw").string());
  QVERIFY(!fs::exists(rig.Root / "Open.part.raw"));
  QVERIFY(rig.Progress.isHidden());
  QCOMPARE(rig.State.Take.Peaks[3].MaxLeft,
           document::MeasurePeaks(testing::FakeDecodedBuffer(2).data(), 4410).MaxLeft);

  // Edits and saves work on it; the save starts beside the opened file, named after it.
  rig.Select(2, 3);
  rig.Form->menuDeleteClick();
  rig.SavePath = (rig.Root / "edited.wav").string();
  rig.Form->menuSaveAllClick();
  QCOMPARE(rig.DialogStart, QString::fromStdString((song.parent_path() / "song.wav").string()));
  const auto saved = FileBytes(rig.SavePath);
  QCOMPARE(saved.size(), 44 + 10 * kBufferBytes);
  const auto third = testing::FakeDecodedBuffer(3);
  QVERIFY(std::equal(third.begin(), third.end(), saved.begin() + 44 + kBufferBytes));

  // A drop opens another file in its place (without a question: no edits since).
  rig.Form->menuUndoClick();
  rig.Form->menuUndoClick();
  QVERIFY(testing::DropUrls(*rig.Form, {QUrl(QStringLiteral("https://example.org/x.wav")),
                                        QUrl::fromLocalFile("/a.wav")}));
  QCOMPARE(rig.Document.Length(), 12u);
  QCOMPARE(rig.Questions.size(), 2);  // the No and the Yes above

  rig.Form->close();
  ExpectRecorderTakeBack(rig);
  QVERIFY(!fs::exists(rig.Root / "Open.raw"));
  QCOMPARE(fs::file_size(rig.Root / "test"), std::uintmax_t{kBufferBytes});
  QVERIFY(rig.Messages.isEmpty());
}

void FormEditTest::aFailedOrCancelledOpenChangesNothing() {
  EditorWindowRig rig(25, OfferFiles);
  rig.Select(1, 5);
  rig.Form->menuCutClick();
  rig.OpenPath = (rig.Root / "broken.wav").string();
  rig.Form->menuOpenClick();
  QCOMPARE(rig.Messages,
           QStringList{QString::fromStdString(rig.OpenPath) + " is not a sound file."});
  QVERIFY(!rig.MessageOverProgress);
  QCOMPARE(rig.Document.Length(), 20u);
  QCOMPARE(rig.Document.CurrentLevel, 1);

  // Cancel in the progress dialog, as the opening runs; Escape there does the same.
  for (const bool escape : {false, true}) {
    QString caption;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
      if (rig.Progress.isHidden()) return;
      cancel.stop();
      caption = rig.Progress.windowTitle() +
                (QApplication::activeModalWidget() == &rig.Progress ? " modal" : "");
      if (escape) {
        QTest::keyClick(&rig.Progress, Qt::Key_Escape);
      } else {
        rig.Progress.findChild<QPushButton*>(QStringLiteral("BtnCancel"))->click();
      }
    });
    cancel.start(5);
    rig.Form->OpenFile((rig.Root / "slow.wav").string());
    QCOMPARE(caption, QStringLiteral("Opening...slow.wav modal"));
    QVERIFY(!rig.Document.EditBusy);
    QCOMPARE(rig.Document.Length(), 20u);
    QCOMPARE(rig.Document.CurrentLevel, 1);
    QCOMPARE(rig.Messages.size(), 1);
    for (const char* name : {"Open.raw", "Open.part.raw"}) QVERIFY(!fs::exists(rig.Root / name));
  }

  // The decoder's notices stand in the status bar; one that must not be missed
  // is also said in a box, once the progress dialog has gone.
  const auto* notice = rig.Form->findChild<QLabel*>(QStringLiteral("StatusNotice"));
  rig.Form->OpenFile((rig.Root / "clip.wav").string());
  QCOMPARE(rig.Messages.size(), 1);
  QCOMPARE(notice->text(), QStringLiteral("a sample was clipped"));
  rig.Form->OpenFile((rig.Root / "loud.wav").string());
  QCOMPARE(rig.Messages.back(), QStringLiteral("every sample was clipped"));
  QCOMPARE(notice->text(), QStringLiteral("every sample was clipped"));
  QVERIFY(!rig.MessageOverProgress);

  // With a file open, a failing one leaves it open and whole.
  rig.Form->OpenFile((rig.Root / "good.wav").string());
  const auto opened = FileBytes(rig.Root / "Open.raw");
  rig.Form->OpenFile((rig.Root / "broken.wav").string());
  QCOMPARE(rig.Document.Length(), 12u);
  QVERIFY(FileBytes(rig.Root / "Open.raw") == opened);
  // Edits never saved are not closed away unasked: Cancel keeps the editor.
  rig.Select(1, 2);
  rig.Form->menuCutClick();
  rig.SaveAnswer = base::SaveAnswer::Cancel;
  QVERIFY(!rig.Form->close());
  QCOMPARE(rig.Questions.back(), QStringLiteral("The edits have not been saved. Save them?"));
  rig.SaveAnswer = base::SaveAnswer::Discard;
  rig.Form->close();
  ExpectRecorderTakeBack(rig);
}

void FormEditTest::savingOverTheOpenedFileKeepsItWhenTheWriterFails() {
  EditorWindowRig rig(25, OfferFiles);
  // The opened file on a disk too small for the document's WAV.
  const testing::SmallFileSystem disk(rig.Root / "disk", 64);
  if (!disk.Mounted()) QSKIP("no small file system here (mounting takes root)");
  const fs::path song = disk.Path() / "song.wav";
  std::ofstream(song) << std::string(1000, 's');
  rig.Form->OpenFile(song.string());
  rig.SavePath = song.string();
  rig.Form->menuSaveAllClick();
  QCOMPARE(rig.Messages.size(), 1);
  QVERIFY(rig.Messages.front().startsWith(QStringLiteral("There is no space on drive")));
  QVERIFY(FileBytes(song) == std::vector<std::uint8_t>(1000, 's'));
  QCOMPARE(std::distance(fs::directory_iterator(disk.Path()), fs::directory_iterator()), 1);

  // Room enough: it is replaced by the whole document.
  rig.Select(1, 2);
  rig.Form->menuSaveSelectionClick();
  QCOMPARE(fs::file_size(song), std::uintmax_t{44 + 2 * kBufferBytes});
  QCOMPARE(rig.Messages.size(), 1);
}

void FormEditTest::theKeysMoveTheCursorAndSelectFromItsAnchor() {
  EditorWindowRig rig(400);
  const Qt::KeyboardModifiers none = Qt::NoModifier, shift = Qt::ShiftModifier;
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  // From a cursor at buffer 100 with nothing selected: SelStart, SelEnd and CursorPos after.
  const std::vector<std::pair<KeyPresses, std::array<std::uint32_t, 3>>> rows = {
      {{{Qt::Key_Right, none}, {Qt::Key_Left, ctrl}}, {91, 91, 91}},
      {{{Qt::Key_Right, shift}, {Qt::Key_Right, shift | ctrl}}, {100, 111, 111}},
      {{{Qt::Key_Right, shift},
        {Qt::Key_Left, shift},
        {Qt::Key_Left, shift},
        {Qt::Key_Left, shift}},
       {98, 100, 98}},
      {{{Qt::Key_End, none}, {Qt::Key_Right, none}}, {400, 400, 400}},
      {{{Qt::Key_Home, shift}}, {1, 100, 1}},
      {{{Qt::Key_End, shift}}, {100, 400, 400}},
  };
  for (std::size_t row = 0; row < rows.size(); ++row) {
    rig.Select(100, 100);
    rig.Document.CursorPos = 100;
    Press(rig, rows[row].first);
    const std::array got{rig.Document.SelStart, rig.Document.SelEnd, rig.Document.CursorPos};
    QVERIFY2(got == rows[row].second, qPrintable(QStringLiteral("row %1").arg(row)));
  }
  // A selection made with the mouse is extended from its anchor; the screen
  // reader hears it as the status bar shows it; then the keys alone edit and save.
  const editor::ViewGeometry& g = rig.Form->View().Geometry();
  rig.Select(1, 1);
  DragOverTheWaveform(rig, g.L + 10, g.L + 50);
  Press(rig, {{Qt::Key_Left, shift}});
  QCOMPARE(QApplication::focusWidget(), &rig.Form->Surface());
  QCOMPARE(rig.Form->Surface().accessibleDescription(),
           QStringLiteral("光标 00:00:04.8，选区 00:00:00.9 至 00:00:04.9"));
  Press(rig, {{Qt::Key_X, ctrl}});
  QCOMPARE(rig.Document.Length(), 360u);
  Press(rig, {{Qt::Key_Z, ctrl}});
  rig.SavePath = (rig.Root / "all.wav").string();
  Press(rig, {{Qt::Key_S, ctrl}});
  QCOMPARE(fs::file_size(rig.SavePath), std::uintmax_t{44 + 400 * kBufferBytes});
  Press(rig, {{Qt::Key_W, ctrl}});
  QVERIFY(!rig.Form->isVisible());
}

void FormEditTest::theViewFollowsTheCursorAndZoomsAroundIt() {
  EditorWindowRig rig(3000);
  editor::WaveformView& view = rig.Form->View();
  const editor::ViewGeometry& g = view.Geometry();
  const auto cursorInView = [&] {
    const int x = view.ColumnOf(rig.Document.CursorPos);
    return x > g.L && x < g.R;
  };
  const int zoom = view.ZoomIndex;  // the coarsest the take needs
  Press(rig, {{Qt::Key_Equal, Qt::ControlModifier}, {Qt::Key_End, Qt::NoModifier}});
  QVERIFY(view.ZoomIndex == zoom - 1 && view.ViewOffset > 0 && cursorInView());
  QCOMPARE(rig.Form->Surface().ScrollBar->value(), rig.Form->Surface().ScrollBar->maximum());
  Press(rig, {{Qt::Key_Home, Qt::NoModifier}, {Qt::Key_PageDown, Qt::ShiftModifier}});
  QCOMPARE(rig.Document.SelEnd, 1 + view.Zoom() * static_cast<std::uint32_t>(g.R - g.L - 1));
  QVERIFY(cursorInView());
  // Zooming in keeps the cursor where it stands on the screen.
  const int column = view.ColumnOf(rig.Document.CursorPos);
  Press(rig, {{Qt::Key_Equal, Qt::ControlModifier}});
  QCOMPARE(view.ColumnOf(rig.Document.CursorPos), column);
  for (int i = 0; i < 3; ++i) Press(rig, {{Qt::Key_Minus, Qt::ControlModifier}});
  QVERIFY(view.ZoomIndex == zoom && cursorInView());  // no coarser than the take needs
}

void FormEditTest::theEditorFitsAScreenOfHalfItsSize() {
  EditorWindowRig rig(30);
  const QRect screen(0, 0, 640, 450);  // 1280 x 900 pixels at a scale factor of 2
  rig.Form->FitToScreen(screen);
  QVERIFY(screen.contains(rig.Form->frameGeometry()));
  const QSize least = rig.Form->minimumSize().expandedTo(rig.Form->minimumSizeHint());
  QVERIFY(least.width() <= 640 && least.height() <= 450);
}

QTEST_MAIN(FormEditTest)
#include "form_edit_test.moc"
