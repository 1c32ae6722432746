// A second source recorded with the first: chosen in the source menu (any
// input, or any output's monitor), mixed into both channels or side by side,
// each at its own level; remembered by the sources' stable names.
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <cmath>

#include "platform/paired_wave_in.h"
#include "recorder_ui/form_main.h"
#include "recorder_ui/form_main_surface.h"

namespace tavrin::recorder_ui {

namespace {

constexpr std::array<int, 6> kLevelSteps{6, 0, -6, -12, -20, settings::kSourceLevelOff};

double Decibels(int level) {
  return level <= settings::kSourceLevelOff ? -INFINITY : static_cast<double>(level);
}

}  // namespace

void TFormMain::ApplyPair() {
  const settings::Settings& stored = *m_services.Settings;
  m_deviceCheck.SecondCaption.clear();
  if (!m_services.Pair) return;
  m_services.Pair->SetSecond(
      stored.SecondSource,
      stored.SourcePairing == 1 ? platform::PairMode::SideBySide : platform::PairMode::Mixed,
      Decibels(stored.FirstSourceLevelDb), Decibels(stored.SecondSourceLevelDb));
  if (stored.SecondSource.empty()) return;
  m_deviceCheck.SecondCaption = stored.SecondSource;
  for (const SourceMenuEntry& entry : SourceMenuEntries(m_services.WaveIn->Sources(), {})) {
    if (entry.Name == stored.SecondSource) m_deviceCheck.SecondCaption = entry.Caption;
  }
}

void TFormMain::FillPairMenu(bool recording) {
  settings::Settings& stored = *m_services.Settings;
  QMenu* second = m_sourceMenu->addMenu(tr("同时录制第二个来源(&2)"));
  auto* sources = new QActionGroup(second);
  std::vector<SourceMenuEntry> entries =
      SourceMenuEntries(m_services.WaveIn->Sources(), stored.SecondSource);
  entries.front().Caption = tr("无").toStdString();  // in place of following the default
  for (const SourceMenuEntry& entry : entries) {
    QAction* action = second->addAction(QString::fromStdString(entry.Caption));
    action->setCheckable(true);
    action->setChecked(entry.Checked);
    action->setEnabled(!recording);
    sources->addAction(action);
    connect(action, &QAction::triggered, this, [this, name = entry.Name] { SecondChosen(name); });
  }
  if (stored.SecondSource.empty()) return;
  second->addSeparator();
  auto* modes = new QActionGroup(second);
  const std::array<QString, 2> modeCaptions{tr("混合到两个声道(&M)"),
                                            tr("并排：第一个在左，第二个在右(&B)")};
  for (int mode = 0; mode < 2; ++mode) {
    QAction* action = second->addAction(modeCaptions[static_cast<std::size_t>(mode)]);
    action->setCheckable(true);
    action->setChecked(stored.SourcePairing == mode);
    action->setEnabled(!recording);  // a take keeps one layout
    modes->addAction(action);
    connect(action, &QAction::triggered, this, [this, mode] {
      m_services.Settings->SourcePairing = mode;
      PairChanged(false);
    });
  }
  // Levels may change while a take records, as on a mixing desk.
  for (const bool ofSecond : {false, true}) {
    QMenu* levels =
        second->addMenu(ofSecond ? tr("第二个来源的电平(&E)") : tr("第一个来源的电平(&F)"));
    auto* group = new QActionGroup(levels);
    std::int32_t& level = ofSecond ? stored.SecondSourceLevelDb : stored.FirstSourceLevelDb;
    for (const int step : kLevelSteps) {
      QAction* action = levels->addAction(step <= settings::kSourceLevelOff
                                              ? tr("静音")
                                              : QStringLiteral("%1%2 dB")
                                                    .arg(step > 0 ? QStringLiteral("+") : QString())
                                                    .arg(step));
      action->setCheckable(true);
      action->setChecked(level == step);
      group->addAction(action);
      connect(action, &QAction::triggered, this, [this, &level, step] {
        level = step;
        PairChanged(false);
      });
    }
  }
}

void TFormMain::SecondChosen(const std::string& name) {
  // A take may have begun while the menu was open: it keeps its sources.
  if (m_session->TakeRunning()) return;
  m_services.Settings->SecondSource = name;
  PairChanged(true);
}

void TFormMain::PairChanged(bool reopen) {
  ApplyPair();
  SaveSettingsReportingFailure();
  m_secondPresentShown = true;
  if (reopen && !State().Recording) {
    // The second source is opened with the capture: at once, not at the next tick.
    capture::CloseCapture(State(), m_context);
    CheckDevice(State(), m_deviceCheck, m_context, *m_services.Mixer, *m_services.Panels, m_hooks);
  }
  ShowSourceLevels();
}

void TFormMain::FollowSecondSource() {
  if (!m_services.Pair || m_services.Settings->SecondSource.empty() || !State().DeviceOpen) return;
  if (State().Recording) {
    // Shown a tenth of a second at a time, like the take's own losses.
    const std::uint64_t lost = m_services.Pair->SecondFillFrames() - m_secondLostAtStart;
    const std::uint64_t tenths = lost / (capture::kSampleRate / 10) * (capture::kSampleRate / 10);
    if (tenths != m_secondLostShown) {
      m_secondLostShown = tenths;
      ShowSourceCaption();
    }
  }
  const bool present = m_services.Pair->SecondPresent();
  if (present == m_secondPresentShown) return;
  m_secondPresentShown = present;
  const QString caption = QString::fromStdString(m_deviceCheck.SecondCaption);
  statusBar()->showMessage(present ? tr("%1 又在录音里了").arg(caption)
                                   : tr("%1 没有声音送来；录音继续，它那一份是静音").arg(caption),
                           kStatusWordMs);
}

void TFormMain::ShowSourceLevels() {
  // The meters show the take as recorded; this, each source before its level.
  const bool shown =
      m_services.Pair && !m_services.Settings->SecondSource.empty() && State().DeviceOpen;
  QString text;
  if (shown) {
    const QString first = PeakDecibelsText(m_services.Pair->FirstPeak());
    text = m_services.Pair->SecondPresent()
               ? tr("第一个 %1 dB | 第二个 %2 dB")
                     .arg(first, PeakDecibelsText(m_services.Pair->SecondPeak()))
               : tr("第一个 %1 dB | 第二个：无信号").arg(first);
  }
  // Ten times a second: only a new text is laid out and drawn.
  if (LabSourceLevels->text() != text) LabSourceLevels->setText(text);
  LabSourceLevels->setVisible(shown);
}

}  // namespace tavrin::recorder_ui
