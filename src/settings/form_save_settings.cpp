#include "settings/form_save_settings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <algorithm>
#include <array>
#include <utility>

namespace tavrin::settings {

namespace {

constexpr int kClientWidth = 347;
constexpr int kClientHeight = 266;

// Item index -> value, in list order.
constexpr std::array<int, 3> kSampleRates{44100, 22050, 11025};  // Hz
constexpr std::array<int, 3> kModes{0, 1, 3};                    // the encoder's mode numbers
constexpr std::array<int, 14> kBitRates{32,  40,  48,  56,  64,  80,  96,
                                        112, 128, 160, 192, 224, 256, 320};  // kbps
constexpr int kDefaultBitRateItem = 8;                                       // 128
constexpr int kMaxBitRateItem = 13;                                          // 320
constexpr int kBestVbrQuality = 0;
constexpr int kFastestVbrQuality = 8;
constexpr int kDefaultOpusRateItem = 5;  // 96 kbps

template <std::size_t N>
int IndexOf(const std::array<int, N>& values, int value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (values[i] == value) return static_cast<int>(i);
  }
  return -1;
}

// The value of the list's current item; `fallback` when none is selected.
template <std::size_t N>
int ValueAt(const std::array<int, N>& values, const QComboBox* list, int fallback) {
  const int index = list->currentIndex();
  return index >= 0 && index < static_cast<int>(N) ? values[static_cast<std::size_t>(index)]
                                                   : fallback;
}

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->adjustSize();
  label->move(x, y);
  return label;
}

// The left edge of a field beside `caption`: where it was designed, or further
// right when the caption (in the language shown) is too long for that.
int FieldX(const QLabel* caption, int designedX) {
  constexpr int kGap = 8;
  return std::max(designedX, caption->geometry().right() + 1 + kGap);
}

// `caption` names `field`: Alt and the caption's marked letter reach it, and a
// screen reader reads the caption as the field's name, not its value.
template <typename Field>
Field* Named(Field* field, QLabel* caption) {
  caption->setBuddy(field);
  return field;
}

// A list beside or below its caption, which names it.
QComboBox* AddList(QWidget* parent, const QString& name, const QStringList& items,
                   const QRect& geometry, QLabel* caption) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  list->setGeometry(geometry);
  return Named(list, caption);
}

QCheckBox* AddCheckBox(QWidget* parent, const QString& name, const QString& text,
                       const QRect& geometry) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  return box;
}

template <std::size_t N>
QStringList NumberItems(const std::array<int, N>& values) {
  QStringList items;
  for (const int value : values) items << QString::number(value);
  return items;
}

// One row of a page whose captions stand in a column at the left and whose
// lists stand in a column beside them, `y` the list's top.
QComboBox* AddRow(QWidget* sheet, const QString& name, const QString& caption,
                  const QStringList& items, int y) {
  constexpr int kCaptionX = 20;
  constexpr int kListX = 120;
  constexpr int kListWidth = 130;
  QLabel* label = AddLabel(sheet, QStringLiteral("Lab") + name, caption, kCaptionX, y + 4);
  return AddList(sheet, QStringLiteral("CBox") + name, items,
                 QRect(FieldX(label, kListX), y, kListWidth, 24), label);
}

TFormSaveSettings::PcmLists BuildPcmLists(QWidget* sheet, const QString& prefix) {
  TFormSaveSettings::PcmLists lists;
  lists.Sps = AddRow(
      sheet, prefix + QStringLiteral("Sps"), TFormSaveSettings::tr("采样频率(&S)"),
      {QStringLiteral("44100 Hz"), QStringLiteral("22050 Hz "), QStringLiteral("11025 Hz ")}, 14);
  lists.Channel =
      AddRow(sheet, prefix + QStringLiteral("Channel"), TFormSaveSettings::tr("通道(&C)"),
             {TFormSaveSettings::tr("立体声"), TFormSaveSettings::tr("单声道")}, 56);
  lists.Bits =
      AddRow(sheet, prefix + QStringLiteral("Bits"), TFormSaveSettings::tr("比特/采样(&B)"),
             {TFormSaveSettings::tr("16位"), QStringLiteral("8  bit")}, 98);
  return lists;
}

// An unlisted rate leaves the list's selection as it was.
void ShowPcm(const TFormSaveSettings::PcmLists& lists, std::int32_t rate, std::uint16_t channels,
             std::uint16_t bits) {
  if (const int item = IndexOf(kSampleRates, rate); item >= 0) lists.Sps->setCurrentIndex(item);
  lists.Channel->setCurrentIndex(channels == 1 ? 1 : 0);
  lists.Bits->setCurrentIndex(bits == 8 ? 1 : 0);
}

void StorePcm(const TFormSaveSettings::PcmLists& lists, std::int32_t& rate, std::uint16_t& channels,
              std::uint16_t& bits) {
  rate = ValueAt(kSampleRates, lists.Sps, kSampleRates[0]);
  channels = lists.Channel->currentIndex() == 1 ? 1 : 2;
  bits = lists.Bits->currentIndex() == 1 ? 8 : 16;
}

// The page captions in page order (the order of SaveFormat): the chosen
// format's in capitals, the others in lower case.
constexpr std::array<const char*, 4> kCaptions{"WAV", "MP3", "FLAC", "OPUS"};

}  // namespace

TFormSaveSettings::TFormSaveSettings(Settings& settings, QWidget* parent, DialogOwner owner,
                                     std::function<void(const QString&)> refuse)
    : QDialog(parent),
      m_settings(settings),
      m_owner(std::move(owner)),
      m_refuse(std::move(refuse)) {
  setWindowTitle(tr("保存设置"));
  setFixedSize(kClientWidth, kClientHeight);

  m_pages = new QTabWidget(this);
  m_pages->setObjectName(QStringLiteral("PControlFormat"));
  m_pages->setGeometry(8, 8, 331, 214);
  BuildWavSheet();
  BuildMp3Sheet();
  BuildFlacSheet();
  BuildOpusSheet();
  m_pages->setCurrentWidget(m_sheetMp3);
  connect(m_pages, &QTabWidget::currentChanged, this, &TFormSaveSettings::PControlFormatChange);

  auto* ok = new QPushButton(tr("确定"), this);
  ok->setObjectName(QStringLiteral("BitBtnOK"));
  ok->setGeometry(168, 230, 83, 28);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton(tr("取消"), this);
  cancel->setObjectName(QStringLiteral("BitBtnCancel"));
  cancel->setGeometry(256, 230, 83, 28);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TFormSaveSettings::AddSheet(SaveFormat format, const QString& name) {
  auto* sheet = new QWidget;
  sheet->setObjectName(name);
  m_pages->addTab(sheet, QString::fromLatin1(kCaptions[static_cast<std::size_t>(format)]));
  return sheet;
}

void TFormSaveSettings::BuildWavSheet() {
  m_sheetWav = AddSheet(SaveFormat::Wav, QStringLiteral("TSheetWav"));
  m_wav = BuildPcmLists(m_sheetWav, QStringLiteral("Wav"));
  // The WAV page's rate list has kept its designed name.
  m_wav.Sps->setObjectName(QStringLiteral("CBoxWavSpsIn"));
}

void TFormSaveSettings::BuildMp3Sheet() {
  m_sheetMp3 = AddSheet(SaveFormat::Mp3, QStringLiteral("TSheetMP3"));
  const QStringList bitRates = NumberItems(kBitRates);

  QLabel* label =
      AddLabel(m_sheetMp3, QStringLiteral("LabMP3BitRate"), tr("比特率(&R), kbps"), 10, 6);
  m_mp3BitRate =
      AddList(m_sheetMp3, QStringLiteral("CBoxMP3BitRate"), bitRates, QRect(10, 26, 90, 24), label);
  m_mp3BitRate->setCurrentIndex(kDefaultBitRateItem);
  label = AddLabel(m_sheetMp3, QStringLiteral("LabMP3Mode"), tr("声道模式(&M)"), 112, 6);
  m_mp3Mode =
      AddList(m_sheetMp3, QStringLiteral("CBoxMP3Mode"),
              {tr("立体声"), tr("扩展立体声"), tr("单声道")}, QRect(112, 26, 110, 24), label);
  m_copyright = AddCheckBox(m_sheetMp3, QStringLiteral("ChBoxCopyright"), tr("版权(&Y)"),
                            QRect(238, 2, 86, 18));
  m_original = AddCheckBox(m_sheetMp3, QStringLiteral("ChBoxOriginal"), tr("原始(&I)"),
                           QRect(238, 21, 86, 18));
  m_private = AddCheckBox(m_sheetMp3, QStringLiteral("ChBoxPrivate"), tr("专用(&P)"),
                          QRect(238, 40, 86, 18));

  auto* vbr = new QGroupBox(tr("VBR - 变码率"), m_sheetMp3);
  vbr->setObjectName(QStringLiteral("GBoxVBR"));
  vbr->setGeometry(6, 58, 315, 120);
  m_enableVbr = AddCheckBox(vbr, QStringLiteral("ChBoxEnableVBR"), tr("启用变码率(&V)"),
                            QRect(10, 20, 140, 20));
  // The two bounds one above the other, each beside its caption; the quality
  // to their right, as wide as what is left.
  QLabel* lowest = AddLabel(vbr, QStringLiteral("LabMinBRate"), tr("最低码率(&L)"), 10, 48);
  QLabel* highest = AddLabel(vbr, QStringLiteral("LabMaxBRate"), tr("最高码率(&H)"), 10, 78);
  const int listX = std::max(FieldX(lowest, 80), FieldX(highest, 80));
  m_minBitRate =
      AddList(vbr, QStringLiteral("CBoxMinBRate"), bitRates, QRect(listX, 44, 70, 24), lowest);
  m_maxBitRate =
      AddList(vbr, QStringLiteral("CBoxMaxBRate"), bitRates, QRect(listX, 74, 70, 24), highest);
  m_maxBitRate->setCurrentIndex(kMaxBitRateItem);
  const int qualityX = listX + 70 + 16;
  label = AddLabel(vbr, QStringLiteral("LabVBRQuality"), tr("VBR 质量(&Q)"), qualityX, 44);
  m_vbrQuality = Named(new QSlider(Qt::Horizontal, vbr), label);
  m_vbrQuality->setObjectName(QStringLiteral("TBarVBRQuality"));
  m_vbrQuality->setRange(kBestVbrQuality, kFastestVbrQuality);
  m_vbrQuality->setPageStep(1);
  m_vbrQuality->setTickPosition(QSlider::TicksBelow);
  m_vbrQuality->setTickInterval(1);
  m_vbrQuality->setGeometry(qualityX, 64, 306 - qualityX, 26);
  AddLabel(vbr, QStringLiteral("LabBetter"), tr("较好"), qualityX, 94);
  QLabel* faster = AddLabel(vbr, QStringLiteral("LabFaster"), tr("较快"), 0, 94);
  faster->move(306 - faster->width(), 94);
}

void TFormSaveSettings::BuildFlacSheet() {
  m_sheetFlac = AddSheet(SaveFormat::Flac, QStringLiteral("TSheetFlac"));
  m_flac = BuildPcmLists(m_sheetFlac, QStringLiteral("Flac"));
  QLabel* label =
      AddLabel(m_sheetFlac, QStringLiteral("LabFlacLevel"), tr("压缩级别(&L)"), 20, 144);
  m_flacLevel = Named(new QSlider(Qt::Horizontal, m_sheetFlac), label);
  m_flacLevel->setObjectName(QStringLiteral("TBarFlacLevel"));
  m_flacLevel->setRange(0, kMaxFlacCompression);
  m_flacLevel->setPageStep(1);
  m_flacLevel->setTickPosition(QSlider::TicksBelow);
  m_flacLevel->setTickInterval(1);
  const int levelX = FieldX(label, 120);
  m_flacLevel->setGeometry(levelX, 138, 138, 26);
  m_flacLevel->setValue(kDefaultFlacCompression);
  AddLabel(m_sheetFlac, QStringLiteral("LabFlacFaster"), tr("较快"), levelX, 166);
  QLabel* smaller = AddLabel(m_sheetFlac, QStringLiteral("LabFlacSmaller"), tr("较小"), 0, 166);
  smaller->move(levelX + 138 - smaller->width(), 166);
}

void TFormSaveSettings::BuildOpusSheet() {
  m_sheetOpus = AddSheet(SaveFormat::Opus, QStringLiteral("TSheetOpus"));
  m_opusBitRate = AddRow(m_sheetOpus, QStringLiteral("OpusBitRate"), tr("比特率(&R), kbps"),
                         NumberItems(kOpusBitRates), 14);
  m_opusBitRate->setCurrentIndex(kDefaultOpusRateItem);
  m_opusChannel = AddRow(m_sheetOpus, QStringLiteral("OpusChannel"), tr("通道(&C)"),
                         {tr("立体声"), tr("单声道")}, 56);
}

void TFormSaveSettings::Execute() {
  const OwnedBy shownOver(*this, m_owner ? m_owner() : nullptr);
  FormShow();
  // What Cancel puts back: the format switching pages chose, and the lists'
  // items, which a list shows again next time when the settings hold a value it lacks.
  const Settings opened = m_settings;
  const QList<QComboBox*> lists = findChildren<QComboBox*>();
  QList<int> items;
  for (const QComboBox* list : lists) items << list->currentIndex();
  CentreOnScreen(*this);
  if (exec() == QDialog::Accepted) {
    FormClose();
    return;
  }
  m_settings.SaveWav = opened.SaveWav;
  m_settings.SaveMp3 = opened.SaveMp3;
  m_settings.SaveFlac = opened.SaveFlac;
  m_settings.SaveOpus = opened.SaveOpus;
  for (qsizetype i = 0; i < lists.size(); ++i) lists[i]->setCurrentIndex(items[i]);
}

void TFormSaveSettings::FormShow() {
  {
    // Choosing the page here is not the user's switch: it must not touch the settings.
    const QSignalBlocker quiet(m_pages);
    if (m_settings.SaveWav) m_pages->setCurrentWidget(m_sheetWav);
    if (m_settings.SaveMp3) m_pages->setCurrentWidget(m_sheetMp3);
    if (m_settings.SaveFlac) m_pages->setCurrentWidget(m_sheetFlac);
    if (m_settings.SaveOpus) m_pages->setCurrentWidget(m_sheetOpus);
  }
  RecaseCaptions();

  ShowPcm(m_wav, m_settings.SamplePerSecond, m_settings.Channels, m_settings.BitPerSample);
  ShowPcm(m_flac, m_settings.FlacSamplePerSecond, m_settings.FlacChannels,
          m_settings.FlacBitPerSample);
  m_flacLevel->setValue(m_settings.FlacCompression);  // the slider clamps to 0..8
  const int opusItem = IndexOf(kOpusBitRates, m_settings.OpusBitRate);
  m_opusBitRate->setCurrentIndex(opusItem >= 0 ? opusItem : kDefaultOpusRateItem);
  m_opusChannel->setCurrentIndex(m_settings.OpusChannels == 1 ? 1 : 0);

  const int bitRateItem = IndexOf(kBitRates, m_settings.BitRate);
  m_mp3BitRate->setCurrentIndex(bitRateItem >= 0 ? bitRateItem : 0);
  if (const int item = IndexOf(kModes, m_settings.Mode); item >= 0) {
    m_mp3Mode->setCurrentIndex(item);
  }
  const int minItem = IndexOf(kBitRates, m_settings.MinBitRate);
  m_minBitRate->setCurrentIndex(minItem >= 0 ? minItem : 0);
  const int maxItem = IndexOf(kBitRates, m_settings.MaxBitRate);
  m_maxBitRate->setCurrentIndex(maxItem >= 0 ? maxItem : kMaxBitRateItem);

  m_vbrQuality->setValue(m_settings.VBRQuality);  // the slider clamps to 0..8
  m_enableVbr->setChecked(m_settings.VBR);
  m_copyright->setChecked(m_settings.Copyright);
  m_original->setChecked(m_settings.Original);
  m_private->setChecked(m_settings.Private);
}

void TFormSaveSettings::FormClose() {
  PControlFormatChange();
  StorePcm(m_wav, m_settings.SamplePerSecond, m_settings.Channels, m_settings.BitPerSample);
  StorePcm(m_flac, m_settings.FlacSamplePerSecond, m_settings.FlacChannels,
           m_settings.FlacBitPerSample);
  m_settings.FlacCompression = m_flacLevel->value();
  m_settings.OpusBitRate =
      ValueAt(kOpusBitRates, m_opusBitRate, kOpusBitRates[kDefaultOpusRateItem]);
  m_settings.OpusChannels = m_opusChannel->currentIndex() == 1 ? 1 : 2;
  m_settings.BitRate = ValueAt(kBitRates, m_mp3BitRate, kBitRates[kDefaultBitRateItem]);
  m_settings.Mode = ValueAt(kModes, m_mp3Mode, kModes[0]);
  m_settings.VBR = m_enableVbr->isChecked();
  m_settings.MinBitRate = ValueAt(kBitRates, m_minBitRate, kBitRates.front());
  m_settings.MaxBitRate = ValueAt(kBitRates, m_maxBitRate, kBitRates.back());
  m_settings.VBRQuality = m_vbrQuality->value();
  m_settings.Copyright = m_copyright->isChecked();
  m_settings.Original = m_original->isChecked();
  m_settings.Private = m_private->isChecked();
}

void TFormSaveSettings::done(int result) {
  if (result != QDialog::Accepted) {
    QDialog::done(result);
    return;
  }
  // Checked whether VBR is on or not: the bounds are kept for when it is.
  const std::string problem = VbrBoundsProblem(ValueAt(kBitRates, m_minBitRate, kBitRates.front()),
                                               ValueAt(kBitRates, m_maxBitRate, kBitRates.back()));
  if (problem.empty()) {
    QDialog::done(result);
  } else if (m_refuse) {
    m_refuse(QString::fromStdString(problem));
  } else {
    QMessageBox::information(this, QStringLiteral("Tavrin Recorder"),
                             QString::fromStdString(problem));
  }
}

void TFormSaveSettings::closeEvent(QCloseEvent* event) {
  // The close box stores what is shown, as OK does, and is refused as OK is.
  if (isVisible()) accept();
  event->setAccepted(!isVisible());
}

void TFormSaveSettings::PControlFormatChange() {
  ChooseFormat(m_settings, ActiveFormat());
  RecaseCaptions();
}

void TFormSaveSettings::RecaseCaptions() {
  const auto active = static_cast<std::size_t>(ActiveFormat());
  for (std::size_t page = 0; page < kCaptions.size(); ++page) {
    const QString caption = QString::fromLatin1(kCaptions[page]);
    m_pages->setTabText(static_cast<int>(page), page == active ? caption : caption.toLower());
  }
}

SaveFormat TFormSaveSettings::ActiveFormat() const {
  return static_cast<SaveFormat>(m_pages->currentIndex());
}

}  // namespace tavrin::settings
