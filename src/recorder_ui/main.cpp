// Tavrin Recorder: settings first, then the recorder window on PulseAudio.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "capture/work_files.h"
#include "decode/decode_to_take.h"
#include "decode/ffmpeg_module.h"
#include "editor/edit_context.h"
#include "platform/input_mixer_pulse.h"
#include "platform/paired_wave_in.h"
#include "platform/pulse_connection.h"
#include "platform/sleep_inhibitor_logind.h"
#include "platform/sound_panels_desktop.h"
#include "platform/wave_in_pulse.h"
#include "platform/wave_out_pulse.h"
#include "recorder_ui/command_line.h"
#include "recorder_ui/desktop_channel.h"
#include "recorder_ui/form_main.h"
#include "recorder_ui/instance_link.h"
#include "recorder_ui/language.h"
#include "settings/program_files.h"
#include "settings/settings.h"

using namespace tavrin;

namespace {

// For the start-up benchmark: prints the time from the launch moment that the
// caller put in TAVRIN_LAUNCH_NS (ns since the epoch) to the first paint.
class FirstPaintReporter : public QObject {
public:
  explicit FirstPaintReporter(long long launchNs) : m_launchNs(launchNs) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && m_launchNs > 0) {
      timespec now{};
      clock_gettime(CLOCK_REALTIME, &now);
      const long long nowNs = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
      std::fprintf(stderr, "first_paint_ms: %.1f\n", static_cast<double>(nowNs - m_launchNs) / 1e6);
      m_launchNs = 0;
    }
    return QObject::eventFilter(watched, event);
  }

private:
  long long m_launchNs;
};

// For a terminal or a script.
void SayOnStandardError(const std::string& text) {
  std::fprintf(stderr, "tavrin-recorder: %s\n", text.c_str());
}

// Says `text` where the user sees it: standard error for a terminal or a
// script, a message box for a start from the desktop.
void Tell(const std::string& text) {
  SayOnStandardError(text);
  QMessageBox::information(nullptr, QStringLiteral("Tavrin Recorder"),
                           QString::fromStdString(text));
}

// A second start: the file goes to the program that runs, or the user hears
// why not. The exit status: 0 when it was taken, 2 when not.
int HandOver(const std::string& workFolder, const std::string& path, const std::string& running) {
  using recorder_ui::HandOffResult;
  const HandOffResult sent =
      recorder_ui::SendOpenRequest(recorder_ui::InstanceServerAddress(workFolder, false), path);
  switch (sent.Result) {
  case HandOffResult::Opened: return 0;
  case HandOffResult::Refused: Tell(sent.Text); break;
  case HandOffResult::NoAnswer:
    Tell("No answer from the running program: " + path + " was not opened.");
    break;
  case HandOffResult::Unsafe:
    Tell(running + " " + path + " was not handed to it: " + sent.Text + ".");
    break;
  case HandOffResult::NoProgram:
    Tell(running + " It takes no files from a second start: " + path + " was not opened.");
    break;
  }
  return 2;
}

// A command for the program that runs on this program's work folder: what it
// did goes to standard output (exit 0), why not to standard error (exit 2).
// Without a running program: 1, and `noProgram` set.
int Command(const recorder_ui::CommandLine& line, const std::string& programPath, bool& noProgram) {
  using recorder_ui::HandOffResult;
  capture::RecorderState probe;
  std::string error;
  if (!capture::ChooseWorkFolder(probe, capture::AppDataFolder(),
                                 std::filesystem::path(programPath).parent_path().string(),
                                 error)) {
    SayOnStandardError(error);
    return 2;
  }
  // A save may take minutes, and Record (and a toggle that records) first
  // saves a take never saved; the other commands answer at once.
  constexpr int kSaveWaitMs = 60 * 60 * 1000;
  const bool maySave =
      line.Command == "save" || line.Command == "record" || line.Command == "toggle";
  const HandOffResult sent =
      recorder_ui::SendCommand(recorder_ui::InstanceServerAddress(probe.WorkFolder, false),
                               line.Command, line.CommandPath, maySave ? kSaveWaitMs : 5000);
  switch (sent.Result) {
  case HandOffResult::Opened:
    if (!sent.Text.empty()) std::printf("%s\n", sent.Text.c_str());
    return 0;
  case HandOffResult::Refused: SayOnStandardError(sent.Text); return 2;
  case HandOffResult::NoAnswer:
    SayOnStandardError("No answer from the running Tavrin Recorder.");
    return 2;
  case HandOffResult::Unsafe:
    SayOnStandardError("The running Tavrin Recorder can not be reached safely: " + sent.Text + ".");
    return 2;
  case HandOffResult::NoProgram: break;
  }
  noProgram = true;
  SayOnStandardError("Tavrin Recorder is not running.");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavrin Recorder"));
  // Lets the desktop match the window to the installed launcher and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(TAVRIN_APP_ID));
  const std::string programPath = QCoreApplication::applicationFilePath().toStdString();
  if (const std::string problem = recorder_ui::InstallTranslations(
          application, QString::fromStdString(settings::TranslationsFolder(programPath)));
      !problem.empty()) {
    SayOnStandardError(problem);
  }
  // Qt has taken its own options out of argv.
  std::error_code noFolder;
  const recorder_ui::CommandLine commandLine =
      recorder_ui::ReadCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                   std::filesystem::current_path(noFolder).string());
  if (!commandLine.Error.empty()) {
    SayOnStandardError(commandLine.Error);
    return 2;
  }
  if (!commandLine.Warning.empty()) {
    SayOnStandardError(commandLine.Warning);
  }
  const std::string& openPath = commandLine.OpenPath;
  // A command goes to the running program; --record without one starts it
  // recording, --show starts it.
  bool recordAtStart = false;
  if (!commandLine.Command.empty()) {
    bool noProgram = false;
    const int status = Command(commandLine, programPath, noProgram);
    if (!noProgram || (commandLine.Command != "record" && commandLine.Command != "show")) {
      return status;
    }
    recordAtStart = commandLine.Command == "record";
  }

  settings::Settings settings;
  const std::string settingsPath =
      settings::ChooseSettingsFile(programPath, settings::ConfigHomeFolder());
  settings::LoadSettings(settings, settingsPath);

  capture::RecorderState state;
  editor::EditSession document;
  // One connection to the sound server for capture, playback and the input mixer.
  const auto connection = std::make_shared<platform::PulseConnection>("Tavrin Recorder");
  platform::PulseWaveIn firstIn(connection);
  // A second source recorded with the first, on a connection of its own: the
  // source a connection opens is the connection's choice.
  platform::PulseWaveIn secondIn(std::make_shared<platform::PulseConnection>("Tavrin Recorder"));
  platform::PairedWaveIn waveIn(firstIn, secondIn);
  platform::PulseWaveOut waveOut(connection);
  platform::PulseInputMixer mixer(connection);
  platform::DesktopSoundPanels panels;
  platform::LogindSleepInhibitor inhibitor;

  std::unique_ptr<recorder_ui::TFormMain> form;
  recorder_ui::MainWindowServices services;
  // Every message and question goes over the window in use: the editor while
  // it is open, else the recorder once it shows.
  services.User = recorder_ui::DesktopUserChannel(
      [&form]() -> QWidget* { return form ? form->WorkingWindow() : nullptr; });
  services.State = &state;
  services.Document = &document;
  services.Settings = &settings;
  services.SettingsPath = settingsPath;
  services.WaveIn = &waveIn;
  services.Pair = &waveIn;
  services.WaveOut = &waveOut;
  services.Mixer = &mixer;
  services.Panels = &panels;
  services.Inhibitor = &inhibitor;
  services.ProgramPath = programPath;
  services.AppDataDir = capture::AppDataFolder();
  services.ConfigHome = settings::ConfigHomeFolder();
  services.OpenSoundFile = decode::DecodeToTake;
  decode::SetFfmpegModuleCandidates(
      settings::PrivateLibraryCandidates(programPath, decode::kFfmpegModuleName));
  services.RestartProgram = [] {
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    QCoreApplication::exit(0);
  };

  try {
    form = std::make_unique<recorder_ui::TFormMain>(services);
  } catch (const recorder_ui::AlreadyRunning& error) {
    // The running program opens the file; without one to open, say so.
    if (!openPath.empty()) return HandOver(state.WorkFolder, openPath, error.what());
    QMessageBox::information(nullptr, QStringLiteral("Tavrin Recorder"),
                             QString::fromStdString(error.what()));
    return 0;
  } catch (const std::runtime_error& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Tavrin Recorder"),
                          QString::fromStdString(error.what()));
    return 1;
  }
  std::unique_ptr<FirstPaintReporter> reporter;
  if (const char* launch = std::getenv("TAVRIN_LAUNCH_NS")) {
    reporter = std::make_unique<FirstPaintReporter>(std::atoll(launch));
    form->centralWidget()->installEventFilter(reporter.get());
  }
  // A second start with a file hands it here. Without the socket the program
  // works on, says why, and a second start is told the program runs.
  recorder_ui::OpenRequestServer openRequests;
  openRequests.OpenRequested = [&form](const std::string& path) {
    return form->AcceptOpenRequest(path);
  };
  openRequests.CommandRequested = [&form](const std::string& verb, const std::string& path,
                                          const recorder_ui::RequestReply& reply) {
    form->RunCommand(verb, path, [reply](const session::Answer& answer) {
      reply({answer.Done, answer.Text});
    });
  };
  QString listenError;
  if (!openRequests.Listen(recorder_ui::InstanceServerAddress(state.WorkFolder, true),
                           listenError)) {
    const std::string text = "A second start of Tavrin Recorder can not hand files to this one (" +
                             listenError.toStdString() + ").";
    SayOnStandardError(text);
    QTimer::singleShot(0, form.get(), [&services, text] { services.User.Show(text); });
  }
  if (commandLine.Minimized) {
    form->showMinimized();
  } else {
    form->show();
  }
  if (!openPath.empty()) {
    QTimer::singleShot(0, form.get(), [&form, openPath] { form->OpenFileRequested(openPath); });
  }
  if (recordAtStart) form->RecordWhenReady();
  return QApplication::exec();
}
