#include "export/mp3_writer.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "base/file.h"
#include "export/mp3_pieces.h"
#include "export/output_file.h"
#include "export/save_threads.h"
#include "platform/wave_common.h"

namespace tavrin::exporter {

namespace {

using namespace tavrin::encoder;

constexpr const char* kLibraryMissingText = "Lame_enc.dll did not found";
constexpr std::uint16_t kQualityWord = 0xFD02;  // quality 2, complement 0xFD above it

std::int32_t Flag(bool on) {
  return on ? kConfigTrue : kConfigFalse;
}

// Everything one save holds; Release() gives it back in the order the
// library expects (stream before library).
struct EncoderSession {
  void* Library = nullptr;
  BeInitStreamEntry InitStream = nullptr;
  BeEncodeChunkEntry EncodeChunk = nullptr;
  BeDeinitStreamEntry DeinitStream = nullptr;
  BeCloseStreamEntry CloseStream = nullptr;
  BeGetInfoFrameEntry GetInfoFrame = nullptr;  // absent from older libraries
  bool StreamOpen = false;
  std::uint32_t Stream = 0;
  std::vector<std::int16_t> Input;
  std::vector<std::uint8_t> Output;
  OutputFile File;

  EncoderSession() = default;
  EncoderSession(const EncoderSession&) = delete;
  EncoderSession& operator=(const EncoderSession&) = delete;
  ~EncoderSession() { Release(); }

  bool Load(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
      void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!library) continue;
      InitStream = reinterpret_cast<BeInitStreamEntry>(::dlsym(library, kBeInitStreamName));
      EncodeChunk = reinterpret_cast<BeEncodeChunkEntry>(::dlsym(library, kBeEncodeChunkName));
      DeinitStream = reinterpret_cast<BeDeinitStreamEntry>(::dlsym(library, kBeDeinitStreamName));
      CloseStream = reinterpret_cast<BeCloseStreamEntry>(::dlsym(library, kBeCloseStreamName));
      if (InitStream && EncodeChunk && DeinitStream && CloseStream) {
        GetInfoFrame = reinterpret_cast<BeGetInfoFrameEntry>(::dlsym(library, kBeGetInfoFrameName));
        Library = library;
        return true;
      }
      ::dlclose(library);
    }
    return false;
  }

  void Release() {
    if (StreamOpen) CloseStream(Stream);
    StreamOpen = false;
    std::vector<std::int16_t>().swap(Input);
    std::vector<std::uint8_t>().swap(Output);
    File.Close();
    if (Library) ::dlclose(Library);
    Library = nullptr;
  }

  EncoderEntries Entries() const {
    return {InitStream, EncodeChunk, DeinitStream, CloseStream, GetInfoFrame};
  }
};

// Why the chunk loop stopped early, if it did.
struct LoopOutcome {
  bool Cancelled = false;
  int FileError = 0;               // errno of a read or write
  std::uint32_t EncoderError = 0;  // result of beEncodeChunk
};

// Appends what the library reported, refusing a count beyond its own buffer.
std::uint32_t AppendOutput(EncoderSession& session, std::uint32_t produced, int& fileError) {
  if (produced > session.Output.size()) return kBeErrBufferTooSmall;
  if (produced > 0) fileError = session.File.Append(session.Output.data(), produced);
  return kBeErrSuccessful;
}

LoopOutcome EncodeRange(ExportContext& context, EncoderSession& session) {
  SaveJob& job = context.Job;
  const std::int64_t first = job.SaveFirst;
  const std::int64_t last = job.SaveLast;
  const std::int64_t totalBytes = (last - first + 1) * capture::kBufferBytes;
  const std::int64_t chunkBytes = static_cast<std::int64_t>(session.Input.size()) * 2;
  const document::Take& take = context.State.Take;
  std::int64_t doneBytes = 0;
  LoopOutcome outcome;

  for (const document::DocumentRun& run :
       document::DocumentRuns(context.Document, job.SaveFirst, job.SaveLast)) {
    // The take's padding, at a run's end, is left out.
    const auto runBytes =
        static_cast<std::int64_t>(document::RunFrames(take, run)) * platform::kFormatBlockAlign;
    for (std::int64_t done = 0; done < runBytes;) {
      job.OperationProgress =
          static_cast<float>(static_cast<double>(doneBytes + done) / totalBytes * 100.0);
      context.User.Pump();
      // A chunk never reaches into the next run.
      const std::int64_t bytes = done + chunkBytes < runBytes ? chunkBytes : runBytes - done;
      outcome.FileError = document::ReadRun(context.Document, take, run, done, session.Input.data(),
                                            static_cast<std::size_t>(bytes));
      if (outcome.FileError != 0) return outcome;
      std::uint32_t produced = 0;
      outcome.EncoderError =
          session.EncodeChunk(session.Stream, static_cast<std::uint32_t>(bytes / 2),
                              session.Input.data(), session.Output.data(), &produced);
      if (outcome.EncoderError == kBeErrSuccessful) {
        outcome.EncoderError = AppendOutput(session, produced, outcome.FileError);
      }
      if (outcome.EncoderError != kBeErrSuccessful || outcome.FileError != 0) return outcome;
      done += bytes;
      if (!job.SaveActive) {
        outcome.Cancelled = true;
        return outcome;
      }
    }
    doneBytes += runBytes;
  }
  return outcome;
}

// A save that ends in an error keeps no partial file.
WriteResult Fail(ExportContext& context, EncoderSession& session, const std::string& text) {
  session.Release();
  session.File.Remove();
  context.User.Warn(text);
  return WriteResult::Failed;
}

// Writes the information frame over the placeholder at the file's start.
int WriteInfoFrame(EncoderSession& session, const std::uint8_t* frame, std::size_t bytes) {
  if (bytes == 0) return 0;
  if (bytes > session.File.Length()) return EIO;
  return session.File.WriteAt(0, frame, bytes);
}

WriteResult WriteOnThreads(ExportContext& context, EncoderSession& session,
                           const EncoderConfig& config, StreamShape shape, unsigned threads) {
  if (const int error = session.File.Create(context.Job.OutputPath, context); error != 0) {
    return Fail(context, session, session.File.ErrorText(error));
  }
  const PiecesOutcome outcome =
      EncodePieces(context, session.Entries(), config, shape, threads, session.File);
  if (outcome.Cancelled) {
    session.Release();
    session.File.Remove();
    return WriteResult::Cancelled;
  }
  if (!outcome.Error.empty()) return Fail(context, session, outcome.Error);
  if (const int error = WriteInfoFrame(session, outcome.InfoFrame.data(), outcome.InfoFrame.size());
      error != 0) {
    return Fail(context, session, session.File.ErrorText(error));
  }
  if (const int closeError = session.File.Finish(); closeError != 0) {
    return Fail(context, session, session.File.ErrorText(closeError));
  }
  session.Release();
  return WriteResult::Written;
}

}  // namespace

EncoderConfig FillEncoderConfig(const settings::Settings& settings) {
  EncoderConfig config{};
  config.ConfigFormat = kConfigFormatExtended;
  config.RecordVersion = 1;
  config.RecordSize = kConfigRecordSize;
  config.SampleRate = platform::kFormatRate;
  config.ReSampleRate = 0;
  config.Mode = settings.Mode;
  config.BitRate =
      static_cast<std::uint32_t>(settings.VBR ? settings.MinBitRate : settings.BitRate);
  config.MaxBitRate = static_cast<std::uint32_t>(settings.MaxBitRate);
  config.Preset = -1;
  config.MpegVersion = kMpeg1;
  config.PsyModel = 0;
  config.Emphasis = 0;
  config.Private = Flag(settings.Private);
  config.Crc = kConfigFalse;
  config.Copyright = Flag(settings.Copyright);
  config.Original = Flag(settings.Original);
  // Players learn the length, the seek table and the encoder's delay and
  // padding from the information frame; without it they guess.
  config.WriteVbrHeader = kConfigTrue;
  config.EnableVbr = Flag(settings.VBR);
  config.VbrQuality = settings.VBRQuality;
  config.AbrBitRate = 0;
  config.VbrMethod = 0;
  config.NoBitReservoir = kConfigTrue;
  config.StrictIso = kConfigFalse;
  config.QualityWord = kQualityWord;
  return config;
}

WriteResult WriteMp3(ExportContext& context, const std::vector<std::string>& libraryCandidates) {
  EncoderSession session;
  if (!session.Load(libraryCandidates)) {
    context.User.Warn(kLibraryMissingText);
    return WriteResult::Failed;
  }

  EncoderConfig config = FillEncoderConfig(context.Settings);
  // A placeholder nobody overwrites would stay in the file as a silent frame.
  if (!session.GetInfoFrame) config.WriteVbrHeader = kConfigFalse;
  const SaveJob& job = context.Job;
  const unsigned threads = SaveThreads(
      std::uint64_t{job.SaveLast - job.SaveFirst + 1} * capture::kFramesPerBuffer, job.Threads);
  if (threads > 1) {
    if (const StreamShape shape = ProbeStreams(session.Entries(), config); shape.Joinable) {
      return WriteOnThreads(context, session, config, shape, threads);
    }
  }

  std::uint32_t chunkSamples = 0;
  std::uint32_t outputBytes = 0;
  const std::uint32_t initResult =
      session.InitStream(&config, &chunkSamples, &outputBytes, &session.Stream);
  if (initResult != kBeErrSuccessful) {
    return Fail(context, session, EncoderErrorText(initResult));
  }
  session.StreamOpen = true;
  // A library that asks for no input or no output could never finish a save.
  if (chunkSamples == 0 || outputBytes == 0) {
    return Fail(context, session, kLibraryMissingText);
  }
  try {
    session.Output.resize(outputBytes);
    session.Input.resize(chunkSamples);
  } catch (const std::bad_alloc&) {
    return Fail(context, session, std::strerror(ENOMEM));
  }

  if (const int error = session.File.Create(context.Job.OutputPath, context); error != 0) {
    return Fail(context, session, session.File.ErrorText(error));
  }
  const LoopOutcome outcome = EncodeRange(context, session);
  if (outcome.FileError != 0)
    return Fail(context, session, session.File.ErrorText(outcome.FileError));
  // The encoder's own result is examined too: a chunk it refused would leave a gap in the file.
  if (outcome.EncoderError != kBeErrSuccessful) {
    return Fail(context, session, EncoderErrorText(outcome.EncoderError));
  }

  std::uint32_t produced = 0;
  std::uint32_t flushResult =
      session.DeinitStream(session.Stream, session.Output.data(), &produced);
  int fileError = 0;
  const std::uint32_t appendResult = AppendOutput(session, produced, fileError);
  if (flushResult == kBeErrSuccessful) flushResult = appendResult;
  if (fileError != 0) return Fail(context, session, session.File.ErrorText(fileError));
  // Without its last frames the file is not the audio asked for.
  if (flushResult != kBeErrSuccessful) {
    return Fail(context, session, EncoderErrorText(flushResult));
  }
  if (outcome.Cancelled) {
    session.Release();
    session.File.Remove();
    return WriteResult::Cancelled;
  }
  if (session.GetInfoFrame) {
    std::uint32_t infoResult =
        session.GetInfoFrame(session.Stream, session.Output.data(), &produced);
    if (infoResult == kBeErrSuccessful && produced > session.Output.size()) {
      infoResult = kBeErrBufferTooSmall;
    }
    if (infoResult != kBeErrSuccessful) return Fail(context, session, EncoderErrorText(infoResult));
    if (const int error = WriteInfoFrame(session, session.Output.data(), produced); error != 0) {
      return Fail(context, session, session.File.ErrorText(error));
    }
  }
  // Some file systems report a failed write only here.
  if (const int closeError = session.File.Finish(); closeError != 0) {
    return Fail(context, session, session.File.ErrorText(closeError));
  }
  session.Release();
  return WriteResult::Written;
}

}  // namespace tavrin::exporter
