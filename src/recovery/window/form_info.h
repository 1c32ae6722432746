#pragma once
// The recovery dialog: offers the take file "test" found in the work folder;
// Load makes it the editor's take, Ignore (or the close box) leaves the
// recorder's take in place.

#include <QDialog>
#include <QTimer>
#include <functional>

#include "recovery/test_take.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tavrin::recovery {

class TFormInfo : public QDialog {
  Q_OBJECT
public:
  // `progress` (0..100) is the shared operation progress the timer shows.
  TFormInfo(capture::RecorderState& state, TestTakeLoader& loader, float& progress,
            base::UserChannel user, QWidget* parent = nullptr);

  void BtnLoadClick();
  void BtnDiscardClick();
  void Timer1Timer();
  bool Loading() const { return m_loading; }

  QLabel* LabMessage = nullptr;
  QLabel* LabQuestion = nullptr;
  QPushButton* BtnLoad = nullptr;
  QPushButton* BtnDiscard = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* LabProgress = nullptr;
  QTimer Timer1;

protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

private:
  capture::RecorderState& m_state;
  TestTakeLoader& m_loader;
  float& m_progress;
  base::UserChannel m_user;
  bool m_loading = false;
};

}  // namespace tavrin::recovery
