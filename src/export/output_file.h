#pragma once
// The file a writer creates: a replacing file (see base::ReplacingFile) that
// refuses to replace the take or the work file being read (that would destroy
// the audio being saved).

#include <string>

#include "base/file.h"
#include "export/save_job.h"

namespace tavrin::exporter {

class OutputFile : public base::ReplacingFile {
public:
  // Prepares `path` for writing. Returns 0, errno, EBUSY when the path
  // names the take or the work file of `context`, or EISDIR/EINVAL when it
  // names something other than a plain file (a folder, a pipe, a device),
  // which is never opened.
  int Create(const std::string& path, const ExportContext& context);
  // What the user is told of `error`: for a full disk "There is no space on
  // drive" and the mount point of the file system the file was to go on, else
  // which file could not be saved and why.
  std::string ErrorText(int error) const;

private:
  std::string m_wanted;  // the path asked for, named even when it was refused before creation
  bool m_notPlain = false;
};

}  // namespace tavrin::exporter
