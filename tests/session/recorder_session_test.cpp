// The recorder session without a window: each operation, from each kind of
// caller, over each state a take can be in, and the answer it gives.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "capture_test_support.h"
#include "session/recorder_session.h"

namespace tavrin::session {
namespace {

namespace fs = std::filesystem;
constexpr std::int64_t kOnset = 1'796'000'000;  // the wall clock as the take began

enum class Before { NoTake, Recording, Unsaved, NoDevice };

struct Row {
  const char* Name;
  Before State;
  std::function<Answer(RecorderSession&, settings::Settings&)> Operation;
  bool Done;
  std::string Text;      // the answer starts with it; "<kept>" and "<out>" stand for the folders
  int FailingSaves = 0;  // the first saves fail, as a folder that cannot be written
  bool Busy = false;     // the editor is open
  bool Discard = true;   // the window's answer about a take never saved
  bool Recording = false;
  bool TakeKept = true;   // the take recorded before is still in hand or in a file
  std::string Told = {};  // said in the status bar and a notification
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.Name;
}

class SessionTable : public capture::testing::CaptureFixture,
                     public ::testing::WithParamInterface<Row> {
protected:
  void SetUp() override {
    CaptureFixture::SetUp();
    State.WorkFolder = (Folder / "work").string();
    State.OutputFolder = (Folder / "out").string();
    fs::create_directories(State.WorkFolder);
    SessionHooks hooks;
    hooks.Busy = [this] { return Busy ? "The sound editor is open; close it first." : ""; };
    hooks.SaveTakeTo = [this](const std::string& path, std::string& reason) {
      if (FailingSaves > 0 && FailingSaves--) {
        reason = "Permission denied";
        return false;
      }
      std::error_code code;
      return fs::copy_file(State.Take.RawPath, path, code);
    };
    hooks.KeepOrDiscard = [this](const std::string& question) {
      Asked = question;
      return Discard;
    };
    hooks.Tell = [this](const std::string& text, bool) { Told = text; };
    hooks.FreeBytes = [](const std::string&) { return std::int64_t{1} << 40; };
    Session = std::make_unique<RecorderSession>(
        State, Context, Settings, nullptr,
        schedule::Clocks{[this] { return Wall; }, [this] { return Wall * 1000; }},
        std::move(hooks));
    Session->Start();
  }
  void TearDown() override {
    Session.reset();
    CaptureFixture::TearDown();
  }
  void Run(int buffers) {
    for (int i = 0; i < buffers; ++i) RunAndPoll(capture::kFramesPerBuffer);
  }

  settings::Settings Settings;
  std::unique_ptr<RecorderSession> Session;
  std::int64_t Wall = kOnset;
  int FailingSaves = 0;
  bool Busy = false;
  bool Discard = true;
  std::string Asked;
  std::string Told;
};

using Operation = std::function<Answer(RecorderSession&, settings::Settings&)>;

Operation Command(const std::string& verb, const std::string& path = {}) {
  return [verb, path](RecorderSession& session, settings::Settings&) {
    Answer answer;
    session.Command(verb, path, [&answer](const Answer& given) { answer = given; });
    return answer;
  };
}

Operation Record(Caller caller) {
  return [caller](RecorderSession& session, settings::Settings&) { return session.Record(caller); };
}

// The timer armed to have started a second ago, and its step.
Answer TimerStarts(RecorderSession& session, settings::Settings& settings) {
  const std::time_t now = kOnset;
  std::tm local{};
  localtime_r(&now, &local);
  settings.TimerArmed = true;
  settings.TimerStart = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec - 1;
  session.Scheduler().ArmTimer(true);
  session.Tick();
  return {session.TakeRunning(), {}};
}

TEST_P(SessionTable, AnswersWhatWasDone) {
  const Row& row = GetParam();
  if (row.State == Before::NoDevice) State.DeviceName.clear();
  if (row.State == Before::Recording || row.State == Before::Unsaved) {
    ASSERT_TRUE(Session->Record(Caller::Command).Done);
    Run(30);
  }
  if (row.State == Before::Unsaved) {
    ASSERT_TRUE(Session->Stop(Caller::Command).Done);
    Wall += 600;  // saved ten minutes later: named by its onset all the same
  }
  const std::uint32_t before = State.Take.TakeLength;
  FailingSaves = row.FailingSaves;
  Busy = row.Busy;
  Discard = row.Discard;
  Messages.clear();

  const std::string extension = settings::FormatExtension(settings::ChosenFormat(Settings));
  std::string expected = row.Text;
  for (const auto& [mark, folder] :
       {std::pair{std::string("<out>"), State.OutputFolder},
        std::pair{std::string("<kept>"), Session->Scheduler().KeptFolder()}}) {
    if (const auto at = expected.find(mark); at != std::string::npos) {
      expected.replace(at, mark.size(), UnattendedFilePath(folder, kOnset, extension));
    }
  }

  const Answer answer = row.Operation(*Session, Settings);

  EXPECT_EQ(answer.Done, row.Done);
  EXPECT_EQ(answer.Text.substr(0, expected.size()), expected) << answer.Text;
  EXPECT_EQ(State.Recording, row.Recording);
  EXPECT_EQ(Told.substr(0, row.Told.size()), row.Told);
  // No box: a command's or the tray's words are in its answer.
  EXPECT_TRUE(Messages.empty()) << Messages.front();
  if (row.State == Before::Unsaved && row.TakeKept && !row.Recording) {
    EXPECT_EQ(State.Take.TakeLength, before);
  }
}

const Row kRows[] = {
    {"RecordFromNothing", Before::NoTake, Command("record"), true, "recording 00:00:00.0 ", 0,
     false, true, true},
    {"RecordWhileRecording", Before::Recording, Command("record"), false,
     "Tavrin Recorder is already recording.", 0, false, true, true},
    {"StopWithNothingRunning", Before::NoTake, Command("stop"), false,
     "Tavrin Recorder is not recording."},
    {"ToggleStops", Before::Recording, Command("toggle"), true,
     "stopped, take 00:00:03.0 not saved"},
    {"StopWhileTheEditorIsOpen", Before::Recording, Command("stop"), true, "stopped, take", 0,
     true},
    {"RecordWhileTheEditorIsOpen", Before::Unsaved, Command("record"), false,
     "The sound editor is open; close it first.", 0, true},
    {"RecordOverAnUnsavedTakeSavesItByOnset", Before::Unsaved, Command("toggle"), true,
     "saved the take before as <out>; recording", 0, false, true, true},
    {"RecordKeepsItWhereTheOutputFolderFails", Before::Unsaved, Command("record"), true,
     "saved the take before as <kept>; recording", 1, false, true, true},
    {"RecordRefusedWhenTheTakeCanNotBeKept", Before::Unsaved, Command("record"), false,
     "The take before could not be saved, so it was kept; nothing was recorded.", 2},
    {"WindowRecordCancelledKeepsTheTake", Before::Unsaved, Record(Caller::Window), false, "", 0,
     false, false},
    {"WindowRecordDiscarded", Before::Unsaved, Record(Caller::Window), true, "recording", 0, false,
     true, true, false},
    {"TrayRecordWithoutADeviceSaysWhyInTheAnswer", Before::NoDevice, Record(Caller::Tray), false,
     "No Audio Device Selected"},
    {"TimerWithoutADeviceTellsNoBox", Before::NoDevice, TimerStarts, false, "", 0, false, true,
     false, true, "No Audio Device Selected"},
    {"SaveWhileRecording", Before::Recording, Command("save", "/tmp/x.wav"), false,
     "Stop recording before saving.", 0, false, true, true},
    {"SaveWithAnUnknownExtension", Before::Unsaved, Command("save", "/tmp/x.ogg"), false,
     "/tmp/x.ogg: the name must end in .wav, .mp3, .flac or .opus."},
    {"SaveWithNoTake", Before::NoTake, Command("save", "/tmp/x.wav"), false,
     "There is no take to save."},
    {"SaveFailureGivesTheReason", Before::Unsaved, Command("save", "/tmp/x.wav"), false,
     "Permission denied", 1},
    {"UnknownCommand", Before::NoTake, Command("rewind"), false,
     "Tavrin Recorder does not know the command rewind."},
};

INSTANTIATE_TEST_SUITE_P(Operations, SessionTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.Name); });

// Three toggles sent at once are answered in turn, each on the state the one
// before left, so that the last answer is what the recorder does.
TEST_F(SessionTable, CommandsSentTogetherAreAnsweredInTurn) {
  Session.reset();  // gives the capture's channel back
  std::function<void()> later;
  std::vector<std::string> replies;
  SessionHooks hooks;
  hooks.Later = [&later](std::function<void()> work) { later = std::move(work); };
  RecorderSession queued(State, Context, Settings, nullptr,
                         schedule::Clocks{[this] { return Wall; }, [] { return 0; }},
                         std::move(hooks));
  for (int i = 0; i < 3; ++i) {
    queued.Command("toggle", {}, [&replies](const Answer& answer) {
      replies.push_back(answer.Text.substr(0, answer.Text.find(' ')));
    });
  }
  EXPECT_TRUE(replies.empty());  // not before the senders have returned
  ASSERT_TRUE(later);
  later();
  EXPECT_EQ(replies, (std::vector<std::string>{"recording", "stopped,", "recording"}));
  EXPECT_TRUE(State.Recording);
}

}  // namespace
}  // namespace tavrin::session
