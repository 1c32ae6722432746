// Commands from the command line (a second start with --record, --stop,
// --toggle, --status or --save): the buttons' own steps, with the messages
// they would show sent back to the command instead of a message box.
#include <QApplication>

#include "editor/window/form_edit.h"
#include "export/save_flow.h"
#include "recorder_ui/form_main.h"
#include "recorder_ui/unattended.h"

namespace tavrin::recorder_ui {

void TFormMain::RunCommand(const std::string& verb, const std::string& path,
                           const CommandReply& reply) {
  if (verb == "status") {
    reply(true, StatusLine());
    return;
  }
  if (verb == "show") {
    // From the tray or minimised: up and in front, whatever else is under way.
    ShowWindow();
    reply(true, StatusLine());
    return;
  }
  // Record and Stop let events run, in which the next command may arrive:
  // it waits, so that each is decided on the state the one before left.
  m_commands.push_back({verb, path, reply});
  if (m_commands.size() == 1 && !m_commandRunning) {
    QMetaObject::invokeMethod(this, &TFormMain::RunQueuedCommands, Qt::QueuedConnection);
  }
}

void TFormMain::RunQueuedCommands() {
  if (m_commandRunning) return;
  m_commandRunning = true;
  while (!m_commands.empty()) {
    PendingCommand command = std::move(m_commands.front());
    m_commands.pop_front();
    RunOneCommand(command);
  }
  m_commandRunning = false;
}

void TFormMain::RunOneCommand(const PendingCommand& pending) {
  const std::string& verb = pending.Verb;
  const std::string& path = pending.Path;
  const CommandReply& reply = pending.Reply;
  // What the user is working on is not changed from outside.
  std::string busy;
  if (m_editor->isVisible()) {
    busy = "The sound editor is open; close it first.";
  } else if (m_saveFlow->Saving() || m_unattended->Saving()) {
    busy = "Tavrin Recorder is saving; try again once it is done.";
  } else if (QApplication::activeModalWidget() != nullptr) {
    busy = "Tavrin Recorder is showing a dialog; answer it first.";
  }
  const std::string command = verb == "toggle" ? (TakeRunning() ? "stop" : "record") : verb;
  if (!busy.empty() && command != "stop") {
    reply(false, busy);
    return;
  }
  if (command == "record") {
    if (TakeRunning()) {
      reply(false, "Tavrin Recorder is already recording.");
      return;
    }
    // Nobody is there to be asked: a take never saved is saved under its
    // date and time first, and the answer says where.
    const std::string before = m_unattended->LastSavedPath();
    m_unattended->SaveUnsavedFirst();
    const std::string savedFirst =
        m_unattended->LastSavedPath() != before ? m_unattended->LastSavedPath() : std::string();
    if (TakeUnsaved()) {
      reply(false, "The take before could not be saved, so it was kept; nothing was recorded.");
      return;
    }
    // The messages Record's steps show go back to the command instead.
    std::string said;
    const base::UserChannel user = m_context.User;
    m_context.User.ShowMessage = [&said](const std::string& text) { said = text; };
    BtnRecordClick();
    m_context.User = user;
    if (TakeRunning()) {
      reply(true, (savedFirst.empty() ? "" : "saved the take before as " + savedFirst + "; ") +
                      StatusLine());
    } else {
      reply(false, said.empty() ? "Recording did not start." : said);
    }
  } else if (command == "stop") {
    if (!TakeRunning()) {
      reply(false, "Tavrin Recorder is not recording.");
      return;
    }
    BtnStopClick();
    reply(true, StatusLine());
  } else if (command == "save") {
    const std::optional<settings::SaveFormat> format = settings::FormatOfPath(path);
    if (TakeRunning()) {
      reply(false, "Stop recording before saving.");
    } else if (!format) {
      reply(false, path + ": the name must end in .wav, .mp3, .flac or .opus.");
    } else if (State().Take.TakeLength < 2 || !State().Take.RawStream.IsOpen()) {
      reply(false, "There is no take to save.");
    } else {
      // Saved in the format the extension names; the stored choice stays.
      // Why it failed goes back to the command, not into a box in the window.
      std::string reason;
      const bool written = m_saveFlow->SaveTakeTo(path, &reason);
      if (written) m_takeSaved = true;
      if (reason.empty()) reason = "The take was not saved to " + path + ".";
      reply(written, written ? path : reason);
    }
  } else {
    reply(false, "Tavrin Recorder does not know the command " + verb + ".");
  }
}

}  // namespace tavrin::recorder_ui
