#include "recorder_ui/form_main_tray.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>

namespace tavrin::recorder_ui {

TFormMain::Tray::Tray(TFormMain& form, QMenu& options) : QObject(&form), m_form(form) {
  options.addSeparator();
  m_option = options.addAction(TFormMain::tr("最小化到托盘(&M)"));
  m_option->setCheckable(true);
  m_option->setChecked(m_form.m_services.Settings->MinimizeToTray);
  connect(m_option, &QAction::toggled, this, [this](bool on) {
    m_form.m_services.Settings->MinimizeToTray = on;
    m_form.SaveSettingsReportingFailure();
  });
  connect(&options, &QMenu::aboutToShow, this, &Tray::FollowTray);

  m_menu = std::make_unique<QMenu>();
  m_record = m_menu->addAction(TFormMain::tr("记录"));
  // The tray's menu stands over whatever the window shows: a refusal is said
  // in the status bar and a notification, never in a box.
  const auto run = [this](session::Answer (session::RecorderSession::*operation)(session::Caller)) {
    const session::Answer answer = (m_form.Session().*operation)(session::Caller::Tray);
    if (!answer.Done && !answer.Text.empty()) m_form.TellUnattended(answer.Text, true);
    ShowMenuState();
  };
  connect(m_record, &QAction::triggered, this, [run] { run(&session::RecorderSession::Record); });
  m_stop = m_menu->addAction(TFormMain::tr("停止"));
  connect(m_stop, &QAction::triggered, this, [run] { run(&session::RecorderSession::Stop); });
  m_menu->addSeparator();
  connect(m_menu->addAction(TFormMain::tr("显示窗口(&S)")), &QAction::triggered, this,
          &Tray::ShowWindow);
  connect(m_menu->addAction(TFormMain::tr("退出(&X)")), &QAction::triggered, this, &Tray::Exit);
  connect(m_menu.get(), &QMenu::aboutToShow, this, &Tray::ShowMenuState);
  ShowMenuState();

  m_form.installEventFilter(this);
  FollowTray();
}

TFormMain::Tray::~Tray() {
  ResumeQuitOnLastWindow();
}

void TFormMain::Tray::FollowTray() {
  if (!m_icon && QSystemTrayIcon::isSystemTrayAvailable()) {
    m_icon = std::make_unique<QSystemTrayIcon>(this);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                ShowWindow();
            });
    m_levelShown = -1;
    ShowLevel(m_form.m_levelIcon);
    // The status line follows on the next status tick.
    m_icon->setToolTip(QStringLiteral("Tavrin Recorder"));
    m_toolTip.clear();
    m_icon->show();
  }
  // Never hide a window the user could not get back.
  m_option->setEnabled(m_icon != nullptr);
}

void TFormMain::Tray::ShowLevel(int icon) {
  if (!m_icon || icon == m_levelShown) return;
  m_levelShown = icon;
  m_icon->setIcon(m_form.m_levelIcons.at(static_cast<std::size_t>(icon)));
}

void TFormMain::Tray::ShowStatus() {
  ShowMenuState();
  // The tray went away (its host ended or restarted): a window hidden in it
  // comes back, and the icon is made again once a tray is there.
  if (m_icon && !QSystemTrayIcon::isSystemTrayAvailable()) {
    m_icon.reset();
    m_option->setEnabled(false);
    if (m_hidden) ShowWindow();
  }
  if (!m_icon) {
    // A tray that came up after the program (a login starts both at once) is used too.
    if (QSystemTrayIcon::isSystemTrayAvailable()) FollowTray();
    return;
  }
  const QString text = QString::fromStdString(m_form.Session().StatusLine());
  if (text == m_toolTip) return;
  m_toolTip = text;
  m_icon->setToolTip(text);
}

void TFormMain::Tray::ShowMenuState() {
  if (!m_form.m_session) return;  // the window is still being built
  const bool running = m_form.Session().TakeRunning();
  m_record->setEnabled(!running);
  m_stop->setEnabled(running);
}

bool TFormMain::Tray::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &m_form) return false;
  switch (event->type()) {
  case QEvent::WindowStateChange:
    // The window takes note of the minimise first; it hides once that is done.
    if (m_form.isMinimized() && m_form.m_services.Settings->MinimizeToTray && m_icon) {
      QMetaObject::invokeMethod(this, &Tray::HideIfMinimized, Qt::QueuedConnection);
    }
    break;
  case QEvent::Show: ResumeQuitOnLastWindow(); break;
  case QEvent::Hide:
    // Closed: the capture is shut, so the menu has nothing left to act on.
    if (m_form.m_closing && m_icon) m_icon->hide();
    break;
  default: break;
  }
  return false;
}

void TFormMain::Tray::HideIfMinimized() {
  // Restored meanwhile, or the tray went away; and not while a dialog, the
  // editor or a save is on screen over the window.
  if (!m_form.isMinimized() || !m_form.isVisible() || !m_icon || !m_icon->isVisible() ||
      !m_form.m_services.Settings->MinimizeToTray || m_form.m_hooks.Busy() ||
      !QSystemTrayIcon::isSystemTrayAvailable()) {
    return;
  }
  m_quitOnLastWindowClosed = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  m_hidden = true;
  // Still minimised for the window's own state: the capture draws no meters.
  m_form.hide();
}

void TFormMain::Tray::ResumeQuitOnLastWindow() {
  if (!m_hidden) return;
  m_hidden = false;
  QGuiApplication::setQuitOnLastWindowClosed(m_quitOnLastWindowClosed);
}

void TFormMain::ShowWindow() {
  m_tray->ShowWindow();
}

void TFormMain::Tray::ShowWindow() {
  m_form.setWindowState(m_form.windowState() & ~Qt::WindowMinimized);
  m_form.show();
  m_form.raise();
  m_form.activateWindow();
}

void TFormMain::Tray::Exit() {
  const bool hidden = m_hidden;
  if (!m_form.close()) return;  // the user kept the take, or a save runs
  if (m_icon) m_icon->hide();
  // A hidden window's close does not end the program by itself.
  if (hidden) {
    ResumeQuitOnLastWindow();
    QCoreApplication::quit();
  }
}

}  // namespace tavrin::recorder_ui
