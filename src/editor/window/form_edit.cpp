#include "editor/window/form_edit.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QToolBar>
#include <algorithm>

#include "drawing/raster.h"
#include "editor/editor_session.h"
#include "editor/window/edit_surface.h"
#include "editor/window/volume_slider.h"
#include "export/save_flow.h"
#include "recovery/window/form_info.h"

namespace tavrin::editor {

namespace {

constexpr QSize kInitialSize(892, 575);
constexpr QSize kMinimumSize(780, 450);

}  // namespace

TFormEdit::TFormEdit(EditorWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      m_services(std::move(services)),
      m_context{*m_services.Document, *m_services.State, m_services.User},
      m_view(*m_services.Document, *m_services.State) {
  FormCreate();
}

TFormEdit::~TFormEdit() = default;

void TFormEdit::FormCreate() {
  setWindowTitle(tr("声音编辑器"));
  setObjectName(QStringLiteral("TFormEdit"));
  resize(kInitialSize);
  setMinimumSize(kMinimumSize);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowModality(Qt::ApplicationModal);
  setAcceptDrops(true);
  BuildMenus();
  BuildToolBars();
  BuildStatusBar();
  BuildSurface();
  ImageVolume = new VolumeSlider(CoolBarVolume);
  CoolBarVolume->addWidget(ImageVolume);
  ImageVolume->VolumeChanged = [this](std::uint32_t volume) {
    m_playback.PlaybackVolume = volume;
    if (m_playbackContext) playback::SetPlaybackVolume(m_playback, *m_playbackContext, volume);
  };
  if (m_services.WaveOut) {
    m_playbackContext = std::make_unique<playback::PlaybackContext>(
        playback::PlaybackContext{*m_services.WaveOut, *m_services.State, *m_services.Document,
                                  m_services.User, m_services.Panels});
  }
  // The desktop stands in for the system's playback device settings.
  menuPlayBack->setText(tr("&Playback Devices"));

  exporter::SaveFlow::Services saving;
  saving.Owner = this;
  saving.Settings = m_services.Settings;
  saving.SaveSettingsDialog = m_services.SaveSettingsDialog;
  saving.Progress = m_services.Progress;
  saving.State = m_services.State;
  saving.Document = m_services.Document;
  saving.EditBusy = &m_services.Document->EditBusy;
  saving.EncoderLibraries = m_services.EncoderLibraries;
  saving.User = m_services.User;
  saving.ExecFileDialog = m_services.ExecFileDialog;
  saving.StopPlayback = [this] { StopPlaying(); };
  m_saveFlow = std::make_unique<exporter::SaveFlow>(std::move(saving));

  TimerPlay.setInterval(100);
  connect(&TimerPlay, &QTimer::timeout, this, &TFormEdit::TimerPlayTimer);
  TimerStatus.setInterval(200);
  connect(&TimerStatus, &QTimer::timeout, this, &TFormEdit::TimerStatusTimer);
}

void TFormEdit::Execute(const std::string& openPath) {
  // Decoded before the editor shows, so that a file that does not open shows nothing.
  if (!openPath.empty() && !OpenSound(openPath, parentWidget())) return;
  if (QScreen* screen = this->screen()) FitToScreen(screen->availableGeometry());
  // Shown first, so that the view lays out on the window's real size.
  show();
  FormShow();
  if (!m_open) {
    hide();
    return;
  }
  QTimer::singleShot(0, this, [this] { WarnOpenNotice(); });
  QEventLoop loop;
  m_loop = &loop;
  loop.exec();
  m_loop = nullptr;
}

void TFormEdit::FitToScreen(const QRect& available) {
  // A small screen, or a large scale factor, wins over the window's own
  // minimum. The frame counts once the window has been shown with one.
  const QSize room = available.size() - (frameGeometry().size() - size());
  setMinimumSize(kMinimumSize.boundedTo(room));
  resize(size().boundedTo(room));
  QRect placed = frameGeometry();
  placed.moveCenter(available.center());
  move(std::max(placed.left(), available.left()), std::max(placed.top(), available.top()));
}

void TFormEdit::OfferTestTake() {
  if (!recovery::TestTakeOffered(*m_services.State)) return;
  recovery::TFormInfo info(*m_services.State, m_takeStandIn, Document().OperationProgress,
                           m_services.User, this);
  if (m_services.ExecRecoveryDialog) {
    m_services.ExecRecoveryDialog(info);
  } else {
    info.exec();
  }
}

void TFormEdit::FormShow() {
  // An opened file stands in already: a waiting "test" stays for another time.
  if (!m_takeStandIn.StandingIn()) OfferTestTake();
  m_open = OpenEditDocument(m_context);
  if (!m_open) {
    GiveTakeBack();
    return;
  }
  ShowDocument();
  OpenPlaybackDevice();
  if (m_services.StartTimers) {
    TimerPlay.start();
    TimerStatus.start();
  }
}

void TFormEdit::ShowDocument() {
  // As opened, the document holds no edits to lose.
  m_savedRows = document::LevelRows(Document(), Document().CurrentLevel);
  m_view.ViewOffset = 0;
  const settings::WindowColors colors = settings::ColorsForScheme(m_services.Settings->WindowColor);
  m_view.SetColors(colors);
  QPalette windowPalette = palette();
  windowPalette.setColor(QPalette::Window, drawing::ToQColor(colors.BaseColor));
  setPalette(windowPalette);
  LayOut();
  m_view.ChooseInitialZoom();
  SyncScrollBar();
  RedrawView();
  ShowPositions();
  m_surface->setFocus();
}

void TFormEdit::FormClose() {
  if (!m_open) return;
  StopPlaying();
  QCoreApplication::processEvents();
  TimerPlay.stop();
  TimerStatus.stop();
  CloseEditDocument(m_context);
  // After "test" or an opened file: the recorder's own take, as it was (its length too).
  GiveTakeBack();
  ClosePlaybackDevice();
  m_open = false;
  hide();
  if (m_loop) m_loop->quit();
}

void TFormEdit::closeEvent(QCloseEvent* event) {
  // A long operation lets messages run: the window stays until it ends.
  if (Document().EditBusy || !KeepOrDiscardEdits()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TFormEdit::EditsUnsaved() {
  const std::vector<document::Segment> rows =
      document::LevelRows(Document(), Document().CurrentLevel);
  return !std::equal(rows.begin(), rows.end(), m_savedRows.begin(), m_savedRows.end(),
                     [](const document::Segment& a, const document::Segment& b) {
                       return a.Start == b.Start && a.Length == b.Length && a.Offset == b.Offset &&
                              a.FromTake == b.FromTake;
                     });
}

bool TFormEdit::KeepOrDiscardEdits() {
  if (!m_open || !EditsUnsaved()) return true;
  switch (m_services.User.AskToSave("The edits have not been saved. Save them?")) {
  case base::SaveAnswer::Save: menuSaveAllClick(); return !EditsUnsaved();
  case base::SaveAnswer::Discard: return true;
  case base::SaveAnswer::Cancel: break;
  }
  return false;
}

void TFormEdit::TimerStatusTimer() {
  if (m_saveFlow->SaveAllPending) {
    m_saveFlow->SaveAllPending = false;
    menuSaveAllClick();
  }
  if (m_saveFlow->SaveSelectionPending) {
    m_saveFlow->SaveSelectionPending = false;
    menuSaveSelectionClick();
  }
}

void TFormEdit::ShowPositions() {
  const EditDocument& document = Document();
  const bool selected = document.SelStart != document.SelEnd;
  m_panels[0]->setText(tr("Start - ") +
                       QString::fromStdString(PositionText(document.SelStart - 1)));
  m_panels[1]->setText(tr("End - ") + (selected
                                           ? QString::fromStdString(PositionText(document.SelEnd))
                                           : QString()));
  m_panels[2]->setText(tr("Length - ") + (selected ? QString::fromStdString(PositionText(
                                                         document.SelEnd - document.SelStart + 1))
                                                   : QString()));
  // A screen reader hears the cursor at the time its buffer starts, where Space plays from.
  const auto time = [](std::uint32_t buffers) {
    return QString::fromStdString(PositionText(buffers));
  };
  const QString cursor = time(std::max(document.CursorPos, 1u) - 1);
  const QString said = selected
                           ? tr("光标 %1，选区 %2 至 %3")
                                 .arg(cursor, time(document.SelStart - 1), time(document.SelEnd))
                           : tr("光标 %1，未选择").arg(cursor);
  if (m_surface->accessibleDescription() != said) m_surface->setAccessibleDescription(said);
}

QString TFormEdit::StatusPanelText(int panel) const {
  return panel >= 0 && panel < static_cast<int>(m_panels.size()) ? m_panels[panel]->text()
                                                                 : QString();
}

bool TFormEdit::ProgressBarVisible() const {
  return !StatusProgressBar->isHidden();
}

int TFormEdit::ProgressBarValue() const {
  return StatusProgressBar->value();
}

QAction* TFormEdit::Action(const QString& name) const {
  for (QAction* action : m_actions) {
    if (action->objectName() == name) return action;
  }
  return nullptr;
}

void TFormEdit::ShowMessage(const QString& text) {
  m_services.User.Show(text.toStdString());
}

QString TFormEdit::AskText(const QString& caption, const QString& prompt, const QString& text) {
  if (m_services.InputBox) return m_services.InputBox(caption, prompt, text);
  bool accepted = false;
  const QString answer =
      QInputDialog::getText(this, caption, prompt, QLineEdit::Normal, text, &accepted);
  return accepted ? answer : text;
}

}  // namespace tavrin::editor
