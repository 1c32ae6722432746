#pragma once
// What the editor's operations work on and how they reach the user: the
// document, the recorder's state (the take, its peaks, the work paths) and two
// callbacks. No widgets. User-interface thread only.

#include <functional>
#include <string>

#include "capture/recorder_state.h"
#include "editor/edit_document.h"

namespace tavrin::editor {

struct EditContext {
  EditDocument& Document;
  capture::RecorderState& State;
  // Runs after every buffer of a long operation, so that the window stays
  // alive; EditBusy keeps other commands out meanwhile.
  std::function<void()> ProcessMessages;
  std::function<void(const std::string&)> ShowMessage;

  void Show(const std::string& text) const {
    if (ShowMessage) ShowMessage(text);
  }
  void Pump() const {
    if (ProcessMessages) ProcessMessages();
  }
};

enum class EditResult {
  Done,       // a new level, or the clipboard filled, or the level moved
  Unchanged,  // nothing to do: no selection, no level to move to, an answer of no change
  Busy,       // another operation is running
  Refused,    // the result would break a bound of the document; the user was told
  Failed,     // a file could not be read or written; the user was told
};

// Holds EditBusy (and ProgressShown for the operations with a progress bar)
// for the life of an operation.
class BusyScope {
public:
  BusyScope(EditDocument& document, bool showProgress) : m_document(document) {
    m_document.EditBusy = true;
    m_document.ProgressShown = showProgress;
    m_document.OperationProgress = 0.0f;
  }
  ~BusyScope() {
    m_document.ProgressShown = false;
    m_document.EditBusy = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

private:
  EditDocument& m_document;
};

}  // namespace tavrin::editor
