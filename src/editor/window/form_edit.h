#pragma once
// The sound editor window: the document of the editor engine under one menu
// bar and five tool bars, the waveform view, playback controls and the
// editor's saves. Thin: commands go to the engines, drawing to the view.
// User-interface thread only.

#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "editor/edit_context.h"
#include "editor/view/waveform_view.h"
#include "editor/window/open_sound.h"
#include "platform/sound_panels.h"
#include "platform/wave_out.h"
#include "playback/playback.h"
#include "recovery/test_take.h"
#include "settings/settings.h"

class QAction;
class QFileDialog;
class QLabel;
class QPainter;
class QPoint;
class QProgressBar;
class QToolBar;
class QToolButton;

namespace tavrin::settings {
class TFormSaveSettings;
}
namespace tavrin::exporter {
class SaveFlow;
class TFormProgress;
}  // namespace tavrin::exporter

namespace tavrin::recovery {
class TFormInfo;
}

namespace tavrin::editor {

class EditSurface;
class VolumeSlider;

// Everything the editor reaches outside itself; tests answer the boxes.
struct EditorWindowServices {
  capture::RecorderState* State = nullptr;
  EditSession* Document = nullptr;
  settings::Settings* Settings = nullptr;
  settings::TFormSaveSettings* SaveSettingsDialog = nullptr;
  exporter::TFormProgress* Progress = nullptr;
  std::vector<std::string> EncoderLibraries;
  platform::WaveOut* WaveOut = nullptr;              // none: the editor works without playback
  platform::SoundPanels* Panels = nullptr;           // the desktop's playback settings
  base::UserChannel User;                            // messages go over the editor while it is open
  std::function<bool(QFileDialog&)> ExecFileDialog;  // empty = shown modally
  // The recovery dialog offering "test"; empty = shown modally.
  std::function<void(recovery::TFormInfo&)> ExecRecoveryDialog;
  // The input box: the answer, or `text` when cancelled.
  std::function<QString(const QString& caption, const QString& prompt, const QString& text)>
      InputBox;
  std::function<void()> ShowHelp;
  std::function<void(QWidget* over)> ShowAbout;
  std::function<void(const QString& folder)> OpenFolder;
  // Decodes a sound file into a take (decode::DecodeToTake); empty = File >
  // Open and drops are not available.
  SoundFileOpener OpenSoundFile;
  bool StartTimers = true;
};

class TFormEdit : public QMainWindow {
  Q_OBJECT
public:
  explicit TFormEdit(EditorWindowServices services, QWidget* parent = nullptr);
  ~TFormEdit() override;

  // Shows the editor modally on the recorder's take, or on the sound file
  // `openPath` when one is given (nothing shows when it does not open), and
  // returns when it closes.
  void Execute(const std::string& openPath = {});
  // Opens a sound file in place of the document (a drop, a second start);
  // asks first when there are edits. Nothing while an operation or a save runs.
  void OpenFile(const std::string& path);
  // Whether a file can be opened now.
  bool OpenAvailable() const;

  // Handlers, public so that tests drive them as the user and the timers do.
  void FormShow();
  void FormClose();
  void TimerPlayTimer();
  void TimerStatusTimer();
  void menuOpenClick();
  void menuSaveAllClick();
  void menuSaveSelectionClick();
  void menuExplorerClick();
  void menuExitClick();
  void menuUndoClick();
  void menuRedoClick();
  void menuCutClick();
  void menuCopyClick();
  void menuPasteClick();
  void menuDeleteClick();
  void menuSelectAllClick();
  void menuFadeInClick();
  void menuFadeOutClick();
  void menuAmplifyClick();
  void menuNormalizeClick();
  void menuSilenceClick();
  void menuSaveSettingsClick();
  void menuTavrinHelpClick();
  void menuAboutClick();
  void menuPlayBackClick();
  void FormResize();
  void FormMouseDown(QPoint at, bool leftButton, bool leftAlone);
  void FormMouseMove(QPoint at, bool leftButton, bool leftAlone);
  void FormMouseUp(QPoint at);
  void BtnIncClick();
  void BtnDecClick();
  void ScrollBarChange(int position);
  void SBtnPlayAllClick();
  void SBtnPlaySelectionClick();
  void SBtnStopClick();
  // Space: plays from the cursor to the end, or stops whatever plays.
  void menuPlayCursorClick();
  // The waveform's keys: the cursor, the selection from it, and the view
  // following it. False for a key that is not the waveform's.
  bool SurfaceKeyDown(int key, Qt::KeyboardModifiers modifiers);
  // Ctrl+= and Ctrl+-.
  void ZoomAroundCursor(bool in);
  // The least of the window's size and place that a screen this small allows,
  // with the menu bar on it.
  void FitToScreen(const QRect& available);

  // What the window shows, for tests.
  EditSession& Document() { return *m_services.Document; }
  capture::RecorderState& State() { return *m_services.State; }
  QString StatusPanelText(int panel) const;
  bool ProgressBarVisible() const;
  int ProgressBarValue() const;
  QAction* Action(const QString& name) const;
  exporter::SaveFlow& Saver() { return *m_saveFlow; }
  WaveformView& View() { return m_view; }
  const playback::PlaybackState& Playback() const { return m_playback; }
  VolumeSlider& Volume() { return *ImageVolume; }
  EditSurface& Surface() { return *m_surface; }
  // Paints the central area (the surface's paint event).
  void PaintSurface(QPainter& painter);

protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void FormCreate();
  void BuildMenus();
  void BuildToolBars();
  void BuildStatusBar();
  void PlaceProgressBar();
  // Positions texts of the status bar.
  void ShowPositions();
  // Runs an engine command the way every editor command runs: stop playback
  // and let messages run first; the progress bar while it runs when
  // `withProgress`; then the resize procedure.
  void RunCommand(bool withProgress, const std::function<EditResult()>& command);
  void BuildSurface();
  void LayOut();
  void SyncScrollBar();
  void PlaceOverview(const OverviewMarks& marks);
  void ApplyMouseResult(const MouseResult& result);
  void VolumeHandleIdle();
  void OpenPlaybackDevice();
  void ClosePlaybackDevice();
  // Stops playback whatever runs (SBtnStop does nothing during an operation).
  void StopPlaying();
  // The Play All button shows m_playAllDown.
  void ShowPlayAllState();
  // What every command does first: nothing while an operation runs (false),
  // else playback stops and pending messages run.
  bool BeginCommand();
  // The resize procedure: layout, zoom step, scroll bar, full redraw.
  void ResizeView();
  void RedrawView();
  void ShowMessage(const QString& text);
  // Before the document is set up: "test" offered in place of the take.
  void OfferTestTake();
  // Decodes `path` in place of the take, with the progress dialog over `over`.
  bool OpenSound(const std::string& path, QWidget* over);
  // What an opening had to say: in the status bar, and in a box when `alarming`
  // (at once when the editor is up, else once it is).
  void ShowOpenNotice(const std::string& text, bool alarming);
  void WarnOpenNotice();
  // The document shown from its start: colours, layout, zoom, positions.
  void ShowDocument();
  // The recorder's own take again, and an opened file's work file gone.
  void GiveTakeBack();
  QString AskText(const QString& caption, const QString& prompt, const QString& text);

  EditorWindowServices m_services;
  EditContext m_context;
  WaveformView m_view;
  EditSurface* m_surface = nullptr;
  PlayCursor m_playCursor;
  playback::PlaybackState m_playback;
  std::unique_ptr<playback::PlaybackContext> m_playbackContext;  // when there is a device
  VolumeSlider* ImageVolume = nullptr;
  std::unique_ptr<exporter::SaveFlow> m_saveFlow;
  QEventLoop* m_loop = nullptr;
  bool m_open = false;
  int m_scrollLargeStep = 10;  // scroll units a click in the bar's trough moves
  // Play All stays pressed while the whole document plays; a second press stops it.
  bool m_playAllDown = false;
  // "test" or an opened file in place of the recorder's take.
  recovery::TestTakeLoader m_takeStandIn;
  std::string m_openFolder;  // where the open dialog starts: the last file's folder

  std::vector<QAction*> m_actions;
  QToolBar* CoolBarVolume = nullptr;
  std::array<QLabel*, 4> m_panels{};
  QLabel* m_notice = nullptr;  // what the last opening had to say
  // The document's rows as last opened or saved whole: anything else is edits to lose.
  std::vector<document::Segment> m_savedRows;
  bool EditsUnsaved();
  // Before unsaved edits go: Save... (Save all as), Discard or Cancel. True when they may go.
  bool KeepOrDiscardEdits();
  std::string m_noticeToWarn;  // said in a box once the editor is up
  QProgressBar* StatusProgressBar = nullptr;
  QAction* menuPlayBack = nullptr;
  QAction* SBtnPlayAll = nullptr;
  QToolButton* m_playAllButton = nullptr;
  QTimer TimerPlay;
  QTimer TimerStatus;
};

}  // namespace tavrin::editor
