#include "recovery/window/form_info.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

#include "settings/dialog_owner.h"

namespace tavrin::recovery {

TFormInfo::TFormInfo(capture::RecorderState& state, TestTakeLoader& loader, float& progress,
                     base::UserChannel user, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_state(state),
      m_loader(loader),
      m_progress(progress),
      m_user(std::move(user)) {
  setObjectName(QStringLiteral("TFormInfo"));
  setWindowTitle(QStringLiteral("Tavrin Recorder"));
  setModal(true);
  setFixedSize(341, 179);
  LabMessage = new QLabel(tr("Tavrin Recorder找到已录波形文件:"), this);
  LabMessage->setGeometry(16, 16, 309, 20);
  LabQuestion = new QLabel(tr("你要如何处理已录波形文件?"), this);
  LabQuestion->setGeometry(16, 44, 309, 20);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setGeometry(5, 80, 331, 17);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  LabProgress = new QLabel(this);
  LabProgress->setGeometry(16, 102, 309, 18);
  LabProgress->hide();
  BtnLoad = new QPushButton(tr("载入"), this);
  BtnLoad->setGeometry(72, 136, 85, 27);
  BtnLoad->setDefault(true);
  BtnDiscard = new QPushButton(tr("忽略"), this);
  BtnDiscard->setGeometry(184, 136, 85, 27);
  connect(BtnLoad, &QPushButton::clicked, this, &TFormInfo::BtnLoadClick);
  connect(BtnDiscard, &QPushButton::clicked, this, &TFormInfo::BtnDiscardClick);
  Timer1.setInterval(100);
  connect(&Timer1, &QTimer::timeout, this, &TFormInfo::Timer1Timer);
  settings::CentreOnScreen(*this);
}

void TFormInfo::BtnLoadClick() {
  if (m_loading) return;
  m_loading = true;
  BtnLoad->setEnabled(false);
  BtnDiscard->setEnabled(false);
  m_progress = 0.0f;
  TestTakeLoader::Hooks hooks;
  hooks.RebuildStarting = [this] {
    ProgressBar1->show();
    LabProgress->show();
    Timer1.start();
    Timer1Timer();
  };
  hooks.User = m_user;
  std::string error;
  const bool loaded = m_loader.LoadTestTake(m_state, m_progress, hooks, error);
  if (Timer1.isActive()) Timer1Timer();  // the count ends where the measuring did
  Timer1.stop();
  m_loading = false;
  if (!loaded) m_user.Show(error);
  done(loaded ? QDialog::Accepted : QDialog::Rejected);
}

void TFormInfo::BtnDiscardClick() {
  reject();
}

void TFormInfo::Timer1Timer() {
  ProgressBar1->setValue(static_cast<int>(std::lround(m_progress)));
  LabProgress->setText(QStringLiteral("Loading...") + QString::number(m_progress, 'f', 1) +
                       QStringLiteral("%"));
}

void TFormInfo::closeEvent(QCloseEvent* event) {
  // The measuring lets messages run: the dialog stays until it ends.
  if (m_loading) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TFormInfo::reject() {
  if (!m_loading) QDialog::reject();
}

}  // namespace tavrin::recovery
