// The editor window's menus, tool bars and status bar.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <vector>

#include "editor/window/form_edit.h"
#include "editor/window/tool_icons.h"

namespace tavrin::editor {

namespace {

constexpr int kPanelWidth = 150;
constexpr int kPanels = 4;

}  // namespace

void TFormEdit::BuildMenus() {
  using Handler = void (TFormEdit::*)();
  auto item = [this](QMenu* menu, const char* name, const QString& caption, Handler handler,
                     const QList<QKeySequence>& shortcuts = {}) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(shortcuts);
    connect(action, &QAction::triggered, this, handler);
    m_actions.push_back(action);
    return action;
  };
  const auto keys = [](const char* sequence) {
    return QList<QKeySequence>{QKeySequence(sequence)};
  };
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(tr("文件(&F)"));
  file->setObjectName(QStringLiteral("menuFile"));
  item(file, "menuOpen", tr("打开(&O)..."), &TFormEdit::menuOpenClick, keys("Ctrl+O"))
      ->setEnabled(static_cast<bool>(m_services.OpenSoundFile));
  file->addSeparator();
  item(file, "menuSaveAll", tr("保存所有为(&A)..."), &TFormEdit::menuSaveAllClick, keys("Ctrl+S"));
  item(file, "menuSaveSelection", tr("保存选定部分为(&S)..."), &TFormEdit::menuSaveSelectionClick,
       keys("Ctrl+Shift+S"));
  file->addSeparator();
  item(file, "menuExplorer", tr("打开资源管理器(&E)"), &TFormEdit::menuExplorerClick);
  file->addSeparator();
  item(file, "menuExit", tr("退出(&X)"), &TFormEdit::menuExitClick,
       {QKeySequence("Ctrl+Q"), QKeySequence("Ctrl+W")});

  QMenu* edit = bar->addMenu(tr("编辑(&E)"));
  edit->setObjectName(QStringLiteral("menuEdit"));
  item(edit, "menuUndo", tr("撤消(&U)"), &TFormEdit::menuUndoClick, keys("Ctrl+Z"));
  item(edit, "menuRedo", tr("恢复(&R)"), &TFormEdit::menuRedoClick, keys("Ctrl+Y"));
  edit->addSeparator();
  item(edit, "menuCut", tr("剪切(&T)"), &TFormEdit::menuCutClick, keys("Ctrl+X"));
  item(edit, "menuCopy", tr("复制(&C)"), &TFormEdit::menuCopyClick, keys("Ctrl+C"));
  item(edit, "menuPaste", tr("粘贴(&P)"), &TFormEdit::menuPasteClick, keys("Ctrl+V"));
  item(edit, "menuDelete", tr("删除(&D)"), &TFormEdit::menuDeleteClick, keys("Del"));
  edit->addSeparator();
  item(edit, "menuSelectAll", tr("全选(&A)"), &TFormEdit::menuSelectAllClick, keys("Ctrl+A"));

  QMenu* effects = bar->addMenu(tr("效果(&C)"));
  effects->setObjectName(QStringLiteral("menuEffects"));
  item(effects, "menuFadeIn", tr("淡入(&I)"), &TFormEdit::menuFadeInClick);
  item(effects, "menuFadeOut", tr("淡出(&O)"), &TFormEdit::menuFadeOutClick);
  effects->addSeparator();
  item(effects, "menuAmplify", tr("放大 +/-(&A)..."), &TFormEdit::menuAmplifyClick);
  item(effects, "menuNormalize", tr("标准化(&N)"), &TFormEdit::menuNormalizeClick);
  effects->addSeparator();
  item(effects, "menuSilence", tr("插入静音(&S)"), &TFormEdit::menuSilenceClick);

  // The play tool bar's commands, and playing from the cursor, for the keyboard.
  QMenu* play = bar->addMenu(tr("播放(&P)"));
  play->setObjectName(QStringLiteral("menuPlay"));
  item(play, "menuPlayCursor", tr("从光标处播放(&C)"), &TFormEdit::menuPlayCursorClick,
       keys("Space"));
  item(play, "menuPlayAll", tr("播放全部(&A)"), &TFormEdit::SBtnPlayAllClick);
  item(play, "menuPlaySelection", tr("播放选区(&S)"), &TFormEdit::SBtnPlaySelectionClick,
       keys("Shift+Space"));
  item(play, "menuStop", tr("停止(&T)"), &TFormEdit::SBtnStopClick);

  QMenu* options = bar->addMenu(tr("选项(&O)"));
  options->setObjectName(QStringLiteral("menuOptions"));
  item(options, "menuSaveSettings", tr("保存设置(&S)..."), &TFormEdit::menuSaveSettingsClick);
  options->addSeparator();
  menuPlayBack = item(options, "menuPlayBack", tr("播放设备"), &TFormEdit::menuPlayBackClick);

  QMenu* help = bar->addMenu(tr("帮助(&H)"));
  help->setObjectName(QStringLiteral("menuHelp"));
  item(help, "menuTavrinHelp", tr("帮助内容(&H)"), &TFormEdit::menuTavrinHelpClick, keys("F1"));
  item(help, "menuAbout", tr("关于(&A)"), &TFormEdit::menuAboutClick);
}

namespace {

struct ToolButton {
  const char* Name;
  const char* Hint;  // a source text of TFormEdit's, translated where shown
  const char* ThemeIcon;
  Glyph Picture;
  void (TFormEdit::*Handler)();
};

struct ToolBarButtons {
  const char* Name;
  const char* Title;  // what a screen reader calls the bar
  std::vector<ToolButton> Buttons;
};

}  // namespace

void TFormEdit::BuildToolBars() {
  const ToolBarButtons bars[] = {
      {"CoolBarFile",
       QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "文件"),
       {{"SBtnSaveAll", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "保存所有为"),
         "document-save", Glyph::SaveAll, &TFormEdit::menuSaveAllClick},
        {"SBtnSaveSel", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "另存当前所选为..."),
         "document-save-as", Glyph::SaveSelection, &TFormEdit::menuSaveSelectionClick},
        {"SBtnSettings", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "保存设置"),
         "preferences-system", Glyph::Settings, &TFormEdit::menuSaveSettingsClick},
        {"SBtnExplorer", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "打开资源管理器"),
         "folder-open", Glyph::Folder, &TFormEdit::menuExplorerClick}}},
      {"CoolBarEdit",
       QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "编辑"),
       {{"SBtnUndo", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "撤消"), "edit-undo",
         Glyph::Undo, &TFormEdit::menuUndoClick},
        {"SBtnRedo", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "重做"), "edit-redo",
         Glyph::Redo, &TFormEdit::menuRedoClick},
        {"SBtnCut", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "剪切"), "edit-cut", Glyph::Cut,
         &TFormEdit::menuCutClick},
        {"SBtnCopy", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "复制"), "edit-copy",
         Glyph::Copy, &TFormEdit::menuCopyClick},
        {"SBtnPaste", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "粘贴"), "edit-paste",
         Glyph::Paste, &TFormEdit::menuPasteClick},
        {"SBtnDelete", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "删除"), "edit-delete",
         Glyph::Delete, &TFormEdit::menuDeleteClick}}},
      {"CoolBarTransfom",
       QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "效果"),
       {{"SBtnFadeIn", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "淡入"), "", Glyph::FadeIn,
         &TFormEdit::menuFadeInClick},
        {"SBtnFadeOut", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "淡出"), "", Glyph::FadeOut,
         &TFormEdit::menuFadeOutClick},
        {"SBtnAmplify", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "放大 +/- ..."), "",
         Glyph::Amplify, &TFormEdit::menuAmplifyClick},
        {"SBtnNormalize", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "标准化"), "",
         Glyph::Normalize, &TFormEdit::menuNormalizeClick},
        {"SBtnSilence", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "插入静音"), "",
         Glyph::Silence, &TFormEdit::menuSilenceClick}}},
      {"CoolBarPlay",
       QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "播放"),
       {{"SBtnPlayAll", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "播放全部"),
         "media-playback-start", Glyph::PlayAll, &TFormEdit::SBtnPlayAllClick},
        {"SBtnPlaySelection", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "播放选区"),
         "media-seek-forward", Glyph::PlaySelection, &TFormEdit::SBtnPlaySelectionClick},
        {"SBtnStop", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "停止"), "media-playback-stop",
         Glyph::Stop, &TFormEdit::SBtnStopClick}}},
      {"CoolBarVolume", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "回放音量"), {}},
  };
  for (const ToolBarButtons& bar : bars) {
    QToolBar* toolBar = addToolBar(tr(bar.Title));
    toolBar->setObjectName(QString::fromLatin1(bar.Name));
    toolBar->setMovable(false);
    toolBar->setIconSize(QSize(20, 20));
    for (const ToolButton& button : bar.Buttons) {
      const QString hint = tr(button.Hint);
      QAction* action =
          toolBar->addAction(ToolIcon(QString::fromLatin1(button.ThemeIcon), button.Picture), hint);
      action->setObjectName(QString::fromLatin1(button.Name));
      action->setToolTip(hint);
      connect(action, &QAction::triggered, this, button.Handler);
      m_actions.push_back(action);
    }
    // On a narrow screen the buttons that do not fit go behind Qt's own
    // unnamed "more" button.
    if (auto* more = toolBar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
      more->setAccessibleName(tr("更多按钮"));
    }
  }
  CoolBarVolume = findChild<QToolBar*>(QStringLiteral("CoolBarVolume"));
  SBtnPlayAll = Action(QStringLiteral("SBtnPlayAll"));
  // Pressed while the whole document plays, but a push button to a screen
  // reader: the button is held down rather than checked.
  m_playAllButton = qobject_cast<QToolButton*>(
      findChild<QToolBar*>(QStringLiteral("CoolBarPlay"))->widgetForAction(SBtnPlayAll));
  for (const char* name : {"PlayAll", "PlaySelection", "Stop"}) {
    QAction* button = Action(QStringLiteral("SBtn") + QLatin1String(name));
    QAction* menuItem = Action(QStringLiteral("menu") + QLatin1String(name));
    menuItem->setEnabled(button->isEnabled());
    connect(button, &QAction::enabledChanged, menuItem, &QAction::setEnabled);
  }
}

void TFormEdit::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StBar"));
  bar->setSizeGripEnabled(false);
  for (int i = 0; i < kPanels; ++i) {
    m_panels[i] = new QLabel(bar);
    m_panels[i]->setFixedWidth(kPanelWidth);
    bar->addWidget(m_panels[i]);
  }
  m_notice = new QLabel(bar);
  m_notice->setObjectName(QStringLiteral("StatusNotice"));
  // A long notice is cut at the window's edge, never widening it; its tooltip holds it whole.
  m_notice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(m_notice, 1);
  StatusProgressBar = new QProgressBar(bar);
  StatusProgressBar->setObjectName(QStringLiteral("StatusProgressBar"));
  StatusProgressBar->setRange(0, 100);
  StatusProgressBar->setValue(0);
  StatusProgressBar->setTextVisible(false);
  StatusProgressBar->hide();
}

void TFormEdit::PlaceProgressBar() {
  // It fills the fourth panel: left of it, the three position panels.
  const int left = 3 * kPanelWidth;
  const int height = statusBar()->height() - 4 - 2;
  StatusProgressBar->setGeometry(left, 4, std::max(statusBar()->width() - left - 2, 0),
                                 std::max(height, 1));
}

}  // namespace tavrin::editor
