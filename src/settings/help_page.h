#pragma once
// Opens the user guide in the desktop's browser; shared by the Help menus of
// both windows.

#include <QString>
#include <functional>
#include <string>

namespace tavrin::settings {

// Opens HelpFilePath(executablePath) through the desktop. A missing guide, or a
// desktop that cannot open it, is reported through `showMessage`. Returns
// whether the desktop accepted the page.
bool OpenHelpPage(const std::string& executablePath,
                  const std::function<void(const QString&)>& showMessage);

}  // namespace tavrin::settings
