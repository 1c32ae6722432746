#pragma once
// The program's one way to the user on the desktop: message boxes and Yes/No
// questions over the window `owner` names (none: unowned, as at start-up),
// and Qt's event loop run for pending events.

#include <QWidget>
#include <functional>

#include "base/user_channel.h"

namespace tavrin::recorder_ui {

base::UserChannel DesktopUserChannel(std::function<QWidget*()> owner);

}  // namespace tavrin::recorder_ui
