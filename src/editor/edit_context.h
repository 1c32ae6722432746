#pragma once
// What the editor's operations work on and how they reach the user: the
// document with the editor's own state, the recorder's state (the take, the
// work paths) and two callbacks. No widgets. User-interface thread only.

#include <vector>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "document/chunked_io.h"
#include "document/edit_document.h"

namespace tavrin::editor {

using document::BufferPeaks;
using document::ChunkWriter;
using document::DocumentReader;
using document::DocumentRun;
using document::EditDocument;
using document::kChunkBuffers;
using document::kLevelCount;
using document::kRowCount;
using document::Segment;
using document::WorkFileAppend;

using capture::PositionText;

// The document as the editor holds it, with what only the editor keeps: the
// clipboard, the effects' parameters, the busy flag and progress.
struct EditSession : EditDocument {
  bool EditBusy = false;
  bool ProgressShown = false;
  float OperationProgress = 0.0f;  // percent, 0..100

  std::uint32_t ClipLength = 0;  // buffers in Clp.raw; bytes past them are stale
  // Peaks of the clipboard's buffers (index 0 = its first buffer), measured as
  // the audio went in, so that Paste need not read the audio back.
  std::vector<BufferPeaks> ClipPeaks;
  base::File ClipStream;  // Clp.raw

  // Effect parameters.
  double AmplifyFactor = 1.0;
  float SelectionPeakFactor = 1.0f;
  double FadeGain = 0.0;
  double FadeStep = 0.0;
  std::int32_t SilenceLength = 0;
};

struct EditContext {
  EditSession& Document;
  capture::RecorderState& State;
  // Pumped after every buffer of a long operation, so that the window stays
  // alive; EditBusy keeps other commands out meanwhile.
  base::UserChannel User;
};

enum class EditResult {
  Done,       // a new level, or the clipboard filled, or the level moved
  Unchanged,  // nothing to do: no selection, no level to move to, an answer of no change
  Busy,       // another operation is running
  Refused,    // the result would break a bound of the document; the user was told
  Failed,     // a file could not be read or written; the user was told
};

// Reports a failed operation's file error to the user.
EditResult Fail(const EditContext& context, int error);

// Holds EditBusy (and ProgressShown for the operations with a progress bar)
// for the life of an operation.
class BusyScope {
public:
  BusyScope(EditSession& document, bool showProgress) : m_document(document) {
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
  EditSession& m_document;
};

}  // namespace tavrin::editor
