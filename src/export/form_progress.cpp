#include "export/form_progress.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

namespace tavrin::exporter {

QString FormatProgress(float percent) {
  return QString::number(static_cast<double>(percent), 'f', 1);
}

TFormProgress::TFormProgress(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("保存"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(321, 139);
  Label1 = new QLabel(tr("正在保存..."), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(7, 14, 307, 20);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(7, 48, 307, 20);
  BtnCancel = new QPushButton(tr("取消"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  BtnCancel->setGeometry(123, 94, 75, 28);
  // Only a deliberate press cancels: Enter, meant for another window, must not.
  BtnCancel->setAutoDefault(false);
  connect(BtnCancel, &QPushButton::clicked, this, &TFormProgress::BtnCancelClick);
  Timer1.setInterval(100);
  connect(&Timer1, &QTimer::timeout, this, &TFormProgress::Timer1Timer);
}

void TFormProgress::Start(SaveJob& job, QWidget* over) {
  Start(QStringLiteral("Saving..."), job.OutputName, job.OperationProgress, job.SaveActive, over);
}

void TFormProgress::Start(const QString& what, const std::string& name, const float& progress,
                          bool& active, QWidget* over, bool modal) {
  m_what = what;
  m_name = QString::fromStdString(name);
  m_progress = &progress;
  m_active = &active;
  setWindowTitle(m_what + m_name);
  // A screen reader reads the bar as the operation and its percentage.
  ProgressBar1->setAccessibleName(m_what + m_name);
  ProgressBar1->setValue(0);
  BtnCancel->setEnabled(true);
  Timer1Timer();
  m_shownOver.emplace(*this, over);
  if (over) move(over->geometry().center() - rect().center());
  setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  show();
  Timer1.start();
}

void TFormProgress::Finish() {
  Timer1.stop();
  m_progress = nullptr;
  m_active = nullptr;
  hide();
  m_shownOver.reset();
}

void TFormProgress::Timer1Timer() {
  if (!m_progress) return;
  const float percent = *m_progress;
  ProgressBar1->setValue(static_cast<int>(std::nearbyint(percent)));
  Label1->setText(m_what + m_name + QStringLiteral("   ") + FormatProgress(percent) +
                  QStringLiteral("%"));
}

void TFormProgress::BtnCancelClick() {
  if (!m_active) {
    Finish();
    return;
  }
  // The job notices at its next check; until it has stopped (and left no file
  // behind) the dialog stays, so nothing looks finished that is not.
  *m_active = false;
  BtnCancel->setEnabled(false);
}

void TFormProgress::done(int result) {
  if (m_active) {
    BtnCancelClick();
    return;
  }
  QDialog::done(result);
}

void TFormProgress::closeEvent(QCloseEvent* event) {
  // The close box cancels like the button does; a running job's Finish takes the dialog away.
  const bool running = m_active != nullptr;
  BtnCancelClick();
  event->setAccepted(!running);
}

QString TFormProgress::LabelText() const {
  return Label1->text();
}
int TFormProgress::BarPosition() const {
  return ProgressBar1->value();
}

}  // namespace tavrin::exporter
