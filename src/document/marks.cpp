#include "document/marks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

namespace tavrin::document {

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\r': out += "\\r"; break;
    case '\n': out += "\\n"; break;
    default: out += c;
    }
  }
  return out;
}

bool Unescaped(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
    case '\\': out += '\\'; break;
    case 't': out += '\t'; break;
    case 'r': out += '\r'; break;
    case 'n': out += '\n'; break;
    default: return false;
    }
  }
  return true;
}

bool ReadNumber(std::string_view text, std::uint32_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::uint32_t LastMarkNumber(const MarkTable& marks) {
  std::uint32_t last = 0;
  for (const auto& [buffer, mark] : marks) last = std::max(last, mark.Number);
  return last;
}

std::string FormatMarkLine(std::uint32_t buffer, const Mark& mark) {
  return std::to_string(buffer) + '\t' + std::to_string(mark.Number) + '\t' + Escaped(mark.Text) +
         '\n';
}

MarkTable ParseMarkLines(std::string_view text) {
  MarkTable marks;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    // Without its newline a line was torn while being written.
    if (end == std::string_view::npos) break;
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) continue;
    std::uint32_t buffer = 0;
    Mark mark;
    if (!ReadNumber(line.substr(0, tab1), buffer) || buffer == 0 ||
        !ReadNumber(line.substr(tab1 + 1, tab2 - tab1 - 1), mark.Number) ||
        !Unescaped(line.substr(tab2 + 1), mark.Text)) {
      continue;
    }
    marks.emplace(buffer, std::move(mark));
  }
  return marks;
}

int AppendMark(base::File& file, std::uint32_t buffer, const Mark& mark) {
  const std::string line = FormatMarkLine(buffer, mark);
  const std::int64_t end = file.Size();
  if (end < 0) return EIO;
  if (const int error = file.WriteAt(end, line.data(), line.size())) return error;
  return ::fdatasync(file.Descriptor()) == 0 ? 0 : errno;
}

int RewriteMarkFile(base::File& file, const MarkTable& marks) {
  std::string text;
  for (const auto& [buffer, mark] : marks) text += FormatMarkLine(buffer, mark);
  if (const int error = file.Truncate(0)) return error;
  if (const int error = file.WriteAt(0, text.data(), text.size())) return error;
  return ::fdatasync(file.Descriptor()) == 0 ? 0 : errno;
}

int ReadMarkFile(const std::string& path, MarkTable& marks) {
  marks.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return errno == ENOENT ? 0 : (errno != 0 ? errno : EIO);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return EIO;
  marks = ParseMarkLines(text.str());
  return 0;
}

}  // namespace tavrin::document
