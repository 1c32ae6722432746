#pragma once
// A dialog made once and shown over whichever window the user works in at the
// time belongs to that window while it shows: its Qt parent, so that it is
// transient for it and any window manager or compositor keeps it above it.

#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <functional>

namespace tavrin::settings {

// The window the user is working in, asked at the moment a dialog shows.
using DialogOwner = std::function<QWidget*()>;

// While it lives, `dialog` is a window of `owner` (none: left as it is); then
// it goes back to the parent it had, which keeps the dialog's lifetime.
class OwnedBy {
public:
  OwnedBy(QDialog& dialog, QWidget* owner)
      : m_dialog(&dialog), m_home(dialog.parentWidget()), m_moved(owner && owner != m_home) {
    if (m_moved) dialog.setParent(owner, dialog.windowFlags());
  }
  ~OwnedBy() {
    if (m_moved && m_dialog) m_dialog->setParent(m_home.data(), m_dialog->windowFlags());
  }
  OwnedBy(const OwnedBy&) = delete;
  OwnedBy& operator=(const OwnedBy&) = delete;

private:
  QPointer<QDialog> m_dialog;
  QPointer<QWidget> m_home;
  bool m_moved;
};

// Puts `window` in the middle of the primary screen's free area.
inline void CentreOnScreen(QWidget& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                           screen->availableGeometry()));
  }
}

}  // namespace tavrin::settings
