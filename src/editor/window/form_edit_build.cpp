// The editor window's menus, tool bars and status bar.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
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
                     const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, handler);
    m_actions.push_back(action);
    return action;
  };
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(tr("文件"));
  file->setObjectName(QStringLiteral("menuFile"));
  item(file, "menuOpen", tr("打开..."), &TFormEdit::menuOpenClick)
      ->setEnabled(static_cast<bool>(m_services.OpenSoundFile));
  file->addSeparator();
  item(file, "menuSaveAll", tr("保存所有为..."), &TFormEdit::menuSaveAllClick);
  item(file, "menuSaveSelection", tr("保存选定部分为..."), &TFormEdit::menuSaveSelectionClick);
  file->addSeparator();
  item(file, "menuExplorer", tr("打开资源管理器"), &TFormEdit::menuExplorerClick);
  file->addSeparator();
  item(file, "menuExit", tr("退出"), &TFormEdit::menuExitClick);

  QMenu* edit = bar->addMenu(tr("编辑"));
  edit->setObjectName(QStringLiteral("menuEdit"));
  item(edit, "menuUndo", tr("撤消"), &TFormEdit::menuUndoClick, QKeySequence("Ctrl+Z"));
  item(edit, "menuRedo", tr("恢复"), &TFormEdit::menuRedoClick, QKeySequence("Ctrl+Y"));
  edit->addSeparator();
  item(edit, "menuCut", tr("剪切"), &TFormEdit::menuCutClick, QKeySequence("Ctrl+X"));
  item(edit, "menuCopy", tr("复制"), &TFormEdit::menuCopyClick, QKeySequence("Ctrl+C"));
  item(edit, "menuPaste", tr("粘贴"), &TFormEdit::menuPasteClick, QKeySequence("Ctrl+V"));
  item(edit, "menuDelete", tr("删除"), &TFormEdit::menuDeleteClick, QKeySequence(Qt::Key_Delete));
  edit->addSeparator();
  item(edit, "menuSelectAll", tr("全选"), &TFormEdit::menuSelectAllClick, QKeySequence("Ctrl+A"));

  QMenu* effects = bar->addMenu(tr("效果"));
  effects->setObjectName(QStringLiteral("menuEffects"));
  item(effects, "menuFadeIn", tr("淡入"), &TFormEdit::menuFadeInClick);
  item(effects, "menuFadeOut", tr("淡出"), &TFormEdit::menuFadeOutClick);
  effects->addSeparator();
  item(effects, "menuAmplify", tr("放大 +/- ..."), &TFormEdit::menuAmplifyClick);
  item(effects, "menuNormalize", tr("标准化"), &TFormEdit::menuNormalizeClick);
  effects->addSeparator();
  item(effects, "menuSilence", tr("插入静音"), &TFormEdit::menuSilenceClick);

  QMenu* options = bar->addMenu(tr("选项"));
  options->setObjectName(QStringLiteral("menuOptions"));
  item(options, "menuSaveSettings", tr("保存设置..."), &TFormEdit::menuSaveSettingsClick);
  options->addSeparator();
  menuPlayBack = item(options, "menuPlayBack", tr("播放设备"), &TFormEdit::menuPlayBackClick);

  QMenu* help = bar->addMenu(tr("帮助"));
  help->setObjectName(QStringLiteral("menuHelp"));
  item(help, "menuTavrinHelp", tr("帮助内容"), &TFormEdit::menuTavrinHelpClick);
  item(help, "menuAbout", tr("关于"), &TFormEdit::menuAboutClick);
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
  std::vector<ToolButton> Buttons;
};

}  // namespace

void TFormEdit::BuildToolBars() {
  const ToolBarButtons bars[] = {
      {"CoolBarFile",
       {{"SBtnSaveAll", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "保存所有为"),
         "document-save", Glyph::SaveAll, &TFormEdit::menuSaveAllClick},
        {"SBtnSaveSel", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "另存当前所选为..."),
         "document-save-as", Glyph::SaveSelection, &TFormEdit::menuSaveSelectionClick},
        {"SBtnSettings", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "保存设置"),
         "preferences-system", Glyph::Settings, &TFormEdit::menuSaveSettingsClick},
        {"SBtnExplorer", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "打开资源管理器"),
         "folder-open", Glyph::Folder, &TFormEdit::menuExplorerClick}}},
      {"CoolBarEdit",
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
       {{"SBtnPlayAll", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "播放全部"),
         "media-playback-start", Glyph::PlayAll, &TFormEdit::SBtnPlayAllClick},
        {"SBtnPlaySelection", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "播放选区"),
         "media-seek-forward", Glyph::PlaySelection, &TFormEdit::SBtnPlaySelectionClick},
        {"SBtnStop", QT_TRANSLATE_NOOP("tavrin::editor::TFormEdit", "停止"), "media-playback-stop",
         Glyph::Stop, &TFormEdit::SBtnStopClick}}},
      {"CoolBarVolume", {}},
  };
  for (const ToolBarButtons& bar : bars) {
    QToolBar* toolBar = addToolBar(QString::fromLatin1(bar.Name));
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
  }
  CoolBarVolume = findChild<QToolBar*>(QStringLiteral("CoolBarVolume"));
  SBtnPlayAll = Action(QStringLiteral("SBtnPlayAll"));
  SBtnPlayAll->setCheckable(true);
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
