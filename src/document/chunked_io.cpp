#include "document/chunked_io.h"

#include <algorithm>

namespace tavrin::document {

void GrowWorkPeaks(EditDocument& document, std::size_t entries) {
  if (document.WorkPeaks.size() < entries) document.WorkPeaks.resize(entries);
}

void StoreWorkPeaks(EditDocument& document, std::uint32_t workBuffer, const BufferPeaks& peaks) {
  GrowWorkPeaks(document, std::size_t{workBuffer} + 1);
  document.WorkPeaks[workBuffer] = peaks;
}

std::uint32_t WorkFileBuffers(const EditDocument& document) {
  return static_cast<std::uint32_t>(document.EditStream.Size() / kBufferBytes);
}

DocumentReader::DocumentReader(const EditDocument& document, const Take& take, std::uint32_t first,
                               std::uint32_t last)
    : m_document(document),
      m_take(take),
      m_runs(DocumentRuns(document, first, last)),
      m_chunk(std::size_t{kChunkBuffers} * kBufferBytes) {}

bool DocumentReader::Next(const std::uint8_t*& buffer, std::uint32_t& position) {
  if (m_inRun >= m_chunkAt + m_chunkLen && !LoadChunk()) return false;
  buffer = m_chunk.data() + std::size_t{m_inRun - m_chunkAt} * kBufferBytes;
  position = m_runs[m_run].First + m_inRun;
  ++m_inRun;
  return true;
}

bool DocumentReader::LoadChunk() {
  if (m_error != 0) return false;
  while (m_run < m_runs.size() && m_inRun >= m_runs[m_run].Buffers) {
    ++m_run;
    m_inRun = m_chunkAt = m_chunkLen = 0;
  }
  if (m_run >= m_runs.size()) return false;
  const DocumentRun& run = m_runs[m_run];
  m_chunkAt = m_inRun;
  m_chunkLen = std::min(kChunkBuffers, run.Buffers - m_inRun);
  m_error = ReadRun(m_document, m_take, run, static_cast<std::int64_t>(m_chunkAt) * kBufferBytes,
                    m_chunk.data(), std::size_t{m_chunkLen} * kBufferBytes);
  return m_error == 0;
}

ChunkWriter::ChunkWriter(base::File& file, std::int64_t position)
    : m_file(file), m_position(position), m_chunk(std::size_t{kChunkBuffers} * kBufferBytes) {}

std::uint8_t* ChunkWriter::Slot() {
  return m_chunk.data() + m_filled * kBufferBytes;
}

bool ChunkWriter::Add() {
  ++m_filled;
  return m_filled < kChunkBuffers || Flush();
}

bool ChunkWriter::Commit() {
  return Flush();
}

bool ChunkWriter::Flush() {
  if (m_error != 0) return false;
  if (m_filled == 0) return true;
  const std::size_t bytes = m_filled * kBufferBytes;
  m_error = m_file.WriteAt(m_position, m_chunk.data(), bytes);
  m_position += static_cast<std::int64_t>(bytes);
  m_filled = 0;
  return m_error == 0;
}

WorkFileAppend::WorkFileAppend(EditDocument& document)
    : m_document(document), m_start(WorkFileBuffers(document)) {}

void WorkFileAppend::Rollback() {
  // A file that cannot be cut back (a device) keeps the failed bytes past
  // Start(); the next operation writes from the same buffer, so none is read.
  const int error = m_document.EditStream.Truncate(StartByte());
  static_cast<void>(error);
}

}  // namespace tavrin::document
