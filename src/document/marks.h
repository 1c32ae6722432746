#pragma once
// Marks: moments a user marked while recording ("the question starts here"),
// each on the buffer being recorded when it was added, numbered in the order
// added, with a text that may be empty. A mark belongs to its audio: the
// take's marks stand on take buffers and the editor's work file carries
// marks on its own buffers, so an edit moves, removes and brings back a mark
// with the audio it stands on.
//
// While a take records, its marks are kept beside it in a side file of one
// line each, appended and flushed as they come, so that a crash keeps them
// with the take.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "base/file.h"

namespace tavrin::document {

struct Mark {
  std::uint32_t Number = 0;  // 1, 2, ... in the order added to the take
  std::string Text;
  bool operator==(const Mark&) const = default;
};

// Marks by the source buffer (1-based) they stand on; several on one buffer
// keep the order they were added in.
using MarkTable = std::multimap<std::uint32_t, Mark>;

// The highest number in the table (0 when it is empty): the next mark takes
// the one after.
std::uint32_t LastMarkNumber(const MarkTable& marks);

// A mark's line in the side file: "<buffer>\t<number>\t<text>\n", the text
// with backslash, tab, carriage return and newline escaped (\\ \t \r \n).
std::string FormatMarkLine(std::uint32_t buffer, const Mark& mark);
// The marks of a side file's text. A line that does not read whole (the
// last one torn by a crash) is passed over.
MarkTable ParseMarkLines(std::string_view text);

// Appends one mark's line to the open side file and flushes it to the disk.
// Returns 0 or errno.
int AppendMark(base::File& file, std::uint32_t buffer, const Mark& mark);
// Writes the whole table in place of the side file's contents (after marks
// were dropped, say). Returns 0 or errno.
int RewriteMarkFile(base::File& file, const MarkTable& marks);
// Reads a side file; a missing file is no marks. Returns 0 or errno.
int ReadMarkFile(const std::string& path, MarkTable& marks);

}  // namespace tavrin::document
