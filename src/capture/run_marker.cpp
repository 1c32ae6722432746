#include "capture/run_marker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace tavrin::capture {

namespace {

// Written whole at offset 0, always this long, so a newer order never leaves
// the tail of an older one behind.
constexpr std::size_t kMarkerBytes = 64;

bool ReadNumber(std::string_view& text, std::string_view key, std::uint32_t& value) {
  if (text.substr(0, key.size()) != key) return false;
  text.remove_prefix(key.size());
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (code != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

}  // namespace

std::string FormatTakeOrder(const TakeOrder& order) {
  char line[kMarkerBytes];
  std::snprintf(line, sizeof line, "take loop=%d wrapped=%d last=%u", order.LoopMode ? 1 : 0,
                order.LoopWrapped ? 1 : 0, static_cast<unsigned>(order.LastWritten));
  std::string text(line);
  text.resize(kMarkerBytes - 1, ' ');
  return text + '\n';
}

bool ParseTakeOrder(std::string_view text, TakeOrder& order) {
  std::uint32_t loop = 0;
  std::uint32_t wrapped = 0;
  std::uint32_t last = 0;
  if (!ReadNumber(text, "take loop=", loop) || !ReadNumber(text, " wrapped=", wrapped) ||
      !ReadNumber(text, " last=", last) || loop > 1 || wrapped > 1) {
    return false;
  }
  for (const char c : text) {
    if (c != ' ' && c != '\n') return false;
  }
  order = TakeOrder{loop == 1, wrapped == 1, last};
  return true;
}

MarkerClaim ClaimRunMarker(RecorderState& state, TakeOrder& left, int& error) {
  error = 0;
  int fd = ::open(state.MarkerPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  const bool existed = fd < 0 && errno == EEXIST;
  if (existed) fd = ::open(state.MarkerPath.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return MarkerClaim::Failed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int lockError = errno;
    ::close(fd);
    if (lockError == EWOULDBLOCK) return MarkerClaim::HeldElsewhere;
    error = lockError;
    return MarkerClaim::Failed;
  }
  state.Marker.Adopt(fd);
  if (!existed) return MarkerClaim::Claimed;
  std::array<char, kMarkerBytes> text{};
  const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
  left = TakeOrder{};
  // An unreadable order (a marker from before any take) reads as a take in file order.
  if (got > 0) ParseTakeOrder(std::string_view(text.data(), static_cast<std::size_t>(got)), left);
  return MarkerClaim::LeftByOpenRun;
}

int NoteTakeOrder(RecorderState& state) {
  if (!state.Marker.IsOpen()) return 0;
  const std::uint64_t position = static_cast<std::uint64_t>(state.Take.RawStream.Position());
  const std::string text = FormatTakeOrder(TakeOrder{
      state.LoopMode, state.LoopWrapped, static_cast<std::uint32_t>(position / kBufferBytes)});
  return state.Marker.WriteAt(0, text.data(), text.size());
}

void ReleaseRunMarker(RecorderState& state) {
  if (!state.Marker.IsOpen()) return;
  ::unlink(state.MarkerPath.c_str());
  state.Marker.Close();
}

}  // namespace tavrin::capture
