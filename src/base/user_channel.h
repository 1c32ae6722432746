#pragma once
// How the engines reach the user: show a message, ask a yes/no question, and
// let pending events run during long work (so that Cancel, progress and the
// timers keep working). main.cpp wires the program's one channel to message
// boxes over the window in use; an engine given an empty channel shows
// nothing, is answered no, and runs without pausing (tests, benchmarks).
// Progress is not sent through it: an operation writes its percentage to its
// own record, and the window's timer reads it.

#include <functional>
#include <string>

namespace tavrin::base {

// The answer to "… has not been saved. Save it?".
enum class SaveAnswer { Save, Discard, Cancel };

struct UserChannel {
  std::function<void(const std::string&)> ShowMessage{};
  std::function<bool(const std::string&)> Confirm{};  // Yes = true
  std::function<void()> ProcessMessages{};
  // A refusal or a failure (the warning icon); ShowMessage where not set.
  std::function<void(const std::string&)> ShowWarning{};
  // Save... / Discard / Cancel before something unsaved would be thrown away;
  // where not set, answered as no (Discard).
  std::function<SaveAnswer(const std::string&)> AskSave{};

  void Show(const std::string& text) const {
    if (ShowMessage) ShowMessage(text);
  }
  void Warn(const std::string& text) const {
    if (ShowWarning) {
      ShowWarning(text);
    } else {
      Show(text);
    }
  }
  bool Ask(const std::string& question) const { return Confirm && Confirm(question); }
  SaveAnswer AskToSave(const std::string& question) const {
    return AskSave ? AskSave(question) : SaveAnswer::Discard;
  }
  void Pump() const {
    if (ProcessMessages) ProcessMessages();
  }
};

}  // namespace tavrin::base
