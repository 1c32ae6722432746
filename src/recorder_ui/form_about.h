#pragma once
// The About box: the program's name and version, closed with its button.

#include <QDialog>

namespace tavrin::recorder_ui {

class TFormAbout : public QDialog {
  Q_OBJECT
public:
  explicit TFormAbout(QWidget* parent = nullptr);
};

// Shows the About box modally, owned by and centred over `window` (none: where
// the platform puts it).
void ShowAboutOver(QWidget* window);

}  // namespace tavrin::recorder_ui
