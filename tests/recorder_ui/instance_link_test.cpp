// The hand-off from a second start, as another user of the machine would try
// to break it: a folder or socket of someone else's is never used, a listener
// that is not the user's own program gets nothing and cannot hold the sender,
// and every path travels byte for byte.
#include "recorder_ui/instance_link.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "scoped_env.h"
#include "scratch_folder.h"

namespace tavrin::recorder_ui {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
constexpr uid_t kNobody = 65534;

// The hand-off's folders under a scratch temporary folder, with no runtime folder.
class HandOff : public ::testing::Test {
protected:
  HandOff() : m_scratch("handoff"), Root(m_scratch.Path()) {}
  fs::path Fallback() const { return Root / ("tavrin-recorder-" + std::to_string(::getuid())); }
  InstanceAddress Address(bool makeFolder) const {
    return InstanceServerAddress((Root / "work").string(), makeFolder);
  }
  // Sends from a thread of its own while this one serves the server's events.
  static HandOffResult Send(const InstanceAddress& address, const std::string& path,
                            int timeoutMs = 5000) {
    std::atomic<bool> done = false;
    HandOffResult result;
    std::thread sender([&] {
      result = SendOpenRequest(address, path, timeoutMs);
      done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    sender.join();
    return result;
  }

private:
  testing::ScratchFolder m_scratch;

protected:
  const fs::path Root;
  ScopedEnv m_noRuntime{"XDG_RUNTIME_DIR", ""};
  ScopedEnv m_temp{"TMPDIR", Root.c_str()};
};

// A listening socket at `name` in a thread of its own, accepting once and then
// doing `serve` with the connection.
class FakeListener {
public:
  FakeListener(const std::string& name, std::function<void(int)> serve) {
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, name.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(m_fd, 4), 0);
    m_thread = std::thread([this, serve = std::move(serve)] {
      const int connection = ::accept(m_fd, nullptr, nullptr);
      if (connection >= 0) {
        serve(connection);
        ::close(connection);
      }
    });
  }
  ~FakeListener() {
    ::shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    ::close(m_fd);
  }

private:
  int m_fd = -1;
  std::thread m_thread;
};

TEST_F(HandOff, AFolderThatIsNotTheUsersOwnIsNeverUsedNorChanged) {
  const fs::path folder = Fallback();
  struct Row {
    const char* what;
    std::function<bool()> make;  // false: this machine cannot make the case
    const char* problem;
  };
  const std::vector<Row> rows = {
      {"a plain file", [&] { return static_cast<bool>(std::ofstream(folder) << "x"); },
       "is not a folder"},
      {"a link to the user's own folder",
       [&] {
         fs::create_directory(Root / "mine");
         fs::permissions(Root / "mine", fs::perms::owner_all);
         fs::create_directory_symlink(Root / "mine", folder);
         return true;
       },
       "is not a folder"},
      {"open to others",
       [&] {
         fs::create_directory(folder);
         fs::permissions(folder, fs::perms::all);
         std::ofstream(folder / "kept") << "x";
         return true;
       },
       "is open to other users"},
      {"another user's",
       [&] {
         fs::create_directory(folder);
         fs::permissions(folder, fs::perms::owner_all);
         std::ofstream(folder / "kept") << "x";
         return ::chown(folder.c_str(), kNobody, kNobody) == 0;
       },
       "belongs to another user"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(Root / "mine");
    fs::remove_all(folder);
    if (!row.make()) {
      std::printf("skipped \"%s\": only root can give a folder away here\n", row.what);
      continue;
    }
    const auto before = fs::symlink_status(folder).type();
    const InstanceAddress address = Address(true);
    EXPECT_NE(address.Problem.find(row.problem), std::string::npos) << address.Problem;
    OpenRequestServer server;
    QString error;
    EXPECT_FALSE(server.Listen(address, error));
    EXPECT_EQ(error.toStdString(), address.Problem);
    const HandOffResult sent = SendOpenRequest(Address(false), "/a.wav", 500);
    EXPECT_EQ(sent.Result, HandOffResult::Unsafe);
    EXPECT_EQ(sent.Text, address.Problem);
    EXPECT_EQ(fs::symlink_status(folder).type(), before);
    if (fs::is_directory(fs::symlink_status(folder))) {
      EXPECT_TRUE(fs::exists(folder / "kept"));
    }
  }

  // In the user's own folder, a plain file at the socket's name is not taken for an old socket.
  fs::remove_all(folder);
  const InstanceAddress own = Address(true);
  std::ofstream(own.Name.toStdString()) << "x";
  OpenRequestServer server;
  QString error;
  EXPECT_FALSE(server.Listen(own, error));
  EXPECT_EQ(error, own.Name + " is not a socket of this user's");
  EXPECT_EQ(SendOpenRequest(own, "/a.wav", 500).Result, HandOffResult::Unsafe);
  EXPECT_TRUE(fs::is_regular_file(own.Name.toStdString()));

  // A runtime folder open to others is passed over for the user's own.
  fs::remove_all(folder);
  fs::create_directory(Root / "runtime");
  fs::permissions(Root / "runtime", fs::perms::all);
  const ScopedEnv runtime("XDG_RUNTIME_DIR", (Root / "runtime").c_str());
  const InstanceAddress address = Address(true);
  EXPECT_EQ(address.Problem, "");
  EXPECT_EQ(fs::path(address.Name.toStdString()).parent_path(), folder);
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
}

TEST_F(HandOff, OnlyTheUsersOwnProgramIsTalkedToAndNothingHoldsTheSender) {
  const InstanceAddress address = Address(true);
  ASSERT_EQ(address.Problem, "");
  const std::string name = address.Name.toStdString();
  // One that says nothing, and one that talks without end: given up at the deadline.
  for (const bool flood : {false, true}) {
    SCOPED_TRACE(flood ? "flood" : "silent");
    const FakeListener listener(name, [flood](int fd) {
      char request[64];
      const std::string noise(65536, 'x');
      const QDeadlineTimer deadline(3000);
      // Until the sender hangs up.
      while (!flood && ::recv(fd, request, sizeof request, 0) > 0) {
      }
      while (flood && !deadline.hasExpired() &&
             ::send(fd, noise.data(), noise.size(), MSG_NOSIGNAL) > 0) {
      }
    });
    EXPECT_EQ(SendOpenRequest(address, "/a.wav", 300).Result, HandOffResult::NoAnswer);
    fs::remove(name);
  }
  // A socket that is not the user's own.
  {
    const FakeListener listener(name, [](int) {});
    if (::chown(name.c_str(), kNobody, kNobody) == 0) {
      const HandOffResult sent = SendOpenRequest(address, "/a.wav", 300);
      EXPECT_EQ(sent.Result, HandOffResult::Unsafe);
      EXPECT_NE(sent.Text.find("is not a socket of this user's"), std::string::npos);
      ASSERT_EQ(::chown(name.c_str(), ::getuid(), ::getgid()), 0);
      // Unblocks the listener's accept.
      static_cast<void>(SendOpenRequest(address, "/a.wav", 100));
    } else {
      std::printf("skipped the other user's socket: only root can give it away here\n");
      static_cast<void>(SendOpenRequest(address, "/a.wav", 100));
    }
    fs::remove(name);
  }
  // A listener that is another user's program (it listened as nobody) gets no path.
  if (::getuid() != 0) GTEST_SKIP() << "only root can listen as another user here";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un socketAddress{};
    socketAddress.sun_family = AF_UNIX;
    std::strncpy(socketAddress.sun_path, name.c_str(), sizeof socketAddress.sun_path - 1);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) != 0 ||
        ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::listen(fd, 4) != 0) {
      ::_exit(1);
    }
    static_cast<void>(::write(ready[1], "r", 1));
    const int connection = ::accept(fd, nullptr, nullptr);
    char request[256] = {};
    const ssize_t got = ::recv(connection, request, sizeof request, 0);
    static_cast<void>(::send(connection, "ok\n", 3, MSG_NOSIGNAL));
    ::_exit(got > 0 ? 3 : 0);  // 3: it was told the path
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  const HandOffResult sent = SendOpenRequest(address, "/secret/a.wav", 1000);
  EXPECT_EQ(sent.Result, HandOffResult::Unsafe);
  EXPECT_NE(sent.Text.find("served by another user"), std::string::npos);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(HandOff, EveryPathTravelsByteForByteAndAnOverLongOneIsRefused) {
  const InstanceAddress address = Address(true);
  OpenRequestServer server;
  QString error;
  ASSERT_TRUE(server.Listen(address, error)) << error.toStdString();
  std::vector<std::string> received;
  std::string refusal;
  server.OpenRequested = [&](const std::string& path) {
    received.push_back(path);
    return refusal;
  };
  const std::string longest = "/" + std::string(kLongestHandedPath - 1, 'a');
  const std::vector<std::string> paths = {"/take.wav ", "/two\nlines.wav", "/lat\xe9n.wav",
                                          "/-dash %41.wav", longest};
  for (const std::string& path : paths) {
    EXPECT_EQ(Send(address, path).Result, HandOffResult::Opened);
  }
  EXPECT_EQ(received, paths);

  received.clear();
  const HandOffResult tooLong = Send(address, longest + "a");
  EXPECT_EQ(tooLong.Result, HandOffResult::Refused);
  EXPECT_EQ(tooLong.Text, "The path is longer than 4096 bytes.");
  EXPECT_EQ(Send(address, "relative.wav").Result, HandOffResult::Refused);
  refusal = "Stop recording before opening /b.wav.";
  const HandOffResult refused = Send(address, "/b.wav");
  EXPECT_EQ(refused.Result, HandOffResult::Refused);
  EXPECT_EQ(refused.Text, refusal);
  EXPECT_EQ(received, std::vector<std::string>{"/b.wav"});
}

}  // namespace
}  // namespace tavrin::recorder_ui
