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
