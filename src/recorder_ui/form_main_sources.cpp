// The recorder window's source menu, shown by the source button and the
// Options menu: the sound server's sources, listed afresh each time it opens.
#include <QActionGroup>
#include <QMenu>
#include <QPushButton>

#include "recorder_ui/form_main.h"

namespace tavrin::recorder_ui {

namespace {

// A source's own text, with no character taken for a shortcut.
QString MenuText(const std::string& text) {
  return QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

void TFormMain::BuildSourceMenu() {
  UseSourceMenuTexts(
      {tr(kFollowDefaultCaption).toStdString(), tr(kMonitorCaptionPattern).toStdString()});
  m_sourceMenu = new QMenu(tr("录音源(&R)"), this);
  connect(m_sourceMenu, &QMenu::aboutToShow, this, &TFormMain::FillSourceMenu);
}

void TFormMain::FillSourceMenu() {
  m_sourceMenu->clear();
  platform::WaveIn& device = *m_services.WaveIn;
  static_cast<void>(device.GetNumDevs());  // the list as the server has it now
  // A take keeps its source to the end; the sound settings stay at hand.
  const bool recording = m_session->TakeRunning();
  auto* group = new QActionGroup(m_sourceMenu);  // one source at a time, for a screen reader too
  for (const SourceMenuEntry& entry :
       SourceMenuEntries(device.Sources(), m_deviceCheck.Source.InUse)) {
    QAction* action = m_sourceMenu->addAction(MenuText(entry.Caption));
    action->setCheckable(true);
    action->setChecked(entry.Checked);
    action->setEnabled(!recording);
    group->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, entry] { SourceChosen(entry.Name, entry.Caption); });
  }
  m_sourceMenu->addSeparator();
  if (m_services.Pair) FillPairMenu(recording);
  connect(m_sourceMenu->addAction(tr(kSoundSettingsCaption)), &QAction::triggered, this,
          &TFormMain::OpenSoundSettings);
}

void TFormMain::BtnSourceClick() {
  m_sourceMenu->popup(BtnSource->mapToGlobal(QPoint(0, BtnSource->height())));
}

void TFormMain::SourceChosen(const std::string& name, const std::string& caption) {
  // A take may have begun while the menu was open: it keeps its source.
  if (m_session->TakeRunning()) return;
  ChooseSource(m_deviceCheck.Source, name, caption);
  SaveSettingsReportingFailure();
  // At once, not at the next tick.
  CheckDevice(State(), m_deviceCheck, m_context, *m_services.Mixer, *m_services.Panels, m_hooks);
  RefreshKnob();
}

void TFormMain::OpenSoundSettings() {
  std::string error;
  if (!m_services.Panels->OpenRecordingSettings(error)) ShowMessage(QString::fromStdString(error));
}

}  // namespace tavrin::recorder_ui
