#pragma once
// The export benchmarks' rig: the bench take opened as level 0 of a document,
// with the context the writers take, and the timing of one writer's runs.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "bench_run.h"
#include "bench_take.h"
#include "document/edit_document.h"
#include "export/save_job.h"

namespace tavrin::bench {

inline std::int64_t FileBytes(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

// Best of 3 runs of `run`, each writing `output` afresh.
inline double BestOfThree(const std::string& output, const std::function<bool()>& run) {
  return BestOf(
      3, [&] { ::unlink(output.c_str()); }, run);
}

class ExportRig {
public:
  // `name` prefixes the writers' messages on stderr.
  explicit ExportRig(std::string name) : m_name(std::move(name)) {}

  // Writes the bench take into `folder` (unless it is there) and opens it.
  bool Open(const std::string& folder) {
    const std::string take = folder + "/in.raw";
    State.AllocateCaptureMemory();
    if (!MakeBenchTake(take) || State.Take.RawStream.OpenExisting(take) != 0) {
      std::fprintf(stderr, "%s: cannot write or open %s\n", m_name.c_str(), take.c_str());
      return false;
    }
    State.Take.TakeLength = kBenchTakeBuffers;
    document::BuildLevelZero(Document, State.Take);
    Job.SaveFirst = 1;
    Job.SaveLast = kBenchTakeBuffers;
    return true;
  }

  // One whole save of the take to `path` by `writer`.
  bool Save(const std::string& path, exporter::WriteResult (*writer)(exporter::ExportContext&)) {
    Job.OutputPath = path;
    Job.SaveActive = true;
    return writer(Context) == exporter::WriteResult::Written;
  }

  capture::RecorderState State;
  document::EditDocument Document;
  settings::Settings Settings;
  exporter::SaveJob Job;
  exporter::ExportContext Context{Settings, Document, State, Job, {[this](const std::string& text) {
                                    std::fprintf(stderr, "%s: %s\n", m_name.c_str(), text.c_str());
                                  }}};

private:
  std::string m_name;
};

}  // namespace tavrin::bench
