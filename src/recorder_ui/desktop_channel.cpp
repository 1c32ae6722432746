#include "recorder_ui/desktop_channel.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <utility>

namespace tavrin::recorder_ui {

base::UserChannel DesktopUserChannel(std::function<QWidget*()> owner) {
  base::UserChannel user;
  user.ShowMessage = [owner](const std::string& text) {
    QMessageBox::information(owner ? owner() : nullptr, QStringLiteral("Tavrin Recorder"),
                             QString::fromStdString(text));
  };
  user.ShowWarning = [owner](const std::string& text) {
    QMessageBox::warning(owner ? owner() : nullptr, QStringLiteral("Tavrin Recorder"),
                         QString::fromStdString(text));
  };
  user.AskSave = [owner](const std::string& text) {
    QMessageBox box(
        QMessageBox::Question, QStringLiteral("Tavrin Recorder"), QString::fromStdString(text),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner ? owner() : nullptr);
    // Enter keeps the take; Escape leaves everything as it was.
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int pressed = box.exec();
    if (pressed == QMessageBox::Save) return base::SaveAnswer::Save;
    return pressed == QMessageBox::Discard ? base::SaveAnswer::Discard : base::SaveAnswer::Cancel;
  };
  // Every question asks before something is thrown away (a take, edits): a
  // stray Enter must keep it, so No is the default.
  user.Confirm = [owner = std::move(owner)](const std::string& text) {
    return QMessageBox::question(owner ? owner() : nullptr, QStringLiteral("Tavrin Recorder"),
                                 QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  user.ProcessMessages = [] { QCoreApplication::processEvents(); };
  return user;
}

}  // namespace tavrin::recorder_ui
