// Commands from the command line (a second start with --record, --stop,
// --toggle, --status, --save or --show): the session answers all but --show,
// with the words a message box would show sent back to the command instead.
#include "recorder_ui/form_main.h"

namespace tavrin::recorder_ui {

void TFormMain::RunCommand(const std::string& verb, const std::string& path,
                           session::RecorderSession::Reply reply) {
  if (verb == "show") {
    // From the tray or minimised: up and in front, whatever else is under way.
    ShowWindow();
    reply({true, m_session->StatusLine()});
    return;
  }
  m_session->Command(verb, path, std::move(reply));
}

}  // namespace tavrin::recorder_ui
