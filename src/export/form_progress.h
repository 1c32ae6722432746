#pragma once
// The progress dialog of a save (or of the opening of a sound file): file
// name, percentage and bar every 100 ms, and Cancel, which clears the job's
// active flag (SaveActive) for the writer to notice. Escape and the close box
// cancel the same way, Enter does not; the dialog stays until the job has
// stopped (Finish).

#include <QDialog>
#include <QTimer>
#include <optional>
#include <string>

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
  // The same for any long file operation: `what` leads the caption and the
  // label ("Opening..."), `progress` is read every 100 ms and Cancel clears
  // `active`. `modal`: no other window takes input meanwhile.
  void Start(const QString& what, const std::string& name, const float& progress, bool& active,
             QWidget* over, bool modal = false);
  void Finish();

  void Timer1Timer();
  void BtnCancelClick();
  QString LabelText() const;
  int BarPosition() const;

  // Every way of rejecting the dialog (Escape) cancels the job while it runs.
  void done(int result) override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  QString m_what;
  QString m_name;
  const float* m_progress = nullptr;  // set while shown
  bool* m_active = nullptr;
  std::optional<settings::OwnedBy> m_shownOver;
  QLabel* Label1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* BtnCancel = nullptr;
  QTimer Timer1;
};

// "45.3" for 45.3 %: one decimal.
QString FormatProgress(float percent);

}  // namespace tavrin::exporter
