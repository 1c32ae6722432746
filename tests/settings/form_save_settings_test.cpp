#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <initializer_list>

#include "settings/form_save_settings.h"

namespace tavrin::settings {

class FormSaveSettingsTest : public QObject {
  Q_OBJECT

private:
  enum class CloseBy { Ok, CloseBox, Escape, Cancel };

  template <typename T = QComboBox>
  static T* Get(TFormSaveSettings& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QLatin1String(name));
    if (!child) qFatal("no child %s", name);
    return child;
  }
  static QString Shown(TFormSaveSettings& dialog, const char* list) {
    return Get(dialog, list)->currentText();
  }
  static QStringList Shown(TFormSaveSettings& dialog, std::initializer_list<const char*> lists) {
    QStringList shown;
    for (const char* list : lists) shown << Shown(dialog, list);
    return shown;
  }
  // The page captions, then the active page's name.
  static QStringList Tabs(TFormSaveSettings& dialog) {
    auto* pages = Get<QTabWidget>(dialog, "PControlFormat");
    QStringList tabs;
    for (int page = 0; page < pages->count(); ++page) tabs << pages->tabText(page);
    return tabs << pages->currentWidget()->objectName();
  }
  static QString Export(const Settings& s) {
    return QStringLiteral(
               "wav=%1 mp3=%2 sps=%3 bits=%4 ch=%5 rate=%6 mode=%7 vbr=%8 min=%9 "
               "max=%10 q=%11 c=%12 o=%13 p=%14")
        .arg(s.SaveWav)
        .arg(s.SaveMp3)
        .arg(s.SamplePerSecond)
        .arg(s.BitPerSample)
        .arg(s.Channels)
        .arg(s.BitRate)
        .arg(s.Mode)
        .arg(s.VBR)
        .arg(s.MinBitRate)
        .arg(s.MaxBitRate)
        .arg(s.VBRQuality)
        .arg(s.Copyright)
        .arg(s.Original)
        .arg(s.Private);
  }
  static void Close(TFormSaveSettings& dialog, CloseBy closeBy) {
    switch (closeBy) {
    case CloseBy::Ok:
      QTest::mouseClick(Get<QPushButton>(dialog, "BitBtnOK"), Qt::LeftButton);
      break;
    case CloseBy::CloseBox: dialog.close(); break;
    case CloseBy::Escape: QTest::keyClick(&dialog, Qt::Key_Escape); break;
    case CloseBy::Cancel:
      QTest::mouseClick(Get<QPushButton>(dialog, "BitBtnCancel"), Qt::LeftButton);
      break;
    }
  }
  // Runs `whileOpen` once the modal dialog is on screen, then closes it.
  static void Run(TFormSaveSettings& dialog, std::function<void()> whileOpen = {},
                  CloseBy closeBy = CloseBy::Ok) {
    QTimer::singleShot(0, &dialog, [&dialog, whileOpen, closeBy] {
      if (!QTest::qWaitForWindowExposed(&dialog)) qWarning("the dialog was not exposed");
      if (whileOpen) whileOpen();
      Close(dialog, closeBy);
      // A failed check must not hang the test, not even on a refusal.
      if (dialog.isVisible()) dialog.QDialog::done(QDialog::Rejected);
    });
    dialog.Execute();
  }

private slots:
  void createdWithItsItemsAndSize() {
    Settings settings;
    TFormSaveSettings dialog(settings);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("保存设置"));
    QCOMPARE(dialog.size(), QSize(347, 266));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(Get(dialog, "CBoxWavSpsIn")->itemText(1), QStringLiteral("22050 Hz "));
    QCOMPARE(Get(dialog, "CBoxWavBits")->itemText(1), QStringLiteral("8  bit"));
    QCOMPARE(Get(dialog, "CBoxMP3BitRate")->count(), 14);
    QCOMPARE(Shown(dialog, {"CBoxWavSpsIn", "CBoxWavChannel", "CBoxWavBits", "CBoxMP3BitRate",
                            "CBoxMP3Mode", "CBoxMinBRate", "CBoxMaxBRate"}),
             (QStringList{"44100 Hz", "立体声", "16位", "128", "立体声", "32", "320"}));
    QCOMPARE(Tabs(dialog), (QStringList{"WAV", "MP3", "FLAC", "OPUS", "TSheetMP3"}));
  }

  void bothFormatsOpenOnMp3AndSwitchingFlipsTheFormatAtOnce() {
    Settings settings;
    settings.SaveWav = settings.SaveMp3 = true;
    TFormSaveSettings dialog(settings);
    QStringList onShow, afterWav, afterMp3;
    QString formatAfterWav, formatAfterMp3;
    bool limitsEnabled = false;
    Run(dialog, [&] {
      QTabBar* bar = Get<QTabWidget>(dialog, "PControlFormat")->tabBar();
      onShow = Tabs(dialog);
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
      afterWav = Tabs(dialog);
      formatAfterWav = QStringLiteral("%1%2").arg(settings.SaveWav).arg(settings.SaveMp3);
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
      afterMp3 = Tabs(dialog);
      formatAfterMp3 = QStringLiteral("%1%2").arg(settings.SaveWav).arg(settings.SaveMp3);
      // VBR is off, yet its limits and quality stay usable.
      limitsEnabled = Get(dialog, "CBoxMinBRate")->isEnabled() &&
                      Get(dialog, "CBoxMaxBRate")->isEnabled() &&
                      Get<QSlider>(dialog, "TBarVBRQuality")->isEnabled();
    });
    QCOMPARE(onShow, (QStringList{"wav", "MP3", "flac", "opus", "TSheetMP3"}));
    QCOMPARE(afterWav, (QStringList{"WAV", "mp3", "flac", "opus", "TSheetWav"}));
    QCOMPARE(formatAfterWav, QStringLiteral("10"));
    QCOMPARE(afterMp3, (QStringList{"wav", "MP3", "flac", "opus", "TSheetMP3"}));
    QCOMPARE(formatAfterMp3, QStringLiteral("01"));
    QVERIFY(limitsEnabled);

    // Closing without a switch still leaves exactly one format.
    settings.SaveWav = settings.SaveMp3 = true;
    Run(dialog);
    QVERIFY(!settings.SaveWav && settings.SaveMp3);
    settings.SaveWav = true;
    settings.SaveMp3 = false;
    Run(dialog, [&] { onShow = Tabs(dialog); });
    QCOMPARE(onShow, (QStringList{"WAV", "mp3", "flac", "opus", "TSheetWav"}));
    QVERIFY(settings.SaveWav && !settings.SaveMp3);
  }

  // Through the settings file: what the dialog stores is read back, and the
  // dialog opens on the page the file chose, also for a file older than FLAC and Opus.
  void pagesAndOptionsLastThroughTheSettingsFile() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("tavrin-recorder.INI")).toStdString();
    const auto load = [&] {
      Settings settings;
      LoadSettings(settings, path);
      return settings;
    };
    QFile old(QString::fromStdString(path));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("[Save Format]\nWav=1\nMP3=0\nSamplePerSecond=22050\n");
    old.close();
    Settings settings = load();
    TFormSaveSettings dialog(settings);
    QStringList shown;
    Run(dialog, [&] { shown = Tabs(dialog) << Shown(dialog, "CBoxWavSpsIn"); });
    QCOMPARE(shown, (QStringList{"WAV", "mp3", "flac", "opus", "TSheetWav", "22050 Hz "}));

    Run(dialog, [&] {
      Get<QTabWidget>(dialog, "PControlFormat")->setCurrentIndex(2);
      Get(dialog, "CBoxFlacSps")->setCurrentIndex(2);
      Get(dialog, "CBoxFlacChannel")->setCurrentIndex(1);
      Get(dialog, "CBoxFlacBits")->setCurrentIndex(1);
      Get<QSlider>(dialog, "TBarFlacLevel")->setValue(8);
      Get(dialog, "CBoxOpusBitRate")->setCurrentIndex(0);
      Get(dialog, "CBoxOpusChannel")->setCurrentIndex(1);
    });
    QCOMPARE(SaveSettings(settings, path), 0);
    Settings back = load();
    QVERIFY(back == settings);
    QCOMPARE(ChosenFormat(back), SaveFormat::Flac);
    QCOMPARE(back.SamplePerSecond, 22050);  // the WAV page's own rate is untouched
    // FLAC rate, channels, bits and level; Opus bit rate and channels.
    QCOMPARE(QList<int>({back.FlacSamplePerSecond, back.FlacChannels, back.FlacBitPerSample,
                         back.FlacCompression, back.OpusBitRate, back.OpusChannels}),
             QList<int>({11025, 1, 8, 8, 16, 1}));

    TFormSaveSettings fresh(back);
    Run(fresh, [&] {
      shown = Tabs(fresh) << Shown(fresh, "CBoxFlacSps") << Shown(fresh, "CBoxOpusBitRate");
      shown << QString::number(Get<QSlider>(fresh, "TBarFlacLevel")->value());
      Get<QTabWidget>(fresh, "PControlFormat")->setCurrentIndex(3);
    });
    QCOMPARE(shown,
             (QStringList{"wav", "mp3", "FLAC", "opus", "TSheetFlac", "11025 Hz ", "16", "8"}));
    QCOMPARE(SaveSettings(back, path), 0);
    TFormSaveSettings again(settings = load());
    Run(again, [&] { shown = Tabs(again); });
    QCOMPARE(shown, (QStringList{"wav", "mp3", "flac", "OPUS", "TSheetOpus"}));
  }

  void unlistedValuesKeepOrFallBack() {
    Settings settings;
    settings.SamplePerSecond = 48000;
    settings.BitRate = 100;
    settings.MinBitRate = 33;
    settings.MaxBitRate = 321;
    settings.Mode = 2;
    settings.VBRQuality = 12;
    TFormSaveSettings dialog(settings);
    QStringList shown;
    const auto read = [&] {
      shown = Shown(dialog, {"CBoxWavSpsIn", "CBoxMP3BitRate", "CBoxMinBRate", "CBoxMaxBRate",
                             "CBoxMP3Mode"});
    };
    Run(dialog, read);
    QCOMPARE(shown, (QStringList{"44100 Hz", "32", "32", "320", "立体声"}));
    QCOMPARE(settings.SamplePerSecond, 44100);
    QCOMPARE(settings.BitRate, 32);
    QCOMPARE(settings.MinBitRate, 32);
    QCOMPARE(settings.MaxBitRate, 320);
    QCOMPARE(settings.Mode, 0);
    QCOMPARE(settings.VBRQuality, 8);

    // Rate and mode remember the last choice; the bit-rate lists do not.
    settings = Settings{.SamplePerSecond = 22050,
                        .BitRate = 256,
                        .Mode = 3,
                        .MinBitRate = 64,
                        .MaxBitRate = 192,
                        .VBRQuality = -3};
    Run(dialog);
    settings.SamplePerSecond = 8000;
    settings.Mode = -1;
    Run(dialog, read);
    QCOMPARE(shown, (QStringList{"22050 Hz ", "256", "64", "192", "单声道"}));
    QCOMPARE(settings.SamplePerSecond, 22050);
    QCOMPARE(settings.Mode, 3);
    QCOMPARE(settings.VBRQuality, 0);
  }

  void okAndTheCloseBoxStoreWhatIsShownCancelAndEscapeDiscardIt() {
    const Settings expected{.SaveWav = true,
                            .SamplePerSecond = 11025,
                            .BitPerSample = 8,
                            .Channels = 1,
                            .SaveMp3 = false,
                            .BitRate = 224,
                            .Mode = 3,
                            .VBR = true,
                            .MinBitRate = 64,
                            .MaxBitRate = 256,
                            .VBRQuality = 5,
                            .Copyright = true,
                            .Original = false,
                            .Private = true};
    for (const CloseBy closeBy :
         {CloseBy::Ok, CloseBy::CloseBox, CloseBy::Escape, CloseBy::Cancel}) {
      const bool stores = closeBy == CloseBy::Ok || closeBy == CloseBy::CloseBox;
      Settings settings;  // MP3, 44100 Hz, 16 bit, stereo, 128 kbps, VBR off 32..320
      QStringList refusals;
      TFormSaveSettings dialog(settings, nullptr, {},
                               [&](const QString& text) { refusals << text; });
      bool refusedOpen = false;
      const auto chooseEverything = [&] {
        // Reversed VBR bounds are refused by OK; nothing is stored.
        Get(dialog, "CBoxMinBRate")->setCurrentIndex(13);
        Get(dialog, "CBoxMaxBRate")->setCurrentIndex(0);
        Close(dialog, CloseBy::Ok);
        refusedOpen = dialog.isVisible() && settings.MinBitRate == 32 && settings.MaxBitRate == 320;
        Get(dialog, "CBoxMP3BitRate")->setFocus();  // 128 up to 224 by the keyboard
        for (int step = 0; step < 3; ++step) QTest::keyClick(dialog.focusWidget(), Qt::Key_Down);
        Get<QTabWidget>(dialog, "PControlFormat")->setCurrentIndex(0);
        Get(dialog, "CBoxWavSpsIn")->setCurrentIndex(2);
        Get(dialog, "CBoxWavBits")->setCurrentIndex(1);
        Get(dialog, "CBoxWavChannel")->setCurrentIndex(1);
        Get(dialog, "CBoxMP3Mode")->setCurrentIndex(2);
        Get<QCheckBox>(dialog, "ChBoxEnableVBR")->setChecked(true);
        Get(dialog, "CBoxMinBRate")->setCurrentIndex(4);
        Get(dialog, "CBoxMaxBRate")->setCurrentIndex(12);
        Get<QSlider>(dialog, "TBarVBRQuality")->setValue(5);
        Get<QCheckBox>(dialog, "ChBoxCopyright")->setChecked(true);
        Get<QCheckBox>(dialog, "ChBoxPrivate")->setChecked(true);
      };
      Run(dialog, chooseEverything, closeBy);
      QVERIFY(refusedOpen);
      QCOMPARE(refusals, QStringList{"The lowest VBR bit rate must not be above the highest."});
      QCOMPARE(Export(settings), Export(stores ? expected : Settings{}));

      // Shown again from those values, the dialog stores them unchanged; an
      // unlisted rate as the rate its list showed when last opened.
      settings.Mode = 1;
      settings.Copyright = false;
      settings.Original = true;
      settings.SamplePerSecond = 48000;
      Settings again = settings;
      again.SamplePerSecond = stores ? 11025 : 44100;
      Run(dialog);
      QCOMPARE(Export(settings), Export(again));
    }
  }
};

}  // namespace tavrin::settings

QTEST_MAIN(tavrin::settings::FormSaveSettingsTest)
#include "form_save_settings_test.moc"
