#pragma once
// The file a writer creates. It refuses to replace the take or the work file
// being read (that would destroy the audio being saved). A regular file (or a
// new one) is written as a temporary file beside it, ".tavrin-save-*", and put
// in its place by Finish only once everything was written, so a save that
// fails or is cancelled leaves the file that was there as it was. A special
// file given as the output path (/dev/full) is written directly and survives
// an error or a Cancel: only the regular file Create made is ever unlinked.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/file.h"
#include "export/save_job.h"

namespace tavrin::exporter {

class OutputFile {
public:
  ~OutputFile() { Remove(); }

  // Prepares `path` for writing. Returns 0, errno, or EBUSY when the path
  // names the take or the work file of `context`.
  int Create(const std::string& path, const ExportContext& context);
  // Writes all of `bytes` at the end. Returns 0 or errno.
  int Append(const void* data, std::size_t bytes);
  // Writes all of `bytes` at `position` without moving the end. Returns 0 or errno.
  int WriteAt(std::int64_t position, const void* data, std::size_t bytes);
  // Bytes appended since Create, which for the truncated file is its length.
  std::uint64_t Length() const { return m_length; }
  // Closes the file without putting it in place (a failed or cancelled save).
  int Close() { return m_file.Close(); }
  // Closes the written file and puts it in place of the target. Returns 0 or
  // errno; after a failure the caller removes what was written.
  int Finish();
  // Deletes the file written, if it is still the regular file Create made.
  void Remove();
  // What the user is told of `error`: for a full disk "There is no space on
  // drive" and the mount point of the file system the file was to go on.
  std::string ErrorText(int error) const;

private:
  std::string m_path;        // the target
  std::string m_written;     // what is written: a temporary file beside the target, or the target
  bool m_replacing = false;  // an existing file is replaced by the temporary one
  base::File m_file;
  bool m_regular = false;
  dev_t m_device = 0;
  ino_t m_inode = 0;
  std::uint64_t m_length = 0;
};

}  // namespace tavrin::exporter
