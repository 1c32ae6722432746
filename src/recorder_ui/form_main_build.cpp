// The recorder window's controls and menus, placed as designed on the 464-pixel client area.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include "base/recording_modes.h"
#include "recorder_ui/form_main.h"
#include "recorder_ui/form_main_chart.h"
#include "recorder_ui/form_main_surface.h"
#include "recorder_ui/form_main_tray.h"

namespace tavrin::recorder_ui {

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry, int pixelSize) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setPixelSize(pixelSize);
  label->setFont(font);
  label->setGeometry(geometry);
  label->setAttribute(Qt::WA_TranslucentBackground);
  return label;
}

QPushButton* MakeButton(TFormMain* form, const QString& text, const QRect& geometry,
                        const QString& hint, void (TFormMain::*handler)()) {
  auto* button = new QPushButton(text, form->centralWidget());
  button->setGeometry(geometry);
  if (!hint.isEmpty()) button->setToolTip(hint);
  QObject::connect(button, &QPushButton::clicked, form, handler);
  return button;
}

}  // namespace

void TFormMain::BuildControls() {
  m_surface = new MainSurface(*this);
  m_surface->setAccessibleName(tr("电平表"));
  m_surface->setAccessibleDescription(tr("左右声道的输入电平和直流偏移，录音时间和可录时间"));
  setCentralWidget(m_surface);
  setWindowTitle(QStringLiteral("Tavrin Recorder"));
  setAcceptDrops(true);

  LabAudioDeviceControl =
      MakeLabel(m_surface, QStringLiteral("A u d i o   D e v i c e C o n t r o l"),
                QRect(150, 0, 200, 14), 11);
  // The caption's spaced letters are for the eye; a screen reader says the words.
  LabAudioDeviceControl->setAccessibleName(tr("音频设备控制"));
  LabRecordingControl = MakeLabel(m_surface, tr("进程正在录制"), QRect(18, 114, 120, 16), 12);

  ImageVol = new KnobWidget(*this, m_surface);
  BtnSource = MakeButton(this, tr("来源"), QRect(150, 76, 64, 24), tr("录音源"),
                         &TFormMain::BtnSourceClick);

  ChBoxDC = new QCheckBox(m_surface);
  ChBoxDC->setGeometry(354, 80, 18, 18);
  ChBoxDC->setToolTip(tr("Reduce DC Offset"));
  ChBoxDC->setAccessibleName(tr("减少直流偏移"));
  connect(ChBoxDC, &QCheckBox::clicked, this, &TFormMain::ChBoxDCClick);
  LabReduce = MakeLabel(m_surface, tr("减少"), QRect(374, 80, 48, 18), 12);

  ChartWave = new LevelChartView(m_surface, Series1, Series2, Series3);
  ChartWave->setGeometry(m_layout.ChartLeft, m_layout.ChartTop, m_layout.ChartWidth,
                         m_layout.ChartHeight);
  ChartWave->setAccessibleName(tr("电平图"));
  ChartWave->setAccessibleDescription(tr("录音时左右声道电平的走势"));

  LabTime0 = MakeLabel(m_surface, QStringLiteral("00:00:00"), QRect(19, 274, 120, 26), 22);
  LabTime0->setStyleSheet(QStringLiteral("color: silver;"));
  LabTime = MakeLabel(m_surface, QStringLiteral("00:00:00"), QRect(18, 273, 120, 26), 22);
  LabTime->setStyleSheet(QStringLiteral("color: navy;"));

  CmbBoxTime = new QComboBox(m_surface);
  // Up to the Record button, at 11 px: "Loop 20 min" shows whole beside the arrow.
  CmbBoxTime->setGeometry(138, 274, 95, 24);
  QFont listFont = CmbBoxTime->font();
  listFont.setPixelSize(11);
  CmbBoxTime->setFont(listFont);
  CmbBoxTime->setToolTip(tr("刻录模式"));
  for (const base::RecordingMode& mode : base::kRecordingModes) {
    CmbBoxTime->addItem(tr(std::string(mode.ItemText).c_str()));
  }
  connect(CmbBoxTime, &QComboBox::currentIndexChanged, this, &TFormMain::CmbBoxTimeChange);

  BtnRecord = MakeButton(this, tr("记录"), QRect(234, 272, 50, 28), {}, &TFormMain::BtnRecordClick);
  BtnStop = MakeButton(this, tr("停止"), QRect(287, 272, 50, 28), {}, &TFormMain::BtnStopClick);
  BtnEdit = MakeButton(this, tr("编辑"), QRect(340, 272, 50, 28), tr("编辑并保存"),
                       &TFormMain::BtnEditClick);
  BtnSave = MakeButton(this, tr("保存"), QRect(393, 272, 50, 28), tr("保存"),
                       &TFormMain::menuSaveAsClick);

  const std::array<int, 3> widths{254, 100, 100};
  for (std::size_t i = 0; i < m_panels.size(); ++i) {
    m_panels[i] = new QLabel(this);
    // Fixed both ways, so a new text (five times a second while recording)
    // does not lay the status bar out again.
    m_panels[i]->setFixedSize(widths[i], kStatusPanelHeight);
    statusBar()->addWidget(m_panels[i]);
  }
  statusBar()->setSizeGripEnabled(false);
  // Fixed bar heights keep the client area where the layout puts it.
  statusBar()->setFixedHeight(kStatusBarHeight);
  menuBar()->setFixedHeight(kMenuBarHeight);
  setFixedSize(kClientWidth, kMenuBarHeight + kClientHeight + kStatusBarHeight);
}

void TFormMain::BuildMenus() {
  auto item = [this](QMenu* menu, const QString& text, auto handler) {
    QAction* action = menu->addAction(text);
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  QMenu* menuFile = menuBar()->addMenu(tr("文件"));
  connect(menuFile, &QMenu::aboutToShow, this, &TFormMain::menuFileClick);
  menuOpen = item(menuFile, tr("打开..."), &TFormMain::menuOpenClick);
  menuOpen->setEnabled(static_cast<bool>(m_services.OpenSoundFile));
  menuFile->addSeparator();
  menuSaveAs = item(menuFile, tr("另存为..."), &TFormMain::menuSaveAsClick);
  menuSaveAs->setEnabled(false);
  item(menuFile, tr("打开资源管理器"), &TFormMain::menuExplorerClick);
  menuFile->addSeparator();
  item(menuFile, tr("退出"), &QWidget::close);

  QMenu* menuOptions = menuBar()->addMenu(tr("选项"));
  BuildSourceMenu();
  menuOptions->addMenu(m_sourceMenu);
  menuSaveSettings = item(menuOptions, tr("保存设置..."), &TFormMain::menuSaveSettingsClick);
  menuTimer = item(menuOptions, tr("定时录音..."), &TFormMain::menuTimerClick);
  item(menuOptions, tr("窗口颜色..."), &TFormMain::menuSkinClick);
  m_tray = std::make_unique<Tray>(*this, *menuOptions);

  QMenu* menuHelp = menuBar()->addMenu(tr("帮助"));
  item(menuHelp, tr("帮助内容"), &TFormMain::TavrinRecorderHelpClick);
  item(menuHelp, tr("关于"), &TFormMain::menuAboutClick);
}

}  // namespace tavrin::recorder_ui
