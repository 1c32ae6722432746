#pragma once
// The export tests' rig: a take of distinct samples written to a scratch
// folder, the document over it, and one run of a writer with its messages.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "case_scratch.h"
#include "export/wav_writer.h"
#include "file_bytes.h"
#include "pattern_audio.h"

namespace tavrin::exporter {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kBlockBytes = 17640;
constexpr int kFrames = 4410;

using tavrin::testing::PatternBlock;
using tavrin::testing::PatternSample;

inline std::uint32_t Le(const Bytes& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

inline void Put(Bytes& bytes, const std::string& tag) {
  bytes.insert(bytes.end(), tag.begin(), tag.end());
}
inline void Put(Bytes& bytes, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A 44-byte WAV header (format 1 PCM, 3 float) laid out field by field.
inline Bytes WavHeader(std::uint32_t format, std::uint32_t channels, std::uint32_t rate,
                       std::uint32_t byteRate, std::uint32_t blockAlign, std::uint32_t bits,
                       std::uint32_t dataBytes) {
  Bytes bytes;
  Put(bytes, "RIFF");
  Put(bytes, dataBytes + 36, 4);
  Put(bytes, "WAVEfmt ");
  const std::uint32_t fmt[][2] = {{16, 4},       {format, 2},     {channels, 2}, {rate, 4},
                                  {byteRate, 4}, {blockAlign, 2}, {bits, 2}};
  for (const auto& [value, count] : fmt) Put(bytes, value, count);
  Put(bytes, "data");
  Put(bytes, dataBytes, 4);
  return bytes;
}

// A take on disk, a document over it, and one writer run against them.
class WriterRig : public ::testing::Test {
protected:
  void SetUp() override {
    State.AllocateCaptureMemory();
    Job.OutputPath = (Root / "out.wav").string();
    Job.SaveActive = true;
  }
  void TearDown() override {
    State.Take.RawStream.Close();
    Document.EditStream.Close();
  }

  // Take blocks 1..count (source 1 unless `blockAt` makes them) as level 0, one
  // segment, all of it to be saved unless the test narrows the range.
  void MakeTake(
      std::uint32_t count, const std::function<Bytes(std::uint32_t)>& blockAt =
                               [](std::uint32_t block) { return PatternBlock(1, block); }) {
    ASSERT_EQ(State.Take.RawStream.Create((Root / "Tavrin.raw").string()), 0);
    for (std::uint32_t block = 1; block <= count; ++block) {
      ASSERT_EQ(State.Take.RawStream.Write(blockAt(block).data(), kBlockBytes), 0);
    }
    State.Take.TakeLength = count;
    document::BuildLevelZero(Document, State.Take);
    Job.SaveLast = count;
  }

  WriteResult Write(WriteResult (*writer)(ExportContext&) = WriteWav) {
    ExportContext context{Settings,
                          Document,
                          State,
                          Job,
                          {[this](const std::string& text) { Messages.push_back(text); },
                           {},
                           [this] { OnMessages(); }}};
    return writer(context);
  }

  Bytes Output() const { return tavrin::testing::FileBytes(Job.OutputPath); }

  void SetFormat(std::int32_t rate, std::uint16_t bits, std::uint16_t channels) {
    Settings.SamplePerSecond = rate;
    Settings.BitPerSample = bits;
    Settings.Channels = channels;
  }

  tavrin::testing::ScratchFolder Scratch{"export-" + tavrin::testing::CaseName()};
  fs::path Root = Scratch.Path();
  settings::Settings Settings;
  document::EditDocument Document;
  capture::RecorderState State;
  SaveJob Job;
  std::vector<std::string> Messages;
  std::function<void()> OnMessages = [] {};
};

}  // namespace tavrin::exporter
