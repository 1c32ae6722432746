#pragma once
// The real recorder window on the private PulseAudio daemon of with-pulse.sh,
// over one shared connection as in the program, timers running, in a private
// folder, its 100 ms ticks timed; and sox to measure the files it saves.

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/input_mixer_pulse.h"
#include "platform/pulse_connection.h"
#include "platform/sound_panels_desktop.h"
#include "platform/wave_in_pulse.h"
#include "platform/wave_out_pulse.h"
#include "window_rig.h"

namespace tavrin::testing {

// sox's "stat" report on `file` after `effects` (e.g. trim 0.2 0.5): the
// independent reader that measures the files the window saved.
inline QString SoxStat(const QString& file, const QStringList& effects) {
  QProcess sox;
  sox.start(QStringLiteral("sox"),
            QStringList{file, QStringLiteral("-n")} << effects << QStringLiteral("stat"));
  return sox.waitForFinished(60000) ? QString::fromLocal8Bit(sox.readAllStandardError())
                                    : QString();
}

// A value from that report, e.g. "RMS     amplitude:     0.353"; -1 when missing.
inline double SoxValue(const QString& report, const QString& label) {
  for (const QString& line : report.split(QLatin1Char('\n'))) {
    if (line.startsWith(label)) return line.mid(label.size()).trimmed().toDouble();
  }
  return -1;
}

inline double SoxRms(const QString& file, const QStringList& effects) {
  return SoxValue(SoxStat(file, effects), QStringLiteral("RMS     amplitude:"));
}

struct PulseWindowRig : WindowRigBase {
  explicit PulseWindowRig(const std::string& name) : WindowRigBase(name) { Clock.start(); }
  ~PulseWindowRig() { Form.reset(); }

  // What the program passes the window, on this rig's devices and folder;
  // a test adds what it needs (file dialogs, encoder) before Create.
  recorder_ui::MainWindowServices Services() {
    recorder_ui::MainWindowServices services = BaseServices(WaveIn, Mixer, Panels);
    services.WaveOut = &WaveOut;
    services.User.Confirm = [](const std::string&) { return true; };
    return services;
  }

  recorder_ui::TFormMain& Create() { return Create(Services()); }
  recorder_ui::TFormMain& Create(const recorder_ui::MainWindowServices& services) {
    Form = std::make_unique<recorder_ui::TFormMain>(services);
    QObject::connect(&Form->RecTimer(), &QTimer::timeout, Form.get(),
                     [this] { Ticks.push_back(Clock.elapsed()); });
    Form->show();
    return *Form;
  }

  // The messages shown so far, one a line.
  QString MessageText() const {
    return QStringList(Messages.begin(), Messages.end()).join(QLatin1Char('\n'));
  }

  // The longest time between two ticks from `sinceMs` on (ms on Clock).
  qint64 LongestTickGapMs(qint64 sinceMs = 0) const {
    qint64 longest = 0;
    for (std::size_t i = 1; i < Ticks.size(); ++i) {
      if (Ticks[i] >= sinceMs) longest = std::max(longest, Ticks[i] - Ticks[i - 1]);
    }
    return longest;
  }

  QElapsedTimer Clock;
  std::vector<qint64> Ticks;  // ms on Clock
  std::shared_ptr<platform::PulseConnection> Connection =
      std::make_shared<platform::PulseConnection>("Tavrin Recorder");
  platform::PulseWaveIn WaveIn{Connection};
  platform::PulseWaveOut WaveOut{Connection};
  platform::PulseInputMixer Mixer{Connection};
  platform::DesktopSoundPanels Panels;
  std::unique_ptr<recorder_ui::TFormMain> Form;
};

}  // namespace tavrin::testing
