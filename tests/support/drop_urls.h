#pragma once
// Drops URLs on a window as a file manager would: a drag entering it, then
// the drop if the window took the drag, and the events that follow let run.

#include <QCoreApplication>
#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tavrin::testing {

// True when the window accepted both the drag and the drop.
inline bool DropUrls(QWidget& window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
  QCoreApplication::processEvents();
  return drop.isAccepted();
}

}  // namespace tavrin::testing
