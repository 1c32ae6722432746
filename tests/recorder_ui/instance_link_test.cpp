// The hand-off from a second start, as another user of the machine would try
// to break it: a folder of someone else's is never used, a listener that is
// not the user's own program gets nothing and cannot hold the sender, and a
// path over the limit is refused, not cut.
#include "recorder_ui/instance_link.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>
#include "hand_off_sender.h"
#include "scoped_env.h"
#include "scratch_folder.h"

namespace tavrin::recorder_ui {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
constexpr uid_t kNobody = 65534;

// The hand-off under a scratch temporary folder, with no runtime folder.
class HandOff : public ::testing::Test {
protected:
  fs::path Fallback() const { return Root / ("tavrin-recorder-" + std::to_string(::getuid())); }
  InstanceAddress Address(bool makeFolder) const {
    return InstanceServerAddress((Root / "work").string(), makeFolder);
  }

  testing::ScratchFolder m_scratch{"handoff"};
  const fs::path Root = m_scratch.Path();
  ScopedEnv m_noRuntime{"XDG_RUNTIME_DIR", ""};
  ScopedEnv m_temp{"TMPDIR", Root.c_str()};
};

// A listener at `name` in a child process, listening as `user`: it serves one
// connection with `serve` and exits with what that returns.
class FakeListener {
public:
  FakeListener(const std::string& name, uid_t user, const std::function<int(int)>& serve) {
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    m_child = ::fork();
    if (m_child == 0) {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::strncpy(address.sun_path, name.c_str(), sizeof address.sun_path - 1);
      if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
          (user != ::getuid() && (::setgid(user) != 0 || ::setuid(user) != 0)) ||
          ::listen(fd, 4) != 0 || ::write(ready[1], "r", 1) != 1) {
        ::_exit(100);
      }
      const int connection = ::accept(fd, nullptr, nullptr);
      ::_exit(connection < 0 ? 101 : serve(connection));
    }
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
  }
  ~FakeListener() {
    ::kill(m_child, SIGKILL);
    ::waitpid(m_child, nullptr, 0);
  }
  // How the listener ended, once the sender has hung up.
  int ExitStatus() {
    int status = 0;
    ::waitpid(m_child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

private:
  pid_t m_child = -1;
};

TEST_F(HandOff, AFolderThatIsNotTheUsersOwnIsNeverUsedNorChanged) {
  const fs::path folder = Fallback();
  struct Row {
    const char* what;
    std::function<bool()> make;  // false: this machine cannot make the case
    const char* problem;
  };
  const auto madeWith = [&](fs::perms perms) {
    fs::create_directory(folder);
    fs::permissions(folder, perms);
    return static_cast<bool>(std::ofstream(folder / "kept") << "x");
  };
  const std::vector<Row> rows = {
      {"a plain file", [&] { return static_cast<bool>(std::ofstream(folder) << "x"); },
       "is not a folder"},
      {"open to others", [&] { return madeWith(fs::perms::all); }, "is open to other users"},
      {"another user's",
       [&] {
         return madeWith(fs::perms::owner_all) && ::chown(folder.c_str(), kNobody, kNobody) == 0;
       },
       "belongs to another user"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(folder);
    if (!row.make()) {
      std::printf("skipped \"%s\": only root can give a folder away here\n", row.what);
      continue;
    }
    const InstanceAddress address = Address(true);
    EXPECT_NE(address.Problem.find(row.problem), std::string::npos) << address.Problem;
    OpenRequestServer server;
    QString error;
    EXPECT_FALSE(server.Listen(address, error));
    EXPECT_EQ(error.toStdString(), address.Problem);
    const HandOffResult sent = SendOpenRequest(Address(false), "/a.wav", 500);
    EXPECT_EQ(sent.Result, HandOffResult::Unsafe);
    EXPECT_EQ(sent.Text, address.Problem);
    EXPECT_EQ(fs::is_directory(folder), fs::exists(folder / "kept"));
  }

  // A runtime folder open to others is passed over for the user's own, made private.
  fs::remove_all(folder);
  fs::create_directory(Root / "runtime");
  fs::permissions(Root / "runtime", fs::perms::all);
  const ScopedEnv runtime("XDG_RUNTIME_DIR", (Root / "runtime").c_str());
  const InstanceAddress address = Address(true);
  EXPECT_EQ(address.Problem, "");
  EXPECT_EQ(fs::path(address.Name.toStdString()).parent_path(), folder);
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
}

TEST_F(HandOff, OnlyTheUsersOwnProgramIsToldAPathAndNothingHoldsTheSender) {
  const InstanceAddress address = Address(true);
  ASSERT_EQ(address.Problem, "");
  const std::string name = address.Name.toStdString();
  static char noise[65536];
  const auto silent = [](int fd) {
    while (::recv(fd, noise, sizeof noise, 0) > 0) {
    }
    return 0;
  };
  const auto flood = [](int fd) {
    while (::send(fd, noise, sizeof noise, MSG_NOSIGNAL) > 0) {
    }
    return 0;
  };
  // Exits 3 when a path reached it.
  const auto listening = [](int fd) { return ::recv(fd, noise, sizeof noise, 0) > 0 ? 3 : 0; };
  struct Row {
    const char* what;
    uid_t listener;
    std::function<int(int)> serve;
    bool giveSocketAway;
    HandOffResult::Outcome result;
    const char* text;
  };
  const std::vector<Row> rows = {
      {"says nothing", ::getuid(), silent, false, HandOffResult::NoAnswer, ""},
      {"talks without end", ::getuid(), flood, false, HandOffResult::NoAnswer, ""},
      {"a socket of another user's", ::getuid(), listening, true, HandOffResult::Unsafe,
       "is not a socket of this user's"},
      {"listens as another user", kNobody, listening, false, HandOffResult::Unsafe,
       "is served by another user"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove(name);
    if ((row.listener != ::getuid() || row.giveSocketAway) && ::getuid() != 0) {
      std::printf("skipped \"%s\": only root can act as another user here\n", row.what);
      continue;
    }
    FakeListener listener(name, row.listener, row.serve);
    if (row.giveSocketAway) {
      ASSERT_EQ(::chown(name.c_str(), kNobody, kNobody), 0);
    }
    const HandOffResult sent = SendOpenRequest(address, "/secret/a.wav", 300);
    EXPECT_EQ(sent.Result, row.result);
    EXPECT_NE(sent.Text.find(row.text), std::string::npos) << sent.Text;
    if (row.listener != ::getuid()) {
      EXPECT_EQ(listener.ExitStatus(), 0);
    }
  }
}

TEST_F(HandOff, APathOverTheLimitIsRefusedNotCut) {
  const InstanceAddress address = Address(true);
  OpenRequestServer server;
  QString error;
  ASSERT_TRUE(server.Listen(address, error)) << error.toStdString();
  std::vector<std::string> received;
  server.OpenRequested = [&](const std::string& path) {
    received.push_back(path);
    return std::string();
  };
  const std::string longest = "/" + std::string(kLongestHandedPath - 1, 'a');
  EXPECT_EQ(testing::HandOverServed(address, longest).Result, HandOffResult::Opened);
  const HandOffResult tooLong = testing::HandOverServed(address, longest + "a");
  EXPECT_EQ(tooLong.Result, HandOffResult::Refused);
  EXPECT_EQ(tooLong.Text, "The path is longer than 4096 bytes.");
  EXPECT_EQ(testing::HandOverServed(address, "relative.wav").Result, HandOffResult::Refused);
  EXPECT_EQ(received, std::vector<std::string>{longest});
}

// Commands reach the program with their path, and their answer may come once
// the command is done; a request the program does not know is cut off unread.
TEST_F(HandOff, CommandsAreAnsweredAndGarbageIsCutOff) {
  const InstanceAddress address = Address(true);
  OpenRequestServer server;
  QString error;
  ASSERT_TRUE(server.Listen(address, error)) << error.toStdString();
  std::vector<std::string> received;
  server.CommandRequested = [&](const std::string& verb, const std::string& path,
                                const RequestReply& reply) {
    received.push_back(verb + " " + path);
    if (verb == "save") {
      QTimer::singleShot(50, [reply, path] { reply({true, path}); });
    } else {
      reply({verb != "stop", verb == "stop" ? "Tavrin Recorder is not recording." : "stopped"});
    }
  };
  struct Row {
    const char* verb;
    const char* argument;
    HandOffResult::Outcome result;
    const char* text;
  };
  const std::vector<Row> rows = {
      {"status", "", HandOffResult::Opened, "stopped"},
      {"stop", "", HandOffResult::Refused, "Tavrin Recorder is not recording."},
      {"save", "/music/take 1.flac", HandOffResult::Opened, "/music/take 1.flac"},
      {"save", "take.flac", HandOffResult::Refused,
       "The running Tavrin Recorder was not given a full path to save to."},
      {"record", "/x", HandOffResult::NoAnswer, ""},
      {"recordx", "", HandOffResult::NoAnswer, ""},
      {"save", "", HandOffResult::NoAnswer, ""},
  };
  for (const Row& row : rows) {
    const HandOffResult sent = testing::CommandServed(address, row.verb, row.argument);
    EXPECT_EQ(sent.Result, row.result) << row.verb << " " << row.argument;
    EXPECT_EQ(sent.Text, row.text) << row.verb << " " << row.argument;
  }
  EXPECT_EQ(received, (std::vector<std::string>{"status ", "stop ", "save /music/take 1.flac"}));
}

// A flood of garbage from the user's own programs changes nothing and never
// holds the window's events: 10 000 connections, each sending a line the
// program does not take (or nothing), while a timer ticks every 10 ms.
TEST_F(HandOff, TenThousandGarbageConnectionsNeverHoldTheEvents) {
  const InstanceAddress address = Address(true);
  OpenRequestServer server;
  QString error;
  ASSERT_TRUE(server.Listen(address, error)) << error.toStdString();
  int commands = 0;
  server.CommandRequested = [&](const std::string&, const std::string&, const RequestReply& reply) {
    ++commands;
    reply({true, "stopped"});
  };
  const QByteArray name = address.Name.toLocal8Bit();
  std::atomic<bool> done = false;
  std::thread flood([&] {
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    std::memcpy(to.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    const char* garbage[] = {"record now\n", "\xff\xfe\n", "open relative\n", "", "stat"};
    for (int i = 0; i < 10000; ++i) {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        const char* line = garbage[i % 5];
        static_cast<void>(::send(fd, line, std::strlen(line), MSG_NOSIGNAL));
      }
      ::close(fd);
    }
    done = true;
  });
  QEventLoop loop;
  QTimer tick;
  QElapsedTimer since;
  qint64 longestGap = 0;
  since.start();
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    longestGap = std::max(longestGap, since.restart());
    if (done) loop.quit();
  });
  tick.start(10);
  loop.exec();
  flood.join();
  std::printf("longest gap between 10 ms ticks during the flood: %lld ms\n",
              static_cast<long long>(longestGap));
  EXPECT_LT(longestGap, 1000) << "a sender held the events";
  EXPECT_EQ(commands, 0);
  const HandOffResult after = testing::CommandServed(address, "status", "");
  EXPECT_EQ(after.Result, HandOffResult::Opened);
  EXPECT_EQ(after.Text, "stopped");
}

}  // namespace
}  // namespace tavrin::recorder_ui
