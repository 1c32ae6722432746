#include "settings/form_save_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
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

QComboBox* AddList(QWidget* parent, const QString& name, const QStringList& items,
                   const QRect& geometry) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  list->setGeometry(geometry);
  return list;
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

TFormSaveSettings::PcmLists BuildPcmLists(QWidget* sheet, const QString& prefix) {
  TFormSaveSettings::PcmLists lists;
  AddLabel(sheet, QStringLiteral("Lab%1Sps").arg(prefix), TFormSaveSettings::tr("采样频率"), 20,
           18);
  lists.Sps = AddList(
      sheet, QStringLiteral("CBox%1Sps").arg(prefix),
      {QStringLiteral("44100 Hz"), QStringLiteral("22050 Hz "), QStringLiteral("11025 Hz ")},
      QRect(120, 14, 130, 24));
  AddLabel(sheet, QStringLiteral("Lab%1Channel").arg(prefix), TFormSaveSettings::tr("通道"), 20,
           60);
  lists.Channel = AddList(sheet, QStringLiteral("CBox%1Channel").arg(prefix),
                          {TFormSaveSettings::tr("立体声"), TFormSaveSettings::tr("单声道")},
                          QRect(120, 56, 130, 24));
  AddLabel(sheet, QStringLiteral("Lab%1Bits").arg(prefix), TFormSaveSettings::tr("比特/采样"), 20,
           102);
  lists.Bits =
      AddList(sheet, QStringLiteral("CBox%1Bits").arg(prefix),
              {TFormSaveSettings::tr("16位"), QStringLiteral("8  bit")}, QRect(120, 98, 130, 24));
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
  ok->setGeometry(256, 230, 83, 28);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
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

  AddLabel(m_sheetMp3, QStringLiteral("LabMP3BitRate"), tr("比特率, kbps"), 10, 6);
  m_mp3BitRate =
      AddList(m_sheetMp3, QStringLiteral("CBoxMP3BitRate"), bitRates, QRect(10, 26, 90, 24));
  m_mp3BitRate->setCurrentIndex(kDefaultBitRateItem);
  AddLabel(m_sheetMp3, QStringLiteral("LabMP3Mode"), tr("声道模式"), 112, 6);
  m_mp3Mode = AddList(m_sheetMp3, QStringLiteral("CBoxMP3Mode"),
                      {tr("立体声"), tr("扩展立体声"), tr("单声道")}, QRect(112, 26, 110, 24));
  m_copyright =
      AddCheckBox(m_sheetMp3, QStringLiteral("ChBoxCopyright"), tr("版权"), QRect(238, 2, 86, 20));
  m_original =
      AddCheckBox(m_sheetMp3, QStringLiteral("ChBoxOriginal"), tr("原始"), QRect(238, 20, 86, 20));
  m_private =
      AddCheckBox(m_sheetMp3, QStringLiteral("ChBoxPrivate"), tr("专用"), QRect(238, 38, 86, 20));

  auto* vbr = new QGroupBox(tr("VBR - 变码率"), m_sheetMp3);
  vbr->setObjectName(QStringLiteral("GBoxVBR"));
  vbr->setGeometry(6, 58, 315, 120);
  m_enableVbr =
      AddCheckBox(vbr, QStringLiteral("ChBoxEnableVBR"), tr("启用变码率"), QRect(10, 20, 140, 20));
  AddLabel(vbr, QStringLiteral("LabMinBRate"), tr("最低码率"), 10, 46);
  m_minBitRate = AddList(vbr, QStringLiteral("CBoxMinBRate"), bitRates, QRect(10, 64, 70, 24));
  AddLabel(vbr, QStringLiteral("LabMaxBRate"), tr("最高码率"), 90, 46);
  m_maxBitRate = AddList(vbr, QStringLiteral("CBoxMaxBRate"), bitRates, QRect(90, 64, 70, 24));
  m_maxBitRate->setCurrentIndex(kMaxBitRateItem);
  AddLabel(vbr, QStringLiteral("LabVBRQuality"), tr("VBR 质量"), 176, 46);
  m_vbrQuality = new QSlider(Qt::Horizontal, vbr);
  m_vbrQuality->setObjectName(QStringLiteral("TBarVBRQuality"));
  m_vbrQuality->setRange(kBestVbrQuality, kFastestVbrQuality);
  m_vbrQuality->setPageStep(1);
  m_vbrQuality->setTickPosition(QSlider::TicksBelow);
  m_vbrQuality->setTickInterval(1);
  m_vbrQuality->setGeometry(172, 64, 134, 26);
  AddLabel(vbr, QStringLiteral("LabBetter"), tr("较好"), 172, 94);
  QLabel* faster = AddLabel(vbr, QStringLiteral("LabFaster"), tr("较快"), 0, 94);
  faster->move(306 - faster->width(), 94);
}

void TFormSaveSettings::BuildFlacSheet() {
  m_sheetFlac = AddSheet(SaveFormat::Flac, QStringLiteral("TSheetFlac"));
  m_flac = BuildPcmLists(m_sheetFlac, QStringLiteral("Flac"));
  AddLabel(m_sheetFlac, QStringLiteral("LabFlacLevel"), tr("压缩级别"), 20, 144);
  m_flacLevel = new QSlider(Qt::Horizontal, m_sheetFlac);
  m_flacLevel->setObjectName(QStringLiteral("TBarFlacLevel"));
  m_flacLevel->setRange(0, kMaxFlacCompression);
  m_flacLevel->setPageStep(1);
  m_flacLevel->setTickPosition(QSlider::TicksBelow);
  m_flacLevel->setTickInterval(1);
  m_flacLevel->setGeometry(116, 138, 138, 26);
  m_flacLevel->setValue(kDefaultFlacCompression);
  AddLabel(m_sheetFlac, QStringLiteral("LabFlacFaster"), tr("较快"), 116, 166);
  QLabel* smaller = AddLabel(m_sheetFlac, QStringLiteral("LabFlacSmaller"), tr("较小"), 0, 166);
  smaller->move(254 - smaller->width(), 166);
}

void TFormSaveSettings::BuildOpusSheet() {
  m_sheetOpus = AddSheet(SaveFormat::Opus, QStringLiteral("TSheetOpus"));
  AddLabel(m_sheetOpus, QStringLiteral("LabOpusBitRate"), tr("比特率, kbps"), 20, 18);
  m_opusBitRate = AddList(m_sheetOpus, QStringLiteral("CBoxOpusBitRate"),
                          NumberItems(kOpusBitRates), QRect(120, 14, 130, 24));
  m_opusBitRate->setCurrentIndex(kDefaultOpusRateItem);
  AddLabel(m_sheetOpus, QStringLiteral("LabOpusChannel"), tr("通道"), 20, 60);
  m_opusChannel = AddList(m_sheetOpus, QStringLiteral("CBoxOpusChannel"),
                          {tr("立体声"), tr("单声道")}, QRect(120, 56, 130, 24));
}

void TFormSaveSettings::Execute() {
  const OwnedBy shownOver(*this, m_owner ? m_owner() : nullptr);
  FormShow();
  CentreOnScreen(*this);
  exec();
  FormClose();
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
