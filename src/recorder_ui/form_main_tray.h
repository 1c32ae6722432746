#pragma once
// The recorder's system-tray icon: the level icon, the status line as its tool
// tip, and a menu to record, stop, show the window and exit; and the Options
// menu's choice to hide the minimised window into it. Without a tray on the
// desktop there is no icon and the choice is disabled.

#include <QObject>
#include <QString>
#include <memory>

#include "recorder_ui/form_main.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tavrin::recorder_ui {

class TFormMain::Tray : public QObject {
public:
  // Adds the choice to `options`; shows the icon where the desktop has a tray.
  Tray(TFormMain& form, QMenu& options);
  ~Tray() override;

  // The capture tick's level icon; the tray is told only when it changes.
  void ShowLevel(int icon);
  // The status tick: the tool tip when the status line changed, and which of
  // Record and Stop the menu offers.
  void ShowStatus();
  // Brings the window up, from the tray or minimised.
  void ShowWindow();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Shows the icon once the desktop has a tray (a panel may start after the program).
  void FollowTray();
  void ShowMenuState();
  void HideIfMinimized();
  void Exit();
  void ResumeQuitOnLastWindow();

  TFormMain& m_form;
  QAction* m_option = nullptr;
  QAction* m_record = nullptr;
  QAction* m_stop = nullptr;
  // The menu outlives the icon that shows it.
  std::unique_ptr<QMenu> m_menu;
  std::unique_ptr<QSystemTrayIcon> m_icon;  // none without a tray
  int m_levelShown = -1;
  QString m_toolTip;
  // Hidden into the tray: the program must not end when a message box over
  // no window closes, so quitting on the last window waits until it shows.
  bool m_hidden = false;
  bool m_quitOnLastWindowClosed = true;
};

}  // namespace tavrin::recorder_ui
