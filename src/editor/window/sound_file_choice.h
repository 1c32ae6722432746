#pragma once
// How both windows pick a sound file to open: the file dialog, and the first
// local file of a drop.

#include <QString>
#include <functional>
#include <string>

class QFileDialog;
class QMimeData;
class QWidget;

namespace tavrin::editor {

// Shows the non-native open dialog in `folder` over `owner` (`exec` shows it
// modally; tests answer it). The chosen file, or empty when cancelled.
std::string ChooseSoundFile(QWidget* owner, const std::function<bool(QFileDialog&)>& exec,
                            const std::string& folder);

// The first local file a drag carries, or empty.
std::string DroppedFile(const QMimeData* data);

}  // namespace tavrin::editor
