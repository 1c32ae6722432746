#pragma once
// The progress dialog of a save: file name, percentage and bar every 100 ms,
// and Cancel, which clears the job's SaveActive for the writer to notice.

#include <QDialog>
#include <QTimer>
#include <optional>

#include "export/save_job.h"
#include "settings/dialog_owner.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tavrin::exporter {

class TFormProgress : public QDialog {
  Q_OBJECT
public:
  explicit TFormProgress(QWidget* parent = nullptr);

  // Shows the dialog (not modal) for `job`, centred on `over`, which owns it
  // until Finish.
  void Start(SaveJob& job, QWidget* over);
  void Finish();

  void Timer1Timer();
  void BtnCancelClick();
  QString LabelText() const;
  int BarPosition() const;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  SaveJob* m_job = nullptr;
  std::optional<settings::OwnedBy> m_shownOver;
  QLabel* Label1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* BtnCancel = nullptr;
  QTimer Timer1;
};

// "45.3" for 45.3 %: one decimal.
QString FormatProgress(float percent);

}  // namespace tavrin::exporter
