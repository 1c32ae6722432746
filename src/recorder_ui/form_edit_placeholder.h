#pragma once
// Stands in for the sound editor until it is built: a modal window that says so.

#include <QDialog>

namespace tavrin::recorder_ui {

class TFormEdit : public QDialog {
  Q_OBJECT
public:
  explicit TFormEdit(QWidget* parent = nullptr);
};

}  // namespace tavrin::recorder_ui
