// The recorder window's controls and menus, placed as designed on the 464-pixel client area.
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsDropShadowEffect>
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
  m_surface->setAccessibleDescription(tr("没有输入"));
  setCentralWidget(m_surface);
  setWindowTitle(QStringLiteral("Tavrin Recorder"));
  setAcceptDrops(true);

  LabAudioDeviceControl =
      MakeLabel(m_surface, QStringLiteral("A u d i o   D e v i c e C o n t r o l"),
                QRect(150, 0, 200, 14), 11);
  // The caption's spaced letters are for the eye; a screen reader says the words.
  LabAudioDeviceControl->setAccessibleName(tr("音频设备控制"));
  LabRecordingControl = MakeLabel(m_surface, tr("进程正在录制"), QRect(18, 114, 120, 16), 12);
  // The strip between the meters' frame and the chart is free right of its caption.
  LabSourceLevels = MakeLabel(m_surface, QString(), QRect(140, 114, 303, 16), 12);
  LabSourceLevels->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  LabSourceLevels->setAccessibleName(tr("每个来源的电平"));
  LabSourceLevels->hide();

  // Each channel of both meters, for a screen reader: the upper half of a meter is the left.
  const int levelHalf = (m_layout.LevelY1 - m_layout.LevelY0 + 1) / 2;
  const int dcHalf = (m_layout.DcY1 - m_layout.DcY0 + 1) / 2;
  using Kind = MeterReadout::Kind;
  m_meters = {new MeterReadout(*this, Kind::LevelLeft, tr("左声道输入电平"),
                               QRect(m_layout.LevelX0, m_layout.LevelY0,
                                     m_layout.LevelX1 - m_layout.LevelX0 + 1, levelHalf),
                               m_surface),
              new MeterReadout(*this, Kind::LevelRight, tr("右声道输入电平"),
                               QRect(m_layout.LevelX0, m_layout.LevelY0 + levelHalf,
                                     m_layout.LevelX1 - m_layout.LevelX0 + 1, levelHalf),
                               m_surface),
              new MeterReadout(
                  *this, Kind::DcLeft, tr("左声道直流偏移"),
                  QRect(m_layout.DcX0, m_layout.DcY0, m_layout.DcX1 - m_layout.DcX0 + 1, dcHalf),
                  m_surface),
              new MeterReadout(*this, Kind::DcRight, tr("右声道直流偏移"),
                               QRect(m_layout.DcX0, m_layout.DcY0 + dcHalf,
                                     m_layout.DcX1 - m_layout.DcX0 + 1, dcHalf),
                               m_surface)};
  ImageVol = new KnobWidget(*this, m_surface);
  BtnSource = MakeButton(this, tr("来源"), QRect(150, 76, 64, 24), tr("录音源"),
                         &TFormMain::BtnSourceClick);

  // Its caption is its own text, so that a screen reader says it once.
  ChBoxDC = new QCheckBox(tr("减少"), m_surface);
  QFont boxFont = ChBoxDC->font();
  boxFont.setPixelSize(12);
  ChBoxDC->setFont(boxFont);
  ChBoxDC->setGeometry(354, 80, ChBoxDC->sizeHint().width(), 18);
  ChBoxDC->setAttribute(Qt::WA_TranslucentBackground);
  ChBoxDC->setToolTip(tr("Reduce DC Offset"));
  ChBoxDC->setAccessibleName(tr("减少直流偏移"));
  connect(ChBoxDC, &QCheckBox::clicked, this, &TFormMain::ChBoxDCClick);

  ChartWave = new LevelChartView(m_surface, Series1, Series2, Series3);
  ChartWave->setGeometry(m_layout.ChartLeft, m_layout.ChartTop, m_layout.ChartWidth,
                         m_layout.ChartHeight);
  ChartWave->setAccessibleName(tr("电平图"));
  ChartWave->setAccessibleDescription(tr("录音时左右声道电平的走势"));

  LabTime = MakeLabel(m_surface, QStringLiteral("00:00:00"), QRect(18, 273, 120, 27), 22);
  LabTime->setStyleSheet(QStringLiteral("color: navy;"));
  LabTime->setAccessibleName(tr("录音时间"));
  LabTime->setAccessibleDescription(LabTime->text());
  // Its silver shadow a pixel down and right, drawn with it: one text to read.
  auto* shadow = new QGraphicsDropShadowEffect(LabTime);
  shadow->setOffset(1, 1);
  shadow->setBlurRadius(0);
  shadow->setColor(Qt::lightGray);
  LabTime->setGraphicsEffect(shadow);

  CmbBoxTime = new QComboBox(m_surface);
  // Up to the Record button, at 11 px: "Loop 20 min" shows whole beside the arrow.
  CmbBoxTime->setGeometry(138, 274, 95, 24);
  QFont listFont = CmbBoxTime->font();
  listFont.setPixelSize(11);
  CmbBoxTime->setFont(listFont);
  CmbBoxTime->setToolTip(tr("刻录模式"));
  // A screen reader names a list by the label linked to it; the window shows
  // none, so this one is only heard.
  auto* modeLabel = new QLabel(tr("刻录模式"), m_surface);
  modeLabel->setBuddy(CmbBoxTime);
  modeLabel->hide();
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

  // Panels 1 and 2 hold "Current-" and a time of day in the desktop's format
  // whole; the source caption takes what is left.
  const int timeWidth = std::max(
      100, QFontMetrics(statusBar()->font())
                   .horizontalAdvance(QStringLiteral("Current-") + TimeOfDay(QTime(23, 59, 59))) +
               8);
  const std::array<int, 3> widths{kClientWidth - 10 - 2 * timeWidth, timeWidth, timeWidth};
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
  auto item = [this](QMenu* menu, const QString& text, auto handler,
                     QKeySequence keys = QKeySequence()) {
    QAction* action = menu->addAction(text);
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  QMenu* menuFile = menuBar()->addMenu(tr("文件(&F)"));
  // Its items' state also follows the status tick, for their shortcuts.
  connect(menuFile, &QMenu::aboutToShow, this, &TFormMain::menuFileClick);
  menuOpen = item(menuFile, tr("打开(&O)..."), &TFormMain::menuOpenClick, QKeySequence::Open);
  menuOpen->setEnabled(static_cast<bool>(m_services.OpenSoundFile));
  menuFile->addSeparator();
  menuSaveAs = item(menuFile, tr("另存为(&A)..."), &TFormMain::menuSaveAsClick, QKeySequence::Save);
  menuSaveAs->setEnabled(false);
  item(menuFile, tr("打开资源管理器(&E)"), &TFormMain::menuExplorerClick);
  menuFile->addSeparator();
  item(menuFile, tr("退出(&X)"), &QWidget::close, QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* menuOptions = menuBar()->addMenu(tr("选项(&O)"));
  BuildSourceMenu();
  menuOptions->addMenu(m_sourceMenu);
  menuSaveSettings = item(menuOptions, tr("保存设置(&S)..."), &TFormMain::menuSaveSettingsClick);
  menuTimer = item(menuOptions, tr("定时录音(&T)..."), &TFormMain::menuTimerClick);
  item(menuOptions, tr("窗口颜色(&C)..."), &TFormMain::menuSkinClick);
  m_tray = std::make_unique<Tray>(*this, *menuOptions);

  QMenu* menuHelp = menuBar()->addMenu(tr("帮助(&H)"));
  item(menuHelp, tr("帮助内容(&H)"), &TFormMain::TavrinRecorderHelpClick,
       QKeySequence::HelpContents);
  item(menuHelp, tr("关于(&A)"), &TFormMain::menuAboutClick);
}

}  // namespace tavrin::recorder_ui
