#pragma once
// The editor's tool-bar pictures: the desktop's icon theme where it has the
// icon, else a picture drawn here, so that a bare system shows them too.

#include <QIcon>
#include <QString>

namespace tavrin::editor {

enum class Glyph {
  SaveAll,
  SaveSelection,
  Settings,
  Folder,
  Undo,
  Redo,
  Cut,
  Copy,
  Paste,
  Delete,
  FadeIn,
  FadeOut,
  Amplify,
  Normalize,
  Silence,
  PlayAll,
  PlaySelection,
  Stop,
};

// The theme's icon `themeName`, falling back to the drawn `glyph`.
QIcon ToolIcon(const QString& themeName, Glyph glyph);
// The drawn picture alone.
QIcon DrawnIcon(Glyph glyph);

}  // namespace tavrin::editor
