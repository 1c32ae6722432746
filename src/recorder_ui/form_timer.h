#pragma once
// TFormTimer: the modal "定时录音" dialog. The timer (start now or at a time
// of day; stop by hand, after a duration or at a time of day; every day),
// sound activation (threshold, pre-roll, hangover, what silence does) and the
// start at login. OK stores what it shows only when every value can be used;
// otherwise it says why and stays open.

#include <QDialog>
#include <functional>

#include "schedule/sound_trigger.h"
#include "schedule/timer_schedule.h"

class QCheckBox;
class QDoubleSpinBox;
class QRadioButton;
class QSpinBox;
class QTimeEdit;

namespace tavrin::recorder_ui {

struct TimerChoice {
  schedule::TimerPlan Plan;
  schedule::TriggerSettings Trigger;
  bool StartAtLogin = false;
};

class TFormTimer : public QDialog {
  Q_OBJECT
public:
  // `now` gives the seconds after local midnight that "start now" stands for;
  // `refuse` shows why a value cannot be used.
  TFormTimer(QWidget* parent, std::function<std::int32_t()> now,
             std::function<void(const QString&)> refuse);

  // Shows `choice`, runs modally; true with `choice` replaced when OK was
  // pressed and every value can be used.
  bool Execute(TimerChoice& choice);

  void Show(const TimerChoice& choice);
  // What the controls say now ("start now" as the present time of day).
  TimerChoice Read() const;
  // Why the controls cannot be stored, or empty.
  QString Problem() const;
  void accept() override;

private:
  std::function<std::int32_t()> m_now;
  std::function<void(const QString&)> m_refuse;
  QCheckBox* m_armed = nullptr;
  QRadioButton* m_startNow = nullptr;
  QRadioButton* m_startAt = nullptr;
  QTimeEdit* m_startTime = nullptr;
  QRadioButton* m_stopByHand = nullptr;
  QRadioButton* m_stopAfter = nullptr;
  QTimeEdit* m_duration = nullptr;
  QRadioButton* m_stopAt = nullptr;
  QTimeEdit* m_stopTime = nullptr;
  QCheckBox* m_daily = nullptr;
  QCheckBox* m_sound = nullptr;
  QSpinBox* m_threshold = nullptr;
  QDoubleSpinBox* m_preRoll = nullptr;
  QDoubleSpinBox* m_hangover = nullptr;
  QRadioButton* m_pause = nullptr;
  QRadioButton* m_split = nullptr;
  QCheckBox* m_login = nullptr;
};

}  // namespace tavrin::recorder_ui
