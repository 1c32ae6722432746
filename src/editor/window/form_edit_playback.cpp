// The editor's playback controls: Play all, Play selection, Stop, the play
// timer's tick (cursor, meter, progress) and the volume slider, on the
// playback engine.
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <cmath>

#include "editor/window/edit_surface.h"
#include "editor/window/form_edit.h"
#include "editor/window/volume_slider.h"

namespace tavrin::editor {

void TFormEdit::OpenPlaybackDevice() {
  m_playback.Playing = false;
  if (m_playbackContext) {
    playback::OpenPlayback(m_playback, *m_playbackContext);
    m_playback.PlaybackVolume = playback::GetPlaybackVolume(m_playback, *m_playbackContext);
  }
  ImageVolume->ShowVolume(m_playback.PlaybackVolume);
}

void TFormEdit::ClosePlaybackDevice() {
  if (!m_playbackContext) return;
  StopPlaying();
  playback::ClosePlayback(m_playback, *m_playbackContext);
}

void TFormEdit::StopPlaying() {
  if (m_playbackContext) playback::StopPlayback(m_playback, *m_playbackContext);
  m_playAllDown = false;
  ShowPlayAllState();
}

void TFormEdit::ShowPlayAllState() {
  m_playAllButton->setDown(m_playAllDown);
}

void TFormEdit::SBtnPlayAllClick() {
  if (!m_open || !m_playbackContext || Document().EditBusy) {
    ShowPlayAllState();  // the press let the button up: it shows what plays
    return;
  }
  if (m_playAllDown) {
    StopPlaying();
    return;
  }
  m_playback.PlayFirst = 1;
  m_playback.PlayLast = Document().Length();
  playback::StartPlayAll(m_playback, *m_playbackContext);
  m_playAllDown = m_playback.Playing;
  ShowPlayAllState();
}

void TFormEdit::SBtnPlaySelectionClick() {
  if (!m_open || !m_playbackContext || Document().EditBusy) return;
  playback::StartPlaySelection(m_playback, *m_playbackContext);
  m_playAllDown = false;
  ShowPlayAllState();
}

void TFormEdit::menuPlayCursorClick() {
  if (!m_open || !m_playbackContext || Document().EditBusy) return;
  if (m_playback.Playing) {
    StopPlaying();
    return;
  }
  playback::StartPlayFrom(m_playback, *m_playbackContext, Document().CursorPos);
  m_playAllDown = false;
  ShowPlayAllState();
}

void TFormEdit::SBtnStopClick() {
  if (Document().EditBusy) return;
  StopPlaying();
}

void TFormEdit::menuPlayBackClick() {
  if (Document().EditBusy) return;
  if (m_playbackContext) playback::OpenPlaybackSettings(*m_playbackContext);
}

void TFormEdit::TimerPlayTimer() {
  if (!m_open) return;
  if (m_playbackContext) playback::PollPlayback(m_playback, *m_playbackContext);
  if (m_playAllDown && !m_playback.Playing) {
    m_playAllDown = false;  // played to the end
    ShowPlayAllState();
  }
  ShowPositions();
  if (!m_playback.Playing) State().MaxLeft = State().MaxRight = 0;
  m_view.DrawMeter();
  if (m_playbackContext && playback::FollowPanelVolume(m_playback, *m_playbackContext)) {
    ImageVolume->ShowVolume(m_playback.PlaybackVolume);
  }
  if (Document().ProgressShown) {
    StatusProgressBar->setValue(static_cast<int>(std::nearbyint(Document().OperationProgress)));
  }
  m_playCursor = m_view.PlayCursorAt(m_playback.Playing, m_playback.PlayedBlock);
  m_surface->ImagePlay->setVisible(m_playCursor.Visible);
  m_surface->ImagePlay->move(m_playCursor.MarkerLeft, m_playCursor.MarkerTop);
  m_surface->update();
}

void TFormEdit::VolumeHandleIdle() {
  ImageVolume->HandleIdle();
}

}  // namespace tavrin::editor
