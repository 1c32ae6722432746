#pragma once
// A save's surroundings for the MP3 writer's tests: a scratch folder, source
// files of known bytes, the records the writer reads and what it reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "case_scratch.h"
#include "export/mp3_writer.h"
#include "file_bytes.h"

namespace tavrin::exporter::testing {

inline constexpr std::int64_t kBlock = 17640;  // bytes of one 0.1 s buffer
// The real encoder library, built beside the tests.
inline const std::string kLameEnc = TAVRIN_LAME_ENC_PATH;

using tavrin::testing::FileBytes;

// A 16-bit PCM WAV file as written by lame --decode.
struct Decoded {
  int Channels = 0;
  int SampleRate = 0;
  std::vector<std::int16_t> Samples;
};

inline Decoded ReadWav(const std::vector<std::uint8_t>& bytes) {
  Decoded wav;
  auto u32 = [&](std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
  };
  for (std::size_t at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4)) {
    const std::string id(bytes.begin() + at, bytes.begin() + at + 4);
    if (id == "fmt ") {
      wav.Channels = bytes[at + 10];
      wav.SampleRate = static_cast<int>(u32(at + 12));
    } else if (id == "data") {
      const std::size_t size = std::min<std::size_t>(u32(at + 4), bytes.size() - at - 8);
      wav.Samples.resize(size / 2);
      std::memcpy(wav.Samples.data(), bytes.data() + at + 8, wav.Samples.size() * 2);
      break;
    }
  }
  return wav;
}

// `mp3` decoded by the lame command line, which honours the information
// frame's encoder delay and padding; `wav` is written on the way.
inline Decoded DecodeWithLame(const std::string& mp3, const std::string& wav) {
  if (std::system(("lame --quiet --decode '" + mp3 + "' '" + wav + "'").c_str()) != 0) return {};
  return ReadWav(FileBytes(wav));
}

class SaveFixture : public ::testing::Test {
protected:
  void SetUp() override {
    job.OutputPath = m_folder + "/out.mp3";
    job.OutputName = "out.mp3";
    job.SaveActive = true;
  }

  // Fills `file` (a new file in the folder) with the given bytes.
  void MakeSource(base::File& file, const std::string& name,
                  const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(file.Create(m_folder + "/" + name), 0);
    ASSERT_EQ(file.Write(bytes.data(), bytes.size()), 0);
  }

  void SetRows(int level, const std::vector<document::Segment>& rows) {
    ASSERT_TRUE(document::SetLevelRows(*document, level, rows));
    document->CurrentLevel = static_cast<std::uint16_t>(level);
  }

  WriteResult Save(const std::vector<std::string>& candidates) {
    ExportContext context{settings,
                          *document,
                          state,
                          job,
                          {[this](const std::string& text) { messages.push_back(text); },
                           {},
                           [this] {
                             progressSeen.push_back(job.OperationProgress);
                             if (onProcessMessages) onProcessMessages();
                           }}};
    return WriteMp3(context, candidates);
  }

  bool OutputExists() const { return std::filesystem::exists(job.OutputPath); }
  const std::string& Folder() const { return m_folder; }

  settings::Settings settings;
  std::unique_ptr<document::EditDocument> document = std::make_unique<document::EditDocument>();
  capture::RecorderState state;
  SaveJob job;
  std::function<void()> onProcessMessages;
  std::vector<float> progressSeen;
  std::vector<std::string> messages;

private:
  tavrin::testing::ScratchFolder m_scratch{"mp3-" + tavrin::testing::CaseName()};
  std::string m_folder = m_scratch.Path().string();
};

}  // namespace tavrin::exporter::testing
