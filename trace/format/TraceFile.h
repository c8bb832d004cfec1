// Writing and reading a trace file (the file format is described in docs/trace.md).
#ifndef PELORA_TRACE_FILE_H
#define PELORA_TRACE_FILE_H

#include "TraceRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace trace {

// Appends records to a new trace file. Not thread-safe: the recorder feeds it from one writer
// thread. Records reach the file in compressed blocks; a block is complete on disk, or a reader
// ignores it, so a killed recorder or a full disk leaves a file readable up to its last complete
// block.
class Writer {
public:
    // Creates (truncates) `path`. On failure `error()` says why and every append fails.
    Writer(const std::string &path, const Header &header);
    ~Writer(); // finishes the last block
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    bool ok() const;
    const std::string &error() const;
    bool append(const Record &record); // the record's number is assigned here
    bool flush();                      // ends the current block and writes it out
    uint64_t recordsWritten() const;

    // As append(record), with the record's bytes taken from `data` instead of record.data (the
    // recorder hands its copy buffers over without moving them into a vector first).
    bool append(const Record &record, const uint8_t *data, size_t size);
    // Writes the last block and the end mark; later appends fail. The destructor does it too;
    // call it to learn whether the end reached the disk.
    bool finish();
    // zstd level of the blocks (default 1) and the bytes a block gathers before it is written
    // (default 4 MiB).
    void setCompressionLevel(int level);
    void setBlockBytes(size_t bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads a trace file front to back.
class Reader {
public:
    explicit Reader(const std::string &path);
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    bool ok() const;                  // the header was read
    const std::string &error() const; // why not, or why reading stopped early
    const Header &header() const;
    // The next record; false at the end of the file or at the first incomplete or damaged block
    // (then `truncated()` is true and `error()` says where). A trace whose recorder did not
    // finish it (no end mark) also ends as truncated, after its last complete block.
    bool next(Record *record);
    bool truncated() const;

    // Leaves the records' bytes compressed and `data` empty (the fields, dataSize and dataKept
    // stay): listing the calls of a trace then costs a fraction of reading its pixels.
    void setSkipData(bool skip);
    uint64_t bytesRead() const; // file offset reached: the end of the last block read

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace trace

#endif
