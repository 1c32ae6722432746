#pragma once
// Moving audio a buffer at a time with the file work done in chunks: a reader
// that walks a range of the document, a writer that appends to the work file
// (and takes back what it appended when it fails), and the work file's peaks.

#include <cstdint>
#include <vector>

#include "document/edit_document.h"

namespace tavrin::document {

// Buffers moved per read or write call: file calls of 0.7 MB, not 17 KB.
inline constexpr std::uint32_t kChunkBuffers = 40;

// Grows the work file's peak tables, keeping their contents, to `entries`.
void GrowWorkPeaks(EditDocument& document, std::size_t entries);
void StoreWorkPeaks(EditDocument& document, std::uint32_t workBuffer, const BufferPeaks& peaks);

// Buffers of Edit.raw; a partly written buffer at its end does not count.
std::uint32_t WorkFileBuffers(const EditDocument& document);

// Hands out the document buffers of first..last one after another, reading
// them a chunk at a time. Positions that no row holds are skipped.
class DocumentReader {
public:
  DocumentReader(const EditDocument& document, const Take& take, std::uint32_t first,
                 std::uint32_t last);
  // Points `buffer` at the next buffer and `position` at its document number;
  // false at the end or on a read error (see Error()).
  bool Next(const std::uint8_t*& buffer, std::uint32_t& position);
  int Error() const { return m_error; }

private:
  // Reads the next chunk of the current run (or of the next one).
  bool LoadChunk();

  const EditDocument& m_document;
  const Take& m_take;
  std::vector<DocumentRun> m_runs;
  std::size_t m_run = 0;
  std::uint32_t m_inRun = 0;     // buffers of the current run handed out
  std::uint32_t m_chunkAt = 0;   // buffer of the run the chunk starts with
  std::uint32_t m_chunkLen = 0;  // buffers in the chunk
  std::vector<std::uint8_t> m_chunk;
  int m_error = 0;
};

// Writes buffers one after another from a byte position of a file, a chunk at
// a time. Commit() writes what is left; a failure is kept for Error().
class ChunkWriter {
public:
  ChunkWriter(base::File& file, std::int64_t position);
  // Room for the next buffer; Add() it once filled.
  std::uint8_t* Slot();
  bool Add();
  bool Commit();
  int Error() const { return m_error; }

private:
  bool Flush();
  base::File& m_file;
  std::int64_t m_position;
  std::vector<std::uint8_t> m_chunk;
  std::size_t m_filled = 0;  // buffers
  int m_error = 0;
};

// The work file's end as an operation starts: what it appends starts at buffer
// Start() + 1. Rollback() cuts the file back when the operation fails, so that
// nothing of it stays.
class WorkFileAppend {
public:
  explicit WorkFileAppend(EditDocument& document);
  std::uint32_t Start() const { return m_start; }
  std::int64_t StartByte() const { return static_cast<std::int64_t>(m_start) * kBufferBytes; }
  void Rollback();

private:
  EditDocument& m_document;
  std::uint32_t m_start;
};

}  // namespace tavrin::document
