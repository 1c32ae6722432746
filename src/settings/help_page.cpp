#include "settings/help_page.h"

#include <QDesktopServices>
#include <QUrl>
#include <filesystem>

#include "settings/program_files.h"

namespace tavrin::settings {

bool OpenHelpPage(const std::string& executablePath,
                  const std::function<void(const QString&)>& showMessage) {
  const std::string help = HelpFilePath(executablePath);
  const QString shown = QString::fromStdString(help);
  std::error_code code;
  if (!std::filesystem::is_regular_file(help, code)) {
    showMessage(QStringLiteral("The help file %1 was not found.").arg(shown));
    return false;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(shown))) {
    showMessage(QStringLiteral("No browser could open the help file %1.").arg(shown));
    return false;
  }
  return true;
}

}  // namespace tavrin::settings
