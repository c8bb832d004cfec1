// The on-disk layout of a trace file (docs/trace.md describes it for readers in other languages).
//
//   file header   "PELTRACE", u32 version, u32 n, n bytes of header fields, u32 CRC-32C of them
//   block ...     44-byte block header, then the two compressed sections it names
//   end block     a block with the end flag and no records, written when the trace is finished
//
// Every number is little-endian. A block is self-contained: its records' fields (the "meta"
// section) and their bytes (the "data" section) are each one zstd frame, so a reader that wants
// only the calls (dump, diff, info) never decompresses the pixels.
#ifndef PELORA_TRACE_BLOCK_FORMAT_H
#define PELORA_TRACE_BLOCK_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace trace::fmt {

inline constexpr char kFileMagic[8] = {'P', 'E', 'L', 'T', 'R', 'A', 'C', 'E'};
inline constexpr uint32_t kVersion = 2;        // written; version 1 (no line layout) is read too
inline constexpr uint32_t kOldestVersion = 1;
inline constexpr uint32_t kBlockMagic = 0x42525450; // "PTRB"
inline constexpr uint32_t kBlockEnd = 1;            // flags: the trace was finished here

// Offsets in the block header.
inline constexpr size_t kBlockHeaderSize = 44;
inline constexpr size_t kOffMagic = 0, kOffFlags = 4, kOffFirst = 8, kOffCount = 16,
                        kOffMetaRaw = 20, kOffMetaPacked = 24, kOffDataRaw = 28,
                        kOffDataPacked = 32, kOffPayloadCrc = 36, kOffHeaderCrc = 40;

// A reader refuses a block header that claims more than this per section, even with a good
// checksum: no trace written by the recorder comes near it.
inline constexpr uint32_t kMaxSection = 1u << 30;

// Record flags in the meta section.
inline constexpr uint8_t kFlagDataKept = 1;

} // namespace trace::fmt

#endif
