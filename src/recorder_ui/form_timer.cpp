#include "recorder_ui/form_timer.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>

namespace tavrin::recorder_ui {

namespace {

constexpr int kTimerDialogWidth = 347;
constexpr int kTimerDialogHeight = 392;

template <typename Control>
Control* Place(Control* control, const QString& name, const QRect& geometry,
               const QString& hint = {}) {
  control->setObjectName(name);
  control->setGeometry(geometry);
  if (!hint.isEmpty()) control->setToolTip(hint);
  return control;
}

// A time field has no caption of its own (the choice before it says "at" or
// "after"), so it carries its name for a screen reader.
QTimeEdit* AddClock(QWidget* parent, const QString& name, const QRect& geometry,
                    const QString& hint, const QString& accessibleName) {
  auto* edit = Place(new QTimeEdit(parent), name, geometry, hint);
  edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  edit->setAccessibleName(accessibleName);
  return edit;
}

void AddCaption(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
                QWidget* field) {
  Place(new QLabel(text, parent), name, geometry)->setBuddy(field);
}

QTime ClockOf(std::int32_t second) {
  return QTime(0, 0).addSecs(second);
}

std::int32_t SecondOf(const QTimeEdit* edit) {
  return QTime(0, 0).secsTo(edit->time());
}

}  // namespace

TFormTimer::TFormTimer(QWidget* parent, std::function<std::int32_t()> now,
                       std::function<void(const QString&)> refuse)
    : QDialog(parent), m_now(std::move(now)), m_refuse(std::move(refuse)) {
  setWindowTitle(tr("定时录音"));
  setFixedSize(kTimerDialogWidth, kTimerDialogHeight);

  m_armed = Place(new QCheckBox(tr("启用定时(&I)"), this), QStringLiteral("ChBoxTimer"),
                  QRect(12, 8, 200, 22), tr("Record at the times below"));
  auto* start =
      Place(new QGroupBox(tr("开始"), this), QStringLiteral("GroupStart"), QRect(8, 32, 331, 52));
  m_startNow = Place(new QRadioButton(tr("立即(&N)"), start), QStringLiteral("RadioStartNow"),
                     QRect(10, 20, 70, 24));
  m_startAt = Place(new QRadioButton(tr("时间(&A)"), start), QStringLiteral("RadioStartAt"),
                    QRect(90, 20, 70, 24), tr("The next time this time of day comes"));
  m_startTime = AddClock(start, QStringLiteral("TimeStart"), QRect(160, 20, 100, 24),
                         tr("Start time"), tr("开始时间"));

  auto* stop =
      Place(new QGroupBox(tr("停止"), this), QStringLiteral("GroupStop"), QRect(8, 88, 331, 80));
  m_stopByHand = Place(new QRadioButton(tr("手动(&M)"), stop), QStringLiteral("RadioStopByHand"),
                       QRect(10, 20, 70, 24));
  m_stopAfter = Place(new QRadioButton(tr("时长(&F)"), stop), QStringLiteral("RadioStopAfter"),
                      QRect(90, 20, 70, 24));
  m_duration = AddClock(stop, QStringLiteral("TimeDuration"), QRect(160, 20, 100, 24),
                        tr("Duration (at most 10 hours)"), tr("录音时长"));
  m_stopAt = Place(new QRadioButton(tr("时间(&T)"), stop), QStringLiteral("RadioStopAt"),
                   QRect(90, 48, 70, 24));
  m_stopTime = AddClock(stop, QStringLiteral("TimeStop"), QRect(160, 48, 100, 24), tr("Stop time"),
                        tr("停止时间"));
  m_daily = Place(new QCheckBox(tr("每天(&D)"), this), QStringLiteral("ChBoxDaily"),
                  QRect(12, 172, 160, 22), tr("Repeat every day"));

  auto* sound = Place(new QGroupBox(tr("声控录音"), this), QStringLiteral("GroupSound"),
                      QRect(8, 198, 331, 128));
  m_sound =
      Place(new QCheckBox(tr("启用(&O)"), sound), QStringLiteral("ChBoxSound"),
            QRect(10, 20, 150, 22), tr("Record only while there is sound (Record starts waiting)"));
  // Each field named by the caption before it (else a screen reader names it by its group).
  m_threshold = Place(new QSpinBox(sound), QStringLiteral("SpinThreshold"), QRect(110, 46, 70, 22),
                      tr("Sound louder than this starts a take"));
  AddCaption(sound, QStringLiteral("LabThreshold"), tr("阈值(&R) (dBFS)"), QRect(10, 46, 100, 22),
             m_threshold);
  m_threshold->setRange(-100, 20);  // checked at OK, so a wrong value is said, not clamped
  m_preRoll = Place(new QDoubleSpinBox(sound), QStringLiteral("SpinPreRoll"),
                    QRect(260, 46, 62, 22), tr("Seconds kept before the sound"));
  AddCaption(sound, QStringLiteral("LabPreRoll"), tr("预录(&P) (秒)"), QRect(190, 46, 70, 22),
             m_preRoll);
  m_preRoll->setDecimals(1);
  m_preRoll->setRange(-100, 100);
  m_hangover = Place(new QDoubleSpinBox(sound), QStringLiteral("SpinHangover"),
                     QRect(110, 72, 70, 22), tr("Seconds of silence before the take pauses"));
  AddCaption(sound, QStringLiteral("LabHangover"), tr("静音等待(&W) (秒)"), QRect(10, 72, 100, 22),
             m_hangover);
  m_hangover->setDecimals(1);
  m_hangover->setRange(-100, 100);
  m_pause = Place(new QRadioButton(tr("静音时暂停(&U)"), sound), QStringLiteral("RadioPause"),
                  QRect(10, 98, 140, 22), tr("One take; silences are left out"));
  m_split = Place(new QRadioButton(tr("每段存为文件(&S)"), sound), QStringLiteral("RadioSplit"),
                  QRect(160, 98, 160, 22), tr("Every sound is saved as a file of its own"));

  m_login = Place(new QCheckBox(tr("登录时启动(&L)"), this), QStringLiteral("ChBoxLogin"),
                  QRect(12, 330, 200, 22), tr("Start Tavrin Recorder minimised at login"));
  auto* awake = Place(new QLabel(tr("定时启用时，电脑不会进入睡眠。"), this),
                      QStringLiteral("LabAwake"), QRect(12, 354, 240, 18));
  awake->setToolTip(tr("While the timer is armed the computer is kept from sleeping"));

  auto* ok =
      Place(new QPushButton(tr("确定"), this), QStringLiteral("BtnOk"), QRect(262, 330, 75, 25));
  auto* cancel = Place(new QPushButton(tr("取消"), this), QStringLiteral("BtnCancel"),
                       QRect(262, 360, 75, 25));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormTimer::Show(const TimerChoice& choice) {
  m_armed->setChecked(choice.Plan.Armed);
  m_startAt->setChecked(true);
  m_startTime->setTime(ClockOf(choice.Plan.StartSecond));
  m_stopByHand->setChecked(choice.Plan.Stop == schedule::StopKind::ByHand);
  m_stopAfter->setChecked(choice.Plan.Stop == schedule::StopKind::AfterDuration);
  m_stopAt->setChecked(choice.Plan.Stop == schedule::StopKind::AtTime);
  m_duration->setTime(ClockOf(choice.Plan.DurationSeconds % schedule::kSecondsPerDay));
  m_stopTime->setTime(ClockOf(choice.Plan.StopSecond));
  m_daily->setChecked(choice.Plan.Daily);
  m_sound->setChecked(choice.Trigger.Enabled);
  m_threshold->setValue(choice.Trigger.ThresholdDb);
  m_preRoll->setValue(choice.Trigger.PreRollSeconds);
  m_hangover->setValue(choice.Trigger.HangoverSeconds);
  m_pause->setChecked(choice.Trigger.Silence == schedule::SilenceAction::Pause);
  m_split->setChecked(choice.Trigger.Silence == schedule::SilenceAction::Split);
  m_login->setChecked(choice.StartAtLogin);
}

TimerChoice TFormTimer::Read() const {
  TimerChoice choice;
  choice.Plan.Armed = m_armed->isChecked();
  choice.Plan.StartSecond = m_startNow->isChecked() ? m_now() : SecondOf(m_startTime);
  choice.Plan.Stop = m_stopByHand->isChecked() ? schedule::StopKind::ByHand
                     : m_stopAt->isChecked()   ? schedule::StopKind::AtTime
                                               : schedule::StopKind::AfterDuration;
  choice.Plan.DurationSeconds = SecondOf(m_duration);
  choice.Plan.StopSecond = SecondOf(m_stopTime);
  choice.Plan.Daily = m_daily->isChecked();
  choice.Trigger.Enabled = m_sound->isChecked();
  choice.Trigger.ThresholdDb = m_threshold->value();
  choice.Trigger.PreRollSeconds = m_preRoll->value();
  choice.Trigger.HangoverSeconds = m_hangover->value();
  choice.Trigger.Silence =
      m_split->isChecked() ? schedule::SilenceAction::Split : schedule::SilenceAction::Pause;
  choice.StartAtLogin = m_login->isChecked();
  return choice;
}

QString TFormTimer::Problem() const {
  const TimerChoice choice = Read();
  // A timer that is not armed keeps its times, but they must still make sense.
  std::string problem = schedule::PlanProblem(choice.Plan);
  if (problem.empty()) problem = schedule::TriggerProblem(choice.Trigger);
  return QString::fromStdString(problem);
}

void TFormTimer::accept() {
  if (const QString problem = Problem(); !problem.isEmpty()) {
    m_refuse(problem);
    return;
  }
  QDialog::accept();
}

bool TFormTimer::Execute(TimerChoice& choice) {
  Show(choice);
  if (exec() != QDialog::Accepted) return false;
  choice = Read();
  return true;
}

}  // namespace tavrin::recorder_ui
