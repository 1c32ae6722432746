// Every dialog and message box the program raises belongs to the window the
// user is working in: the editor while it is open, else the recorder window.
// Each is raised in turn, for real, and checked to be that window's child and
// transient; it and both windows speak the language the desktop asks for
// (run with LANGUAGE=en, and QT_SCALE_FACTOR=2, for English), with every
// caption fitting its place and every control named for a screen reader, and
// every question defaulting to No. Where a window manager
// answers (tests/gui/on-desktop.sh openbox) it must also stack the dialog above that window and
// give it the keyboard focus; on Wayland (on-desktop.sh weston) the compositor keeps its stacking
// to itself, so only the ownership is checked there.
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QWindow>
#include <QtTest/QtTest>
#include <fstream>
#include <functional>

#include "dialog_fields.h"
#include "editor/window/form_edit.h"
#include "export/form_progress.h"
#include "form_main_fixture.h"
#include "recorder_ui/desktop_channel.h"
#include "recorder_ui/language.h"
#include "recovery/test_take.h"
#include "settings/form_save_settings.h"
#include "window_texts.h"

using tavrin::testing::MainWindowRig;
using namespace tavrin;

namespace {

// The program speaks English here (else its Chinese source texts).
bool g_english = false;

// `window`'s text faults, each named after where it was seen.
QStringList TextFaultsOf(const QString& name, QWidget& window) {
  QStringList faults = tavrin::testing::TextFaults(window, g_english);
  for (QString& fault : faults) fault.prepend(name + QStringLiteral(": "));
  return faults;
}

// What the window manager says: its stacking of the client windows (bottom
// first) and the window it gave the focus to. Empty without one.
struct Stacking {
  std::vector<WId> Order;
  WId Active = 0;
};

bool UnderWindowManager() {
  return QGuiApplication::platformName() == QStringLiteral("xcb");
}

Stacking ReadStacking() {
  Stacking stacking;
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"),
              {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING"),
               QStringLiteral("_NET_ACTIVE_WINDOW")});
  if (!xprop.waitForFinished(5000)) return stacking;
  static const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
  for (const QString& line : QString::fromLocal8Bit(xprop.readAllStandardOutput()).split('\n')) {
    auto ids = id.globalMatch(line);
    while (ids.hasNext()) {
      const WId window = ids.next().captured().toULongLong(nullptr, 16);
      if (line.startsWith(QStringLiteral("_NET_CLIENT_LIST_STACKING"))) {
        stacking.Order.push_back(window);
      } else {
        stacking.Active = window;
      }
    }
  }
  return stacking;
}

QString Hex(WId window) {
  return QStringLiteral("0x%1").arg(window, 0, 16);
}

// Why `dialog` does not stand as a window of `owner` should; empty when it does.
QString OwnershipFault(QWidget& dialog, QWidget& owner) {
  QStringList faults;
  if (dialog.parentWidget() != &owner) {
    faults << QStringLiteral("its parent is %1")
                  .arg(dialog.parentWidget() ? dialog.parentWidget()->metaObject()->className()
                                             : "none");
  }
  const QWindow* window = dialog.windowHandle();
  if (!window || window->transientParent() != owner.windowHandle()) {
    faults << QStringLiteral("not transient for its owner");
  }
  if (UnderWindowManager()) {
    const Stacking stacking = ReadStacking();
    const auto at = [&](WId id) {
      return std::find(stacking.Order.begin(), stacking.Order.end(), id);
    };
    const auto dialogAt = at(dialog.winId());
    const auto ownerAt = at(owner.winId());
    if (dialogAt == stacking.Order.end() || ownerAt == stacking.Order.end() || dialogAt < ownerAt) {
      QStringList listed;
      for (const WId id : stacking.Order) listed << Hex(id);
      faults << QStringLiteral("stacked below its owner (dialog %1, owner %2, bottom first: %3)")
                    .arg(Hex(dialog.winId()), Hex(owner.winId()), listed.join(QLatin1Char(' ')));
    }
    if (stacking.Active != dialog.winId() || QGuiApplication::focusWindow() != window) {
      faults << QStringLiteral("not focused (the window manager's active window is %1)")
                    .arg(Hex(stacking.Active));
    }
  }
  return faults.join(QStringLiteral("; "));
}

// One dialog raised by the program: how it is raised and the window that must own it.
struct Raised {
  QString Name;
  std::function<QWidget*()> Owner;
  std::function<void()> Raise;  // returns when the dialog closes
};

// Checks the dialog `raised` brings up, and closes it: empty when it stood as
// it should, else what was wrong. A handler may let events run before its
// dialog comes up, so the check starts when a new modal window shows.
QString CheckWhenUp(const Raised& raised) {
  QWidget* owner = raised.Owner();
  QString fault = QStringLiteral("no dialog came up");
  QStringList texts;
  bool checked = false;
  QTimer watch;
  watch.setInterval(20);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog == owner || !dialog->isVisible()) return;
    // Laid out and on the screen: under a window manager a box is mapped a moment after show().
    if (!dialog->windowHandle() || !dialog->windowHandle()->isExposed()) return;
    watch.stop();
    texts = TextFaultsOf(raised.Name, *dialog);
    // Qt's own file dialog aside.
    if (!qobject_cast<QFileDialog*>(dialog)) {
      for (const QString& fault : tavrin::testing::FieldFaults(*dialog))
        texts << raised.Name + ": " + fault;
    }
    // A question asks before something is thrown away: Enter must keep it.
    if (auto* box = qobject_cast<QMessageBox*>(dialog);
        box && box->button(QMessageBox::No) &&
        box->defaultButton() != box->button(QMessageBox::No)) {
      texts << raised.Name + QStringLiteral(": the default answer is not No");
    }
    static_cast<void>(QTest::qWaitFor(
        [&] {
          fault = OwnershipFault(*dialog, *owner);
          return fault.isEmpty();
        },
        5000));
    if (auto* box = qobject_cast<QDialog*>(dialog)) {
      box->reject();
    } else {
      dialog->close();
    }
    checked = true;
  });
  watch.start();
  raised.Raise();
  static_cast<void>(QTest::qWaitFor([&] { return checked; }, 10000));
  if (!fault.isEmpty()) texts.prepend(raised.Name + QStringLiteral(": ") + fault);
  return texts.join(QLatin1Char('\n'));
}

// Raises each in turn; the faults found.
QStringList CheckEach(const std::vector<Raised>& dialogs) {
  QStringList faults;
  for (const Raised& raised : dialogs) {
    if (QString fault = CheckWhenUp(raised); !fault.isEmpty()) faults << fault;
  }
  return faults;
}

}  // namespace

class DialogOwnerTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void everyDialogBelongsToTheWindowInUse();
};

void DialogOwnerTest::initTestCase() {
  // As the program does at its start, from the build's translations.
  const std::string problem =
      recorder_ui::InstallTranslations(*QCoreApplication::instance(), TAVRIN_TRANSLATIONS_DIR);
  QVERIFY2(problem.empty(), problem.c_str());
  g_english = !recorder_ui::TranslationFor(QLocale::system().uiLanguages(), TAVRIN_TRANSLATIONS_DIR)
                   .isEmpty();
}

void DialogOwnerTest::everyDialogBelongsToTheWindowInUse() {
  MainWindowRig rig("dialog-owner");
  recorder_ui::MainWindowServices services = rig.Services();
  // The program's own boxes, file dialogs and editor, not the test's answers.
  services.User = recorder_ui::DesktopUserChannel(
      [&rig]() -> QWidget* { return rig.Form ? rig.Form->WorkingWindow() : nullptr; });
  services.ExecFileDialog = {};
  services.ShowEditor = {};
  recorder_ui::TFormMain& form = rig.Create(services);
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  form.TimerStatusTimer();
  QVERIFY(rig.State.DeviceOpen);
  const auto recorder = [&form]() -> QWidget* { return &form; };
  QStringList faults = TextFaultsOf(QStringLiteral("recorder"), form);
  for (const QString& fault : tavrin::testing::FieldFaults(form)) faults << "recorder: " + fault;
  // The source texts where the desktop is Chinese or C, exactly as they were.
  if (!g_english) QCOMPARE(form.menuBar()->actions().value(0)->text(), QStringLiteral("文件(&F)"));

  rig.Record(30);
  faults += CheckEach({
      {QStringLiteral("closing while recording"), recorder, [&] { form.close(); }},
  });
  QVERIFY(form.isVisible());
  form.BtnStopClick();
  faults += CheckEach({
      {QStringLiteral("recorder: save as"), recorder, [&] { form.menuSaveAsClick(); }},
      {QStringLiteral("recorder: save settings"), recorder, [&] { form.menuSaveSettingsClick(); }},
      {QStringLiteral("recorder: colours"), recorder, [&] { form.menuSkinClick(); }},
      {QStringLiteral("recorder: about"), recorder, [&] { form.menuAboutClick(); }},
      {QStringLiteral("recorder: timer"), recorder, [&] { form.menuTimerClick(); }},
      {QStringLiteral("recorder: help missing"), recorder, [&] { form.TavrinRecorderHelpClick(); }},
  });

  // A take left by an earlier run makes the editor open with the recovery dialog.
  std::ofstream(recovery::TestTakePath(rig.State)).put('\0');
  auto* editor = form.findChild<editor::TFormEdit*>();
  QVERIFY(editor);
  const auto editing = [editor]() -> QWidget* { return editor; };
  bool editorChecked = false;
  QTimer::singleShot(0, [&] {
    faults += CheckEach({{QStringLiteral("editor: recovery dialog"), editing, [] {}}});
    // Once the editor is up, the rest of its dialogs.
    QTimer::singleShot(0, [&] {
      const bool shown = editor->isVisible();
      if (!shown) faults << QStringLiteral("the editor did not open");
      if (shown) {
        faults += TextFaultsOf(QStringLiteral("editor"), *editor);
        for (const QString& fault : tavrin::testing::FieldFaults(*editor))
          faults << "editor: " + fault;
        rig.Document.SelEnd = rig.Document.SelStart;
        settings::ChooseFormat(rig.Settings, settings::SaveFormat::Flac);  // its page this time
        faults += CheckEach({
            {QStringLiteral("editor: save selection without one"), editing,
             [&] { editor->menuSaveSelectionClick(); }},
            {QStringLiteral("editor: save settings"), editing,
             [&] { editor->menuSaveSettingsClick(); }},
            {QStringLiteral("editor: save all"), editing, [&] { editor->menuSaveAllClick(); }},
            {QStringLiteral("editor: amplify"), editing, [&] { editor->menuAmplifyClick(); }},
            {QStringLiteral("editor: about"), editing, [&] { editor->menuAboutClick(); }},
            {QStringLiteral("editor: help missing"), editing,
             [&] { editor->menuTavrinHelpClick(); }},
        });
      }
      editorChecked = true;
      editor->close();
    });
  });
  form.BtnEditClick();
  QVERIFY(editorChecked);
  // With the editor closed the shared dialog is the recorder's again, and
  // still lives as long as the recorder window.
  faults += CheckEach({{QStringLiteral("recorder after the editor: save settings"), recorder,
                        [&] { form.menuSaveSettingsClick(); }}});
  QCOMPARE(form.SaveSettingsDialog().parentWidget(), &form);
  // The progress of a save, as it shows.
  auto* progress = form.findChild<exporter::TFormProgress*>();
  QVERIFY(progress);
  progress->show();
  faults += TextFaultsOf(QStringLiteral("progress"), *progress);
  progress->hide();
  QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

QTEST_MAIN(DialogOwnerTest)
#include "dialog_owner_test.moc"
